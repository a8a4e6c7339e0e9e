#!/usr/bin/env bash
# Installs what building and testing cspTRIL needs on Debian 12 or 13 (run as
# root): the build (the GOST engine is built from source at configure time:
# scripts/build-gost-engine.sh), the test suite, the style check (clang-format,
# clang-tidy), the leak check (valgrind), the fuzzers (clang and its runtime,
# the release's default version) and the benchmark (hyperfine, time, gnuplot).
# Every package named exists under this name in both releases.
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config
  libssl-dev openssl
  libgtest-dev
  valgrind
  clang libclang-rt-dev llvm clang-format clang-tidy
  hyperfine time gnuplot-nox
)

bash "$(dirname "$0")/apt-install-missing.sh" "${packages[@]}"
