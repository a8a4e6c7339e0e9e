#!/usr/bin/env bash
# Makes the seed inputs of every fuzz target with the openssl program, fresh
# keys each time, so that no key material is kept in the repository:
#   fuzz/make-seeds.sh FOLDER BUILD_DIR  ->  FOLDER/<target>/<seed files>
# PKCS#12 seeds are protected with the password the targets try first
# (kSeedPassword in fuzz_support.h); the seeds that begin with a length byte
# carry their own password, as SplitPfxInput reads them.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 FOLDER BUILD_DIR" >&2
  exit 2
fi
out=$1
seed_password=cspTRIL-fuzz
# GOST keys and certificates need the engine: the build's configuration loads
# the module built beside the program's engine.
export OPENSSL_CONF="$2/cspTRIL-openssl.cnf"

rm -rf "$out"
mkdir -p "$out"/{base64_decode,pem_to_key,pfx,signature_in_file,subject_to_csr}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ossl() { openssl "$@" 2>/dev/null; }

# Keys of every kind the readers may meet, and a few they must refuse.
ossl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$work/rsa.key"
ossl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:1024 -out "$work/rsa1024.key"
ossl genpkey -algorithm gost2012_256 -pkeyopt paramset:TCB -out "$work/gost.key"
ossl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$work/ec.key"
ossl genpkey -algorithm ED25519 -out "$work/ed25519.key"
for key in rsa gost ec ed25519; do
  ossl pkey -in "$work/$key.key" -pubout -out "$work/$key.pub"
done

# Self-signed certificates, and a leaf issued by a small CA.
subject=/C=TJ/O=cspTRIL/CN=fuzz
ossl req -new -x509 -key "$work/rsa.key" -sha256 -subj "$subject" -days 30 -set_serial 0x7A3F01 \
  -out "$work/rsa.crt"
ossl req -new -x509 -key "$work/rsa1024.key" -sha1 -subj "$subject" -days 30 -set_serial 1 \
  -out "$work/rsa-sha1.crt"
ossl req -new -x509 -key "$work/gost.key" -md_gost12_256 -subj "$subject" -days 30 \
  -out "$work/gost.crt"
ossl req -new -x509 -key "$work/ec.key" -sha256 -subj "$subject" -days 30 -set_serial 0 \
  -out "$work/ec.crt"
ossl req -new -x509 -key "$work/ec.key" -sha256 -subj /CN=fuzz-ca -days 30 -out "$work/ca.crt"
ossl req -new -key "$work/rsa1024.key" -subj "$subject" -out "$work/leaf.csr"
ossl x509 -req -in "$work/leaf.csr" -CA "$work/ca.crt" -CAkey "$work/ec.key" -sha256 -days 30 \
  -set_serial 2 -out "$work/leaf.crt"

# PEM texts.
pem=$out/pem_to_key
for key in rsa gost ec ed25519; do
  cp "$work/$key.key" "$pem/$key-private.pem"
  cp "$work/$key.pub" "$pem/$key-public.pem"
done
ossl pkey -in "$work/rsa1024.key" -traditional -out "$pem/rsa-traditional.pem"
ossl rsa -in "$work/rsa1024.key" -RSAPublicKey_out -out "$pem/rsa-pkcs1-public.pem"
ossl pkey -in "$work/ec.key" -aes256 -passout pass:"$seed_password" -out "$pem/ec-encrypted.pem"
ossl pkcs8 -topk8 -scrypt -in "$work/ec.key" -passout pass:"$seed_password" -out "$pem/ec-scrypt.pem"
sed 's/$/\r/' "$work/ec.key" >"$pem/ec-crlf.pem"
cat "$work/ec.crt" "$work/ec.pub" >"$pem/certificate-then-public.pem"
# What verify also takes as a key file: certificates, and DER forms; names in Tajik and Russian.
ossl req -new -x509 -key "$work/gost.key" -md_gost12_256 -utf8 -days 30 \
  -subj "/C=TJ/L=Душанбе/O=Вазорати молия/CN=Раҳимов Ҷамшед" -out "$pem/gost-tajik.crt"
cp "$work/leaf.crt" "$pem/leaf.crt"
ossl x509 -in "$work/rsa.crt" -outform DER -out "$pem/rsa-certificate.der"
ossl pkey -pubin -in "$work/ec.pub" -outform DER -out "$pem/ec-public.der"

# PKCS#12 files, shared by both PKCS#12 targets.
pfx=$out/pfx
export_pfx() {  # name key cert password [openssl arguments...]
  local name=$1 key=$2 cert=$3 password=$4
  shift 4
  ossl pkcs12 -export -inkey "$work/$key" -in "$work/$cert" -passout pass:"$password" \
    -out "$work/$name.p12" "$@"
}
export_pfx rsa-sha256 rsa.key rsa.crt "$seed_password" -name signer
export_pfx gost gost.key gost.crt "$seed_password" -noiter -nomaciter
export_pfx ec-chain ec.key ec.crt "$seed_password" -certfile "$work/ca.crt" -noiter -nomaciter
export_pfx rsa-sha1-3des rsa1024.key rsa-sha1.crt "$seed_password" -descert \
  -keypbe PBE-SHA1-3DES -macalg sha1 -noiter -nomaciter
