# Debian's source packages, read through a private apt configuration: a deb-src
# copy of the machine's own apt entries, plus the same archives' entries for
# other suites when asked, in a folder of the caller's, so the machine's apt
# sources and lists are never changed. Sourced by the scripts that fetch or
# describe Debian sources; its functions print errors on standard error.
#   debian_sources_init FOLDER [SUITE...]    reads the source indices
#   debian_source_version PACKAGE TARBALL SHA256
#                      the source version whose files list that tarball
#   debian_orig_tarball PACKAGE VERSION      "TARBALL SHA256" of its upstream tarball
#   debian_fetch_tarball PACKAGE VERSION     downloads it into FOLDER/src
#   debian_copyright PACKAGE VERSION FILE    its Debian copyright file
#   debian_fetch_pin PIN NAME FOLDER COPYRIGHT_DIR
#                      a pinned tarball fetched, checked and unpacked

debian_sources_init() {
  local folder=$1 suite entry codename
  shift
  debian_sources_folder=$folder
  codename="$(. /etc/os-release && printf '%s' "${VERSION_CODENAME:-}")"
  mkdir -p "$folder/apt/sources.list.d" "$folder/apt/lists/partial" "$folder/src"
  chmod 755 "$folder"
  # apt fetches as its own unprivileged user where there is one.
  if id _apt > /dev/null 2>&1; then chown _apt "$folder/src"; fi
  debian_lists=() debian_sources=()
  [ -f /etc/apt/sources.list ] && debian_lists+=(/etc/apt/sources.list)
  for entry in /etc/apt/sources.list.d/*.list; do [ -e "$entry" ] && debian_lists+=("$entry"); done
  for entry in /etc/apt/sources.list.d/*.sources; do [ -e "$entry" ] && debian_sources+=("$entry"); done
  debian_source_entries machine ""
  for suite in "$@"; do
    [ "$suite" = "$codename" ] || [ -e "$folder/apt/sources.list.d/$suite.list" ] ||
      debian_source_entries "$suite" "$codename"
  done
  : > "$folder/apt/sources.list"
  debian_apt=(-o "Dir::Etc::SourceList=$folder/apt/sources.list"
              -o "Dir::Etc::SourceParts=$folder/apt/sources.list.d"
              -o "Dir::State::Lists=$folder/apt/lists"
              -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=")
  apt-get "${debian_apt[@]}" -qq update >&2
}

# deb-src entries for SUITE on the archives that serve the release FROM:
# "deb URI bookworm main" gives "deb-src URI SUITE main". An empty FROM copies
# every entry of the machine as it is.
debian_source_entries() {
  local suite=$1 from=$2 file out="$debian_sources_folder/apt/sources.list.d/$1"
  for file in ${debian_lists[@]+"${debian_lists[@]}"}; do
    if [ -z "$from" ]; then
      sed -nE 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$file"
    else
      sed -nE "s/^[[:space:]]*deb[[:space:]]+((\[[^]]*\][[:space:]]+)?[^[:space:]]+)[[:space:]]+$from[[:space:]]/deb-src \1 $suite /p" "$file"
    fi
  done > "$out.list"
  for file in ${debian_sources[@]+"${debian_sources[@]}"}; do
    awk -v from="$from" -v to="$suite" 'BEGIN { RS = ""; FS = "\n" }
      { n = split($0, line, "\n"); ours = (from == ""); off = 0
        for (i = 1; i <= n; i++) {
          if (line[i] ~ /^Suites:/) { k = split(substr(line[i], 8), s, /[ \t]+/)
                                      for (j = 1; j <= k; j++) if (s[j] == from) ours = 1 }
          if (line[i] ~ /^Enabled:[ \t]*no/) off = 1 }
        if (!ours || off) next
        for (i = 1; i <= n; i++) {
          if (line[i] ~ /^Types:/) print "Types: deb-src"
          else if (line[i] ~ /^Suites:/ && from != "") print "Suites: " to
          else print line[i] }
        print "" }' "$file"
  done > "$out.sources"
}

debian_source_version() {
  apt-cache "${debian_apt[@]}" showsrc "$1" 2>/dev/null | awk -v t="$2" -v s="$3" '
    /^Version:/ { v = $2 } /^Checksums-Sha256:/ { c = 1; next } /^[^ ]/ { c = 0 }
    c && $1 == s && $3 == t { print v; exit }'
}

# The source index's paragraph of PACKAGE at VERSION.
debian_showsrc() {
  apt-cache "${debian_apt[@]}" showsrc "$1" 2>/dev/null | awk -v v="Version: $2" '
    BEGIN { RS = ""; FS = "\n" }
    { for (i = 1; i <= NF; i++) if ($i == v) { print; exit } }'
}

debian_orig_tarball() {
  debian_showsrc "$1" "$2" | awk -v p="$1" '
    /^Checksums-Sha256:/ { c = 1; next } /^[^ ]/ { c = 0 }
    c && ($3 ~ "^" p "_[^_]*\\.orig\\.tar\\." || $3 ~ "^" p "_[^-_]*\\.tar\\.") &&
      $3 !~ /\.asc$/ { print $3, $1; exit }'
}

debian_fetch_tarball() {
  (cd "$debian_sources_folder/src" &&
     apt-get "${debian_apt[@]}" -qq source --download-only --tar-only "$1=$2" >&2)
}

# A binary package built from the source at VERSION (VERSION itself, or a
# rebuild of it: VERSION+bN) downloaded into the current folder: through the
# machine's own package lists, or else through binary entries beside the other
# suites' source entries (read once, when first needed: on a release that
# lacks the package or has another version of it, as Debian 13 lacks the GOST
# engine and testing has a newer one).
#   debian_download_binary PACKAGE VERSION
debian_download_binary() {
  local entry
  debian_download_built "$1" "$2" 2> /dev/null && return
  if [ -z "${debian_binaries_read:-}" ]; then
    for entry in "$debian_sources_folder"/apt/sources.list.d/*; do
      case $entry in */machine.*|*-binary.*) continue ;; esac
      sed 's/^deb-src /deb /; s/^Types: deb-src$/Types: deb/' "$entry" > "${entry%.*}-binary.${entry##*.}"
    done
    apt-get "${debian_apt[@]}" -qq update >&2 || return
    debian_binaries_read=1
  fi
  debian_download_built "$1" "$2" "${debian_apt[@]}" >&2
}

