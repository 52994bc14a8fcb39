#!/usr/bin/env bash
# Installs what is missing, builds the programs in Release and goes the whole
# way from a desktop font to Palm font packages, in build/example/:
#   1. a font package folder, package/, with bin/_glyphsmith, the generator
#      fontpick runs;
#   2. fonts made from DejaVu Sans by that generator, as fontpick would start
#      it: replacements for the std, bold and large fonts, each at standard
#      and double density, with preview pictures;
#   3. a font package of them and a remap package that shows them in place of
#      the Palm's own, both built with prcbuild;
#   4. both listed by prcdump, and their fonts drawn as pictures, then both
#      checked by prcdump --check.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build
echo "Building the programs in build/release..."
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build/release -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
bin=$PWD/build/release/bin
for program in prcbuild fontpick prcdump glyphsmith; do
  [ -x "$bin/$program" ] || { echo "example.sh: $program was not built" >&2; exit 1; }
done

example=build/example
rm -rf "$example"
mkdir -p "$example/package/bin"
ln -s "$bin/glyphsmith" "$example/package/bin/_glyphsmith"

# fontpick "DejaVu Sans:0:400:Western" 9pt, confirmed, runs the first line
# without its --id: size, line spacing (size x 1.3), character set, face. The
# IDs are fixed here so that the remap package can name them: 0xa0 to 0xa2,
# among the IDs left to applications (0x80 up) and with no Palm font name.
face=(DejaVu Sans)
echo
echo "== Fonts from ${face[*]}, made in $example/package by bin/_glyphsmith"
(
  cd "$example/package"
  bin/_glyphsmith --id 00a0 9 11.7 Western "${face[@]}"
  bin/_glyphsmith --id 00a1 --bold 9 11.7 Western "${face[@]}"
  bin/_glyphsmith --id 00a2 12 15.6 Western "${face[@]}"
)

echo
echo "== The font package and the remap package, built by prcbuild"
cd "$example"
fonts=(package/NFNT00a{0,1,2}.bin package/nfnt00a{0,1,2}-hd.bin)
"$bin/prcbuild" fonts.prc "DejaVu Sans Fonts" Font PGwk "${fonts[@]}"
# Fonts 0 to 2 (std, bold, large) shown as the new fonts 0xa0 to 0xa2; the
# version and name resources come from the examples folder.
"$bin/prcbuild" remap.prc "DejaVu Sans Remap" Rmap PGwk \
  ../../examples/tver0001.bin ../../examples/tAIN03e8.bin \
  -f Rmap0000 a0 -f Rmap0001 a1 -f Rmap0002 a2
echo "Built $example/fonts.prc and $example/remap.prc"

echo
echo "== What prcdump finds in them"
"$bin/prcdump" --png pictures fonts.prc remap.prc

echo
echo "== What a Palm would mis-read in them: nothing, or prcdump --check says so"
"$bin/prcdump" --check fonts.prc remap.prc

echo
echo "Pictures:"
echo "  $example/package/preview-00a{0,1,2}.png  glyphsmith's previews, drawn from the fonts it wrote"
echo "  $example/pictures/                       prcdump's glyph sheets of the fonts in fonts.prc"
ls pictures | sed 's/^/    /'
