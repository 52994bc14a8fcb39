#!/usr/bin/env bash
# Installs the Debian packages a task needs, and nothing when they are all there.
# Usage: scripts/install-deps.sh build|test|windows|fuzz|bench|deb|zip ...
set -euo pipefail

packages=()
for task in "$@"; do
  case "$task" in
    build) packages+=(cmake make g++ pkg-config libgtk-3-dev perl libpalm-perl
                     libfreetype-dev libfontconfig-dev libpng-dev zlib1g-dev libstb-dev fonts-dejavu-core fontconfig scdoc) ;;
    test) packages+=(cmake make g++ pkg-config libgtk-3-dev libgtest-dev perl libpalm-perl
                     xvfb xdotool xauth fonts-dejavu-core fontconfig
                     libfreetype-dev libfontconfig-dev libpng-dev zlib1g-dev libstb-dev fonts-liberation2
                     fontforge-nox txt2pdbdoc scdoc man-db groff-base xfonts-utils fonts-terminus-otb xfonts-terminus) ;;
    windows) packages+=(cmake make g++-mingw-w64-x86-64 googletest libstb-dev wine wine64 libxrender1 xvfb xdotool
                        fonts-dejavu-core fonts-liberation2 fontconfig fontforge-nox) ;;
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    bench) packages+=(time perl libpalm-perl valgrind) ;;
    # The Debian packages' build (debian/control's Build-Depends) and checks.
    deb) packages+=(git dpkg-dev debhelper lintian devscripts cmake make g++ pkgconf libgtk-3-dev
                    libfreetype-dev libfontconfig-dev libstb-dev scdoc zlib1g-dev man-db groff-base
                    perl libpalm-perl fonts-dejavu-core fontconfig) ;;
    # The Windows zip and its run under wine.
    zip) packages+=(cmake make g++-mingw-w64-x86-64 libstb-dev wine wine64 libxrender1 xvfb xdotool
                    fonts-dejavu-core fontconfig scdoc man-db groff-base bsdextrautils zip unzip
                    perl libpalm-perl) ;;
    *) echo "install-deps.sh: unknown task '$task'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

# apt's output goes to a log, shown in full when the install fails.
log=$(cd "$(dirname "$0")/.." && pwd)/build/apt.log
mkdir -p "$(dirname "$log")"
echo "Installing: ${missing[*]} (apt's output in build/apt.log)" >&2
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
apt=("${sudo[@]}" apt-get -q -o DPkg::Lock::Timeout=300)
echo "== $(date -u '+%F %T') installing: ${missing[*]}" >>"$log"
if ! { "${apt[@]}" update && "${apt[@]}" install -y --no-install-recommends "${missing[@]}"; } >>"$log" 2>&1; then
  cat "$log" >&2
  echo "install-deps.sh: installing ${missing[*]} failed; apt's output is above and in $log" >&2
  exit 1
fi
