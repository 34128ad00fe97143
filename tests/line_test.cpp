// Additive line drawing into the accumulation buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "raster/raster.h"

namespace {

struct Pixel { int32_t x, y; };

}  // namespace

TEST(Line, PixelSequences) {
    fill_row_offset();
    // Each step advances the major axis by one, so the set of lit pixels fixes
    // their order; the lists are written in drawing order.
    struct Case { Pixel from, to; std::vector<Pixel> pixels; };
    const Case cases[] = {
        {{7, 9}, {7, 9}, {{7, 9}}},
        {{0, 0}, {3, 3}, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        {{0, 0}, {4, 2}, {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}}},
        {{0, 0}, {2, 4}, {{0, 0}, {1, 1}, {1, 2}, {2, 3}, {2, 4}}},
        {{2, 4}, {0, 0}, {{2, 4}, {1, 3}, {1, 2}, {0, 1}, {0, 0}}},
        {{0, 0}, {4, 1}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}}},
        {{4, 1}, {0, 0}, {{4, 1}, {3, 1}, {2, 0}, {1, 0}, {0, 0}}},
        {{639, 479}, {635, 477}, {{639, 479}, {638, 478}, {637, 478}, {636, 477}, {635, 477}}},
        {{10, 5}, {0, 5},
         {{10, 5}, {9, 5}, {8, 5}, {7, 5}, {6, 5}, {5, 5}, {4, 5}, {3, 5}, {2, 5}, {1, 5}, {0, 5}}},
        {{3, 0}, {3, 3}, {{3, 0}, {3, 1}, {3, 2}, {3, 3}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "(" << c.from.x << "," << c.from.y << ")-(" << c.to.x
                                        << "," << c.to.y << ")");
        accum_clear(accum_buffer);
        draw_line_add(accum_buffer, c.from.x, c.from.y, c.to.x, c.to.y, 0, 0, 1);
        for (const Pixel& p : c.pixels)
            EXPECT_EQ(accum_buffer[p.y * 640 + p.x], 1) << p.x << "," << p.y;
        int32_t lit = 0;
        for (int32_t w : accum_buffer) lit += w != 0;
        EXPECT_EQ(lit, static_cast<int32_t>(c.pixels.size()));
    }

    // The bottom row covers exactly the last 640 indices.
    accum_clear(accum_buffer);
    draw_line_add(accum_buffer, 0, 479, 639, 479, 1, 2, 3);
    for (int32_t i = 0; i < screen_pixels; ++i)
        ASSERT_EQ(accum_buffer[i], i >= 306560 ? 0x00010203 : 0) << i;
}

TEST(Line, ColoursAddAndSaturate) {
    fill_row_offset();
    accum_clear(accum_buffer);
    for (int n = 0; n < 22; ++n) draw_line_add(accum_buffer, 50, 60, 50, 60, 12, 2, 2);
    EXPECT_EQ(accum_buffer[60 * 640 + 50], 0x00FF2C2C);  // red 264 stops at 255; 22 * 2 = 44

    // Segments sharing an end both add their colour there, and nowhere else twice.
    accum_clear(accum_buffer);
    draw_line_add(accum_buffer, 0, 0, 5, 5, 0x10, 0, 0);
    draw_line_add(accum_buffer, 5, 5, 9, 0, 0, 0x20, 0);
    EXPECT_EQ(accum_buffer[5 * 640 + 5], 0x00102000);
    int32_t mixed = 0;
    for (int32_t w : accum_buffer) mixed += (w & 0x00FF0000) && (w & 0x0000FF00);
    EXPECT_EQ(mixed, 1);
}

TEST(Line, RandomSegmentsStayInBoundingBox) {
    fill_row_offset();
    // The screen sits in the middle of a larger block whose guard words must
    // survive every line.
    constexpr int32_t guard = 4096;
    constexpr int32_t sentinel = 0x5A5A5A5A;
    std::vector<int32_t> block(screen_pixels + 2 * guard, sentinel);
    int32_t* screen = block.data() + guard;
    std::fill(screen, screen + screen_pixels, 0);

    std::mt19937 rng(7);
    auto coordinate = [&](int32_t size) -> int32_t {
        // One in four on a border, where a stray step would leave the screen.
        if (rng() % 4 == 0) return rng() % 2 ? 0 : size - 1;
        return static_cast<int32_t>(rng() % static_cast<uint32_t>(size));
    };
    for (int n = 0; n < 1500; ++n) {
        const int32_t x0 = coordinate(640), y0 = coordinate(480);
        int32_t x1 = coordinate(640), y1 = coordinate(480);
        if (n % 3 == 0) {  // short segments too, where the rounding shows most
            x1 = std::clamp(x0 + static_cast<int32_t>(rng() % 9) - 4, 0, 639);
            y1 = std::clamp(y0 + static_cast<int32_t>(rng() % 9) - 4, 0, 479);
        }
        SCOPED_TRACE(testing::Message() << "(" << x0 << "," << y0 << ")-(" << x1 << "," << y1
                                        << ")");
        draw_line_add(screen, x0, y0, x1, y1, 0, 0, 1);
        ASSERT_EQ(screen[y0 * 640 + x0], 1);
        ASSERT_EQ(screen[y1 * 640 + x1], 1);
        // Count and wipe the bounding box; every lit word must be 1 and the
        // count one more than the longer side.
        int32_t lit = 0;
        for (int32_t y = std::min(y0, y1); y <= std::max(y0, y1); ++y) {
            for (int32_t x = std::min(x0, x1); x <= std::max(x0, x1); ++x) {
                int32_t& w = screen[y * 640 + x];
                ASSERT_TRUE(w == 0 || w == 1) << x << "," << y;
                lit += w;
                w = 0;
            }
        }
        ASSERT_EQ(lit, std::max(std::abs(x1 - x0), std::abs(y1 - y0)) + 1);
    }
    // Nothing was written outside the boxes or outside the screen.
    EXPECT_EQ(std::count(screen, screen + screen_pixels, 0), screen_pixels);
    EXPECT_EQ(std::count(block.begin(), block.begin() + guard, sentinel), guard);
    EXPECT_EQ(std::count(block.end() - guard, block.end(), sentinel), guard);
}
