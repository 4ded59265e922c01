# Cross-build for 64-bit Windows with Debian's MinGW-w64 (the posix thread
# model, for std::thread). Everything is linked statically, so the programs
# need no DLL beside them. Where Wine is installed the tests run through it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVIX_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORVIX_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVIX_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVIX_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORVIX_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(ORVIX_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(ORVIX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVIX_WINE})
endif()
