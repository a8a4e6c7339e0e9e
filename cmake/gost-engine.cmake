# The GOST engine linked into the program, as static libraries under a prefix
# (lib/, include/): its entry ENGINE_load_gost() (gost-engine.h), its core and
# its error tables, each followed on the link line by what it calls on (static
# libraries resolve left to right). The Windows build takes them from its
# dependency prefix; the Linux build builds them at configure time.
function(csptril_gost_engine_library name prefix)
  add_library(cspTRIL::${name} STATIC IMPORTED)
  set_target_properties(cspTRIL::${name} PROPERTIES
    IMPORTED_LOCATION "${prefix}/lib/lib${name}.a"
    INTERFACE_LINK_LIBRARIES "${ARGN}")
endfunction()

function(csptril_gost_engine prefix)
  csptril_gost_engine_library(gost_err "${prefix}" OpenSSL::Crypto)
  csptril_gost_engine_library(gost_core "${prefix}" cspTRIL::gost_err OpenSSL::Crypto)
  csptril_gost_engine_library(gost_engine "${prefix}" cspTRIL::gost_core OpenSSL::Crypto)
  set_property(TARGET cspTRIL::gost_engine PROPERTY INTERFACE_INCLUDE_DIRECTORIES "${prefix}/include")
endfunction()

# Linux: the engine built from the pinned source against the system's OpenSSL
# (scripts/build-gost-engine.sh, which caches it outside the build) into OUT,
# with the module gost.so for the tests' openssl program. A change to its
# recipe configures the build again.
function(csptril_build_gost_engine out)
  set(recipe "${CMAKE_SOURCE_DIR}/scripts/build-gost-engine.sh")
  set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               "${recipe}" "${CMAKE_SOURCE_DIR}/scripts/gost-engine.sh"
               "${CMAKE_SOURCE_DIR}/scripts/debian-sources.sh" "${CMAKE_SOURCE_DIR}/scripts/deps-cache.sh")
  execute_process(COMMAND bash "${recipe}" "${out}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "The GOST engine was not built (scripts/build-gost-engine.sh, above)")
  endif()
  csptril_gost_engine("${out}")
endfunction()
