#!/usr/bin/env bash
# Installs what building and testing cspTRIL needs on Debian 12 (run as root):
# the build, the test suite, the leak check (valgrind), the fuzzers (clang) and
# the benchmark (hyperfine, time, gnuplot).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

packages=(
  cmake ninja-build g++ pkg-config
  libssl-dev openssl libengine-gost-openssl
  libgtest-dev
  valgrind
  clang libclang-rt-14-dev llvm
  hyperfine time gnuplot-nox
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
