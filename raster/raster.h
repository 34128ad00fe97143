// Accumulation buffer, segment clipping and additive line drawing.
#pragma once

#include <cstdint>

#include "screen/screen.h"

// Pixel words are 0x00RRGGBB; the buffer keeps its content between frames.
extern int32_t accum_buffer[screen_pixels];
extern int32_t row_offset[screen_height];

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
// Whether they run: from the start, where supported. The tests turn it off
// to hold the 16-byte code against them.
extern bool wide_vectors;

void fill_row_offset();
void accum_clear(int32_t* buffer);
void accum_fade(int32_t* buffer, int32_t amount);
void accum_plot(int32_t* buffer, int32_t x, int32_t y, int32_t red, int32_t green, int32_t blue);
void accum_add_pixel(int32_t* buffer, int32_t index, int32_t red, int32_t green, int32_t blue);

extern int32_t clip_x0;
extern int32_t clip_y0;
extern int32_t clip_x1;
extern int32_t clip_y1;

// Returns true when some part of the segment is inside the rectangle; the
// visible part is then left in clip_x0, clip_y0, clip_x1, clip_y1.
bool clip_segment(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t xmin, int32_t xmax, int32_t ymin,
                  int32_t ymax);

// Both ends must lie on the screen (as clip_segment leaves them).
void draw_line_add(int32_t* buffer, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t red, int32_t green,
                   int32_t blue);
