# Cross build for IBM Z (64-bit, big-endian), run under qemu-user:
#   cmake -S . -B build-s390x -DCMAKE_TOOLCHAIN_FILE=cmake/s390x-linux-gnu.cmake -DRINGFIELD_DESKTOP=OFF
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(ringfield_triplet s390x-linux-gnu)
set(ringfield_emulator qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux-gnu.cmake)
