# How the program gets GOST: "engine" (the pinned GOST engine built into the
# program) or "provider" (the system's GOST provider, loaded at run time from
# the library's modules folder). CSPTRIL_GOST_WAY forces either; left empty,
# the configure step asks the library: the provider way where the installed
# provider offers GOST R 34.10-2012 keys and signatures, always on OpenSSL 4
# (which has no engines), the engine way otherwise and on Windows. Sets
# CSPTRIL_GOST_WAY_CHOSEN and says which in the configure output.
set(CSPTRIL_GOST_WAY "" CACHE STRING "GOST from the built-in engine or the system's provider (engine, provider; empty: decided by what the library offers)")
set_property(CACHE CSPTRIL_GOST_WAY PROPERTY STRINGS "" engine provider)

function(csptril_choose_gost_way)
  set(openssl4 FALSE)
  if(NOT WIN32 AND OPENSSL_VERSION VERSION_GREATER_EQUAL 4)
    set(openssl4 TRUE)
  endif()
  if(CSPTRIL_GOST_WAY STREQUAL "provider" OR CSPTRIL_GOST_WAY STREQUAL "engine")
    set(way ${CSPTRIL_GOST_WAY})
    set(why "forced by CSPTRIL_GOST_WAY")
  elseif(NOT CSPTRIL_GOST_WAY STREQUAL "")
    message(FATAL_ERROR "CSPTRIL_GOST_WAY is \"${CSPTRIL_GOST_WAY}\": engine, provider or empty")
  elseif(WIN32)
    set(way engine)
    set(why "the Windows program")
  elseif(openssl4)
    set(way provider)
    set(why "OpenSSL ${OPENSSL_VERSION} has no engines")
  else()
    unset(runs CACHE)
    try_run(runs compiles "${CMAKE_BINARY_DIR}/gost-provider-check"
            SOURCES "${CMAKE_SOURCE_DIR}/cmake/gost-provider-check.cpp"
            LINK_LIBRARIES OpenSSL::Crypto
            CXX_STANDARD 17
            RUN_OUTPUT_VARIABLE found)
    if(compiles AND runs EQUAL 0)
      set(way provider)
      set(why "${found}")
    else()
      set(way engine)
      if(NOT found)
        set(found "the check did not run")
      endif()
      set(why "no GOST provider with keys and signatures: ${found}")
    endif()
  endif()
  if(openssl4 AND way STREQUAL "engine")
    message(FATAL_ERROR "OpenSSL ${OPENSSL_VERSION} has no engines: GOST can only come from a provider")
  endif()
  message(STATUS "GOST: the ${way} way (${why})")
  set(CSPTRIL_GOST_WAY_CHOSEN ${way} PARENT_SCOPE)
endfunction()
