# Cross build for 64-bit Windows with Debian's mingw-w64, POSIX threads
# variant (packages g++-mingw-w64-x86-64-posix; wine and wine64 to run the
# results). The programs are linked statically so that they run under wine,
# or on Windows, without the compiler's DLLs beside them; a toolchain that
# includes this one with VORNA_MINGW_SHARED_RUNTIME set links them to those
# DLLs instead (toolchain-mingw-w64-qt.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VORNA_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VORNA_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORNA_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VORNA_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VORNA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(NOT VORNA_MINGW_SHARED_RUNTIME)
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
endif()

# Test discovery and add_test run the programs through wine, under timeout
# like every wine command: a wine that hangs ends after 15 minutes even
# where no ctest time limit applies.
find_program(VORNA_WINE wine)
find_program(VORNA_TIMEOUT timeout)
if(VORNA_WINE AND VORNA_TIMEOUT)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VORNA_TIMEOUT} -k 10 900 ${VORNA_WINE})
endif()

# CLI11 is header-only, but its Debian package configures /usr/include as the
# include directory, which would put the build machine's C library in front
# of the Windows one. Offer the package to this build from a prefix that
# holds nothing but CLI11's headers.
if(NOT CMAKE_IN_TRY_COMPILE)
  set(VORNA_CLI11_PREFIX ${CMAKE_BINARY_DIR}/cross-headers/cli11)
  if(EXISTS /usr/include/CLI/CLI.hpp AND EXISTS /usr/share/cmake/CLI11/CLI11Config.cmake)
    file(MAKE_DIRECTORY ${VORNA_CLI11_PREFIX}/include)
    file(CREATE_LINK /usr/include/CLI ${VORNA_CLI11_PREFIX}/include/CLI SYMBOLIC)
    file(COPY /usr/share/cmake/CLI11/ DESTINATION ${VORNA_CLI11_PREFIX}/share/cmake/CLI11)
    set(CLI11_DIR ${VORNA_CLI11_PREFIX}/share/cmake/CLI11 CACHE PATH "CLI11 package for the cross build")
  endif()
  # nlohmann-json is header-only too, and offered the same way.
  set(VORNA_JSON_PREFIX ${CMAKE_BINARY_DIR}/cross-headers/nlohmann_json)
  if(EXISTS /usr/include/nlohmann/json.hpp AND EXISTS /usr/share/cmake/nlohmann_json/nlohmann_jsonConfig.cmake)
    file(MAKE_DIRECTORY ${VORNA_JSON_PREFIX}/include)
    file(CREATE_LINK /usr/include/nlohmann ${VORNA_JSON_PREFIX}/include/nlohmann SYMBOLIC)
    file(COPY /usr/share/cmake/nlohmann_json/ DESTINATION ${VORNA_JSON_PREFIX}/share/cmake/nlohmann_json)
    set(nlohmann_json_DIR ${VORNA_JSON_PREFIX}/share/cmake/nlohmann_json CACHE PATH
        "nlohmann-json package for the cross build")
  endif()
endif()
