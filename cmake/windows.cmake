# The Windows build: one static cspTRIL.exe holding OpenSSL's libcrypto and the
# GOST engine, both from the prefix that scripts/build-windows-deps.sh makes.
set(CSPTRIL_WINDOWS_DEPS "" CACHE PATH
    "Prefix with the MinGW-w64 builds of libcrypto and the GOST engine")
if(NOT EXISTS "${CSPTRIL_WINDOWS_DEPS}/lib/libcrypto.a")
  message(FATAL_ERROR "CSPTRIL_WINDOWS_DEPS must name the prefix made by "
                      "scripts/build-windows-deps.sh (no libcrypto.a in '${CSPTRIL_WINDOWS_DEPS}')")
endif()

# Every compiler and linker run holds the prefix while it reads it, so that a
# build elsewhere that prunes the cache leaves it alone.
set(CMAKE_CXX_COMPILER_LAUNCHER
    sh "${CMAKE_SOURCE_DIR}/scripts/use-windows-deps.sh" "${CSPTRIL_WINDOWS_DEPS}")
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_CXX_COMPILER_LAUNCHER})

add_library(OpenSSL::Crypto STATIC IMPORTED)
set_target_properties(OpenSSL::Crypto PROPERTIES
  IMPORTED_LOCATION "${CSPTRIL_WINDOWS_DEPS}/lib/libcrypto.a"
  INTERFACE_INCLUDE_DIRECTORIES "${CSPTRIL_WINDOWS_DEPS}/include"
  INTERFACE_LINK_LIBRARIES "ws2_32;crypt32;gdi32;user32;advapi32")

csptril_gost_engine("${CSPTRIL_WINDOWS_DEPS}")

# The manifest (UTF-8 as the process's code page) and the version resource.
enable_language(RC)
set(CSPTRIL_MANIFEST "${CMAKE_SOURCE_DIR}/platform/windows/cspTRIL.manifest")
configure_file(platform/windows/cspTRIL.rc.in "${CMAKE_BINARY_DIR}/cspTRIL.rc" @ONLY)
# A target of its own, so that the C++ warning options never reach windres.
add_library(cspTRIL_resources OBJECT "${CMAKE_BINARY_DIR}/cspTRIL.rc")
set_property(SOURCE "${CMAKE_BINARY_DIR}/cspTRIL.rc" APPEND PROPERTY OBJECT_DEPENDS
             "${CSPTRIL_MANIFEST}")

function(csptril_windows_executable target)
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:cspTRIL_resources>)
  # wmain is the entry; everything, the C++ runtime included, is linked in,
  # so the program needs no DLL beyond the system's own. The PE header's time
  # stamp stays zero: two builds of one commit are identical.
  target_link_options(${target} PRIVATE -municode -static -Wl,--no-insert-timestamp)
endfunction()

# What the ZIP holds, all at its top: the program, texts for Windows readers
# (CR LF line ends), the program's licence and the licences of what is linked
# in (the upstream licence texts and the Debian copyright files).
function(csptril_windows_package)
  set(CSPTRIL_TEXTS "${CMAKE_BINARY_DIR}/texts")
  set(CSPTRIL_TEXT_FILES
      "${CSPTRIL_TEXTS}/README.txt" "${CSPTRIL_TEXTS}/cspTRIL-manual.txt" "${CSPTRIL_TEXTS}/LICENSE.txt")
  add_custom_command(
    OUTPUT ${CSPTRIL_TEXT_FILES}
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${CSPTRIL_TEXTS}"
    COMMAND sh -c "sed 's/$/\\r/' \"$1\" > \"$2\"" sh
            "${CMAKE_SOURCE_DIR}/docs/README-windows.txt" "${CSPTRIL_TEXTS}/README.txt"
    COMMAND sh -c "groff -t -man -Tutf8 -P -cbou \"$1\" | sed 's/$/\\r/' > \"$2\"" sh
            "${CMAKE_SOURCE_DIR}/docs/cspTRIL.1" "${CSPTRIL_TEXTS}/cspTRIL-manual.txt"
    COMMAND sh -c "sed 's/$/\\r/' \"$1\" > \"$2\"" sh
            "${CMAKE_SOURCE_DIR}/LICENSE" "${CSPTRIL_TEXTS}/LICENSE.txt"
    DEPENDS "${CMAKE_SOURCE_DIR}/docs/README-windows.txt" "${CMAKE_SOURCE_DIR}/docs/cspTRIL.1"
            "${CMAKE_SOURCE_DIR}/LICENSE"
    VERBATIM)
  add_custom_target(cspTRIL_texts ALL DEPENDS ${CSPTRIL_TEXT_FILES})

  install(TARGETS cspTRIL RUNTIME DESTINATION .)
  install(FILES ${CSPTRIL_TEXT_FILES} DESTINATION .)
  install(DIRECTORY "${CSPTRIL_WINDOWS_DEPS}/licenses/" DESTINATION licenses)

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "cspTRIL-${PROJECT_VERSION}-win64")
  set(CPACK_STRIP_FILES TRUE)
  include(CPack)
endfunction()
