#!/usr/bin/env bash
# Builds the packages into build/package/ and checks what they hold:
#   - palm-font-tools_VERSION_ARCH.deb, made by CPack from a Release build in
#     build/deb, its Depends computed from the programs' libraries;
#   - palm-font-tools-VERSION-win64.zip, the static .exe files cross-built in
#     build/windows with the README and the manual pages as text.
# Each package is unpacked and its programs are run from there (the Windows
# ones under wine). Exits with 1, naming every problem, when anything is
# missing or wrong.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc 2>/dev/null || echo 2)

scripts/install-deps.sh build package windows

out=build/package
scratch=$(mktemp -d "${TMPDIR:-/tmp}/package-XXXXXX")
cleanup() {
  [ -z "${WINEPREFIX:-}" ] || wineserver -k 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

problems=0
problem() { problems=$((problems + 1)); echo "MISSING OR WRONG: $*"; }
# Runs a step with its output in a log, shown only when it fails.
quietly() {
  local log=$1
  shift
  mkdir -p "$(dirname "$log")"
  "$@" >"$log" 2>&1 || { cat "$log"; echo "package.sh: failed: $* (log: $log)" >&2; exit 1; }
}

# The programs this source tree builds, each of which both packages must hold.
programs=()
for p in prcbuild fontpick prcdump glyphsmith; do
  [ -f "$p/CMakeLists.txt" ] && programs+=("$p")
done
version=$(sed -n 's/^project(palm_font_tools VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package.sh: no project version in CMakeLists.txt" >&2; exit 1; }
name=palm-font-tools
docdir=usr/share/doc/$name

rm -rf "$out"
mkdir -p "$out"

echo "== Building the Debian package (build/deb)"
quietly build/deb/configure.log cmake -S . -B build/deb -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr
quietly build/deb/build.log cmake --build build/deb -j "$jobs"
quietly build/deb/cpack.log cpack --config build/deb/CPackConfig.cmake -B "$root/$out"

echo "== Cross-building for Windows and making the zip (build/windows)"
quietly build/windows/build.log scripts/build-windows.sh
quietly build/windows/cpack.log cpack --config build/windows/CPackConfig.cmake -B "$root/$out"
rm -rf "$out/_CPack_Packages"

echo "== Checking the Debian package"
deb=$out/${name}_${version}_$(dpkg --print-architecture).deb
if [ ! -f "$deb" ]; then
  problem "$deb was not made; build/package holds: $(ls "$out")"
else
  contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
  for path in "${programs[@]/#/./usr/bin/}" "${programs[@]/%/.1.gz}" \
      "./$docdir/README.md" "./$docdir/examples/tAIN03e8.bin"; do
    case $path in *.1.gz) path=./usr/share/man/man1/${path} ;; esac
    grep -qxF "$path" <<<"$contents" || problem "$deb does not hold $path"
  done
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "Depends: $depends"
  needed=(libc6 libstdc++6)
  [[ " ${programs[*]} " == *" fontpick "* ]] && needed+=(libgtk-3-0)
  [[ " ${programs[*]} " == *" glyphsmith "* ]] && needed+=(libfreetype6 libfontconfig1)
  # The package names alone, one a line, versions and alternatives dropped.
  depends_names=$(sed 's/ *([^)]*)//g; s/ *[,|] */\n/g' <<<"$depends")
  for lib in "${needed[@]}"; do
    grep -qxF "$lib" <<<"$depends_names" || problem "$deb: Depends does not name $lib"
  done
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || problem "$deb: Version is not $version"

  tree=$scratch/deb
  dpkg-deb -x "$deb" "$tree"
  for p in "${programs[@]}"; do
    page=$tree/usr/share/man/man1/$p.1.gz
    [ -f "$page" ] || continue
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || problem "man warns about $p.1.gz: $warnings"
  done
  # The unpacked programs, run on the example inputs the package ships.
  bin=$tree/usr/bin
  db=$scratch/remap.prc
  if [ -x "$bin/prcbuild" ]; then
    "$bin/prcbuild" "$db" "Remap Example" Rmap PGwk "$tree/$docdir/examples/tver0001.bin" \
      -f Rmap0000 hrStdFont || problem "the packaged prcbuild failed"
    perl scripts/palm-dump.pl "$db" 2>/dev/null | grep -q '^ *Rmap  *0 (0x0000)' ||
      problem "the packaged prcbuild's remap.prc holds no Rmap0000 resource"
  fi
  if [ -x "$bin/fontpick" ]; then
    status=0
    message=$(env -u DISPLAY -u WAYLAND_DISPLAY "$bin/fontpick" 2>&1) || status=$?
    [ "$status:$message" = "1:fontpick: cannot open a display to show the font dialog on" ] ||
      problem "the packaged fontpick without a display: status $status, '$message'"
  fi
  for p in prcdump glyphsmith; do
    [ -x "$bin/$p" ] || continue
    "$bin/$p" --version 2>&1 | grep -qF "$version" || problem "the packaged $p --version does not say $version"
  done
  if [ -x "$bin/prcdump" ]; then
    "$bin/prcdump" "$db" 2>&1 | grep -q hrStdFont || problem "the packaged prcdump does not list hrStdFont in remap.prc"
  fi
  # The whole pipeline but the dialog: a font from an installed face, packed
  # and read back.
  if [ -x "$bin/glyphsmith" ] && [ -x "$bin/prcdump" ]; then
    mkdir "$scratch/fonts"
    "$bin/glyphsmith" -o "$scratch/fonts" --no-preview 9 11.7 Western DejaVu Sans >/dev/null ||
      problem "the packaged glyphsmith failed on DejaVu Sans"
    "$bin/prcbuild" "$scratch/fonts.prc" "DejaVu Sans" Font PGwk "$scratch"/fonts/{NFNT,nfnt}0080.bin &&
      "$bin/prcdump" "$scratch/fonts.prc" | grep -q 'nfnt  0x0080 .* font v2: .* dpi 72 144$' ||
      problem "the packaged programs' font package does not list a 72 and 144 dpi font"
  fi
fi

echo "== Checking the Windows zip"
zip=$out/$name-$version-win64.zip
top=$name-$version-win64
if [ ! -f "$zip" ]; then
  problem "$zip was not made; build/package holds: $(ls "$out")"
else
  listing=$(unzip -Z1 "$zip")
  for path in "${programs[@]/%/.exe}" "${programs[@]/%/.txt}" README.md examples/tver0001.bin; do
    case $path in *.txt) path=man/$path ;; esac
    grep -qxF "$top/$path" <<<"$listing" || problem "$zip does not hold $top/$path"
  done
  tree=$scratch/zip
  unzip -q "$zip" -d "$tree"
  for p in "${programs[@]}"; do
    page=$tree/$top/man/$p.txt
    [ -f "$page" ] || continue
    grep -q '^SEE ALSO$' "$page" || problem "$p.txt is not a rendered manual page"
    if LC_ALL=C grep -q '[^ -~]' "$page"; then problem "$p.txt is not plain ASCII text"; fi
  done

  export WINEPREFIX=$root/build/windows/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the wine prefix (first start, about 15 s)..."
    env -u DISPLAY wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  bin=$tree/$top
  if [ -f "$bin/prcbuild.exe" ]; then
    # The same database as the Linux build's, dates aside.
    (cd "$bin" && env -u DISPLAY wine prcbuild.exe remap.prc "Remap Example" Rmap PGwk examples/tver0001.bin \
      -f Rmap0000 hrStdFont) >/dev/null 2>&1 || problem "the packaged prcbuild.exe failed"
    if [ -f "$db" ]; then
      undated() { perl scripts/palm-dump.pl --data "$1" | grep -av -e '^created: ' -e '^modified: '; }
      [ "$(undated "$db")" = "$(undated "$bin/remap.prc" 2>/dev/null)" ] ||
        problem "prcbuild.exe and prcbuild built different databases from the same inputs"
    fi
  fi
  for p in prcdump glyphsmith; do
    [ -f "$bin/$p.exe" ] || continue
    (cd "$bin" && env -u DISPLAY wine "$p.exe" --version 2>&1) | grep -qF "$version" ||
      problem "the packaged $p.exe --version does not say $version"
  done
fi

if [ "$problems" -ne 0 ]; then
  echo "package.sh: $problems problems; the packages in $out are not fit to hand out" >&2
  exit 1
fi
echo "Made and checked:"
(cd "$out" && ls -l -- *.deb *.zip | awk '{print "  " $NF " (" $5 " bytes)"}')
