# Cross-building for 64-bit Windows with Debian's mingw-w64 (the POSIX thread
# model, which std::thread needs), the C and C++ runtimes linked in statically
# so a program runs from any folder without DLLs beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# GCC 12 warns wrongly about std::string concatenation (-Wrestrict).
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Tests and generators run under Wine on this machine.
find_program(SONIVEL_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(SONIVEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${SONIVEL_WINE})
endif()
