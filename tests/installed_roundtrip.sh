#!/usr/bin/env bash
# Installs the build into a staging folder (by `cmake --install`, or by unpacking
# the Debian package) and runs a GOST round trip with the installed program and no
# OPENSSL_CONF: it must register the system's GOST engine itself.
#   installed_roundtrip.sh BUILD_DIR install|deb
set -euo pipefail
[ -z "${CSPTRIL_TOOL:-}" ] || { echo "skipped: not the program under test"; exit 77; }
build=$(cd "$1" && pwd) work=$(mktemp -d) prefix=
trap 'rm -rf "$work"' EXIT
unset OPENSSL_CONF
fail() { echo "FAIL: $*" >&2; exit 1; }
if [ "$2" = deb ]; then
  (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >/dev/null)
  depends=$(dpkg-deb -f "$work"/pkg/*.deb Depends)
  [[ $depends == *libssl3* && $depends == *libengine-gost-openssl* ]] || fail "Depends: $depends"
  dpkg-deb -x "$work"/pkg/*.deb "$work/stage" && prefix=/usr
else
  cmake --install "$build" --prefix "$work/stage" >/dev/null
fi
tool=$work/stage$prefix/bin/cspTRIL
[ -f "$work/stage$prefix/share/man/man1/cspTRIL.1.gz" ] || fail "no manual page"
"$tool" genkeys GOST "$work" | grep -qx 'Result :1' || fail "genkeys GOST"
printf 'Payment order 42\r\n\0end' > "$work/doc"
"$tool" sign GOST "$work/gost_private_key.pem" "$work/doc" |
  sed -n 's/^Gost signature .*"sign":"\([^"]*\)"}$/\1/p' | base64 -d > "$work/doc.sig"
verdict() { "$tool" verify GOST "$work/gost_public_key.pem" "$work/doc" "$work/doc.sig" | tail -n 1; }
[ "$(verdict)" = "Verification OK" ] || fail "verify of the fresh signature"
printf 'Payment order 43\r\n\0end' > "$work/doc"
[ "$(verdict)" = "Verification Failed" ] || fail "verify accepted changed data"
