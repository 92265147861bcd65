# Cross-compiling the Windows x64 module on Linux with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix).
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake
# scripts/build.sh windows does this. The posix flavour of the compiler brings std::thread through
# winpthreads, which the module links statically like the C++ runtime (cmake/TonveraCompile.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TONVERA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TONVERA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TONVERA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TONVERA_MINGW_PREFIX}-windres)

# Libraries and headers come from the MinGW sysroot only (zlib: libz-mingw-w64-dev); programs
# such as generators run on the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TONVERA_MINGW_PREFIX})
# FreeType and libpng for Windows, cross-built from Debian's source packages by
# scripts/windows-deps.sh (scripts/build.sh windows passes the folder it printed).
if(TONVERA_WINDOWS_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${TONVERA_WINDOWS_DEPS})
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TONVERA_WINDOWS_DEPS)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static archives before import libraries (zlib ships both), so that nothing needs a DLL of its own.
set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_FIND_LIBRARY_SUFFIXES .a .dll.a .lib)

# Test programs run under Wine (wine64 from Debian).
find_program(TONVERA_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TONVERA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TONVERA_WINE})
endif()
