#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer), runs their unit tests, fuzzes each target for a
# bounded time and has scripts/palm-dump.pl read a sample of the databases
# prcbuild wrote. Exit status 1 when anything was found.
# Usage: fuzz/run.sh [seconds per target, default 30] [target...]
# (the targets named, of those below; all by default)
# FUZZ_BUILD names a build folder already configured with -DFUZZ=ON to use
# instead of build/fuzz (scripts/test.sh's sanitizer build is one).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}

scripts/install-deps.sh test fuzz
jobs=$(nproc 2>/dev/null || echo 2)
# Every target fuzz/CMakeLists.txt adds, by name (NAME_fuzz).
targets=(font_spec prcbuild palm_reader font_builder font_file prcdump)
if [ $# -gt 1 ]; then
  shift
  for wanted in "$@"; do
    [[ " ${targets[*]} " == *" $wanted "* ]] || { echo "run.sh: no fuzz target '$wanted'" >&2; exit 2; }
  done
  targets=("$@")
fi
build=${FUZZ_BUILD:-build/fuzz}
if [ -z "${FUZZ_BUILD:-}" ]; then
  # build/fuzz once held a project of fuzz/ alone: start it afresh.
  if grep -qsxF "CMAKE_HOME_DIRECTORY:INTERNAL=$PWD/fuzz" build/fuzz/CMakeCache.txt; then
    rm -rf build/fuzz
  fi
  cmake -S . -B build/fuzz -DFUZZ=ON -DBUILD_TESTING=OFF -DFONTPICK=ON -DWERROR=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" >/dev/null
fi
cmake --build "$build" -j "$jobs" --target fuzz_tests "${targets[@]/%/_fuzz}"
ctest --test-dir "$build" --output-on-failure -j "$jobs" -L fuzz

work=$build/run
rm -rf "$work/samples"
mkdir -p "$work/samples"
status=0
# Font files are larger than the other targets' inputs.
max_len() {
  case $1 in
    font_file) echo 20480 ;;
    prcdump) echo 8192 ;;  # room for a few real fonts
    *) echo 512 ;;
  esac
}
# Fuzzes one target; its report lines go to $work/TARGET.report, printed in
# the targets' order once all are done.
fuzz_target() {
  local target=$1 corpus=$work/corpus/$1 findings=$work/findings/$1 log=$work/$1.log
  mkdir -p "$corpus" "$findings"
  if ! PRCBUILD_FUZZ_SAMPLES="$work/samples" "$build/${target}_fuzz" "$corpus" "fuzz/corpus/$target" \
      -max_total_time="$seconds" -timeout=60 -malloc_limit_mb=512 -max_len="$(max_len "$target")" -len_control=0 \
      -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1; then
    grep -v '^    #' "$log" | tail -n 30
    echo "$target: finding above; replay with $build/${target}_fuzz FILE, FILE from $findings/"
  fi
  grep -E '^stat::number_of_executed_units' "$log" | sed "s/^stat::number_of_executed_units:/$target: runs:/"
}

# One target per core at a time: each is a single process.
running=0
for target in "${targets[@]}"; do
  echo "Fuzzing $target for $seconds s"
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  fuzz_target "$target" >"$work/$target.report" 2>&1 &
  running=$((running + 1))
done
wait
for target in "${targets[@]}"; do
  cat "$work/$target.report"
  if grep -q ': finding above;' "$work/$target.report"; then status=1; fi
done

# The same databases read by Palm::PDB must show what the model expects.
checked=0
for db in "$work"/samples/*.db; do
  [ -e "$db" ] || continue
  if ! perl scripts/palm-dump.pl --data "$db" | grep -av -e '^created: ' -e '^modified: ' |
      cmp -s - "${db%.db}.expected"; then
    echo "palm-dump.pl reads $db differently from the expected ${db%.db}.expected"
    status=1
  fi
  checked=$((checked + 1))
done
echo "palm-dump.pl read $checked sampled databases"
exit $status
