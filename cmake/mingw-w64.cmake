# Cross-compiling for Windows with MinGW-w64 (posix threads flavour).
# The product is 32-bit (i686). Where this machine cannot run 32-bit
# programs, and so no 32-bit Wine, the tests are built for x86_64 instead
# and run under 64-bit Wine; release builds set MORVEX_WINDOWS_ARCH=i686.
if(NOT DEFINED MORVEX_WINDOWS_ARCH)
  execute_process(COMMAND /usr/lib/wine/wine --version RESULT_VARIABLE runs32 OUTPUT_QUIET ERROR_QUIET)
  if(runs32 EQUAL 0 OR NOT EXISTS /usr/lib/wine/wine64)
    set(MORVEX_WINDOWS_ARCH i686)
  else()
    set(MORVEX_WINDOWS_ARCH x86_64)
  endif()
endif()
set(MORVEX_WINDOWS_ARCH ${MORVEX_WINDOWS_ARCH} CACHE STRING "i686 (the product) or x86_64 (tests under 64-bit Wine)")

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${MORVEX_WINDOWS_ARCH})

set(TOOLCHAIN_PREFIX ${MORVEX_WINDOWS_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests of the Windows binaries run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine)
