# Shared by the cross toolchain files, which set `ringfield_triplet` (Debian's name
# for the target) and `ringfield_emulator` first. Debian's cross compiler builds for
# the target; the target's libpng, zlib and GoogleTest come unpacked into a
# folder of their own (scripts/cross.sh fills it), and everything is linked
# statically, so that qemu-user runs the programs with no loader or library
# set-up on the host.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_CXX_COMPILER ${ringfield_triplet}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${ringfield_triplet})

set(RINGFIELD_TARGET_ROOT "${CMAKE_CURRENT_LIST_DIR}/../build-target/${ringfield_triplet}"
    CACHE PATH "Folder holding the target's libraries under usr/")
set(CMAKE_FIND_ROOT_PATH "${RINGFIELD_TARGET_ROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config looks only at the target's .pc files, prefixes their paths with
# the folder, and lists the private libraries a static link needs (zlib).
set(ENV{PKG_CONFIG_LIBDIR} "${RINGFIELD_TARGET_ROOT}/usr/lib/${ringfield_triplet}/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "${RINGFIELD_TARGET_ROOT}")
set(PKG_CONFIG_ARGN --static)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Tests, test discovery and the capture tool's runs go through the emulator,
# named by its full path: some tests run the tool with a PATH of their own.
find_program(RINGFIELD_EMULATOR ${ringfield_emulator} REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${RINGFIELD_EMULATOR})
