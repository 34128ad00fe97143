// Additive line drawing into the accumulation buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <utility>
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

}  // namespace

// The reference's own pixels, worked by hand: an error term of 0 steps diagonally, and the reverse
// covers other pixels.
TEST(Line, ReferencePixelSequences) {
    struct Case {
        int32_t x0, y0, x1, y1;
        std::vector<std::pair<int32_t, int32_t>> pixels;
    };
    const Case cases[] = {
        {0, 0, 4, 2, {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}},
        {0, 0, 2, 4, {{0, 0}, {1, 1}, {1, 2}, {2, 3}, {2, 4}}},
        {0, 0, 4, 1, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}}},
        {4, 1, 0, 0, {{4, 1}, {3, 1}, {2, 0}, {1, 0}, {0, 0}}},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<int32_t, int32_t>> got;
        bresenham(c.x0, c.y0, c.x1, c.y1, [&](int32_t x, int32_t y) { got.emplace_back(x, y); });
        EXPECT_EQ(got, c.pixels) << "to " << c.x1 << "," << c.y1;
    }
}

// Random ends, often on a border, every other segment short, random addends: on a lit screen between
// guard words the lines must match plain Bresenham, each pixel added once and nothing outside them.
TEST(Line, RandomSegmentsMatchPlainBresenham) {
    fill_row_offset();
    constexpr int32_t guard = 1024;
    uint32_t seed = 4242;
    std::vector<int32_t> got = random_buffer(seed);
    got.insert(got.begin(), guard, 0x5A5A5A5A), got.insert(got.end(), guard, 0x5A5A5A5A);
    std::vector<int32_t> want = got;
    const auto pick = [&](int32_t n) { return static_cast<int32_t>(next_random(seed) % n); };
    const auto end = [&](int32_t size) { return pick(4) ? pick(size) : pick(2) * (size - 1); };
    constexpr int32_t addends[] = {0, 1, 2, 12, 128, 254, 255, 256, 100000};
    for (int n = 0; n < 3000; ++n) {
        const int32_t x0 = end(640), y0 = end(480);
        const int32_t x1 = n % 2 ? end(640) : std::clamp(x0 + pick(21) - 10, 0, 639),
                      y1 = n % 2 ? end(480) : std::clamp(y0 + pick(21) - 10, 0, 479);
        SCOPED_TRACE(testing::Message() << x0 << "," << y0 << " - " << x1 << "," << y1);
        const int32_t add[3] = {addends[pick(9)], addends[pick(9)], addends[pick(9)]};
        draw_line_add(got.data() + guard, x0, y0, x1, y1, add[0], add[1], add[2]);
        bresenham(x0, y0, x1, y1, [&](int32_t x, int32_t y) {
            int32_t& w = want[guard + y * 640 + x];
            w = std::min((w >> 16 & 0xFF) + add[0], 255) << 16 | std::min((w >> 8 & 0xFF) + add[1], 255) << 8 |
                std::min((w & 0xFF) + add[2], 255);
        });
    }
    EXPECT_TRUE(same_pixels(got, want)) << "lines differ from plain Bresenham";
}

// The longest segments, where the fixed-point minor step comes closest to rounding wrong: from every
// corner to every pixel of the two far edges, each pixel where plain Bresenham puts it.
TEST(Line, LongestSegmentsFromEveryCornerMatchPlainBresenham) {
    fill_row_offset();
    std::vector<std::pair<int32_t, int32_t>> ends;
    ends.reserve(640 + 480);
    for (int32_t x = 0; x < 640; ++x) ends.emplace_back(x, 479);
    for (int32_t y = 0; y < 480; ++y) ends.emplace_back(639, y);
    for (int corner = 0; corner < 4; ++corner) {
        const bool flip_x = corner & 1, flip_y = corner & 2;
        for (auto [ex, ey] : ends) {
            const int32_t x0 = flip_x ? 639 : 0, y0 = flip_y ? 479 : 0;
            const int32_t x1 = flip_x ? 639 - ex : ex, y1 = flip_y ? 479 - ey : ey;
            accum_clear(accum_buffer);
            draw_line_add(accum_buffer, x0, y0, x1, y1, 0, 0, 1);
            int32_t pixels = 0, missing = 0;
            bresenham(x0, y0, x1, y1,
                      [&](int32_t x, int32_t y) { ++pixels, missing += accum_buffer[y * 640 + x] != 1; });
            ASSERT_EQ(missing, 0) << x0 << "," << y0 << " - " << x1 << "," << y1;
            ASSERT_EQ(std::count(std::begin(accum_buffer), std::end(accum_buffer), 1), pixels);
        }
    }
}
