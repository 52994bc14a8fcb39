#!/usr/bin/env bash
# Installs what is missing, builds the programs in Release and builds the
# example font remap package from examples/, then shows what it holds.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build/release -j "$(nproc 2>/dev/null || echo 2)" >/dev/null

mkdir -p build/example
# Fonts 0 to 2 (std, bold, large) shown in their high-density versions, the
# fixed-width font 0x90 in place of font 0x89, plus a version and a name.
build/release/prcbuild/prcbuild build/example/remap.prc "Remap Example" Rmap PGwk \
  examples/tver0001.bin examples/tAIN03e8.bin \
  -f Rmap0000 hrStdFont \
  -f Rmap0001 hrBoldFont \
  -f Rmap0002 hrLargeFont \
  -f Rmap0089 stdFixedFont_palm

echo "Built build/example/remap.prc:"
perl scripts/palm-dump.pl --data build/example/remap.prc
