#!/bin/sh
# One X server for all the dialog tests of a test run, started before the
# first and stopped after the last (CTest's fixture), instead of one per test.
#   xserver.sh start FOLDER   Xvfb on a free display, written to FOLDER/display
#   xserver.sh stop FOLDER    stops it and removes FOLDER
# A server whose test run is interrupted stops when that run ends.
set -eu
folder=$2
case "$1" in
start)
  "$0" stop "$folder"
  mkdir -p "$folder"
  # Xvfb picks a free display and writes its number once it listens; our own
  # output stays free so that CTest sees this test end.
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$folder/display" \
    </dev/null >/dev/null 2>&1 &
  echo $! >"$folder/pid"
  # The test run that started it: CTest runs this script itself.
  run=$PPID
  (while kill -0 "$run" 2>/dev/null && kill -0 "$(cat "$folder/pid")" 2>/dev/null; do sleep 2; done
   kill "$(cat "$folder/pid" 2>/dev/null)" 2>/dev/null) </dev/null >/dev/null 2>&1 &
  # Waits for the number, which Xvfb writes once it answers.
  for _ in $(seq 300); do
    [ -s "$folder/display" ] && exit 0
    kill -0 "$(cat "$folder/pid")" 2>/dev/null || break
    sleep 0.1
  done
  echo "Xvfb did not start" >&2
  "$0" stop "$folder"
  exit 1
  ;;
stop)
  if [ -f "$folder/pid" ]; then
    kill "$(cat "$folder/pid")" 2>/dev/null || true
  fi
  rm -rf "$folder"
  ;;
*)
  echo "usage: xserver.sh start|stop FOLDER" >&2
  exit 2
  ;;
esac
