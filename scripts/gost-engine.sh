# The GOST engine, one recipe for every build of the tool: Debian's source
# package, pinned by its upstream tarball's checksum, built into the static
# libraries that the program links (their entry ENGINE_load_gost() registers
# the engine inside the program), and, for the Linux build, into the loadable
# module gost.so beside them, which only the tests' openssl program loads.
# Sourced, after debian-sources.sh, by build-windows-deps.sh (against the
# static OpenSSL it builds) and build-gost-engine.sh (against the system's).
#   gost_engine_fetch FOLDER COPYRIGHT_DIR
#       the pinned source into FOLDER/gost-engine (debian_fetch_pin's output)
#   gost_engine_build windows|linux SOURCE PREFIX [OPENSSL_PREFIX]
#       PREFIX/lib/libgost_{engine,core,err}.a, PREFIX/include/gost-engine.h,
#       and for linux PREFIX/engines/gost.so
#   gost_engine_parts SOURCE    the source files compiled into the libraries
#   gost_engine_licence SOURCE COPYRIGHT_DIR    the upstream licence text

# Debian source package, the suite whose source index lists it, the upstream
# tarball and its SHA-256. Debian 13 has no GOST engine: the source is Debian
# 12's. To move the pin, see "Moving a pinned tarball" in docs/DEVELOPING.md.
gost_engine_pin="libengine-gost-openssl bookworm libengine-gost-openssl_3.0.1.orig.tar.gz 54e103dc4a764d4f2d91632c0d93f216a8ef8671fe2609c9e8da21f2931be462"
gost_engine_version="${gost_engine_pin#* * libengine-gost-openssl_}"
gost_engine_version="${gost_engine_version%%.orig.tar.*}"
# Raise it when the steps below change what they build: both builds' cache
# keys count it.
gost_engine_revision=1
# The engine's own build makes only a loadable module; gost_eng.c compiled as
# a library instead gives ENGINE_load_gost().
gost_engine_definitions=(-DBUILDING_ENGINE_AS_LIBRARY -DL_ENDIAN -DHAVE_ADDCARRY_U64)
# Cache entries for the engine's CMake: the answers to its two checks that run
# a program (x86-64 has both), an engines folder (nothing is installed there;
# else it asks pkg-config) and, for Windows, static OpenSSL libraries.
gost_engine_cmake_windows=(-DADDCARRY_U64=1 -DRELAXED_ALIGNMENT=1 -DOPENSSL_USE_STATIC_LIBS=TRUE
                           -DOPENSSL_ENGINES_DIR=lib/engines-3 -DCMAKE_BUILD_TYPE=Release)
# CMake 4 refuses the engine's oldest minimum version (2.8 in libprov/) unless
# it is told which policies to take; older CMake ignores the setting.
gost_engine_cmake_linux=(-DADDCARRY_U64=1 -DRELAXED_ALIGNMENT=1
                         -DOPENSSL_ENGINES_DIR=lib/engines-3 -DCMAKE_BUILD_TYPE=Release
                         -DCMAKE_POLICY_VERSION_MINIMUM=3.5)
# The engine's own build makes every warning an error. Its sources are
# third-party code that a newer compiler may warn about (GCC 14 warns that
# CMAC_ACPKM_Final may write before a key buffer, for a block length it cannot
# prove positive): the Linux build keeps its warnings warnings, so that no new
# compiler stops the build. (The Windows build's compiler is pinned with it.)
gost_engine_cflags_linux=(-Wno-error)
gost_engine_linux_recipe="warnings not errors"

gost_engine_checkout="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

gost_engine_fetch() {
  debian_fetch_pin "$gost_engine_pin" gost-engine "$1" "$2"
}

# Source file names compiled in are mapped to "gost-engine-VERSION/..." (and
# the OpenSSL prefix of the Windows build to "openssl"), so the libraries hold
# no build folder and two builds in two folders are identical.
gost_engine_build() {
  local target=$1 source=$2 prefix=$3 openssl=${4:-} path_map cc ar targets
  path_map=("-ffile-prefix-map=$source=gost-engine-$gost_engine_version")
  mkdir -p "$prefix/lib" "$prefix/include" || return
  (
    cd "$source" || exit
    if [ "$target" = windows ]; then
      path_map+=("-ffile-prefix-map=$openssl=openssl")
      cc=x86_64-w64-mingw32-gcc-posix ar=x86_64-w64-mingw32-ar targets=(gost_core gost_err)
      cmake -S . -B build -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$gost_engine_checkout/cmake/mingw-w64-x86_64.cmake" \
        -DOPENSSL_ROOT_DIR="$openssl" -DOPENSSL_INCLUDE_DIR="$openssl/include" \
        -DLIB_EAY="$openssl/lib/libcrypto.a" -DSSL_EAY="$openssl/lib/libssl.a" \
        -DCMAKE_C_FLAGS="${path_map[*]}" "${gost_engine_cmake_windows[@]}" || exit
    else
      # gost_engine is the loadable module gost.so, linked to the system's libcrypto.
      cc=cc ar=ar targets=(gost_core gost_err gost_engine)
      sed -i 's/add_compile_options(-Werror /add_compile_options(/' CMakeLists.txt || exit
      cmake -S . -B build -G Ninja -DCMAKE_C_FLAGS="${path_map[*]} ${gost_engine_cflags_linux[*]}" \
        "${gost_engine_cmake_linux[@]}" || exit
    fi
    cmake --build build --target "${targets[@]}" -j"$(nproc)" &&
      "$cc" -O2 -c gost_eng.c -I. ${openssl:+-I"$openssl/include"} \
        "${gost_engine_definitions[@]}" "${path_map[@]}" -o build/gost_eng.o &&
      "$ar" rcs build/libgost_engine.a build/gost_eng.o &&
      cp build/libgost_core.a build/libgost_err.a build/libgost_engine.a "$prefix/lib/" &&
      cp gost-engine.h "$prefix/include/" || exit
    if [ "$target" = linux ]; then
      mkdir -p "$prefix/engines" && cp build/bin/gost.so "$prefix/engines/"
    fi
  )
}

# The files compiled into the libraries, for the bill of materials.
gost_engine_parts() {
  (cd "$1/build/CMakeFiles" &&
     find gost_core.dir gost_err.dir -name '*.c.o' -o -name '*.c.obj' |
     sed 's|.*/||; s/\.o\(bj\)\{0,1\}$//' | sort | tr '\n' ' ')
  echo gost_eng.c
}

gost_engine_licence() {
  cp "$1/LICENSE" "$2/GOST-engine-LICENSE.txt"
}
