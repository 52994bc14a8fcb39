#!/usr/bin/env bash
# Builds prcbuild.exe, prcdump.exe, fontpick.exe, glyphsmith.exe and their
# Windows test programs in build/windows and tests them under wine, with a
# virtual X display for the font dialog:
#   - that each program imports only the system's DLLs;
#   - the Windows test programs (output file, launch through cmd.exe, GDI
#     faces, Windows' code pages);
#   - GDI's glyphs held against FreeType's by the host's rasterizer tests;
#   - prcbuild's, prcdump's and glyphsmith's end-to-end tests from the host
#     build ($HOST_BUILD, default build/test; configured and built when
#     missing) run against prcbuild.exe, prcdump.exe and glyphsmith.exe;
#   - glyphsmith.exe's fonts against the host build's, and its -o paths;
#   - the README's steps, run as written with the Windows programs;
#   - fontpick.exe's real dialog, confirmed and cancelled with xdotool.
# The host's tests and wine see the same fonts, the host build's test set
# alone (test-fonts/fonts.conf), whatever else the machine has installed.
# Details (glyph statistics) are lines starting "note: "; a skipped test is
# named once with its reason. Ends with the line "N passed, N failed, N skipped".
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/install-deps.sh windows
launcher=()
command -v ccache >/dev/null &&
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
scripts/build-windows.sh -DWERROR=ON -DBUILD_TESTING=ON

host_build=${HOST_BUILD:-build/test}
host_tests=(prcbuild/prcbuild_tests prcdump/prcdump_tests glyphsmith/rasterizer_tests
            glyphsmith/glyphsmith_tests tests/pipeline_tests)
for t in "${host_tests[@]}" test-fonts/fonts.conf; do
  [ -e "$host_build/$t" ] && continue
  scripts/install-deps.sh test
  cmake -S . -B "$host_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWERROR=ON "${launcher[@]}" >/dev/null
  cmake --build "$host_build" -j "$(nproc 2>/dev/null || echo 2)" \
    --target prcbuild_tests prcdump_tests rasterizer_tests glyphsmith_tests pipeline_tests
  break
done
prcbuild_tests=$(realpath "$host_build/prcbuild/prcbuild_tests")
prcdump_tests=$(realpath "$host_build/prcdump/prcdump_tests")
rasterizer_tests=$(realpath "$host_build/glyphsmith/rasterizer_tests")
glyphsmith_tests=$(realpath "$host_build/glyphsmith/glyphsmith_tests")
pipeline_tests=$(realpath "$host_build/tests/pipeline_tests")

windows=$root/build/windows
# wine lists the host's fonts through fontconfig, as FreeType's side does.
FONTCONFIG_FILE=$(realpath "$host_build/test-fonts/fonts.conf")
export FONTCONFIG_FILE
export WINEPREFIX=$windows/wineprefix WINEDEBUG=-all
# No prompts to install Mono or Gecko, which nothing here needs.
export WINEDLLOVERRIDES="mscoree,mshtml="
scratch=$(mktemp -d "${TMPDIR:-/tmp}/windows-test-XXXXXX")

xvfb_pid=
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# A display of our own: Xvfb picks a free number and tells it.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
export DISPLAY=:$(cat "$scratch/display")

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "note: creating the wine prefix (first start)"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
# wine keeps in its registry every font it was once shown (by a run that saw
# all the machine's fonts, package.sh's for one) and loads them again:
# forgotten here, the fonts it sees are fontconfig's test set alone.
wineserver -k 2>/dev/null || true
sed -i '/^"[^"]* (TrueType)"="Z:\\\\/d' "$WINEPREFIX/user.reg" "$WINEPREFIX/system.reg"
# One wine server for the whole run, its services started here with no
# output to hold. Otherwise the first program a test starts starts them,
# and they, like a server that lingers 3 s after its last program, keep the
# test's output pipes open: each case would wait seconds for its end of file.
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1

passed=0 failed=0 skipped=0
pass() { passed=$((passed + 1)); echo "ok: $1"; }
fail() { failed=$((failed + 1)); echo "FAILED: $1"; }
check_equal() {  # title expected actual
  if [ "$2" = "$3" ]; then
    pass "$1"
  else
    fail "$1"
    printf '  expected: %q\n  actual:   %q\n' "$2" "$3"
  fi
}

# A GoogleTest program run in folder $2; its counts go into ours.
run_gtest() {
  local title=$1 dir=$2 log=$scratch/gtest.log status=0
  shift 2
  (cd "$dir" && "$@") >"$log" 2>&1 || status=$?
  tr -d '\r' <"$log" >"$log.txt"
  local p f s
  p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log.txt")
  f=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*/\1/p' "$log.txt")
  s=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) test.*/\1/p' "$log.txt")
  if [ -z "$p" ] && [ -z "$f" ]; then
    fail "$title did not run (status $status)"
    tail -20 "$log.txt"
    return
  fi
  passed=$((passed + ${p:-0})) failed=$((failed + ${f:-0})) skipped=$((skipped + ${s:-0}))
  if [ -n "$f" ]; then
    cat "$log.txt"
  elif [ "$status" -ne 0 ]; then
    fail "$title ended with status $status"
  fi
  awk -f "$root/scripts/skipped.awk" "$log.txt"
  echo "$title: ${p:-0} passed, ${f:-0} failed, ${s:-0} skipped"
}

