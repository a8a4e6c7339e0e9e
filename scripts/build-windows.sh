#!/usr/bin/env bash
# Builds the Windows version on Debian 12 (run as root): installs the cross
# tools, builds or reuses the static OpenSSL and GOST engine (cached outside
# the checkout, see build-windows-deps.sh), then cspTRIL.exe and the ZIP:
#   build-windows/cspTRIL.exe
#   build-windows/cspTRIL-<version>-win64.zip
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-windows-deps.sh
prefix="$(bash scripts/build-windows-deps.sh | tail -n 1)"

cmake -S . -B build-windows -G Ninja \
  --toolchain "$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCSPTRIL_WINDOWS_DEPS="$prefix"
nice cmake --build build-windows
(cd build-windows && cpack -G ZIP > /dev/null)
ls -l build-windows/cspTRIL.exe build-windows/cspTRIL-*-win64.zip
