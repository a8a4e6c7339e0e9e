#!/usr/bin/env bash
# Checks that every C++ file of the tree is laid out as .clang-format says, and
# that the files the Linux build compiles pass the checks .clang-tidy names
# (read with that build's compile commands).
#   scripts/check-style.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -f "$build/compile_commands.json" ] || { echo "no compile commands in $build: build first" >&2; exit 2; }

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}"

# The files this build compiles: the Windows sources, the fuzz targets and
# the other GOST way's file are compiled by other builds.
mapfile -t units < <(git ls-files '*.cpp' | while read -r unit; do
  ! grep -q -F "\"$PWD/$unit\"" "$build/compile_commands.json" || echo "$unit"; done)
printf '%s\n' "${units[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet
echo "style: ${#sources[@]} files laid out as .clang-format says; ${#units[@]} pass .clang-tidy"
