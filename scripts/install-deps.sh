#!/usr/bin/env bash
# Installs what cspTRIL needs on Debian 12, 13 or testing (run as root), in
# three sets: always what building and running needs (the GOST engine, where
# the build takes it, is built from source at configure time:
# scripts/build-gost-engine.sh); with "tests", what the test suite needs too;
# with "dev", the developers' tools that .ci/run uses: the style check
# (clang-format, clang-tidy), the leak check (valgrind), the fuzzers (clang and
# its runtime) and the benchmark (hyperfine, time, gnuplot), each where the
# release has it (Debian testing has no hyperfine).
#   scripts/install-deps.sh [tests] [dev]
# The system's GOST provider (libengine-gost-openssl, where it has keys and
# signatures) is never installed here: installed by the user, it is what the
# build then takes.
set -euo pipefail
build=(cmake ninja-build g++ pkg-config libssl-dev)
tests=(openssl libgtest-dev)
dev=(valgrind clang libclang-rt-dev llvm clang-format clang-tidy hyperfine time gnuplot-nox)

packages=("${build[@]}") optional=()
for set in "$@"; do
  case $set in
    tests) packages+=("${tests[@]}") ;;
    dev) packages+=("${tests[@]}") optional+=("${dev[@]}") ;;
    *) echo "usage: $0 [tests] [dev]" >&2; exit 2 ;;
  esac
done
bash "$(dirname "$0")/apt-install-missing.sh" "${packages[@]}"
[ "${#optional[@]}" -eq 0 ] || bash "$(dirname "$0")/apt-install-missing.sh" --if-available "${optional[@]}"
