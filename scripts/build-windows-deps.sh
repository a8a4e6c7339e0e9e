#!/usr/bin/env bash
# Builds what cspTRIL.exe links statically: OpenSSL's libcrypto and the GOST
# engine, cross-compiled with MinGW-w64 from Debian's own upstream tarballs.
#
# The result is a prefix outside the checkout, under CSPTRIL_WINDOWS_DEPS_CACHE
# (default /var/cache/cspTRIL-windows-deps), in a folder named after the
# tarballs' checksums, the compiler's version and this recipe: when that folder
# exists the build is skipped. The prefix's path is the last line printed on
# standard output; everything else goes to standard error. The cache keeps the
# CSPTRIL_WINDOWS_DEPS_KEEP (default 3) most recently used prefixes and removes
# the others, except one that a build is reading at that moment
# (scripts/use-windows-deps.sh holds it).
#
# The tarballs come through apt. Source indices are read with a private apt
# configuration (a deb-src copy of the machine's own entries, plus the same
# archive's entries for a pinned tarball's other suite, in a temporary folder),
# so the machine's apt sources and lists are never changed.
# The whole script is one block, read before it runs: editing the file while
# a build is under way cannot change what that build does.
{
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
export LC_ALL=C

here="$(cd "$(dirname "$0")" && pwd)"
source_root="$(dirname "$here")"
cache_root="${CSPTRIL_WINDOWS_DEPS_CACHE:-/var/cache/cspTRIL-windows-deps}"
keep="${CSPTRIL_WINDOWS_DEPS_KEEP:-3}"
triplet=x86_64-w64-mingw32
jobs="$(nproc)"

source "$here/debian-sources.sh"
source "$here/gost-engine.sh"
source "$here/deps-cache.sh"

# The tarballs built, pinned: Debian source package, the suite whose source
# index lists it, the upstream tarball and its SHA-256. OpenSSL is the 3.5
# long-term-support line, which Debian 13 carries; the GOST engine's pin is
# the Linux build's too (scripts/gost-engine.sh). To move a pin, see "Moving a
# pinned tarball" in docs/DEVELOPING.md.
pins=(
  "openssl trixie openssl_3.5.7.orig.tar.gz a8c0d28a529ca480f9f36cf5792e2cd21984552a3c8e4aa11a24aa31aeac98e8"
  "$gost_engine_pin"
)

# Everything that shapes the libraries is part of the cache key: these options,
# the toolchain file and the recipe's revision (raise it when the steps below
# change what they build; the engine's steps count through its own revision).
recipe_revision=$((3 + gost_engine_revision))
openssl_options=(mingw64 --cross-compile-prefix=${triplet}- CC=gcc-posix CXX=g++-posix
                 no-shared no-module no-tests)
# The folders compiled into libcrypto are those of OpenSSL's own Windows builds
# (folders only an administrator may create), never the build machine's. The
# program loads nothing from them; they only must not name this machine.
openssl_folders=("OPENSSLDIR=C:/Program Files/Common Files/SSL"
                 "ENGINESDIR=C:/Program Files/OpenSSL/lib/engines-3"
                 "MODULESDIR=C:/Program Files/OpenSSL/lib/ossl-modules")
engine_definitions=("${gost_engine_definitions[@]}")
engine_cache=("${gost_engine_cmake_windows[@]}")
# Source file names compiled in are mapped to "<project>-<version>/...", so the
# libraries hold no build folder and two builds in two folders are identical.
path_map_recipe="-ffile-prefix-map=SOURCE=NAME-VERSION -ffile-prefix-map=PREFIX=openssl"

log() { printf '%s\n' "$*" >&2; }
fail() { log "$@"; exit 1; }

work="$(mktemp -d /tmp/cspTRIL-windows-deps.XXXXXX)"
trap 'rm -rf "$work"' EXIT

# --- Source indices through a private apt configuration ----------------------
log "Reading Debian's source indices..."
suites=()
for pin in "${pins[@]}"; do read -r _ suite _ _ <<<"$pin"; suites+=("$suite"); done
debian_sources_init "$work" "${suites[@]}"
debian_pin_hint="The pins are at the top of scripts/build-windows-deps.sh and scripts/gost-engine.sh; docs/DEVELOPING.md (\"Moving a pinned tarball\") says how to move one."
for pin in "${pins[@]}"; do
  read -r package suite tarball sha256 <<<"$pin"
  [ -n "$(debian_source_version "$package" "$tarball" "$sha256")" ] || fail \
    "The pinned tarball $tarball (SHA-256 $sha256) is no longer in Debian's $suite source index." \
    "$debian_pin_hint"
done

# The compiler's runtime libraries that a static link puts into the program,
# each with the Debian package that supplies it.
runtime=("libstdc++ libstdc++.a" "libgcc libgcc.a" "mingw-w64-crt libmingwex.a"
         "winpthreads libwinpthread.a")
runtime_packages=()
for piece in "${runtime[@]}"; do
  read -r name library <<<"$piece"
  package="$(debian_runtime_package "${triplet}-g++-posix" "$library")"
  runtime_packages+=("$name $package $(dpkg-query -W -f='${Version}' "$package")")
done

# --- Cache key ---------------------------------------------------------------
compiler_version="$(${triplet}-gcc-posix --version | head -n1) / $(${triplet}-g++-posix --version | head -n1)"
key="$( {
  printf '%s\n' "${pins[@]}" "${runtime_packages[@]}" "$recipe_revision" "$compiler_version" \
    "${openssl_options[*]}" \
    "${openssl_folders[@]}" "${engine_definitions[*]}" "${engine_cache[*]}" "$path_map_recipe"
  cat "$source_root/cmake/mingw-w64-x86_64.cmake"
} | sha256sum | cut -c1-16)"
prefix="$cache_root/$key"

