#!/usr/bin/env bash
# Installs what building and testing cspTRIL needs on Debian 12 (run as root):
# the build, the test suite, the style check (clang-format, clang-tidy), the
# leak check (valgrind), the fuzzers (clang) and the benchmark (hyperfine, time,
# gnuplot).
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config
  libssl-dev openssl libengine-gost-openssl
  libgtest-dev
  valgrind
  clang libclang-rt-14-dev llvm clang-format clang-tidy
  hyperfine time gnuplot-nox
)

bash "$(dirname "$0")/apt-install-missing.sh" "${packages[@]}"
