// Additive line drawing: Bresenham on buffer indices, each pixel's colour
// added with saturation.
#include "raster/raster.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#elif defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

namespace {

// The saturating add of accum_add_pixel on all three channels at once, for
// addends within 0..255 packed like a word: one saturating byte add where
// the target has one (SSE2 on x86-64, WebAssembly SIMD), else each channel
// grows by at most its room below 255 in the compiler's generic vector type.
// The top byte ends up 0, as composing the channels would leave it.
#if defined(__SSE2__)
using Colour = __m128i;
inline Colour packed_colour(uint32_t packed) { return _mm_cvtsi32_si128(static_cast<int32_t>(packed)); }
inline int32_t add_saturating(int32_t word, Colour colour) {
    return _mm_cvtsi128_si32(_mm_adds_epu8(_mm_cvtsi32_si128(word & 0x00FFFFFF), colour));
}
#elif defined(__wasm_simd128__)
using Colour = v128_t;
inline Colour packed_colour(uint32_t packed) { return wasm_i32x4_make(static_cast<int32_t>(packed), 0, 0, 0); }
inline int32_t add_saturating(int32_t word, Colour colour) {
    return wasm_i32x4_extract_lane(wasm_u8x16_add_sat(wasm_i32x4_make(word & 0x00FFFFFF, 0, 0, 0), colour), 0);
}
#else
typedef uint8_t Colour __attribute__((vector_size(4)));
inline Colour packed_colour(uint32_t packed) {
    Colour colour;
    std::memcpy(&colour, &packed, sizeof colour);
    return colour;
}
inline int32_t add_saturating(int32_t word, Colour colour) {
    const uint32_t channels = static_cast<uint32_t>(word) & 0x00FFFFFFu;
    Colour a;
    std::memcpy(&a, &channels, sizeof a);
    const Colour room = ~a;
    const Colour sum = a + (colour < room ? colour : room);
    int32_t result;
    std::memcpy(&result, &sum, sizeof result);
    return result;
}
#endif
// The longest segment on the screen has screen_width - 1 steps.
constexpr int32_t max_major = screen_width - 1;

// floor(2^32 / major) + 1 for every major of an on-screen segment: a little
// over 2^32 / major, so that minor * step_scale[major] overshoots the exact
// slope in 32.32 fixed point by at most minor units a step.
constexpr auto step_scale = [] {
    struct Table {
        uint64_t at[max_major + 1];
    } table{};
    for (int32_t major = 1; major <= max_major; ++major) table.at[major] = (uint64_t{1} << 32) / major + 1;
    return table;
}();

// Bresenham on buffer indices, without a branch per pixel: the minor
// coordinate after n steps of Bresenham's error term is
// floor((2 * minor * n + major) / (2 * major)), here a 32.32 fixed-point
// sum started at one half. Its overshoot after n steps is under
// n * minor <= 639^2 units of 2^-32, while a non-integer exact value lies at
// least 2^32 / (2 * major) > 3 * 10^6 units below the next integer, and an
// integer one is never undershot: the integer part is exact. The pixels
// depend on nothing but n, so the data-dependent step of the error term
// (a branch that mispredicts on segments of changing slope) is gone, and a
// pixel costs no bounds test. `add` is called once per pixel with its index,
// in order from the start.
template <typename Add>
void walk_line(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Add add) {
    int32_t dx = x1 - x0;
    int32_t dy = y1 - y0;
    int32_t step_x = 1;
    int32_t step_y = screen_width;
    if (dx < 0) {
        step_x = -1;
        dx = -dx;
    }
    if (dy < 0) {
        step_y = -screen_width;
        dy = -dy;
    }
    // Equal spans step along y, as the error term's ties do.
    const bool x_major = dx > dy;
    const int32_t major = x_major ? dx : dy;
    const int32_t minor = x_major ? dy : dx;
    const int32_t straight = x_major ? step_x : step_y;
    const int32_t across = x_major ? step_y : step_x;
    const uint64_t slope = static_cast<uint64_t>(minor) * step_scale.at[major];
    uint64_t position = uint64_t{1} << 31;
    int32_t index = row_offset[y0] + x0;
    for (int32_t n = 0; n <= major; ++n) {
        add(index + static_cast<int32_t>(position >> 32) * across);
        index += straight;
        position += slope;
    }
}

}  // namespace

void draw_line_add(int32_t* buffer, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t red, int32_t green,
                   int32_t blue) {
    // Negative addends have no packed form: those lines take the plain add.
    if (red < 0 || green < 0 || blue < 0) {
        walk_line(x0, y0, x1, y1, [&](int32_t index) { accum_add_pixel(buffer, index, red, green, blue); });
        return;
    }
    // An addend of 255 or more saturates its channel whatever it held.
    const auto clamp = [](int32_t v) { return static_cast<uint32_t>(v > 255 ? 255 : v); };
    const uint32_t packed = (clamp(red) << 16) | (clamp(green) << 8) | clamp(blue);
    const Colour colour = packed_colour(packed);
    walk_line(x0, y0, x1, y1, [&](int32_t index) { buffer[index] = add_saturating(buffer[index], colour); });
}
