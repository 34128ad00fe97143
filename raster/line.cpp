// Additive line drawing: Bresenham on buffer indices, each pixel's colour
// added with saturation.
#include "raster/raster.h"

#include <cstring>

namespace {

// The three channels of a word as one small vector in the compiler's generic
// vector type (lowered to SSE2 on x86-64, to scalar code where there is none).
typedef uint8_t Channels __attribute__((vector_size(4)));

// The saturating add of accum_add_pixel on all three channels at once, for
// addends within 0..255 packed like a word: each channel grows by at most its
// room below 255. The top byte ends up 0, as composing the channels would
// leave it.
inline int32_t add_saturating(int32_t word, Channels colour) {
    const uint32_t channels = static_cast<uint32_t>(word) & 0x00FFFFFFu;
    Channels a;
    std::memcpy(&a, &channels, sizeof a);
    const Channels room = ~a;
    const Channels sum = a + (colour < room ? colour : room);
    int32_t result;
    std::memcpy(&result, &sum, sizeof result);
    return result;
}

// Bresenham on buffer indices: a step in x moves the index by 1, a step in
// y by one row, so no pixel costs a multiplication or a bounds test. `add`
// is called once per pixel with its index, in order from the start.
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
    int32_t major;
    int32_t minor;
    int32_t straight;
    if (dx > dy) {
        major = dx;
        minor = dy;
        straight = step_x;
    } else {
        major = dy;
        minor = dx;
        straight = step_y;
    }
    const int32_t diagonal = step_x + step_y;
    int32_t index = row_offset[y0] + x0;
    int32_t error = 2 * minor - major;
    const int32_t straight_inc = 2 * minor;
    const int32_t diagonal_inc = 2 * minor - 2 * major;
    for (int32_t n = 0; n <= major; ++n) {
        add(index);
        // Compilers make a branch of this; tried as a masked step, it was
        // slower, the branch predicting well on the short ring segments.
        const bool diag = error >= 0;
        index += diag ? diagonal : straight;
        error += diag ? diagonal_inc : straight_inc;
    }
}

}  // namespace

void draw_line_add(int32_t* buffer, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                   int32_t red, int32_t green, int32_t blue) {
    // Negative addends have no packed form: those lines take the plain add.
    if (red < 0 || green < 0 || blue < 0) {
        walk_line(x0, y0, x1, y1, [&](int32_t index) { accum_add_pixel(buffer, index, red, green, blue); });
        return;
    }
    // An addend of 255 or more saturates its channel whatever it held.
    const auto clamp = [](int32_t v) { return static_cast<uint32_t>(v > 255 ? 255 : v); };
    const uint32_t packed = (clamp(red) << 16) | (clamp(green) << 8) | clamp(blue);
    Channels colour;
    std::memcpy(&colour, &packed, sizeof colour);
    walk_line(x0, y0, x1, y1, [&](int32_t index) { buffer[index] = add_saturating(buffer[index], colour); });
}
