#!/usr/bin/env bash
# Installs what building cspTRIL.exe and testing it under Wine needs on Debian 12
# (run as root): the MinGW-w64 cross-compilers (the posix thread model), Wine,
# the tools that make the ZIP's texts, and the Russian UTF-8 locale in which
# Wine's ANSI code page is 1251. Nothing installed is upgraded.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

packages=(
  cmake ninja-build ca-certificates
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64
  groff-base zip unzip locales
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
  apt-get update
  apt-get install -y --no-install-recommends --no-upgrade "${missing[@]}"
fi

if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf8'; then
  localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
