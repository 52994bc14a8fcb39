#!/usr/bin/env bash
# Cross-builds prcbuild.exe, prcdump.exe, fontpick.exe and glyphsmith.exe for
# 64-bit Windows with mingw-w64 into build/windows/bin/ (prcbuild.exe, ...).
# All are linked statically and need only the system's DLLs on a Windows
# machine.
# Extra arguments go to the CMake configure step (-DBUILD_TESTING=ON adds the
# Windows test programs, -DWERROR=ON makes warnings errors).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh windows
# The toolchain is only taken when the build folder is first configured.
toolchain=()
[ -f build/windows/CMakeCache.txt ] ||
  toolchain=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake")
# ccache, where it is installed, keeps rebuilds short.
command -v ccache >/dev/null &&
  toolchain+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build/windows "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  "$@" >/dev/null
cmake --build build/windows -j "$(nproc 2>/dev/null || echo 2)"
