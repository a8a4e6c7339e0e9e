#!/usr/bin/env bash
# Runs every command of the built program under valgrind, on its success path
# and on each failure path the tests reach, and fails unless every run loses
# 0 bytes (definitely or indirectly) and has 0 errors. Prints the valgrind
# summary of each run. No suppression is needed: the library frees at exit
# everything it keeps for the process, once the engines hand back the one
# provider reference they take (signing/default_provider.cpp).
#   scripts/leak-check.sh [BUILD_DIR]      (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
tool="$build/cspTRIL"
conf="$build/cspTRIL-openssl.cnf"
[ -x "$tool" ] || { echo "no program at $tool: build it first" >&2; exit 2; }
command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 2; }

work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
cd "$work"
unset OPENSSL_CONF

# glibc picks AVX2/EVEX string functions on this hardware; their wide loads
# past the end of a block (harmless, within the page) are reported by valgrind
# as "Invalid read of size 32" in wmemcmp. Turning those variants off makes
# glibc use its plain versions, so every error valgrind reports here is real.
export GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2_Usable,-AVX512F_Usable,-AVX2,-AVX512F

ossl() { OPENSSL_CONF="$conf" openssl "$@" >/dev/null 2>&1 || { echo "fixture: openssl $*" >&2; exit 2; }; }

# Fixtures, made by the openssl program: key pairs, self-signed certificates
# (a PSS one, whose digest the signer does not know), PKCS#12 files, raw
# signatures, and a configuration that leaves GOST no random numbers.
printf 'Payment order 42\r\n\0end' > data.txt
for kind in rsa gost; do
  if [ $kind = rsa ]; then ossl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out rsa.key
  else ossl genpkey -algorithm gost2012_256 -pkeyopt paramset:TCB -out gost.key; fi
  ossl pkey -in $kind.key -pubout -out $kind.pub
  ossl req -x509 -new -key $kind.key -subj "/CN=$kind signer" -days 30 -set_serial 7 -out $kind.crt
  ossl pkcs12 -export -inkey $kind.key -in $kind.crt -passout pass:pw -out $kind.pfx
done
ossl dgst -sha256 -sign rsa.key -out rsa.sig data.txt
ossl dgst -md_gost12_256 -sign gost.key -out gost.sig data.txt
ossl req -x509 -new -key rsa.key -subj "/CN=pss" -days 30 -sigopt rsa_padding_mode:pss -out pss.crt
ossl pkcs12 -export -inkey rsa.key -in pss.crt -passout pass:pw -out pss.pfx
cp rsa.pub not-pkcs12.pfx
printf 'tampered' > tampered.txt
# GOST switched on, then FIPS algorithms alone asked for: no random numbers for GOST.
printf 'openssl_conf=i\n[i]\nengines=e\nalg_section=a\n[e]\ngost=g\n[g]\ndefault_algorithms=ALL\n[a]\nfips_mode=yes\n' > fips.cnf
mkdir -p keys clash/rsa_public_key.pem
subject="/C=TJ/ST=Tajikistan/L=Dushanbe/O=Org/OU=Unit/CN=Name"
nowhere="$work/no/such/folder"

failures=0
# check NAME EXPECTED-STDOUT-TEXT [VAR=VALUE...] -- ARGS...
# Runs the program under valgrind; the run must print the expected text (so
# the intended path was really taken), lose nothing and report no error.
check() {
  local name=$1 expected=$2 log out
  shift 2
  local env=()
  while [ "$1" != "--" ]; do env+=("$1"); shift; done
  shift
  log="$work/valgrind.log" out="$work/stdout"
  env "${env[@]}" valgrind --leak-check=full --show-leak-kinds=definite,indirect \
    --errors-for-leak-kinds=definite,indirect --error-exitcode=99 --log-file="$log" \
    "$tool" "$@" >"$out" 2>"$work/stderr" || true
  local definite indirect errors
  if grep -q "All heap blocks were freed" "$log"; then
    definite="0 bytes in 0 blocks" indirect="0 bytes in 0 blocks"
  else
    definite=$(sed -n 's/.*definitely lost: //p' "$log")
    indirect=$(sed -n 's/.*indirectly lost: //p' "$log")
  fi
  errors=$(sed -n 's/.*ERROR SUMMARY: //p' "$log")
  local verdict=ok
  if [ "$definite" != "0 bytes in 0 blocks" ] || [ "$indirect" != "0 bytes in 0 blocks" ] ||
     [ "${errors%% errors*}" != 0 ]; then
    verdict=FAIL
  elif ! grep -qF -- "$expected" "$out"; then
    verdict="FAIL (expected \"$expected\" on standard output)"
  fi
  printf '%-44s definitely lost: %s, indirectly lost: %s, ERROR SUMMARY: %s  %s\n' \
    "$name" "$definite" "$indirect" "$errors" "$verdict"
  if [ "$verdict" != ok ]; then
    failures=$((failures + 1))
    sed 's/^/    /' "$log" "$out" "$work/stderr" | tail -n 60
  fi
}

noGost="OPENSSL_CONF=$work/fips.cnf"
check "no command"                     "Command is Missing"  -- genkeys
check "unknown command"                "Uncnown command"     -- foo bar

