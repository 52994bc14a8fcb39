#!/usr/bin/env bash
# Builds the packages into build/package/ and checks what they hold:
#   --deb  the Debian packages, palm-font-tools (prcbuild, prcdump,
#          glyphsmith) and palm-fontpick (fontpick), built by debian/ with
#          dpkg-buildpackage from a copy of this checkout, twice, to show that
#          the same sources give the same bytes (with their -dbgsym
#          packages of debugging symbols);
#   --zip  palm-font-tools-VERSION-win64.zip, the static .exe files
#          cross-built in build/windows, one folder ready to run.
# With neither option it makes both. Each package is checked: lintian, the
# files and dependencies of each .deb, hardening-check on every program, the
# programs run from the unpacked packages, and the zip's folder used under
# wine from the font dialog to a checked font package. Exits with 1, naming
# every problem, when anything is missing or wrong.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc 2>/dev/null || echo 2)

make_deb=0 make_zip=0
for arg in "$@"; do
  case $arg in
    --deb) make_deb=1 ;;
    --zip) make_zip=1 ;;
    *) echo "Usage: scripts/package.sh [--deb] [--zip]" >&2; exit 2 ;;
  esac
done
[ $((make_deb + make_zip)) -gt 0 ] || make_deb=1 make_zip=1
tasks=()
[ "$make_deb" -eq 0 ] || tasks+=(deb)
[ "$make_zip" -eq 0 ] || tasks+=(zip)
scripts/install-deps.sh "${tasks[@]}"