echo "== What the programs need beside them"
# Nothing but DLLs that come with Windows: the runtimes are linked in.
check_equal "prcbuild.exe imports only system DLLs" "kernel32.dll msvcrt.dll" \
  "$(x86_64-w64-mingw32-objdump -p "$windows/bin/prcbuild.exe" |
     sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort | xargs)"
check_equal "prcdump.exe imports only system DLLs" "kernel32.dll msvcrt.dll" \
  "$(x86_64-w64-mingw32-objdump -p "$windows/bin/prcdump.exe" |
     sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort | xargs)"
check_equal "fontpick.exe imports only system DLLs" \
  "comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll user32.dll" \
  "$(x86_64-w64-mingw32-objdump -p "$windows/bin/fontpick.exe" |
     sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort | xargs)"
check_equal "glyphsmith.exe imports only system DLLs" "gdi32.dll kernel32.dll msvcrt.dll" \
  "$(x86_64-w64-mingw32-objdump -p "$windows/bin/glyphsmith.exe" |
     sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort | xargs)"

echo "== Windows test programs"
# In a folder of their own, as they make and remove temporary folders.
run_gtest palm_win32_tests "$scratch" wine "$windows/palm/palm_win32_tests.exe"
run_gtest fontpick_win32_tests "$scratch" wine "$windows/fontpick/fontpick_win32_tests.exe"
run_gtest rasterizer_win32_tests "$scratch" wine "$windows/glyphsmith/rasterizer_win32_tests.exe"
run_gtest charsets_win32_tests "$scratch" wine "$windows/charsets/charsets_win32_tests.exe"

echo "== GDI's glyphs against FreeType's"
run_gtest "rasterizer tests" "$scratch" \
  env GLYPH_DUMP="wine $windows/glyphsmith/glyph_dump.exe" "$rasterizer_tests"
# How close they came, face by face.
grep ' px U+' "$scratch/gtest.log.txt" | sed 's/^/note: /' || true

echo "== prcbuild.exe end to end"
prcbuild_exe=$windows/bin/prcbuild.exe
# The program's own name as wine hands it over is its full Windows path.
run_gtest "prcbuild end-to-end tests" "$root" \
  env PRCBUILD="wine $prcbuild_exe" PRCBUILD_ARGV0="$(winepath -w "$prcbuild_exe" 2>/dev/null)" \
  "$prcbuild_tests" --gtest_filter='*EndToEnd*'

echo "== prcdump.exe end to end"
# Databases are made by the host's prcbuild, Perl and txt2pdbdoc; prcdump.exe
# reads them.
run_gtest "prcdump end-to-end tests" "$root" \
  env PRCDUMP="wine $windows/bin/prcdump.exe" "$prcdump_tests" --gtest_filter='*EndToEnd*'

echo "== glyphsmith.exe end to end"
glyphsmith_exe=$windows/bin/glyphsmith.exe
# The generator's own end-to-end tests, its fonts against this machine's
# build of it (FontForge reads them, and how close their glyphs come), and
# the README's steps run as written with the Windows programs.
run_gtest "glyphsmith end-to-end tests" "$root" \
  env GLYPHSMITH="wine $glyphsmith_exe" "$glyphsmith_tests" --gtest_filter='Program*:Platforms*'
grep ' dpi: ' "$scratch/gtest.log.txt" | sed 's/^/note: /' || true
run_gtest "README steps" "$root" \
  env GLYPHSMITH="wine $glyphsmith_exe" PRCBUILD="wine $windows/bin/prcbuild.exe" \
  PRCDUMP="wine $windows/bin/prcdump.exe" "$pipeline_tests" --gtest_filter='Pipeline.Readme*'

# -o as Windows users write it: a\b relative to the current folder, from the
# drive's root, with either slash and a trailing one.
dir=$scratch/paths
mkdir -p "$dir/a/b"
drive_path=$(winepath -w "$dir/a/b" 2>/dev/null)
id=80
for target in 'a\b' '.\a/b\' "$drive_path" "${drive_path//\\//}"; do
  (cd "$dir" && wine "$glyphsmith_exe" -o "$target" --id "$id" --no-preview 9 11.7 Western \
    DejaVu Sans >/dev/null 2>&1) || true
  check_equal "-o $target writes NFNT00$id.bin and nfnt00$id-hd.bin into a\\b" \
    "NFNT00$id.bin nfnt00$id-hd.bin" "$(cd "$dir/a/b" && ls NFNT00$id.bin nfnt00$id-hd.bin 2>&1 | xargs)"
  id=$((id + 1))
done
check_equal "nothing but the fonts appears" "a a/b $(for i in 80 81 82 83; do
  printf 'a/b/NFNT00%s.bin a/b/nfnt00%s-hd.bin ' $i $i; done | xargs -n1 | sort | xargs)" \
  "$(cd "$dir" && find . -mindepth 1 | sed 's|^\./||' | sort | xargs)"
