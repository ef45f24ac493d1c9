# Cross-building for 64-bit Windows on a Debian machine with MinGW-w64 (the posix thread model,
# whose libstdc++ has <thread> and <mutex>):
#   apt-get install $(cat packages-windows.txt)
#   tests/windows/dependencies.sh PREFIX        (SDL2, libpng, ... from Debian's source packages)
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake \
#     -DWINDOWS_PREFIX=PREFIX
# What it builds runs under Wine (ctest uses it by itself through the emulator below).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# The libraries cross-built from source live in WINDOWS_PREFIX; zlib is Debian's libz-mingw-w64.
set(WINDOWS_PREFIX "" CACHE PATH "Where the Windows builds of SDL2, libpng, ... are installed")
set(CMAKE_FIND_ROOT_PATH ${WINDOWS_PREFIX} /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config reads the prefix's files only, and with what static linking needs (SDL2's system
# libraries). Checks that compile a test program read this file again (in the same process,
# without the prefix unless told): they must not undo the setting.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES WINDOWS_PREFIX)
if(WINDOWS_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} "${WINDOWS_PREFIX}/lib/pkgconfig")
  unset(ENV{PKG_CONFIG_PATH})
endif()
set(PKG_CONFIG_ARGN --static)

# Static libraries where both kinds exist (zlib's libz.a rather than its DLL's import library).
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

# The runtime libraries linked in: programs and the DLL need no MinGW DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Programs run under Wine; the tests' environment (WINEPREFIX, WINEDEBUG, ...) comes from the
# caller (tests/windows/run.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