deps_cache_open "$cache_root" "$key" "$keep"
if deps_cache_found; then
  log "Windows dependencies found in $prefix"
  printf '%s\n' "$prefix"
  exit 0
fi

deps_cache_staging
staging="$deps_cache_staged"
mkdir -p "$staging/licenses"
# What the program links from here, for its bill of materials: the component,
# its version, the Debian source it comes from, that source's upstream tarball
# and SHA-256, the Debian copyright file (in licenses/) and the parts of the
# source built into the program (files or folders; "-": all of it).
printf '# component\tversion\tdebian-source\ttarball\tsha256\tcopyright\tparts\n' \
  > "$staging/components.tsv"
record() { local IFS=$'\t'; printf '%s\n' "$*" >> "$staging/components.tsv"; }

# --- OpenSSL: static libcrypto -----------------------------------------------
openssl_row="$(debian_fetch_pin "${pins[0]}" openssl "$work" "$staging/licenses")"
engine_row="$(gost_engine_fetch "$work" "$staging/licenses")"
openssl_version="$(cut -f2 <<<"$openssl_row")"
log "Building OpenSSL $openssl_version (static, MinGW-w64); a few minutes..."
(
  cd "$work/openssl"
  # libcrypto records when it was built (OpenSSL_version): that is the time of
  # OpenSSL's release, whenever and by whom the cache entry is made.
  SOURCE_DATE_EPOCH="$(stat -c %Y VERSION.dat)"
  export SOURCE_DATE_EPOCH
  ./Configure "${openssl_options[@]}" --prefix="$staging" --libdir=lib
  # The file name map goes in CPPFLAGS, which the compiler gets but the
  # compiler line that libcrypto records (OpenSSL_version) leaves out.
  make=(make "${openssl_folders[@]}" "CPPFLAGS=-ffile-prefix-map=$PWD=openssl-$openssl_version")
  "${make[@]}" -j"$jobs" build_libs
  "${make[@]}" install_dev
) > "$work/openssl.log" 2>&1 || { tail -n 40 "$work/openssl.log" >&2; exit 1; }
grep -q "OPENSSL_VERSION_STR \"$openssl_version\"" "$staging/include/openssl/opensslv.h" ||
  fail "The OpenSSL headers built do not say version $openssl_version."
record "$openssl_row" "$(debian_linked_parts openssl)"

# --- GOST engine: its core libraries and a statically linked engine ----------
log "Building the GOST engine $gost_engine_version..."
gost_engine_build windows "$work/gost-engine" "$staging" "$staging" > "$work/engine.log" 2>&1 ||
  { tail -n 40 "$work/engine.log" >&2; exit 1; }
record "$engine_row" "$(gost_engine_parts "$work/gost-engine")"

# The compiler's runtime, as the installed packages supply it.
for entry in "${runtime_packages[@]}"; do
  read -r name package _ <<<"$entry"
  debian_installed_row "$name" "$package" "$staging/licenses" >> "$staging/components.tsv"
done

# What is linked into the executable names no folder of this machine.
for library in "$staging"/lib/*.a; do
  ! grep -q -a -F -e "$work" -e "$cache_root" "$library" ||
    fail "$(basename "$library") holds a build folder name."
done

# --- Licence texts, shipped with the executable -------------------------------
cp "$work/openssl/LICENSE.txt" "$staging/licenses/OpenSSL-LICENSE.txt"
gost_engine_licence "$work/gost-engine" "$staging/licenses"
deps_cache_commit
log "Windows dependencies built in $prefix"
printf '%s\n' "$prefix"
exit 0
}