export_pfx leaf rsa1024.key leaf.crt "$seed_password" -certfile "$work/ca.crt" -noiter -nomaciter
export_pfx no-certificate rsa1024.key rsa-sha1.crt "$seed_password" -nocerts -noiter -nomaciter
export_pfx no-key rsa1024.key rsa-sha1.crt "$seed_password" -nokeys -noiter -nomaciter
export_pfx open ec.key ec.crt "" -nomac -keypbe NONE -certpbe NONE
# As older Windows versions export them (RC2-40 and 3DES, a SHA-1 MAC), and RC4 without a MAC
# under the empty password, which the reader tries as no password first.
export_pfx legacy rsa1024.key rsa-sha1.crt "$seed_password" -legacy -noiter -nomaciter
export_pfx no-mac-rc4 rsa1024.key rsa-sha1.crt "" -legacy -nomac -noiter \
  -keypbe PBE-SHA1-RC4-128 -certpbe AES-256-CBC
export_pfx secret gost.key gost.crt secret -noiter -nomaciter
for name in rsa-sha256 gost ec-chain rsa-sha1-3des leaf no-certificate no-key legacy; do
  cp "$work/$name.p12" "$pfx/$name.p12"
done
# A length byte and the password in front: empty, then "secret".
{ printf '\0'; cat "$work/open.p12"; } >"$pfx/open-unprotected.bin"
{ printf '\6secret'; cat "$work/secret.p12"; } >"$pfx/secret-password.bin"
{ printf '\0'; cat "$work/no-mac-rc4.p12"; } >"$pfx/no-mac-rc4-unprotected.bin"
cp "$work/rsa.key" "$pfx/not-pkcs12.pem"
# The TC26 2020 profile (Kuznyechik and Magma bags, a key that states its public key): the
# tests' published files, behind their password.
tc26="$(dirname "$0")/../tests/data/tc26-2020"
{ printf '\11pass-2020'; cat "$tc26/dev_kuzomac_key_magmaomac_cert.pfx"; } >"$pfx/tc26-2020-omac.bin"
{ printf '\11pass-2020'; cat "$tc26/dev_magma_key_clear_cert.pfx"; } >"$pfx/tc26-2020-magma.bin"

# Base64 texts, as openssl writes them (lines of 64) and on one line.
b64=$out/base64_decode
ossl rand 256 | openssl base64 >"$b64/lines.txt"
ossl dgst -sha256 -sign "$work/rsa.key" "$work/rsa.crt" | openssl base64 -A >"$b64/signature.txt"
ossl rand 64 | openssl base64 -A >"$b64/gost-sized.txt"
printf 'YWJj' >"$b64/abc.txt"
printf '=Y=Q=' >"$b64/scattered-pad.txt"
printf 'YW Jj\n\t\r\v\f' >"$b64/whitespace.txt"
printf 'YWJj-_!' >"$b64/illegal.txt"

# Signature files: records as sign writes them and as other JSON writers might, raw bytes.
records=$out/signature_in_file
sig=$(ossl dgst -sha256 -sign "$work/rsa.key" "$work/rsa.crt" | openssl base64 -A)
printf '{"serial":"","sign":"%s"}' "$sig" >"$records/record.json"
printf '{"serial":"7A3F01","sign":"%s"}\r\n' "$sig" >"$records/record-crlf.json"
printf '\xEF\xBB\xBF{ "sign" : "%s", "meta": [1, -2.5e3, true, null, {"a": "\\u00e9\\/"}] }\n' \
  "${sig//\//\\/}" >"$records/record-escaped.json"
printf '{"sign":"not base64!"}' >"$records/not-base64.json"
ossl dgst -sha256 -sign "$work/rsa.key" "$work/rsa.crt" >"$records/raw.sig"

# Subject strings.
subjects=$out/subject_to_csr
i=0
while IFS= read -r line; do
  printf '%s' "$line" >"$subjects/subject-$i.txt"
  i=$((i + 1))
done <<'SUBJECTS'
/C=TJ/ST=Tajikistan/L=Dushanbe/O=YourOrganization/OU=YourUnit/CN=YourCommonName
CN=no leading slash/O=A=B
//CN=double//O=slashes/
/C=TOOLONG/CN= blanks /unknownField=x/CN=kept
/2.5.4.3=dotted/emailAddress=user@example.tj/serialNumber=0042/UID=u1
/commonName=long names/organizationName=Org/countryName=TJ/DC=example
/CN=Душанбе/O=Café
no slash and no equals
SUBJECTS

# Each PKCS#12 target reads the same seeds.
mv "$pfx" "$out/pfx_to_certificate"
cp -r "$out/pfx_to_certificate" "$out/pfx_to_private_key"
