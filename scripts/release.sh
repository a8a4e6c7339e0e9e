#!/usr/bin/env bash
# Makes a release of the committed source (HEAD) in dist/ (run as root on
# Debian 12; it installs what it needs):
#   cspTRIL.exe                      the Windows program, Authenticode-signed
#   cspTRIL-VERSION-win64.zip        that program with its texts and licences
#   csptril_VERSION_amd64.deb        the Debian package
#   cspTRIL.exe.cdx.json, csptril_VERSION_amd64.deb.cdx.json
#                                    a CycloneDX bill of materials for each
#   winget/                          a winget manifest set for the ZIP
#   test-signing-certificate.pem     the throw-away signing certificate, when
#                                    no real one is given
#   SHA256SUMS                       the SHA-256 of every file above
# It builds twice, in two folders, the second time with an empty Windows
# dependency cache (so the static OpenSSL and GOST engine are built again),
# with every time stamp taken from the commit (SOURCE_DATE_EPOCH), and stops
# unless both builds wrote the same bytes. Then it checks the signature, that
# no build folder is named in what it ships, that the bills of materials match
# what was built, and the Debian package with lintian.
#
# Environment (README.md, "Releases", has the details):
#   CSPTRIL_DOWNLOAD_URL   the folder the release is downloaded from (winget)
#   CSPTRIL_SIGN_PKCS12 + CSPTRIL_SIGN_PASSWORD_FILE
#   CSPTRIL_SIGN_PKCS11_MODULE + CSPTRIL_SIGN_PKCS11_KEY + CSPTRIL_SIGN_CERT
#     [+ CSPTRIL_SIGN_PASSWORD_FILE (the PIN), CSPTRIL_SIGN_PKCS11_ENGINE]
#                          a real code-signing key; without one, a throw-away
#                          certificate and key are made for this run
#   CSPTRIL_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp server
#   CSPTRIL_SIGN_CA_FILE   the certificates the signature is checked against
#   CSPTRIL_RELEASE_BUILDS 2 (default), or 1 for one build and no comparison
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
started=$SECONDS
export LC_ALL=C TZ=UTC
commit="$(git rev-parse HEAD)"
SOURCE_DATE_EPOCH="$(git log -1 --format=%ct "$commit")"
export SOURCE_DATE_EPOCH
builds="${CSPTRIL_RELEASE_BUILDS:-2}"
log() { printf '== %s\n' "$*" >&2; }
fail() { printf 'release: %s\n' "$*" >&2; exit 1; }

bash scripts/install-release-deps.sh > /dev/null
git diff --quiet "$commit" -- || log "Uncommitted changes are left out: the release is built from ${commit:0:7}."

work="$(mktemp -d /tmp/cspTRIL-release.XXXXXX)"
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"

# --- The signing identity, one for every build of this run ------------------
signer=() verify_ca="${CSPTRIL_SIGN_CA_FILE:-}" test_certificate=
if [ -n "${CSPTRIL_SIGN_PKCS12:-}" ]; then
  signer=(-pkcs12 "$CSPTRIL_SIGN_PKCS12"
          -readpass "${CSPTRIL_SIGN_PASSWORD_FILE:?names the file that holds the PKCS#12 password}")
elif [ -n "${CSPTRIL_SIGN_PKCS11_MODULE:-}" ]; then
  signer=(-pkcs11module "$CSPTRIL_SIGN_PKCS11_MODULE"
          -certs "${CSPTRIL_SIGN_CERT:?names the code-signing certificate (PEM) of the token key}"
          -key "${CSPTRIL_SIGN_PKCS11_KEY:?is the PKCS#11 URI of the key}")
  [ -z "${CSPTRIL_SIGN_PKCS11_ENGINE:-}" ] || signer+=(-pkcs11engine "$CSPTRIL_SIGN_PKCS11_ENGINE")
  [ -z "${CSPTRIL_SIGN_PASSWORD_FILE:-}" ] || signer+=(-readpass "$CSPTRIL_SIGN_PASSWORD_FILE")
else
  log "No code-signing key given: signing with a throw-away certificate made for this run."
  test_certificate="$work/test-signing-certificate.pem"
  openssl req -x509 -newkey rsa:3072 -nodes -keyout "$work/test-signing-key.pem" \
    -out "$test_certificate" -days 2 -subj "/O=TRIL/CN=cspTRIL throw-away test signing" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" 2> /dev/null
  signer=(-certs "$test_certificate" -key "$work/test-signing-key.pem")
  verify_ca="$test_certificate"
