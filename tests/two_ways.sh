#!/usr/bin/env bash
# two_ways.sh ENGINE_BUILD PROVIDER_BUILD: on one machine, what the engine build makes (a GOST
# key pair, a signature, a request, a PKCS#12 file) the provider build reads, and the other way
set -euo pipefail
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
unset OPENSSL_CONF
fail() { echo "FAIL: $*" >&2; exit 1; }
check() {  # MAKER READER: the maker's build folder makes, the reader's reads
  local make=$1/cspTRIL read=$2/cspTRIL dir=$work/${1//\//_} verdict
  mkdir -p "$dir" && cd "$dir" && printf 'Payment order 42\r\n\0end' > doc
  "$make" genkeys GOST "$dir" | grep -qx 'Result :1' || fail "$1: genkeys"
  record() { "$1" sign GOST "$2" doc "" ${3:+"$3"} | sed -n 's/^Gost signature //p'; }
  record "$make" gost_private_key.pem > made.sig && record "$read" gost_private_key.pem > read.sig
  for sig in made.sig read.sig; do
    verdict=$("$read" verify GOST gost_public_key.pem doc "$sig" | tail -n 1)
    [ "$verdict" = "Verification OK" ] || fail "$2 verifying $sig of $1's key: $verdict"
  done
  "$make" CSR GOST gost_private_key.pem gost_public_key.pem "/CN=Two ways" req.csr > /dev/null
  OPENSSL_CONF=$2/cspTRIL-openssl.cnf openssl req -in req.csr -verify -noout 2>&1 | grep -q OK ||
    fail "$1's request as $2's openssl reads it"
  OPENSSL_CONF=$1/cspTRIL-openssl.cnf openssl req -x509 -in req.csr -key gost_private_key.pem \
    -set_serial 0x42 -days 2 -out cert.pem 2> /dev/null
  "$make" PFX gost_private_key.pem cert.pem out.pfx pw > /dev/null || fail "$1: PFX"
  record "$read" out.pfx pw > pfx.sig && grep -q '"serial":"42"' pfx.sig || fail "$2 signing with $1's PKCS#12 file"
  [ "$("$make" verify GOST out.pfx doc pfx.sig pw | tail -n 1)" = "Verification OK" ] ||
    fail "$1 verifying with its PKCS#12 file what $2 signed with it"
}
check "$1" "$2"
check "$2" "$1"
# A configuration that loads the GOST engine by its module, as users configure the openssl
# program, leaves the provider build working with GOST from that engine alone.
export OPENSSL_CONF=$1/cspTRIL-openssl.cnf
mkdir "$work/conf" && cd "$work/conf" && printf 'data' > doc
"$2/cspTRIL" genkeys GOST . > /dev/null && "$2/cspTRIL" sign GOST gost_private_key.pem doc doc.sig > /dev/null &&
  [ "$("$2/cspTRIL" verify GOST gost_public_key.pem doc doc.sig | tail -n 1)" = "Verification OK" ] &&
  ! strace -f -e trace=openat "$2/cspTRIL" sign GOST gost_private_key.pem doc 2>&1 | grep -q gostprov ||
  fail "$2 under a configuration that loads the GOST engine"
echo "two ways: keys, signatures, requests and PKCS#12 files made by each read by the other"
