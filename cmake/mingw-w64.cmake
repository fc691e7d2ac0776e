# Cross-compiling for Windows with Debian's MinGW-w64 (posix thread model, for
# std::thread). KELVO_MINGW_ARCH picks the target: i686 (the shipped 32-bit
# build, which inpout32.dll needs) or x86_64. Programs link statically, so
# they run without MinGW's DLLs; tests run under Wine.
if(NOT KELVO_MINGW_ARCH)
    set(KELVO_MINGW_ARCH i686)
endif()
set(triple ${KELVO_MINGW_ARCH}-w64-mingw32)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KELVO_MINGW_ARCH})
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${KELVO_MINGW_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
if(KELVO_MINGW_ARCH STREQUAL "x86_64")
    set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
else()
    set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
    # Floating point in SSE2 registers, as on x86_64. By default i686 code
    # keeps intermediates in the x87 unit's 80-bit registers, so the same
    # double expression can round differently (the delay calibration came out
    # one count short). Every PC that runs current Windows has SSE2.
    set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
    set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
endif()