fi
if [ -n "${CSPTRIL_SIGN_TIMESTAMP_URL:-}" ]; then
  signer+=(-ts "$CSPTRIL_SIGN_TIMESTAMP_URL")
else
  signer+=(-time "$SOURCE_DATE_EPOCH")  # the signing time is the commit's
fi

# --- One build of the commit into a folder of release files ------------------
# build_release SOURCE_FOLDER WINDOWS_DEPS_CACHE GOST_ENGINE_CACHE OUT
build_release() {
  local src=$1 cache=$2 engine_cache=$3 out=$4 version zip_name deb exe stage top prefix digest url
  mkdir -p "$src" "$out"
  git archive "$commit" | tar -x -C "$src"
  log "Building ${commit:0:7} in $src"
  (
    cd "$src"
    CSPTRIL_GOST_ENGINE_CACHE="$engine_cache" \
      cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCSPTRIL_BUILD_TESTS=OFF > /dev/null
    nice cmake --build build > /dev/null
    (cd build && cpack -G DEB > /dev/null)
    CSPTRIL_WINDOWS_DEPS_CACHE="$cache" bash scripts/build-windows.sh > /dev/null
  )
  version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$src/build/CMakeCache.txt")"
  prefix="$(sed -n 's/^CSPTRIL_WINDOWS_DEPS:PATH=//p' "$src/build-windows/CMakeCache.txt")"
  deb="csptril_${version}_amd64.deb"
  cp "$src/build/$deb" "$out/"

  # The ZIP: the installed, stripped files, the program signed, every entry
  # with the commit's time and fixed permissions, in name order.
  zip_name="cspTRIL-$version-win64"
  stage="$src/zip-stage"
  top="$stage/$zip_name"
  cmake --install "$src/build-windows" --prefix "$top" --strip > /dev/null
  osslsigncode sign "${signer[@]}" -h sha256 -n "cspTRIL $version" \
    -in "$top/cspTRIL.exe" -out "$out/cspTRIL.exe" > /dev/null
  cp "$out/cspTRIL.exe" "$top/cspTRIL.exe"
  find "$top" -type d -exec chmod 755 {} + -o -type f -exec chmod 644 {} +
  chmod 755 "$top/cspTRIL.exe"
  find "$top" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  (cd "$stage" && find "$zip_name" -type f | sort | zip -X -D -q -9 "$out/$zip_name.zip" -@)

  # The bills of materials, from the records of what each build linked.
  python3 "$src/scripts/sbom.py" "$out/cspTRIL.exe" "$prefix/components.tsv" "$prefix/licenses" \
    "$src/packaging/debian/copyright" "$version" "$out/cspTRIL.exe.cdx.json"
  deb_components "$out/$deb" "$src/deb-components" "$src/build/gost-engine"
  python3 "$src/scripts/sbom.py" "$out/$deb" "$src/deb-components/components.tsv" \
    "$src/deb-components" "$src/packaging/debian/copyright" "$version" "$out/$deb.cdx.json"

  # winget: the ZIP as a portable program, its address and hash.
  digest="$(sha256sum "$out/$zip_name.zip" | cut -d' ' -f1)"
  url="${CSPTRIL_DOWNLOAD_URL:-https://example.invalid/cspTRIL/$version}"
  winget_manifests "$version" "${url%/}/$zip_name.zip" "${digest^^}" "$zip_name" "$out/winget"

  [ -z "$test_certificate" ] || cp "$test_certificate" "$out/"
  (cd "$out" && find . -type f ! -name SHA256SUMS -printf '%P\n' | sort | xargs sha256sum > SHA256SUMS)
}

