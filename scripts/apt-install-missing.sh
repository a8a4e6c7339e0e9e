#!/usr/bin/env bash
# Installs those of the named Debian packages that the machine lacks (run as
# root). Packages already there are left as they are: never upgraded.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

missing=()
for package in "$@"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
  apt-get update
  apt-get install -y --no-install-recommends --no-upgrade "${missing[@]}"
fi
