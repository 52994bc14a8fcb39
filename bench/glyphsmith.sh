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

# Medians over $runs runs of a command's wall time and CPU time (user +
# system) in milliseconds; the CPU time holds still on a busy machine.
median_ms() {
  perl -MTime::HiRes=time -e '
    my $runs = shift; my (@wall, @cpu);
    for (1 .. $runs) {
      my @before = times; my $start = time;
      system(@ARGV) == 0 or die "failed: @ARGV\n";
      my $wall = time - $start; my @after = times;
      push @wall, 1000 * $wall;
      push @cpu, 1000 * ($after[2] + $after[3] - $before[2] - $before[3]);
    }
    my $median = sub { my @s = sort { $a <=> $b } @_; $s[$#s / 2] };
    printf STDERR "%8.1f ms wall %8.1f ms CPU\n", $median->(@wall), $median->(@cpu);
  ' "$runs" "$@" 2>&1 >/dev/null
}

printf '%-52s %s\n' "glyphsmith 12 15.6 Western DejaVu Sans" \
  "$(median_ms build/bench/glyphsmith/glyphsmith -o "$out" --id 80 12 15.6 Western DejaVu Sans)"
printf '%-52s %s\n' "the same with --no-preview" \
  "$(median_ms build/bench/glyphsmith/glyphsmith -o "$out" --id 80 --no-preview 12 15.6 Western DejaVu Sans)"
printf '%-52s %s\n' "floor: FreeType alone, 0x20..0xFF at 12 and 24 px" "$(median_ms "$floor" "$font" 12)"