status=0
err=$(cd "$dir" && wine "$glyphsmith_exe" -o 'Q:\none' 9 11.7 Western DejaVu Sans 2>&1) || status=$?
check_equal "-o on a drive that isn't there: status 1" 1 "$status"
check_equal "-o on a drive that isn't there: the message" "glyphsmith: no folder 'Q:\none'" \
  "$(printf '%s' "$err" | tr -d '\r')"

echo "== fontpick.exe and the font dialog"
fontpick_exe=$windows/bin/fontpick.exe

# Starts fontpick.exe in folder $1 with the arguments after it, waits for the
# dialog, presses key $2 in it and waits for the program to end. Sets
# $status; the program's standard error goes to $1/stderr.
run_dialog() {
  local dir=$1 key=$2
  shift 2
  (cd "$dir" && exec timeout 120 wine "$fontpick_exe" "$@" >"$dir/stdout" 2>"$dir/stderr") &
  local pid=$! window
  # With no window manager, windowactivate fails; focusing the window works.
  window=$(timeout 120 xdotool search --sync --onlyvisible --name '^Font$' | head -1) || true
  if [ -z "$window" ]; then
    echo "no window called Font appeared"
  else
    # A key that comes before the dialog listens is lost: press it again
    # while the dialog stays.
    for _ in 1 2 3; do
      xdotool windowfocus --sync "$window" 2>/dev/null && xdotool key "$key" || break
      for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break 2
        sleep 0.2
      done
    done
  fi
  status=0
  wait "$pid" || status=$?
}

# A fake generator that writes its arguments one a line and exits with 7.
make_generator() {
  mkdir -p "$1/bin"
  # The redirection stands first, so that a digit before it isn't taken for a
  # handle number.
  printf '@echo off\r\nfor %%%%a in (%%*) do >>generator-args.txt echo %%%%a\r\nexit /b 7\r\n' \
    >"$1/bin/_glyphsmith.bat"
}


dir=$scratch/confirm
mkdir -p "$dir" && make_generator "$dir"
run_dialog "$dir" Return "DejaVu Sans:0:400:Western"
check_equal "confirming DejaVu Sans at 12pt runs the generator with 12 15.6 Western DejaVu Sans" \
  "$(printf '12\n15.6\nWestern\nDejaVu\nSans')" \
  "$(tr -d '\r' <"$dir/generator-args.txt" 2>/dev/null)"
check_equal "the generator's status 7 becomes fontpick's" 7 "$status"
check_equal "nothing on standard output or error when confirmed" "" \
  "$(cat "$dir/stdout" "$dir/stderr")"

dir=$scratch/cancel
mkdir -p "$dir" && make_generator "$dir"
run_dialog "$dir" Escape "DejaVu Sans:0:400:Western" 10.5pt
check_equal "Escape gives status 0" 0 "$status"
check_equal "Escape runs no generator" "bin stderr stdout" "$(cd "$dir" && echo *)"
check_equal "nothing on standard output or error when cancelled" "" \
  "$(cat "$dir/stdout" "$dir/stderr")"

# The whole road on Windows: the dialog, bin\_glyphsmith.exe through cmd.exe,
# then prcbuild.exe packs the fonts with a remap resource.
dir=$scratch/package
mkdir -p "$dir/bin" && cp "$glyphsmith_exe" "$dir/bin/_glyphsmith.exe"
run_dialog "$dir" Return "Liberation Sans:0:400:Cyrillic" 10pt
check_equal "fontpick.exe runs bin\\_glyphsmith.exe to the end" 0 "$status"
check_equal "the fonts and the preview appear" "NFNT0080.bin bin nfnt0080-hd.bin preview-0080.png stderr stdout" \
  "$(cd "$dir" && echo *)"
check_equal "the summary names the face" "NFNT0080.bin: Liberation Sans 10 points" \
  "$(head -1 "$dir/stdout" | cut -d, -f1)"
check_equal "nothing on standard error" "" "$(cat "$dir/stderr")"
status=0
(cd "$dir" && wine "$prcbuild_exe" Cyrillic.prc "Liberation Sans Cyrillic" Font PLib \
  NFNT0080.bin nfnt0080-hd.bin -f Rmap0000 80) || status=$?
check_equal "prcbuild.exe packs them" 0 "$status"
check_equal "Palm::PDB reads the package: both fonts and the remap resource" \
  "$(printf 'entries:    3\n  NFNT   128 (0x0080) %7d bytes\n  nfnt   128 (0x0080) %7d bytes\n  Rmap     0 (0x0000)       4 bytes' \
     "$(stat -c %s "$dir/NFNT0080.bin" 2>/dev/null)" "$(stat -c %s "$dir/nfnt0080-hd.bin" 2>/dev/null)")" \
  "$(perl scripts/palm-dump.pl "$dir/Cyrillic.prc" 2>&1 | sed -n '/^entries:/,$p')"

echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
