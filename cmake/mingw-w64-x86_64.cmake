# Cross-compiles for 64-bit Windows with Debian's MinGW-w64. The -posix
# compilers are named outright: the plain names are alternatives links that
# turn into the win32 thread model when both variants are installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CSPTRIL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CSPTRIL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CSPTRIL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${CSPTRIL_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${CSPTRIL_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${CSPTRIL_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

# Libraries and headers come from the MinGW sysroot and the prefixes named by
# CMAKE_PREFIX_PATH or CMAKE_FIND_ROOT_PATH, never from the build machine's /usr.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${CSPTRIL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
