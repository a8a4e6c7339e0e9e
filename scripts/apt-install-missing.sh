#!/usr/bin/env bash
# Installs those of the named Debian packages that the machine lacks (run as
# root). Packages already there are left as they are: never upgraded. With
# --if-available, a package the release does not have is passed over, named.
#   scripts/apt-install-missing.sh [--if-available] PACKAGE...
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
if_available=
[ "${1:-}" != --if-available ] || { if_available=1; shift; }

missing=()
for package in "$@"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ "${#missing[@]}" -gt 0 ] || exit 0
apt-get update
if [ -n "$if_available" ]; then
  wanted=("${missing[@]}") missing=()
  for package in "${wanted[@]}"; do
    if [ -n "$(apt-cache policy "$package" 2>/dev/null | sed -n 's/^ *Candidate: //p' | grep -v '(none)')" ]; then
      missing+=("$package")
    else
      echo "$package: not in this release's archive, passed over" >&2
    fi
  done
  [ "${#missing[@]}" -gt 0 ] || exit 0
fi
apt-get install -y --no-install-recommends --no-upgrade "${missing[@]}"