debian_download_built() {
  local package=$1 version=$2 built
  shift 2
  built="$(apt-cache "$@" madison "$package" | awk -F'|' -v v="$version" '
    { gsub(/ /, "", $2) } $2 == v || index($2, v "+b") == 1 { print $2; exit }')"
  [ -n "$built" ] || { printf 'No binary of %s %s in the package lists.\n' "$package" "$version"; return 1; }
  apt-get "$@" -qq download "$package=$built"
}

# From the source's packaging tarball, or, where the archive lacks that, from
# a binary package built from it.
debian_copyright() {
  local package=$1 version=$2 out=$3 src="$debian_sources_folder/src" binary deb origin
  if (cd "$src" && apt-get "${debian_apt[@]}" -qq source --download-only --debian-only \
        "$package=$version") > /dev/null 2>&1; then
    tar -xOf "$src/${package}_${version#*:}".debian.tar.* debian/copyright > "$out"
    return
  fi
  binary="$(debian_showsrc "$package" "$version" | sed -nE 's/^Binary: ([^ ,]+).*/\1/p')"
  [ -n "$binary" ] && (cd "$src" && debian_download_binary "$binary" "$version") || {
    printf 'No Debian copyright file found for %s %s.\n' "$package" "$version" >&2; return 1; }
  deb="$(ls "$src/${binary}"_*.deb)"
  origin="$(dpkg-deb -f "$deb" Source)"
  case "$origin" in
    "") origin="$(dpkg-deb -f "$deb" Package) ($(dpkg-deb -f "$deb" Version))" ;;
    *"("*) ;;
    *) origin="$origin ($(dpkg-deb -f "$deb" Version))" ;;
  esac
  [ "$origin" = "$package ($version)" ] || {
    printf 'No Debian copyright file for %s %s: %s comes from %s.\n' \
      "$package" "$version" "$(basename "$deb")" "$origin" >&2; return 1; }
  dpkg-deb --fsys-tarfile "$deb" | tar -xO "./usr/share/doc/$binary/copyright" > "$out"
}

