#!/usr/bin/env bash
# Installs what is missing, builds warning-free, and runs every test: once in a
# plain build and once under AddressSanitizer and UndefinedBehaviorSanitizer,
# then the Windows programs under wine and the fuzz targets.
#
# Each stage prints one line of counts and where its log is. Passing tests
# are counted, not listed; a skipped test is named once with its reason, a
# failure is shown in full, and everything else (build output, glyph
# statistics) stays in the stage's log. The output ends with the line
# "N passed, N failed, N skipped" and then one verdict with the counts per
# stage. Exit status 1 when anything failed.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test fuzz || exit 1
jobs=$(nproc 2>/dev/null || echo 2)
# The three builds share what they can through ccache: the variables set the
# launcher when a build folder is first configured, the arguments for ours.
launcher=()
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

passed=0 failed=0 skipped=0
stages=()

# Adds a stage's counts to the totals and to the verdict.
count_stage() {  # label passed failed skipped [what follows in the verdict]
  passed=$((passed + $2)) failed=$((failed + $3)) skipped=$((skipped + $4))
  stages+=("$1 $2 passed, $4 skipped, $3 failed${5:-}")
}

# What is left of ctest's output once the passing and skipped tests and its
# summaries are taken out: failures with their output, and the list of
# failed tests. Skips are named from the tests' own output instead.
quiet_ctest='^ *Start +[0-9]+: |^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*( +Passed|\*\*\*Skipped) +[0-9.]+ sec$'
quiet_ctest+='|^Test project |^Internal ctest changing |^$|^Total Test time|^[0-9]+% tests passed, '
quiet_ctest+='|^The following tests did not run:|^[[:space:]]+[0-9]+ - .* \(Skipped\)$'
quiet_ctest+='|^Label Time Summary:|^[a-z0-9]+ += +[0-9.]+ sec\*proc \([0-9]+ tests?\)$'
# Build progress lines; warnings and errors stay.
quiet_build='^\[ *[0-9]+%\] |^-- '

