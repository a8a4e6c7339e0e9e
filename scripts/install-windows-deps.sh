#!/usr/bin/env bash
# Installs what building cspTRIL.exe and testing it under Wine needs on Debian 12
# (run as root): the MinGW-w64 cross-compilers (the posix thread model), Wine,
# the tools that make the ZIP's texts, script (a terminal for the console test),
# and the Russian UTF-8 locale in which Wine's ANSI code page is 1251. Nothing
# installed is upgraded.
set -euo pipefail

packages=(
  cmake ninja-build ca-certificates
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 bsdutils
  groff-base zip unzip locales
)

bash "$(dirname "$0")/apt-install-missing.sh" "${packages[@]}"

if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf8'; then
  localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
