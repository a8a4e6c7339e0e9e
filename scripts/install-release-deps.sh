#!/usr/bin/env bash
# Installs what scripts/release.sh needs on Debian 12 (run as root): what the
# Linux and the Windows builds need, osslsigncode (Authenticode signing),
# lintian (the Debian package's check) and Python (the bill of materials).
# osslsigncode comes from the release itself (2.5 on Debian 12), never from
# backports: the release script uses only what that version can do.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
here="$(dirname "$0")"

bash "$here/install-deps.sh" tests
bash "$here/install-windows-deps.sh"
bash "$here/apt-install-missing.sh" lintian python3 zip git openssl

if ! dpkg-query -W -f='${Status}' osslsigncode 2>/dev/null | grep -q "install ok installed"; then
  codename="$(. /etc/os-release && printf '%s' "$VERSION_CODENAME")"
  apt-get update
  apt-get install -y --no-install-recommends --no-upgrade "osslsigncode/$codename"
fi
