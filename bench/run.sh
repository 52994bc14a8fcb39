#!/usr/bin/env bash
# Benchmarks prcbuild against cat and the Palm::PDB modules, and prcdump
# against cat, and prints tables.
# Usage: bench/run.sh [runs]   (median of runs, default 5; inputs of about
# 130 MiB are made once under build/bench/work)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build bench
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build/bench --target prcbuild prcdump -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

exec perl bench/bench.pl --prcbuild build/bench/bin/prcbuild \
  --prcdump build/bench/bin/prcdump --work build/bench/work \
  --runs "${1:-5}"
