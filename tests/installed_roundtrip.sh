#!/usr/bin/env bash
# installed_roundtrip.sh BUILD_DIR|- install|deb|system [engine|provider]: GOST round trip of
# the installed program; the provider way's package depends on the system's GOST provider
set -euo pipefail
[ -z "${CSPTRIL_TOOL:-}" ] || { echo "skipped: not the program under test"; exit 77; }
work=$(mktemp -d) stage= && trap 'rm -rf "$work"' EXIT
unset OPENSSL_CONF && export OPENSSL_ENGINES=$work/none  # no configuration, no engine folder
fail() { echo "FAIL: $*" >&2; exit 1; }
if [ "$2" = deb ]; then
  (cd "$work" && cpack -G DEB --config "$(cd "$1" && pwd)/CPackConfig.cmake" -B pkg >/dev/null)
  depends=$(dpkg-deb -f "$work"/pkg/*.deb Depends)
  way=engine && [[ $depends != *"libengine-gost-openssl (>= 3.0.3)"* ]] || way=provider
  [[ $depends == *libssl* && ($way == provider || $depends != *gost*) && $way == "${3:-engine}" ]] ||
    fail "Depends: $depends"
  dpkg-deb -x "$work"/pkg/*.deb "$work/stage" && stage=$work/stage
elif [ "$2" = install ]; then
  cmake --install "$1" --prefix "$work/stage/usr" >/dev/null && stage=$work/stage
fi
[ -f "$stage/usr/share/man/man1/cspTRIL.1.gz" ] && tool=$stage/usr/bin/cspTRIL || fail "no manual"
"$tool" genkeys GOST "$work" | grep -qx 'Result :1' || fail "genkeys GOST"
printf 'Payment order 42\r\n\0end' > "$work/doc"
"$tool" sign GOST "$work/gost_private_key.pem" "$work/doc" |
  sed -n 's/^Gost signature .*"sign":"\([^"]*\)"}$/\1/p' | base64 -d > "$work/doc.sig"
verdict() { "$tool" verify GOST "$work/gost_public_key.pem" "$work/doc" "$work/doc.sig" | tail -n 1; }
[ "$(verdict)" = "Verification OK" ] || fail "verify of the fresh signature"
printf 'Payment order 43\r\n\0end' > "$work/doc"
[ "$(verdict)" = "Verification Failed" ] || fail "verify accepted changed data"
