// The vector set-up that the pixel loops share (the fade here in raster/, the
// conversion in present/): the vector types, and the choice between the
// 16-byte code and its 32-byte copies.
#pragma once

#include <cstdint>

// The fade and the conversion run in 16-byte vectors on every build and, on
// x86-64 processors with AVX2, in 32-byte copies of the same code that do the
// work in half the instructions; the pixels are the same bit for bit. Not on
// Windows, where the compiler cannot align the stack for 32-byte spills.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(_WIN32)
#define RINGFIELD_WIDE_VECTORS 1
#define RINGFIELD_WIDE __attribute__((target("avx2"), flatten))
#else
#define RINGFIELD_WIDE_VECTORS 0
#endif

// The pixel loops' vectors, Width bytes (16 or 32) of the compiler's generic
// vector types: plain operators, lowered to SSE2 or AVX2 on x86-64, NEON on
// aarch64 and whatever the target has elsewhere.
template <int Width>
struct Vectors {
    typedef uint32_t Words __attribute__((vector_size(Width)));
    typedef int32_t Signed __attribute__((vector_size(Width)));
    typedef uint16_t Halves __attribute__((vector_size(Width)));
    typedef uint8_t Bytes __attribute__((vector_size(Width)));
};

// Whether the processor runs the 32-byte copies.
bool wide_vectors_supported();
// Whether they run: from the start, where supported.
bool wide_vectors_used();
// The 32-byte copies where supported, or the 16-byte code everywhere, so
// that both can be checked on one processor; asking for the copies where
// they are not supported keeps the 16-byte code.
void use_wide_vectors(bool wide);