# The Debian package's components: the GOST engine built into its program (the
# engine build's record, ENGINE), the packages it depends on, those that
# supply the libraries its program links and the compiler's runtime linked
# into it, as installed where it was built.
deb_components() {
  local deb=$1 folder=$2 engine=$3 packages soname package name library
  mkdir -p "$folder/root"
  dpkg-deb -x "$deb" "$folder/root"
  packages=
  # Of alternatives (libssl3 or libssl3t64), the one installed here.
  for package in $(dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | sed -E 's/^ *([^ ]+).*/\1/'); do
    if dpkg-query -W -f='${db:Status-Status}\n' "$package" 2> /dev/null | grep -qx installed; then
      packages+=$'\n'"$package"
    fi
  done
  for soname in $(objdump -p "$folder/root/usr/bin/cspTRIL" | awk '$1 == "NEEDED" { print $2 }'); do
    package="$(dpkg-query -S "/lib/x86_64-linux-gnu/$soname" "/usr/lib/x86_64-linux-gnu/$soname" \
                 2>/dev/null | head -n1 | cut -d: -f1)" || true
    [ -z "$package" ] || packages+=$'\n'"$package"
  done
  cp "$engine/components.tsv" "$folder/components.tsv"
  cp "$engine"/licenses/*-copyright.txt "$folder/"
  for package in $(sort -u <<<"$packages"); do
    debian_installed_row "$package" "$package" "$folder" >> "$folder/components.tsv"
  done
  # A program that loads no libstdc++ has the compiler's runtime linked in.
  objdump -p "$folder/root/usr/bin/cspTRIL" | grep -q 'NEEDED *libstdc++' ||
    for piece in "libstdc++ libstdc++.a" "libgcc libgcc.a"; do
      read -r name library <<<"$piece"
      package="$(debian_runtime_package g++ "$library")"
      debian_installed_row "$name" "$package" "$folder" >> "$folder/components.tsv"
    done
}

# winget_manifests VERSION INSTALLER_URL SHA256 ZIP_FOLDER OUT
winget_manifests() {
  local version=$1 id=TRIL.cspTRIL schema=1.6.0 header
  mkdir -p "$5"
  header="# Made by scripts/release.sh"
  cat > "$5/$id.yaml" <<EOF
$header
# yaml-language-server: \$schema=https://aka.ms/winget-manifest.version.$schema.schema.json
PackageIdentifier: $id
PackageVersion: $version
DefaultLocale: en-US
ManifestType: version
ManifestVersion: $schema
EOF
  cat > "$5/$id.installer.yaml" <<EOF
$header
# yaml-language-server: \$schema=https://aka.ms/winget-manifest.installer.$schema.schema.json
PackageIdentifier: $id
PackageVersion: $version
InstallerType: zip
NestedInstallerType: portable
NestedInstallerFiles:
- RelativeFilePath: $4\\cspTRIL.exe
  PortableCommandAlias: cspTRIL
MinimumOSVersion: 10.0.18362.0
ReleaseDate: $(date -u -d "@$SOURCE_DATE_EPOCH" +%Y-%m-%d)
Installers:
- Architecture: x64
  InstallerUrl: $2
  InstallerSha256: $3
ManifestType: installer
ManifestVersion: $schema
EOF
  cat > "$5/$id.locale.en-US.yaml" <<EOF
$header
# yaml-language-server: \$schema=https://aka.ms/winget-manifest.defaultLocale.$schema.schema.json
PackageIdentifier: $id
PackageVersion: $version
PackageLocale: en-US
Publisher: TRIL
Author: TRIL cryptography team
PackageName: cspTRIL
License: Apache-2.0
Copyright: Copyright (c) 2026 TRIL
ShortDescription: Sign and verify documents with RSA and GOST R 34.10-2012 keys
Description: A command-line cryptography tool that generates RSA and GOST R 34.10-2012 key pairs, signs and verifies files, builds PKCS#10 certificate requests and packs keys into PKCS#12 files, on OpenSSL and the GOST engine.
Moniker: csptril
Tags:
- cryptography
- digital-signature
- gost
- openssl
- pkcs12
ManifestType: defaultLocale
ManifestVersion: $schema
EOF
}

source scripts/debian-sources.sh
debian_sources_init "$work/debian-sources" > /dev/null

# --- Build, once or twice ----------------------------------------------------
build_release "$work/first/cspTRIL" "${CSPTRIL_WINDOWS_DEPS_CACHE:-/var/cache/cspTRIL-windows-deps}" \
  "${CSPTRIL_GOST_ENGINE_CACHE:-/var/cache/cspTRIL-gost-engine}" "$work/dist-1"
if [ "$builds" -ge 2 ]; then
  build_release "$work/second/another-checkout" "$work/empty-deps-cache" "$work/empty-engine-cache" \
    "$work/dist-2"
  log "Comparing the two builds"
  diff <(cd "$work/dist-1" && find . -type f | sort) <(cd "$work/dist-2" && find . -type f | sort) ||
    fail "the two builds made different files"
  (cd "$work/dist-1" && find . -type f | sort) | while IFS= read -r file; do
    cmp "$work/dist-1/$file" "$work/dist-2/$file" || fail "the two builds differ in $file"
  done
  echo "The two builds made the same $(find "$work/dist-1" -type f | wc -l) files, byte for byte."
  first_prefix="$(sed -n 's/^CSPTRIL_WINDOWS_DEPS:PATH=//p' "$work/first/cspTRIL/build-windows/CMakeCache.txt")"
  second_prefix="$(sed -n 's/^CSPTRIL_WINDOWS_DEPS:PATH=//p' "$work/second/another-checkout/build-windows/CMakeCache.txt")"
  for library in "$first_prefix"/lib/*.a; do
    cmp "$library" "$second_prefix/lib/$(basename "$library")" ||
      fail "the Windows dependencies built twice differ in $(basename "$library")"
  done
  echo "The Windows dependencies built in $first_prefix and $second_prefix are the same bytes."
  sha256sum "$work"/dist-[12]/cspTRIL*.exe "$work"/dist-[12]/*.zip "$work"/dist-[12]/*.deb \
    "$work"/dist-[12]/SHA256SUMS | sed "s|$work/||"
fi
dist="$work/dist-1"

# --- Checks ------------------------------------------------------------------
log "osslsigncode verify"
verify=(osslsigncode verify -in "$dist/cspTRIL.exe")
[ -z "$verify_ca" ] || verify+=(-CAfile "$verify_ca")
"${verify[@]}" | grep -E 'Signature verification|Signer #0|Subject:|Signing time|Message digest|Current message digest'

log "Build folders named in what ships (each count must be 0)"
inspect="$work/inspect"
mkdir -p "$inspect/zip" "$inspect/deb"
unzip -q "$dist"/*.zip -d "$inspect/zip"
dpkg-deb -x "$dist"/*.deb "$inspect/deb"
folders=("$work" "$root" cspTRIL-windows-deps cspTRIL-gost-engine)
count() { strings -a "$1" | grep -c -F "${folders[@]/#/-e}" || true; }
printf '%s: %s\n' "cspTRIL.exe" "$(count "$dist/cspTRIL.exe")" \
  "Linux /usr/bin/cspTRIL" "$(count "$inspect/deb/usr/bin/cspTRIL")" \
  "build/cspTRIL (unstripped)" "$(count "$work/first/cspTRIL/build/cspTRIL")"
! grep -r -l -a -F "${folders[@]/#/-e}" "$dist" "$inspect" ||
  fail "the files above name a build folder"

log "The bills of materials against what was built"
openssl_in_exe="$(strings -a "$dist/cspTRIL.exe" | grep -x '3\.[0-9]*\.[0-9]*' | sort -u)"
python3 - "$dist/cspTRIL.exe.cdx.json" "$openssl_in_exe" "$work/first/cspTRIL/scripts" \
  "$dist"/*.deb.cdx.json <<'EOF'
import json, re, sys
bom = json.load(open(sys.argv[1]))
linked = {c["name"]: c for c in bom["components"]}
recipes = "".join(open(sys.argv[3] + "/" + f).read() for f in ("build-windows-deps.sh", "gost-engine.sh"))
pins = re.findall(r'"(\S+) \S+ (\S+\.orig\.tar\.\S+) ([0-9a-f]{64})"', recipes)
names = {"openssl": "openssl", "libengine-gost-openssl": "gost-engine"}
assert linked["openssl"]["version"] == sys.argv[2], \
    "the exe holds OpenSSL %r, its bill of materials says %r" % (sys.argv[2], linked["openssl"]["version"])
for package, tarball, sha256 in pins:
    ref = linked[names[package]]["externalReferences"][0]
    assert (ref["url"], ref["hashes"][0]["content"]) == (tarball, sha256), \
        "%s: the bill of materials names %s, the build's pin %s" % (package, ref, tarball)
    version = tarball.split("_")[1].split(".orig")[0]
    assert linked[names[package]]["version"] == version, (package, version)
# The Debian package's program holds the same engine source as the exe.
deb = {c["name"]: c for c in json.load(open(sys.argv[4]))["components"]}
source = lambda c: (c["version"], c["purl"], c["externalReferences"][0]["url"],
                    c["externalReferences"][0]["hashes"][0]["content"])
assert source(deb["gost-engine"]) == source(linked["gost-engine"]), \
    "GOST engine: the Debian package names %s, the exe %s" % (source(deb["gost-engine"]),
                                                              source(linked["gost-engine"]))
for name, components in (("cspTRIL.exe", bom["components"]), ("the Debian package", deb.values())):
    print("  %s:" % name)
    for c in components:
        print("    %-14s %-8s %s" % (c["name"], c["version"], c["licenses"][0]["expression"]))
EOF
for bom in "$dist"/*.cdx.json; do python3 -m json.tool "$bom" > /dev/null; done
echo "OpenSSL in cspTRIL.exe: $openssl_in_exe"

log "lintian"
lintian "$dist"/*.deb && echo "lintian: no errors"

rm -rf dist
cp -r "$dist" dist
log "dist/ ($(( SECONDS - started )) s)"
cat dist/SHA256SUMS
