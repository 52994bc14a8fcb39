#!/usr/bin/env bash
# Times one full glyphsmith run (DejaVu Sans 12 points, Western: both font
# files and the preview) against a floor, a bare FreeType loop rendering the
# same characters at both sizes, and prints the medians and the
# instructions of one run.
# Usage: bench/glyphsmith.sh [runs]   (default 21)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-21}

scripts/install-deps.sh build bench
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build/bench --target glyphsmith -j 2 >/dev/null
mkdir -p build/bench/glyphsmith
floor=build/bench/glyphsmith/floor
# shellcheck disable=SC2046
g++ -O2 -o "$floor" bench/glyphsmith_floor.cpp $(pkg-config --cflags --libs freetype2)
font=$(fc-match -f '%{file}' 'DejaVu Sans:style=Book')
out=build/bench/glyphsmith/out
mkdir -p "$out"

# Instructions of one run under callgrind: the same on every run, however
# busy the machine.
instructions() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    awk '/Collected :/ { printf "%8.1f M instructions", $NF / 1e6 }'
}

# Medians over $runs runs of a command's wall time and CPU time (user +
# system) in milliseconds; the CPU time holds still on a busy machine.
median_ms() {
  local TIMEFORMAT='%3R %3U %3S' times
  times=$(for ((i = 0; i < runs; i++)); do { time "$@" >/dev/null; } 2>&1; done)
  local wall cpu
  wall=$(awk '{ print $1 * 1000 }' <<<"$times" | sort -n | sed -n "$(((runs + 1) / 2))p")
  cpu=$(awk '{ print ($2 + $3) * 1000 }' <<<"$times" | sort -n | sed -n "$(((runs + 1) / 2))p")
  printf '%8.1f ms wall %8.1f ms CPU\n' "$wall" "$cpu"
}

full=(build/bench/bin/glyphsmith -o "$out" --id 80 12 15.6 Western DejaVu Sans)
bare=(build/bench/bin/glyphsmith -o "$out" --id 80 --no-preview 12 15.6 Western DejaVu Sans)
printf '%-52s %s %s\n' "glyphsmith 12 15.6 Western DejaVu Sans" \
  "$(median_ms "${full[@]}")" "$(instructions "${full[@]}")"
printf '%-52s %s %s\n' "the same with --no-preview" \
  "$(median_ms "${bare[@]}")" "$(instructions "${bare[@]}")"
printf '%-52s %s %s\n' "floor: FreeType alone, 0x20..0xFF at 12 and 24 px" \
  "$(median_ms "$floor" "$font" 12)" "$(instructions "$floor" "$font" 12)"
