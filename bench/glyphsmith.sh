#!/usr/bin/env bash
# Times one full glyphsmith run (DejaVu Sans 12 points, Western: both font
# files and the preview) against a floor, a bare FreeType loop rendering the
# same characters at both sizes, and prints the medians.
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

# Median wall time of a command in milliseconds, over $runs runs.
median_ms() {
  local times=()
  for ((i = 0; i < runs; i++)); do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    times+=($(((end - start) / 1000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 } END { printf "%.1f", t[int((NR + 1) / 2)] / 1000 }'
}

generator=$(median_ms build/bench/glyphsmith/glyphsmith -o "$out" --id 80 12 15.6 Western DejaVu Sans)
floor_ms=$(median_ms "$floor" "$font" 12)
ratio=$(awk -v a="$generator" -v b="$floor_ms" 'BEGIN { printf "%.2f", a / b }')
printf '%-44s %8s ms\n' "glyphsmith 12 15.6 Western DejaVu Sans" "$generator"
printf '%-44s %8s ms\n' "floor: FreeType, 0x20..0xFF at 12 and 24 px" "$floor_ms"
printf '%-44s %8s\n' "ratio (target: at most 2, and under 50 ms)" "$ratio"