check "genkeys RSA success"            "Result :1"           -- genkeys RSA 1024 keys
check "genkeys GOST success"           "Result :1"           -- genkeys GOST keys
check "genkeys GOST in current folder" "Result :1"           -- genkeys GOST
check "genkeys RSA missing size"       "RSA bitSize is Missing" -- genkeys RSA
check "genkeys bad word"               "Algoritm is Missing" -- genkeys Rsa 1024
check "genkeys size not a number"      "RSA generation key"  -- genkeys RSA big keys
check "genkeys refused size"           "Result :0"           -- genkeys RSA -5 keys
check "genkeys RSA unopenable folder"  "Result :0"           -- genkeys RSA 1024 "$nowhere"
check "genkeys RSA unopenable public"  "Result :0"           -- genkeys RSA 1024 clash
check "genkeys GOST unopenable folder" "Result :0"           -- genkeys GOST "$nowhere"
check "genkeys GOST no-GOST config"    "Result :0"  "$noGost" -- genkeys GOST keys
check "missing configuration"          "Uncnown command" OPENSSL_CONF=/nonexistent.cnf -- foo bar

check "sign PEM RSA"                   "Signature written to" -- sign SHA256 rsa.key data.txt out.sig
check "sign PEM GOST"                  "Gost signature {"    -- sign GOST gost.key data.txt
check "sign PKCS#12 RSA"               "RSA signature {\"serial\":\"07\"" -- sign SHA256 rsa.pfx data.txt "" pw
check "sign PKCS#12 GOST"              "Gost signature {\"serial\":\"07\"" -- sign GOST gost.pfx data.txt out.sig pw
check "sign wrong password"            "Signature is error"  -- sign SHA256 rsa.pfx data.txt "" bad
check "sign not PKCS#12"               "Signature is error"  -- sign SHA256 not-pkcs12.pfx data.txt "" pw
check "sign unknown digest"            "Signature is error"  -- sign SHA256 pss.pfx data.txt "" pw
check "sign key and digest mismatch"   "Signature is error"  -- sign GOST rsa.key data.txt
check "sign GOST no-GOST config"       "Signature is error" "$noGost" -- sign GOST gost.key data.txt
check "sign missing key"               "Signature is error"  -- sign SHA256 missing.key data.txt
check "sign missing input"             "RSA signature {"     -- sign SHA256 rsa.key missing.txt
check "sign unwritable output"         "RSA signature {"     -- sign SHA256 rsa.key data.txt "$nowhere/out.sig"
check "sign bad word"                  "Algoritm is Missing" -- sign sha256 rsa.key data.txt
check "sign too few arguments"         "input file is not set" -- sign SHA256 rsa.key

check "verify RSA OK"                  "Verification OK"     -- verify SHA256 rsa.pub data.txt rsa.sig
check "verify GOST OK"                 "Verification OK"     -- verify GOST gost.pub data.txt gost.sig
check "verify Failed"                  "Verification Failed" -- verify SHA256 rsa.pub tampered.txt rsa.sig
check "verify PKCS#12 RSA report"      "Verification OK"     -- verify SHA256 rsa.pfx data.txt rsa.sig pw
check "verify PKCS#12 GOST report"     "Verification OK"     -- verify GOST gost.pfx data.txt gost.sig pw
check "verify wrong password"          "Can not read certificate from PFX" -- verify SHA256 rsa.pfx data.txt rsa.sig bad
check "verify not PKCS#12"             "Can not read certificate from PFX" -- verify SHA256 not-pkcs12.pfx data.txt rsa.sig
check "verify missing key"             "Error get public key" -- verify SHA256 missing.pub data.txt rsa.sig
check "verify missing input"           "Verification Failed" -- verify SHA256 rsa.pub missing.txt rsa.sig
check "verify missing signature"       "Verification Failed" -- verify SHA256 rsa.pub data.txt missing.sig
check "verify wrong word"              "Wrong digest algoritm" -- verify sha256 rsa.pub data.txt rsa.sig
check "verify too few arguments"       "Wrong input parameters" -- verify SHA256 rsa.pub data.txt

check "CSR RSA"                        "CSR saved to file"   -- CSR SHA256 rsa.key rsa.pub "$subject" rsa.csr
check "CSR GOST"                       "BEGIN CERTIFICATE REQUEST" -- CSR GOST gost.key gost.pub "$subject"
check "CSR missing private key"        "CSR:"                -- CSR SHA256 missing.key rsa.pub "$subject" out.csr
check "CSR missing public key"         "BEGIN CERTIFICATE REQUEST" -- CSR SHA256 rsa.key missing.pub "$subject"
check "CSR unwritable output"          "CSR saved to file"   -- CSR GOST gost.key gost.pub "$subject" "$nowhere/x.csr"
check "CSR unknown word"               "BEGIN CERTIFICATE REQUEST" -- CSR sha256 rsa.key rsa.pub "$subject"
check "CSR too few arguments"          "Wrong input parameters" -- CSR SHA256 rsa.key rsa.pub

check "PFX RSA with CA and name"       "Generate PKCS12 OK1" -- PFX rsa.key rsa.crt out.pfx pw gost.crt "Signer"
check "PFX GOST"                       "Generate PKCS12 OK1" -- PFX gost.key gost.crt gost-out.pfx pw
check "PFX mismatched key"             "Generate PKCS12 failed0" -- PFX gost.key rsa.crt bad.pfx pw
check "PFX missing key"                "Generate PKCS12 failed0" -- PFX missing.key rsa.crt bad.pfx pw
check "PFX missing certificate"        "Generate PKCS12 failed0" -- PFX rsa.key missing.crt bad.pfx pw
check "PFX missing CA"                 "Generate PKCS12 failed0" -- PFX rsa.key rsa.crt bad.pfx pw missing.crt
check "PFX unwritable output"          "Generate PKCS12 failed0" -- PFX rsa.key rsa.crt "$nowhere/x.pfx" pw
check "PFX too few arguments"          "Wrong input parameters" -- PFX rsa.key rsa.crt out.pfx

if [ "$failures" -ne 0 ]; then
  echo "leak check: $failures run(s) lost memory, had errors or took another path" >&2
  exit 1
fi
echo "leak check: every run lost 0 bytes and had 0 errors"
