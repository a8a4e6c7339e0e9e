#!/usr/bin/env bash
# Builds the GOST engine for the Linux build (scripts/gost-engine.sh's recipe,
# the Windows build's too) against the system's OpenSSL headers, with the
# system's C compiler, and puts it into OUT: lib/ (the static libraries the
# program links), include/gost-engine.h, engines/gost.so (the loadable module
# that only the tests' openssl program loads), components.tsv (the engine's
# row of the Debian package's bill of materials) and licenses/. CMake's
# configure step runs it for the build folder's gost-engine/:
#   scripts/build-gost-engine.sh OUT
#
# The build is cached outside the checkout, under CSPTRIL_GOST_ENGINE_CACHE
# (default /var/cache/cspTRIL-gost-engine), in a folder named after the pin,
# the recipe, the compiler's version and OpenSSL's: when that folder exists
# nothing is fetched or built. The CSPTRIL_GOST_ENGINE_KEEP (default 3) most
# recently used entries are kept. OUT is a copy, so a build never reads the
# cache. Messages go to standard error.
{
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive LC_ALL=C
# The engine is C, compiled by the system's compiler whatever compiler
# builds the program (the fuzz build's clang links it as well).
export CC=cc

here="$(cd "$(dirname "$0")" && pwd)"
[ $# -eq 1 ] || { echo "usage: $0 OUT" >&2; exit 2; }
out=$1
cache_root="${CSPTRIL_GOST_ENGINE_CACHE:-/var/cache/cspTRIL-gost-engine}"
keep="${CSPTRIL_GOST_ENGINE_KEEP:-3}"
log() { printf '%s\n' "$*" >&2; }

source "$here/debian-sources.sh"
source "$here/gost-engine.sh"
source "$here/deps-cache.sh"

openssl_version="$(printf '#include <openssl/opensslv.h>\nOPENSSL_FULL_VERSION_STR\n' |
                   cc -E -P -x c - | tail -n 1 | tr -d '"')"
[[ $openssl_version == 3.* ]] ||
  { log "No OpenSSL 3 headers found (libssl-dev): scripts/install-deps.sh installs them."; exit 1; }
key="$(printf '%s\n' "$gost_engine_pin" "$gost_engine_revision" "${gost_engine_definitions[*]}" \
         "${gost_engine_cmake_linux[*]}" "${gost_engine_cflags_linux[*]}" "$gost_engine_linux_recipe" \
         "$(cc --version | head -n 1)" "OpenSSL $openssl_version" | sha256sum | cut -c1-16)"
[ "$(cat "$out/.key" 2> /dev/null)" != "$key" ] || exit 0  # this build's copy is current

deps_cache_open "$cache_root" "$key" "$keep"
if deps_cache_found; then
  log "GOST engine found in $deps_cache_entry"
else
  work="$(mktemp -d /tmp/cspTRIL-gost-engine.XXXXXX)"
  trap 'rm -rf "$work"' EXIT
  deps_cache_staging
  staging="$deps_cache_staged"
  mkdir -p "$staging/licenses"
  log "Building the GOST engine $gost_engine_version against OpenSSL $openssl_version" \
      "(once; cached in $deps_cache_entry)..."
  read -r _ suite _ <<<"$gost_engine_pin"
  debian_sources_init "$work" "$suite" > /dev/null
  debian_pin_hint="The pin is at the top of scripts/gost-engine.sh; docs/DEVELOPING.md (\"Moving a pinned tarball\") says how to move it."
  row="$(gost_engine_fetch "$work" "$staging/licenses")"
  gost_engine_build linux "$work/gost-engine" "$staging" > "$work/engine.log" 2>&1 ||
    { tail -n 40 "$work/engine.log" >&2; exit 1; }
  printf '# component\tversion\tdebian-source\ttarball\tsha256\tcopyright\tparts\n%s\t%s\n' \
    "$row" "$(gost_engine_parts "$work/gost-engine")" > "$staging/components.tsv"
  gost_engine_licence "$work/gost-engine" "$staging/licenses"
  # What the program links names no folder of this machine.
  for library in "$staging"/lib/*.a; do
    ! grep -q -a -F -e "$work" -e "$cache_root" "$library" ||
      { log "$(basename "$library") holds a build folder name."; exit 1; }
  done
  deps_cache_commit
  log "GOST engine built in $deps_cache_entry"
fi

rm -rf "$out.new"
mkdir -p "$(dirname "$out")"
cp -R "$deps_cache_entry" "$out.new"
rm -f "$out.new/.complete"
printf '%s\n' "$key" > "$out.new/.key"
rm -rf "$out"
mv "$out.new" "$out"
exit 0
}
