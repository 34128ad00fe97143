# Cross build for 64-bit ARM (little-endian), run under qemu-user:
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake -DRINGFIELD_DESKTOP=OFF
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(ringfield_triplet aarch64-linux-gnu)
set(ringfield_emulator qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/cross-linux-gnu.cmake)
