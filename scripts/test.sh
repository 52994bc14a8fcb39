#!/usr/bin/env bash
# Installs what is missing, builds warning-free, and runs every test: once in a
# plain build and once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWERROR=ON >/dev/null
cmake --build build/test -j "$jobs"
ctest --test-dir build/test --output-on-failure -j "$jobs"

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DWERROR=ON -DSANITIZE=ON >/dev/null
cmake --build build/sanitize -j "$jobs"
ctest --test-dir build/sanitize --output-on-failure -j "$jobs"

# Windows: both programs cross-built with mingw-w64 and tested under wine,
# prcbuild's end-to-end tests taken from the plain build above.
HOST_BUILD=build/test scripts/test-windows.sh

# Fuzzing: both programs' parsers and whole prcbuild runs, 30 s per target.
fuzz/run.sh 30
