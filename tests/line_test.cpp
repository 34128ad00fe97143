// Additive line drawing into the accumulation buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "raster/raster.h"
#include "tests/support.h"

namespace {

// Plain Bresenham with its error term, written out: visit(x, y) for every pixel from the start.
template <typename Visit>
void bresenham(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Visit visit) {
    const int32_t dx = std::abs(x1 - x0), dy = std::abs(y1 - y0), major = std::max(dx, dy);
    for (int32_t k = 0, x = x0, y = y0, error = 2 * std::min(dx, dy) - major; k <= major; ++k) {
        visit(x, y);
        const bool diagonal = error >= 0;
        if (diagonal || dx > dy) x += x1 >= x0 ? 1 : -1;
        if (diagonal || dx <= dy) y += y1 >= y0 ? 1 : -1;
        error += 2 * std::min(dx, dy) - (diagonal ? 2 * major : 0);
    }
}

// Random ends, often on a border, every other segment short, random addends; then the longest
// segments, where the fixed-point minor step comes closest to rounding wrong: from every corner to
// every pixel of the two far edges. On a lit screen between guard rows the lines must match plain
// Bresenham, each pixel added once and nothing outside them.
TEST(Line, SegmentsMatchPlainBresenham) {
    fill_row_offset();
    constexpr int32_t guard = 2 * 640;  // whole rows, so that the guards are compared too
    uint32_t seed = 4242;
    std::vector<int32_t> got = random_buffer(seed);
    got.insert(got.begin(), guard, 0x5A5A5A5A);
    got.insert(got.end(), guard, 0x5A5A5A5A);
    std::vector<int32_t> want = got;
    const auto draw = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1, const int32_t(&add)[3]) {
        draw_line_add(got.data() + guard, x0, y0, x1, y1, add[0], add[1], add[2]);
        bresenham(x0, y0, x1, y1, [&](int32_t x, int32_t y) {
            int32_t& w = want[guard + y * 640 + x];
            w = std::min((w >> 16 & 0xFF) + add[0], 255) << 16 | std::min((w >> 8 & 0xFF) + add[1], 255) << 8 |
                std::min((w & 0xFF) + add[2], 255);
        });
    };
    const auto pick = [&](int32_t n) { return static_cast<int32_t>(next_random(seed) % n); };
    const auto end = [&](int32_t size) { return pick(4) ? pick(size) : pick(2) * (size - 1); };
    constexpr int32_t addends[] = {0, 1, 2, 12, 128, 254, 255, 256, 100000};
    for (int n = 0; n < 3000; ++n) {
        const int32_t x0 = end(640), y0 = end(480);
        const int32_t x1 = n % 2 ? end(640) : std::clamp(x0 + pick(21) - 10, 0, 639);
        const int32_t y1 = n % 2 ? end(480) : std::clamp(y0 + pick(21) - 10, 0, 479);
        draw(x0, y0, x1, y1, {addends[pick(9)], addends[pick(9)], addends[pick(9)]});
    }
    EXPECT_TRUE(same_pixels(got, want)) << "random segments (rows 0, 1, 482 and 483 are guards)";
    for (int corner = 0; corner < 4; ++corner) {
        for (int32_t e = 0; e < 640 + 480; ++e) {
            const int32_t x = e < 640 ? e : 639, y = e < 640 ? 479 : e - 640;
            draw(corner % 2 * 639, corner / 2 * 479, corner % 2 ? 639 - x : x, corner / 2 ? 479 - y : y, {0, 0, 1});
        }
    }
    EXPECT_TRUE(same_pixels(got, want)) << "longest segments (rows 0, 1, 482 and 483 are guards)";
}

}  // namespace
