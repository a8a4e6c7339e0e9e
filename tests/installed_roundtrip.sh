#!/usr/bin/env bash
# Installs the built tree into a staging folder (by `cmake --install`, or by
# unpacking the Debian package) and runs a GOST round trip with the installed
# program and no OPENSSL_CONF: it must find its own GOST configuration.
#   installed_roundtrip.sh BUILD_DIR install|deb
set -euo pipefail
build_dir=$(cd "$1" && pwd)
mode=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset OPENSSL_CONF

fail() { echo "FAIL: $*" >&2; exit 1; }

case "$mode" in
  install)
    cmake --install "$build_dir" --prefix "$work/stage" >/dev/null
    prefix="$work/stage"
    ;;
  deb)
    (cd "$work" && cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work/pkg" >/dev/null)
    deb=$(ls "$work"/pkg/*.deb)
    dpkg-deb -f "$deb" Depends | grep -q 'libengine-gost-openssl' || fail "package does not depend on the GOST engine"
    dpkg-deb -f "$deb" Depends | grep -q 'libssl3' || fail "package does not depend on libssl3"
    dpkg-deb -x "$deb" "$work/stage"
    prefix="$work/stage/usr"
    ;;
  *) fail "unknown mode $mode" ;;
esac

tool="$prefix/bin/cspTRIL"
[ -x "$tool" ] || fail "no installed executable"
[ -f "$prefix/share/man/man1/cspTRIL.1" ] || fail "no manual page"
[ -f "$prefix/share/cspTRIL/cspTRIL-openssl.cnf" ] || fail "no OpenSSL configuration"

keys="$work/keys"
mkdir "$keys"
"$tool" genkeys GOST "$keys" | grep -qx 'Result :1' || fail "genkeys GOST"
printf 'Payment order 42\r\n\0end' > "$work/doc.txt"
record=$("$tool" sign GOST "$keys/gost_private_key.pem" "$work/doc.txt" | sed -n 's/^Gost signature //p')
[ -n "$record" ] || fail "sign GOST printed no record"
printf '%s' "$record" | sed -n 's/.*"sign":"\([^"]*\)".*/\1/p' | base64 -d > "$work/doc.sig"
[ "$(stat -c %s "$work/doc.sig")" -eq 64 ] || fail "signature is not 64 bytes"
"$tool" verify GOST "$keys/gost_public_key.pem" "$work/doc.txt" "$work/doc.sig" |
  grep -qx 'Verification OK' || fail "verify of the fresh signature"
printf 'Payment order 43\r\n\0end' > "$work/doc.txt"
"$tool" verify GOST "$keys/gost_public_key.pem" "$work/doc.txt" "$work/doc.sig" |
  grep -qx 'Verification Failed' || fail "verify accepted changed data"
echo "installed ($mode) GOST round trip OK"