# Sets ctest_passed, ctest_failed and ctest_skipped from a ctest log; false
# without a summary. ctest's summary counts a skipped test as passed.
ctest_counts() {
  local counts
  counts=$(sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests failed out of \([0-9]*\)$/\1 \2/p' "$1" | tail -1)
  [ -n "$counts" ] || return 1
  ctest_failed=${counts% *}
  ctest_skipped=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*Skipped ' "$1")
  ctest_passed=$((${counts#* } - ctest_failed - ctest_skipped))
}

# Builds in folder $2 with the configure arguments after it and runs the
# tests there (those $select picks, all by default); $1 names the stage in
# the verdict.
ctest_stage() {
  local label=$1 dir=$2 start=$SECONDS
  shift 2
  mkdir -p "$dir"
  if ! { cmake -S . -B "$dir" "${launcher[@]}" "$@" && cmake --build "$dir" -j "$jobs"; } >"$dir/build.log" 2>&1; then
    grep -vE "$quiet_build" "$dir/build.log"
    echo "$label: build failed (log: $dir/build.log)"
    stages+=("$label: build failed")
    failed=$((failed + 1))
    return
  fi
  # shellcheck disable=SC2086  # $select holds ctest's words
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" ${select:-} 2>&1 | tee "$dir/test.log" | grep -vE "$quiet_ctest"
  awk -f scripts/skipped.awk "$dir/Testing/Temporary/LastTest.log"
  if ctest_counts "$dir/test.log"; then
    count_stage "$label" "$ctest_passed" "$ctest_failed" "$ctest_skipped"
    echo "$label: $ctest_passed passed, $ctest_skipped skipped, $ctest_failed failed" \
      "($((SECONDS - start)) s; log: $dir/test.log)"
  else
    stages+=("$label: tests did not run")
    failed=$((failed + 1))
  fi
}

ctest_stage plain build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWERROR=ON
# The sanitizer build is clang's fuzzing build (every library instrumented
# for coverage too), which the fuzz stage then uses: one build fewer. A folder
# configured for another compiler is started afresh.
grep -qs '^CMAKE_CXX_COMPILER:.*clang++$' build/sanitize/CMakeCache.txt || rm -rf build/sanitize
select="-LE fuzz" ctest_stage sanitizers build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWERROR=ON \
  -DFUZZ=ON -DFONTPICK=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++

# Windows: the programs cross-built with mingw-w64 and tested under wine,
# prcbuild's end-to-end tests taken from the plain build above.
log=build/windows-test.log
start=$SECONDS
# Only failures, skips and a build's warnings and errors reach the terminal.
HOST_BUILD=build/test scripts/test-windows.sh 2>&1 | tee "$log" |
  grep -vE "$quiet_build|^ok: |^note: |^== |^[0-9]+ passed, [0-9]+ failed, [0-9]+ skipped$|: [0-9]+ passed, 0 failed, [0-9]+ skipped$"
windows_status=${PIPESTATUS[0]}
counts=$(sed -n 's/^\([0-9]*\) passed, \([0-9]*\) failed, \([0-9]*\) skipped$/\1 \2 \3/p' "$log" | tail -1)
if [ -n "$counts" ]; then
  read -r p f s <<<"$counts"
  # A script that stopped after its count still failed.
  [ "$windows_status" -eq 0 ] || [ "$f" -gt 0 ] || f=1
  count_stage Windows "$p" "$f" "$s"
  echo "Windows: $p passed, $s skipped, $f failed ($((SECONDS - start)) s; log: $log)"
else
  stages+=("Windows: did not finish")
  failed=$((failed + 1))
fi

# Fuzzing: the programs' parsers, whole prcbuild runs, the font builder and
# glyphsmith's font files, 20 s per target, as many at once as there are
# cores.
log=build/fuzz-test.log
start=$SECONDS
FUZZ_BUILD=build/sanitize fuzz/run.sh 20 2>&1 | tee "$log" | grep -vE "$quiet_build|$quiet_ctest|^Fuzzing [a-z_]+ for |^[a-z_]+: runs: [0-9]+$|^-- |^palm-dump.pl read [0-9]+ "
fuzz_status=${PIPESTATUS[0]}
awk -f scripts/skipped.awk build/sanitize/Testing/Temporary/LastTest.log 2>/dev/null
targets=$(grep -cE '^[a-z_]+: runs: [0-9]+$' "$log")
runs=$(sed -n 's/^[a-z_]*: runs: \([0-9]*\)$/\1/p' "$log" | awk '{n += $1} END {print n + 0}')
findings=$(grep -c 'finding above' "$log")
fuzz=" ($targets targets, $runs runs"
if [ "$findings" -gt 0 ]; then
  fuzz+=", $findings findings)"
  failed=$((failed + findings))
elif [ "$fuzz_status" -ne 0 ]; then
  fuzz+=", failed with status $fuzz_status)"
  failed=$((failed + 1))
else
  fuzz+=", no findings)"
fi
if ctest_counts "$log"; then
  count_stage fuzz "$ctest_passed" "$ctest_failed" "$ctest_skipped" "$fuzz"
  echo "fuzz: $ctest_passed passed, $ctest_skipped skipped, $ctest_failed failed$fuzz" \
    "($((SECONDS - start)) s; log: $log)"
else
  stages+=("fuzz: unit tests did not run$fuzz")
  failed=$((failed + 1))
  echo "fuzz: unit tests did not run$fuzz ($((SECONDS - start)) s; log: $log)"
fi

echo
echo "$passed passed, $failed failed, $skipped skipped"
verdict=$(printf '; %s' "${stages[@]}")
if [ "$failed" -eq 0 ]; then
  echo "passed: ${verdict#; }"
else
  echo "FAILED: ${verdict#; }"
  exit 1
fi
