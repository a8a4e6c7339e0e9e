#!/usr/bin/env bash
# Builds what cspTRIL.exe links statically: OpenSSL's libcrypto and the GOST
# engine, cross-compiled with MinGW-w64 from Debian's own upstream tarballs.
#
# The result is a prefix outside the checkout, under CSPTRIL_WINDOWS_DEPS_CACHE
# (default /var/cache/cspTRIL-windows-deps), in a folder named after the
# tarballs' checksums, the compiler's version and this recipe: when that folder
# exists the build is skipped. The prefix's path is the last line printed on
# standard output; everything else goes to standard error.
#
# The tarballs come through apt. Source indices are read with a private apt
# configuration (a deb-src copy of the machine's own entries, in a temporary
# folder), so the machine's apt sources and lists are never changed.
# The whole script is one block, read before it runs: editing the file while
# a build is under way cannot change what that build does.
{
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
export LC_ALL=C

here="$(cd "$(dirname "$0")" && pwd)"
source_root="$(dirname "$here")"
cache_root="${CSPTRIL_WINDOWS_DEPS_CACHE:-/var/cache/cspTRIL-windows-deps}"
triplet=x86_64-w64-mingw32
jobs="$(nproc)"

# Everything that shapes the libraries is part of the cache key: these options,
# the toolchain file and the recipe's revision (raise it when the steps below
# change what they build).
recipe_revision=1
openssl_options=(mingw64 --cross-compile-prefix=${triplet}- CC=gcc-posix CXX=g++-posix
                 no-shared no-module no-tests)
engine_definitions=(-DBUILDING_ENGINE_AS_LIBRARY -DL_ENDIAN -DHAVE_ADDCARRY_U64)
engine_cache=(-DADDCARRY_U64=1 -DRELAXED_ALIGNMENT=1 -DOPENSSL_USE_STATIC_LIBS=TRUE
              -DOPENSSL_ENGINES_DIR=lib/engines-3 -DCMAKE_BUILD_TYPE=Release)

log() { printf '%s\n' "$*" >&2; }

work="$(mktemp -d /tmp/cspTRIL-windows-deps.XXXXXX)"
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"  # apt's download user writes the indices and tarballs here

# --- Source indices through a private apt configuration ----------------------
mkdir -p "$work/apt/sources.list.d" "$work/apt/lists/partial" "$work/src"
# apt fetches as its own unprivileged user where there is one.
if id _apt > /dev/null 2>&1; then chown _apt "$work/src"; fi
if [ -f /etc/apt/sources.list ]; then
  sed -nE 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list > "$work/apt/sources.list"
else
  : > "$work/apt/sources.list"
fi
for entry in /etc/apt/sources.list.d/*.sources; do
  [ -e "$entry" ] || continue
  sed -E 's/^Types:.*/Types: deb-src/' "$entry" > "$work/apt/sources.list.d/$(basename "$entry")"
done
for entry in /etc/apt/sources.list.d/*.list; do
  [ -e "$entry" ] || continue
  sed -nE 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$entry" > "$work/apt/sources.list.d/$(basename "$entry")"
done
apt_options=(-o "Dir::Etc::SourceList=$work/apt/sources.list"
             -o "Dir::Etc::SourceParts=$work/apt/sources.list.d"
             -o "Dir::State::Lists=$work/apt/lists"
             -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=")
log "Reading Debian's source indices..."
apt-get "${apt_options[@]}" -qq update >&2
uris="$(cd "$work/src" && apt-get "${apt_options[@]}" source --print-uris --tar-only \
          openssl libengine-gost-openssl 2>/dev/null | grep "^'")"
tarball() { awk -v pkg="$1" '$2 ~ "^" pkg "_.*\\.orig\\.tar\\." { print $2 }' <<<"$uris"; }
openssl_tarball="$(tarball openssl)"
engine_tarball="$(tarball libengine-gost-openssl)"
[ -n "$openssl_tarball" ] && [ -n "$engine_tarball" ] || {
  log "The upstream tarballs of openssl and libengine-gost-openssl were not found."; exit 1; }

# --- Cache key ---------------------------------------------------------------
compiler_version="$(${triplet}-gcc-posix --version | head -n1) / $(${triplet}-g++-posix --version | head -n1)"
key="$( {
  awk '{ print $2, $4 }' <<<"$uris" | sort
  printf '%s\n' "$recipe_revision" "$compiler_version" "${openssl_options[*]}" \
    "${engine_definitions[*]}" "${engine_cache[*]}"
  cat "$source_root/cmake/mingw-w64-x86_64.cmake"
} | sha256sum | cut -c1-16)"
prefix="$cache_root/$key"

mkdir -p "$cache_root"
exec 9>"$cache_root/.lock"
flock 9  # one build at a time; a second caller then finds the finished prefix
if [ -f "$prefix/.complete" ]; then
  log "Windows dependencies found in $prefix"
  printf '%s\n' "$prefix"
  exit 0
fi

log "Fetching $openssl_tarball and $engine_tarball..."
(cd "$work/src" && apt-get "${apt_options[@]}" -qq source --download-only --tar-only \
   openssl libengine-gost-openssl >&2)

staging="$cache_root/.staging-$key"
rm -rf "$staging"
mkdir -p "$staging"

# --- OpenSSL: static libcrypto -----------------------------------------------
log "Building OpenSSL (static, MinGW-w64); a few minutes..."
mkdir -p "$work/openssl"
tar -xf "$work/src/$openssl_tarball" -C "$work/openssl" --strip-components=1
(
  cd "$work/openssl"
  ./Configure "${openssl_options[@]}" --prefix="$staging" --libdir=lib
  make -j"$jobs" build_libs
  make install_dev
) > "$work/openssl.log" 2>&1 || { tail -n 40 "$work/openssl.log" >&2; exit 1; }

# --- GOST engine: its core libraries and a statically linked engine ----------
log "Building the GOST engine..."
mkdir -p "$work/engine"
tar -xf "$work/src/$engine_tarball" -C "$work/engine" --strip-components=1
(
  cd "$work/engine"
  cmake -S . -B build -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$source_root/cmake/mingw-w64-x86_64.cmake" \
    -DOPENSSL_ROOT_DIR="$staging" -DOPENSSL_INCLUDE_DIR="$staging/include" \
    -DLIB_EAY="$staging/lib/libcrypto.a" -DSSL_EAY="$staging/lib/libssl.a" \
    "${engine_cache[@]}"
  cmake --build build --target gost_core gost_err -j"$jobs"
  # The engine's own build makes only a loadable module; compiled as a library
  # its entry point ENGINE_load_gost() registers it inside the executable.
  ${triplet}-gcc-posix -O2 -c gost_eng.c -I. -I"$staging/include" \
    "${engine_definitions[@]}" -o build/gost_eng.o
  ${triplet}-ar rcs build/libgost_engine.a build/gost_eng.o
  find build -name 'libgost_core.a' -o -name 'libgost_err.a' -o -name 'libgost_engine.a' |
    xargs -I{} cp {} "$staging/lib/"
  cp gost-engine.h "$staging/include/"
) > "$work/engine.log" 2>&1 || { tail -n 40 "$work/engine.log" >&2; exit 1; }

# --- Licence texts, shipped with the executable -------------------------------
mkdir -p "$staging/licenses"
cp "$work/openssl/LICENSE.txt" "$staging/licenses/OpenSSL-LICENSE.txt"
cp "$work/engine/LICENSE" "$staging/licenses/GOST-engine-LICENSE.txt"
printf '%s\n' "$openssl_tarball" "$engine_tarball" > "$staging/sources.txt"
touch "$staging/.complete"
rm -rf "$prefix"
mv "$staging" "$prefix"
log "Windows dependencies built in $prefix"
printf '%s\n' "$prefix"
exit 0
}
