#!/usr/bin/env bash
# Cross-compiles the Windows build with mingw-w64: build-windows/Kalvo.dll (x86-64, Windows
# rules), the Windows test programs and the release archive build-windows/Kalvo-<version>-win64.zip.
# Extra arguments go to CMake's configure step (e.g. -DKALVO_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
builddir=build-windows
cmake -S . -B "$builddir" \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DKALVO_RULES=windows \
  -DCMAKE_BUILD_TYPE=Release \
  "$@" >/dev/null
cmake --build "$builddir" -j"$(nproc)"
echo "Built $builddir/Kalvo.dll"
