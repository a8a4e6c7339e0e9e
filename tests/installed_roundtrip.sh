#!/usr/bin/env bash
# Runs a GOST round trip with an installed program, with no OPENSSL_CONF and an
# empty engines folder: its engine is built in. The program is installed into a
# staging folder (by `cmake --install`, or by unpacking the Debian package,
# whose dependencies name nothing GOST-specific), or is the one a Debian
# package installed into /usr (system).
#   installed_roundtrip.sh BUILD_DIR install|deb
#   installed_roundtrip.sh - system
set -euo pipefail
[ -z "${CSPTRIL_TOOL:-}" ] || { echo "skipped: not the program under test"; exit 77; }
work=$(mktemp -d) prefix=/usr stage=
trap 'rm -rf "$work"' EXIT
unset OPENSSL_CONF
export OPENSSL_ENGINES=$work/no-engines
fail() { echo "FAIL: $*" >&2; exit 1; }
if [ "$2" = deb ]; then
  build=$(cd "$1" && pwd) stage=$work/stage
  (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >/dev/null)
  depends=$(dpkg-deb -f "$work"/pkg/*.deb Depends)
  [[ $depends == *"libssl3 "*"| libssl3t64"* && $depends != *gost* ]] || fail "Depends: $depends"
  dpkg-deb -x "$work"/pkg/*.deb "$stage"
elif [ "$2" = install ]; then
  stage=$work/stage prefix=
  cmake --install "$1" --prefix "$stage" >/dev/null
fi
tool=$stage$prefix/bin/cspTRIL
[ -f "$stage$prefix/share/man/man1/cspTRIL.1.gz" ] || fail "no manual page"
"$tool" genkeys GOST "$work" | grep -qx 'Result :1' || fail "genkeys GOST"
printf 'Payment order 42\r\n\0end' > "$work/doc"
"$tool" sign GOST "$work/gost_private_key.pem" "$work/doc" |
  sed -n 's/^Gost signature .*"sign":"\([^"]*\)"}$/\1/p' | base64 -d > "$work/doc.sig"
verdict() { "$tool" verify GOST "$work/gost_public_key.pem" "$work/doc" "$work/doc.sig" | tail -n 1; }
[ "$(verdict)" = "Verification OK" ] || fail "verify of the fresh signature"
printf 'Payment order 43\r\n\0end' > "$work/doc"
[ "$(verdict)" = "Verification Failed" ] || fail "verify accepted changed data"
