# Cross-builds the engine, the Qt-free platform, tarnwick-convert and their tests for 64-bit
# Windows with Debian's MinGW-w64 (the posix thread model, which std::thread needs). The
# programs are linked statically, so they run without MinGW's DLLs; tests run under wine.
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
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# GCC 12 warns wrongly of overlapping copies in string concatenation (its bug 105329).
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
# CTest and GoogleTest's test listing run the programs through wine.
find_program(TARNWICK_WINE NAMES wine wine64)
if(TARNWICK_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TARNWICK_WINE})
endif()