out=build/package
scratch=$(mktemp -d "${TMPDIR:-/tmp}/package-XXXXXX")
xvfb_pid=
cleanup() {
  [ -z "${WINEPREFIX:-}" ] || wineserver -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
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
# Whether the lines on standard input are exactly those in $1.
same_lines() { diff -u <(printf '%s\n' "$1") - >"$scratch/diff" || { cat "$scratch/diff"; return 1; }; }

version=$(sed -n 's/^project(palm_font_tools VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package.sh: no project version in CMakeLists.txt" >&2; exit 1; }
[ "$(dpkg-parsechangelog -S Version 2>/dev/null || sed -n '1s/.*(\(.*\)).*/\1/p' debian/changelog)" = "$version" ] ||
  { echo "package.sh: debian/changelog does not start with version $version" >&2; exit 1; }
# Every date in the packages is the last commit's.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || stat -c %Y debian/changelog)
export SOURCE_DATE_EPOCH
name=palm-font-tools
arch=$(dpkg --print-architecture)
mkdir -p "$out"


# Builds the Debian packages from a copy of the checkout's files (tracked and
# new, not ignored) into $1.
build_debs() {
  local dest=$1 src=$root/build/debian-source/$name-$version
  rm -rf "$root/build/debian-source"
  mkdir -p "$src" "$dest"
  git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do [ -e "$f" ] || [ -L "$f" ] && printf '%s\0' "$f"; done |
    tar --null -T - -cf - | tar -xf - -C "$src"
  (cd "$src" && DEB_BUILD_OPTIONS="parallel=$jobs" dpkg-buildpackage -us -uc -b) \
    >"$dest/dpkg-buildpackage.log" 2>&1 ||
    { tail -40 "$dest/dpkg-buildpackage.log"; echo "package.sh: dpkg-buildpackage failed (log: $dest/dpkg-buildpackage.log)" >&2; exit 1; }
  mv "$root/build/debian-source"/*.deb "$root/build/debian-source"/*.changes \
    "$root/build/debian-source"/*.buildinfo "$dest/"
  rm -rf "$root/build/debian-source"
}

if [ "$make_deb" -eq 1 ]; then
  echo "== Building the Debian packages (log: $out/dpkg-buildpackage.log)"
  rm -f "$out"/*.deb "$out"/*.changes "$out"/*.buildinfo
  build_debs "$out"

  echo "== Building them again, to compare"
  build_debs "$scratch/again"
  for deb in "$out"/*.deb; do
    again=$scratch/again/$(basename "$deb")
    cmp -s "$deb" "$again" ||
      problem "$(basename "$deb"): a second build of the same sources differs ($(stat -c %s "$deb") and $(stat -c %s "$again" 2>/dev/null) bytes)"
  done

  echo "== Checking the Debian packages"
  lintian_log=$out/lintian.txt
  lintian --info --display-experimental --pedantic "$out"/*.changes >"$lintian_log" 2>&1 || true
  grep -v '^running with root privileges' "$lintian_log" || true
  grep -qE '^[EW]: ' "$lintian_log" && problem "lintian reports errors or warnings (in $lintian_log)"
  for tag in hardening-no-bindnow hardening-no-fortify-functions binary-has-unneeded-section \
      repeated-path-segment description-contains-invalid-control-statement; do
    grep -q " $tag" "$lintian_log" && problem "lintian reports $tag"
  done

  tools=$out/${name}_${version}_$arch.deb
  gui=$out/palm-fontpick_${version}_$arch.deb
  docdir=usr/share/doc/$name
  [ -f "$tools" ] && [ -f "$gui" ] || { problem "no $tools or $gui; $out holds: $(ls "$out")"; exit 1; }
  dpkg-deb -c "$tools" | awk '{print $NF}' | grep -v '/$' | same_lines "./usr/bin/glyphsmith
./usr/bin/prcbuild
./usr/bin/prcdump
./$docdir/README.md
./$docdir/changelog.gz
./$docdir/copyright
./$docdir/examples/tAIN03e8.bin
./$docdir/examples/tver0001.bin
./$docdir/preview.png
./usr/share/man/man1/glyphsmith.1.gz
./usr/share/man/man1/prcbuild.1.gz
./usr/share/man/man1/prcdump.1.gz" || problem "$tools holds other files than these"
  dpkg-deb -c "$gui" | awk '{print $NF}' | grep -v '/$' | same_lines "./usr/bin/fontpick
./usr/share/doc/palm-fontpick/changelog.gz
./usr/share/doc/palm-fontpick/copyright
./usr/share/man/man1/fontpick.1.gz" || problem "$gui holds other files than these"

  # The package names alone, one a line, versions and alternatives dropped.
  depends_names() { dpkg-deb -f "$1" Depends | sed 's/ *([^)]*)//g; s/ *[,|] */\n/g'; }
  for deb in "$tools" "$gui"; do
    echo "$(basename "$deb"): $(stat -c %s "$deb") bytes; Depends: $(dpkg-deb -f "$deb" Depends)"
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || problem "$deb: Version is not $version"
  done
  for lib in libc6 libstdc++6 libfreetype6 libfontconfig1 zlib1g; do
    depends_names "$tools" | grep -qxF "$lib" || problem "$tools: Depends does not name $lib"
  done
  # The command-line tools need no desktop: nothing of GTK, X or cairo.
  if depends_names "$tools" | grep -E '^lib(gtk|gdk|x11|cairo|pango|glib)'; then
    problem "$tools depends on desktop libraries"
  fi
  for lib in "$name" libgtk-3-0; do
    depends_names "$gui" | grep -qxF "$lib" || problem "$gui: Depends does not name $lib"
  done
  dpkg-deb -f "$gui" Depends | grep -qF "$name (= $version)" || problem "$gui: Depends does not name $name (= $version)"
  # What apt would do with them here: their dependencies can be met.
  apt-get install --simulate "./$tools" "./$gui" >"$scratch/apt.log" 2>&1 ||
    { cat "$scratch/apt.log"; problem "apt can't install $tools and $gui"; }

  tree=$scratch/deb
  dpkg-deb -x "$tools" "$tree"
  dpkg-deb -x "$gui" "$tree"
  bin=$tree/usr/bin
  # Control flow protection shows only where the C library's start files
  # carry it too, which Debian 12's don't; the flag is passed all the same.
  cf=()
  readelf -n /usr/lib/*/crt1.o 2>/dev/null | grep -q 'x86 feature: IBT, SHSTK' || cf=(--nocfprotection)
  hardening-check --quiet "${cf[@]}" "$bin"/* || problem "hardening-check finds programs built without the hardening flags"
  for page in "$tree"/usr/share/man/man1/*.1.gz; do
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || problem "man warns about $(basename "$page"): $warnings"
    date=$(zcat "$page" | sed -n 's/^\.TH "[^"]*" "1" "\([0-9-]*\)".*/\1/p')
    [ "$date" = "$(date -u -d "@$SOURCE_DATE_EPOCH" +%F)" ] ||
      problem "$(basename "$page") is dated '$date', not by the last commit"
  done
  # The installed README speaks of what the package holds, not of a checkout.
  grep -nE 'scripts/|build/|\.sh\b' "$tree/$docdir/README.md" &&
    problem "$docdir/README.md speaks of the source tree's scripts or build folders"
  grep -q 'the Palm font tools authors' "$tree/$docdir/copyright" ||
    problem "$docdir/copyright does not name the Palm font tools authors"
  grep -q 'Sean Barrett' "$tree/$docdir/copyright" || problem "$docdir/copyright does not name stb's author"

  # The unpacked programs, run on the example inputs the package ships: the
  # whole pipeline but the dialog.
  db=$scratch/remap.prc
  "$bin/prcbuild" "$db" "Remap Example" Rmap PGwk "$tree/$docdir/examples/tver0001.bin" \
    -f Rmap0000 hrStdFont || problem "the packaged prcbuild failed"
  perl scripts/palm-dump.pl "$db" 2>/dev/null | grep -q '^ *Rmap  *0 (0x0000)' ||
    problem "the packaged prcbuild's remap.prc holds no Rmap0000 resource"
  "$bin/prcdump" "$db" 2>&1 | grep -q hrStdFont || problem "the packaged prcdump does not list hrStdFont in remap.prc"
  status=0
  message=$(env -u DISPLAY -u WAYLAND_DISPLAY "$bin/fontpick" 2>&1) || status=$?
  [ "$status:$message" = "1:fontpick: cannot open a display to show the font dialog on" ] ||
    problem "the packaged fontpick without a display: status $status, '$message'"
  for p in prcdump glyphsmith; do
    "$bin/$p" --version 2>&1 | grep -qF "$version" || problem "the packaged $p --version does not say $version"
  done
  mkdir "$scratch/fonts"
  "$bin/glyphsmith" -o "$scratch/fonts" --no-preview 9 11.7 Western DejaVu Sans >/dev/null ||
    problem "the packaged glyphsmith failed on DejaVu Sans"
  (cd "$scratch/fonts" && "$bin/prcbuild" ../fonts.prc "DejaVu Sans" Font PGwk NFNT0080.bin nfnt0080-hd.bin) &&
    "$bin/prcdump" "$scratch/fonts.prc" | grep -q 'nfnt  0x0080 .* font v2: .* dpi 72 144$' ||
    problem "the packaged programs' font package does not list a 72 and 144 dpi font"
fi

if [ "$make_zip" -eq 1 ]; then
  echo "== Cross-building for Windows and making the zip (build/windows)"
  quietly build/windows/build.log scripts/build-windows.sh -DBUILD_TESTING=OFF
  rm -f "$out"/*.zip
  quietly build/windows/cpack.log cpack --config build/windows/CPackConfig.cmake -B "$root/$out"
  rm -rf "$out/_CPack_Packages"

  echo "== Checking the Windows zip"
  zip=$out/$name-$version-win64.zip
  top=$name-$version-win64
  [ -f "$zip" ] || { problem "$zip was not made; $out holds: $(ls "$out")"; exit 1; }
  echo "$(basename "$zip"): $(stat -c %s "$zip") bytes"
  unzip -Z1 "$zip" | grep -v '/$' | sort | same_lines "$(printf "$top/%s\n" LICENSE NOTICE README.txt \
    bin/_glyphsmith.exe examples/tAIN03e8.bin examples/tver0001.bin fontpick.exe glyphsmith.exe \
    man/fontpick.txt man/glyphsmith.txt man/prcbuild.txt man/prcdump.txt pick-font.cmd prcbuild.exe \
    prcdump.exe | sort)" ||
    problem "$zip holds other files than these"
  tree=$scratch/zip
  unzip -q "$zip" -d "$tree"
  folder=$tree/$top
  for text in README.txt pick-font.cmd LICENSE NOTICE man/prcbuild.txt man/fontpick.txt man/glyphsmith.txt man/prcdump.txt; do
    [ -f "$folder/$text" ] || continue
    # Every line ends in CR LF, and nothing but ASCII.
    if LC_ALL=C grep -q $'[^\r]$' "$folder/$text" || LC_ALL=C grep -q $'[^\r -~]' "$folder/$text"; then
      problem "$text is not ASCII text with CR LF line ends"
    fi
  done
  for p in prcbuild fontpick glyphsmith prcdump; do
    grep -q $'^SEE ALSO\r$' "$folder/man/$p.txt" 2>/dev/null || problem "man/$p.txt is not a rendered manual page"
  done
  grep -qi 'bash\|\.sh\b' "$folder/README.txt" && problem "README.txt speaks of bash or shell scripts"
  grep -q 'prcdump.exe --check' "$folder/README.txt" || problem "README.txt does not end with prcdump.exe --check"
  grep -q 'the Palm font tools authors' "$folder/LICENSE" || problem "LICENSE does not name the Palm font tools authors"
  cmp -s "$folder/glyphsmith.exe" "$folder/bin/_glyphsmith.exe" || problem "bin\\_glyphsmith.exe is not glyphsmith.exe"

  # The folder as a Windows user meets it: a double-click on pick-font.cmd
  # (cmd /c, from another folder), the dialog confirmed, its generator
  # writing the fonts there, the key its pause waits for, then prcbuild.exe
  # and prcdump.exe on them.
  export WINEPREFIX=$root/build/windows/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(cat "$scratch/display")
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the wine prefix (first start, about 15 s)..."
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  (cd "$scratch" && echo | exec timeout 120 wine cmd /c "$(winepath -w "$folder/pick-font.cmd" 2>/dev/null)" \
    "DejaVu Sans:0:400:Western" 10pt >"$scratch/fontpick.out" 2>"$scratch/fontpick.err") &
  pid=$!
  window=$(timeout 120 xdotool search --sync --onlyvisible --name '^Font$' | head -1) || true
  if [ -n "$window" ]; then
    # A key that comes before the dialog listens is lost: press it again.
    for _ in 1 2 3; do
      xdotool windowfocus --sync "$window" 2>/dev/null && xdotool key Return || break
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break 2; sleep 0.2; done
    done
  fi
  status=0
  wait "$pid" || status=$?
  [ -n "$window" ] || problem "fontpick.exe showed no font dialog"
  [ "$status" -eq 0 ] || problem "fontpick.exe and bin\\_glyphsmith.exe ended with status $status: $(cat "$scratch/fontpick.err")"
  head -1 "$scratch/fontpick.out" | grep -q '^NFNT0080.bin: DejaVu Sans 10 points' ||
    problem "fontpick.exe's generator did not report NFNT0080.bin: $(head -3 "$scratch/fontpick.out")"
  v2=$(cd "$folder" && ls nfnt0080*.bin 2>/dev/null | head -1)
  for f in NFNT0080.bin preview-0080.png "$v2"; do
    [ -n "$f" ] && [ -f "$folder/$f" ] || problem "fontpick.exe wrote no ${f:-version-2 font} in the folder"
  done
  (cd "$folder" && wine prcbuild.exe MyFonts.prc "My Fonts" Font PGwk NFNT0080.bin "$v2" &&
    wine prcbuild.exe Remap.prc "My Remap" Rmap PGwk examples/tver0001.bin -f Rmap0000 80) >"$scratch/prcbuild.log" 2>&1 ||
    problem "prcbuild.exe failed: $(cat "$scratch/prcbuild.log")"
  perl scripts/palm-dump.pl "$folder/MyFonts.prc" 2>&1 | sed -n '/^entries:/,$p' | sed 's/ *[0-9]* bytes$//' |
    same_lines "entries:    2
  NFNT   128 (0x0080)
  nfnt   128 (0x0080)" || problem "Palm::PDB does not read both fonts in MyFonts.prc"
  listing=$(cd "$folder" && wine prcdump.exe MyFonts.prc Remap.prc 2>&1 | tr -d '\r') ||
    problem "prcdump.exe could not list the packages: $listing"
  grep -q 'nfnt  0x0080 .* font v2: .* dpi 72 144$' <<<"$listing" ||
    problem "prcdump.exe does not list the version-2 font in MyFonts.prc: $listing"
  # The check before a package goes on a handheld, where this prcdump has it.
  if (cd "$folder" && wine prcdump.exe --help 2>&1) | grep -q -- '--check'; then
    status=0
    check=$(cd "$folder" && wine prcdump.exe --check MyFonts.prc Remap.prc 2>&1) || status=$?
    [ "$status" -eq 0 ] || problem "prcdump.exe --check finds fault with the packages (status $status): $check"
  fi
  # The Windows programs build what the Linux ones build, dates aside; under
  # a name of its own, as Windows takes remap.prc for the Remap.prc above.
  if [ "$make_deb" -eq 1 ] && [ -f "$scratch/remap.prc" ]; then
    (cd "$folder" && wine prcbuild.exe remap-example.prc "Remap Example" Rmap PGwk examples/tver0001.bin \
      -f Rmap0000 hrStdFont) >/dev/null 2>&1 || problem "prcbuild.exe failed on the remap example"
    undated() { perl scripts/palm-dump.pl --data "$1" | grep -av -e '^created: ' -e '^modified: '; }
    [ "$(undated "$scratch/remap.prc")" = "$(undated "$folder/remap-example.prc" 2>/dev/null)" ] ||
      problem "prcbuild.exe and prcbuild built different databases from the same inputs"
  fi
fi

if [ "$problems" -ne 0 ]; then
  echo "package.sh: $problems problems; the packages in $out are not fit to hand out" >&2
  exit 1
fi
echo "Made and checked:"
made=()
[ "$make_deb" -eq 0 ] || made+=('*.deb')
[ "$make_zip" -eq 0 ] || made+=('*.zip')
# shellcheck disable=SC2048,SC2086
(cd "$out" && ls -l -- ${made[*]} | awk '{print "  " $NF " (" $5 " bytes)"}')