# debian_fetch_pin "PACKAGE SUITE TARBALL SHA256" NAME FOLDER COPYRIGHT_DIR
# The pinned upstream tarball, found in SUITE's source index, downloaded,
# checked against its SHA-256 and unpacked into FOLDER/NAME, its Debian
# copyright file written as COPYRIGHT_DIR/NAME-copyright.txt. Prints the first
# six fields of its components.tsv row (see build-windows-deps.sh): NAME, the
# upstream version, the Debian source, the tarball, its SHA-256 and the
# copyright file's name. A failure names the pin, followed by the caller's
# debian_pin_hint (where the pin is, how to move it).
debian_fetch_pin() {
  local package suite tarball sha256 version upstream
  read -r package suite tarball sha256 <<<"$1"
  pin_failed() { printf '%s\n' "$@" "${debian_pin_hint:-}" >&2; return 1; }
  version="$(debian_source_version "$package" "$tarball" "$sha256")"
  [ -n "$version" ] || pin_failed \
    "The pinned tarball $tarball (SHA-256 $sha256) is no longer in Debian's $suite source index." ||
    return 1
  printf 'Fetching %s (Debian %s, %s %s)...\n' "$tarball" "$suite" "$package" "$version" >&2
  debian_fetch_tarball "$package" "$version" || pin_failed \
    "The pinned tarball $tarball could not be downloaded from Debian's $suite archive." || return 1
  [ "$(sha256sum < "$debian_sources_folder/src/$tarball" | cut -d' ' -f1)" = "$sha256" ] ||
    pin_failed "$tarball does not have the pinned SHA-256 $sha256." || return 1
  mkdir -p "$3/$2" &&
    tar -xf "$debian_sources_folder/src/$tarball" -C "$3/$2" --strip-components=1 &&
    debian_copyright "$package" "$version" "$4/$2-copyright.txt" || return 1
  upstream="${tarball#"${package}_"}"
  printf '%s\t%s\t%s %s\t%s\t%s\t%s\n' "$2" "${upstream%.orig.tar.*}" "$package" "$version" \
    "$tarball" "$sha256" "$2-copyright.txt"
}

# The installed package that supplies LIBRARY (libstdc++.a, libgcc.a...), the
# runtime piece that COMPILER links into a program.
debian_runtime_package() {
  dpkg-query -S "$(readlink -f "$("$1" -print-file-name="$2")")" | cut -d: -f1
}

# The parts of a component's source that are built into a program, for the
# licences that apply to it (folders end in "/"; "-": the whole source).
debian_linked_parts() {
  case $1 in
    openssl|libssl3) echo "crypto/ providers/ include/" ;;
    libstdc++*) echo "libstdc++-v3" ;;
    libgcc*) echo "libgcc" ;;
    mingw-w64-crt) echo "mingw-w64-crt/" ;;
    winpthreads) echo "mingw-w64-libraries/winpthreads/src/ mingw-w64-libraries/winpthreads/include/" ;;
    *) echo "-" ;;
  esac
}

# The components.tsv row (see build-windows-deps.sh) of what the installed
# binary PACKAGE supplies, as component NAME; its copyright file is copied
# into FOLDER. A package that embeds another source (Built-Using, as the
# cross-compiler's runtime embeds GCC's) is described by that source. Its
# upstream tarball is "-" when the source index no longer lists that version.
debian_installed_row() {
  local name=$1 package=$2 folder=$3 source version built tarball sha256 upstream
  read -r source version <<<"$(dpkg-query -W -f='${source:Package} ${source:Version}' "$package")"
  built="$(dpkg-query -W -f='${Built-Using}' "$package" | sed -nE 's/^([^ ,]+) \(= ([^)]+)\).*/\1 \2/p')"
  [ -z "$built" ] || read -r source version <<<"$built"
  read -r tarball sha256 <<<"$(debian_orig_tarball "$source" "$version")"
  if [ -z "${tarball:-}" ]; then  # an installed version that the archive has replaced since
    printf "Note: Debian's source index no longer lists %s %s (of %s): no source checksum for it.\n" \
      "$source" "$version" "$package" >&2
    tarball=- sha256=-
  fi
  cp "/usr/share/doc/$package/copyright" "$folder/$name-copyright.txt"
  upstream="${version#*:}"
  printf '%s\t%s\t%s %s\t%s\t%s\t%s\t%s\n' "$name" "${upstream%-*}" "$source" "$version" \
    "$tarball" "$sha256" "$name-copyright.txt" "$(debian_linked_parts "$name")"
}
