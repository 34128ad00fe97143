// Segment clipping against the 640 x 480 screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>

#include "raster/raster.h"

namespace {

bool clip_to_screen(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    return clip_segment(x0, y0, x1, y1, 0, 639, 0, 479);
}

bool on_screen(int32_t x, int32_t y) { return x >= 0 && x <= 639 && y >= 0 && y <= 479; }

}  // namespace

TEST(Clip, RegionFlags) {
    struct Case { int32_t x, y; bool below, above, left, right; };
    const Case cases[] = {
        {0, 0, false, false, false, false},      {639, 479, false, false, false, false},
        {-1, -1, false, true, true, false},      {640, 480, true, false, false, true},
        {INT32_MIN, 240, false, false, true, false}, {320, INT32_MAX, true, false, false, false},
    };
    for (const Case& c : cases) {
        end_flags = RegionFlags{true, true, true, true};
        const bool out = outcode_start(c.x, c.y, 0, 639, 0, 479);
        EXPECT_EQ(out, c.below || c.above || c.left || c.right);
        EXPECT_EQ(start_flags.below, c.below);
        EXPECT_EQ(start_flags.above, c.above);
        EXPECT_EQ(start_flags.left, c.left);
        EXPECT_EQ(start_flags.right, c.right);
        EXPECT_TRUE(end_flags.below && end_flags.above) << "outcode_start wrote end_flags";
        EXPECT_EQ(outcode_end(c.x, c.y, 0, 639, 0, 479), out);
        EXPECT_EQ(end_flags.below, c.below);
        EXPECT_EQ(end_flags.left, c.left);
    }
}

TEST(Clip, KnownSegments) {
    constexpr int32_t lo = INT32_MIN;
    constexpr int32_t hi = INT32_MAX;
    struct Case { int32_t x0, y0, x1, y1; bool accepted; int32_t cx0, cy0, cx1, cy1; };
    const Case cases[] = {
        {10, 10, 600, 400, true, 10, 10, 600, 400},
        {0, 0, 639, 479, true, 0, 0, 639, 479},
        {-5, 10, -1, 400, false, 0, 0, 0, 0},
        {-10, 240, 650, 240, true, 0, 240, 639, 240},
        {100, -50, 100, 600, true, 100, 0, 100, 479},
        // Below-right start goes to the right edge first, truncating toward the start.
        {700, 500, 320, 240, true, 639, 459, 320, 240},
        {320, 240, 700, 500, true, 320, 240, 639, 458},
        {-10, 5, 5, -10, false, 0, 0, 0, 0},
        {-1000000, 0, 1000000, 479, true, 0, 239, 639, 239},
        {320, 240, lo, lo, true, 320, 240, 80, 0},
        {lo, lo, hi, hi, true, 0, 0, 479, 479},
        {hi, hi, lo, lo, true, 479, 479, 0, 0},
        {lo, 240, hi, 240, true, 0, 240, 639, 240},
        {lo, lo, lo, hi, false, 0, 0, 0, 0},
        {700, -5, 900, 100, false, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "(" << c.x0 << "," << c.y0 << ")-(" << c.x1 << ","
                                        << c.y1 << ")");
        ASSERT_EQ(clip_to_screen(c.x0, c.y0, c.x1, c.y1), c.accepted);
        if (!c.accepted) continue;
        EXPECT_EQ(clip_x0, c.cx0);
        EXPECT_EQ(clip_y0, c.cy0);
        EXPECT_EQ(clip_x1, c.cx1);
        EXPECT_EQ(clip_y1, c.cy1);
    }
}

TEST(Clip, AnyEndpointsGiveOnScreenEndsOrRejection) {
    std::mt19937 rng(20240613);
    const int32_t extremes[] = {INT32_MIN, INT32_MIN + 1, -1000000, -1, 0, 1, 239, 479, 480,
                                639, 640, 1000000, INT32_MAX - 1, INT32_MAX};
    auto coordinate = [&]() -> int32_t {
        switch (rng() % 3) {
        case 0: return static_cast<int32_t>(rng());
        case 1: return extremes[rng() % std::size(extremes)];
        default: return static_cast<int32_t>(rng() % 2400) - 880;
        }
    };
    int32_t accepted = 0;
    for (int n = 0; n < 300000; ++n) {
        const int32_t x0 = coordinate(), y0 = coordinate(), x1 = coordinate(), y1 = coordinate();
        SCOPED_TRACE(testing::Message() << "(" << x0 << "," << y0 << ")-(" << x1 << "," << y1
                                        << ")");
        const bool inside0 = on_screen(x0, y0), inside1 = on_screen(x1, y1);
        if (!clip_to_screen(x0, y0, x1, y1)) {
            // A segment with an end on the screen is always at least that end.
            ASSERT_FALSE(inside0 || inside1);
            continue;
        }
        ++accepted;
        ASSERT_TRUE(on_screen(clip_x0, clip_y0) && on_screen(clip_x1, clip_y1));
        // Crossings lie between the ends they were computed from.
        for (int32_t x : {clip_x0, clip_x1})
            ASSERT_TRUE(x >= std::min(x0, x1) && x <= std::max(x0, x1));
        for (int32_t y : {clip_y0, clip_y1})
            ASSERT_TRUE(y >= std::min(y0, y1) && y <= std::max(y0, y1));
        // An end already on the screen is never moved.
        ASSERT_TRUE(!inside0 || (clip_x0 == x0 && clip_y0 == y0));
        ASSERT_TRUE(!inside1 || (clip_x1 == x1 && clip_y1 == y1));
    }
    // The mix must exercise both outcomes heavily to mean anything.
    EXPECT_GT(accepted, 30000);
    EXPECT_LT(accepted, 270000);
}
