# Cross build for 64-bit Windows with Debian's mingw-w64, run under wine:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64-w64-mingw32.cmake
# The -posix compilers: the default ones have no std::thread. Everything is
# linked statically, so each .exe runs on a bare Windows with no DLL beside
# it. GoogleTest and libpng for the target are built into build-target/ by
# scripts/windows.sh; zlib comes from Debian's libz-mingw-w64-dev.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ringfield_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ringfield_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ringfield_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${ringfield_triplet}-windres)

set(RINGFIELD_TARGET_ROOT "${CMAKE_CURRENT_LIST_DIR}/../build-target/${ringfield_triplet}"
    CACHE PATH "Folder holding the target's libraries under usr/")
set(CMAKE_FIND_ROOT_PATH "${RINGFIELD_TARGET_ROOT}" /usr/${ringfield_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config looks only at the target's .pc files (ours, and zlib's from
# Debian's mingw-w64 package) and lists the private libraries a static link
# needs (zlib).
set(ENV{PKG_CONFIG_LIBDIR} "${RINGFIELD_TARGET_ROOT}/usr/lib/pkgconfig:/usr/${ringfield_triplet}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
set(PKG_CONFIG_ARGN --static)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Tests, test discovery and the capture tool's runs go through wine's 64-bit
# loader itself: Debian's `wine` wrapper prints a line about wine32 on every
# run. It needs WINEPREFIX set; scripts/windows.sh prepares one.
find_program(RINGFIELD_EMULATOR wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${RINGFIELD_EMULATOR})
