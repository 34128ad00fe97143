// Segment clipping against the 640 x 480 screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>

#include "raster/raster.h"

// Ends, then the clipped ends, or none for a rejected segment.
TEST(Clip, KnownSegments) {
    constexpr int32_t lo = INT32_MIN, hi = INT32_MAX;
    const std::array<int32_t, 8> cases[] = {
        {-10, 240, 650, 240, 0, 240, 639, 240},
        {100, -50, 100, 600, 100, 0, 100, 479},
        {-10, 5, 5, -10},
        // Below-right goes to the right edge first; crossings truncate toward the current start.
        {700, 500, 320, 240, 639, 459, 320, 240},
        {320, 240, 700, 500, 320, 240, 639, 458},
        // Above and beside: the top edge comes first. Right or left first would give (634, 0) and (6, 0).
        {700, -50, 320, 240, 635, 0, 320, 240},
        {-60, -50, 320, 240, 5, 0, 320, 240},
        {-1000000, 0, 1000000, 479, 0, 239, 639, 239},
        {320, 240, lo, lo, 320, 240, 80, 0},
        {lo, lo, hi, hi, 0, 0, 479, 479},
        {hi, hi, lo, lo, 479, 479, 0, 0},
        {lo, lo, lo, hi},
    };
    for (const auto& c : cases) {
        const bool accepted = clip_segment(c[0], c[1], c[2], c[3], 0, 639, 0, 479);
        const std::array<int32_t, 4> got = {clip_x0, clip_y0, clip_x1, clip_y1};
        EXPECT_EQ((accepted ? got : std::array<int32_t, 4>{}), (std::array{c[4], c[5], c[6], c[7]})) << &c - cases;
    }
}

// Any 32-bit ends: rejected, never with an end on the screen, or clipped to ends on the screen and
// between the given ones, an end already on the screen left where it was.
TEST(Clip, AnyEndsGiveRejectionOrVisibleEndsBetweenThem) {
    std::mt19937 rng(20240613);  // NOLINT(cert-msc32-c,cert-msc51-cpp): the same cases on every run
    const int32_t extremes[] = {INT32_MIN, -1000000, -1, 0, 479, 480, 639, 640, INT32_MAX};
    const auto coordinate = [&]() -> int32_t {
        const uint32_t kind = rng() % 3;
        return kind == 0 ? static_cast<int32_t>(rng()) : kind == 1 ? extremes[rng() % 9] : int32_t(rng() % 2400) - 880;
    };
    const auto on_screen = [](int32_t x, int32_t y) { return x >= 0 && x <= 639 && y >= 0 && y <= 479; };
    const auto between = [](int32_t v, int32_t a, int32_t b) { return v >= std::min(a, b) && v <= std::max(a, b); };
    int32_t accepted = 0;
    for (int n = 0; n < 300000; ++n) {
        const int32_t x0 = coordinate(), y0 = coordinate(), x1 = coordinate(), y1 = coordinate();
        SCOPED_TRACE(testing::Message() << x0 << "," << y0 << " - " << x1 << "," << y1);
        const bool inside0 = on_screen(x0, y0), inside1 = on_screen(x1, y1);
        if (!clip_segment(x0, y0, x1, y1, 0, 639, 0, 479)) {
            ASSERT_FALSE(inside0 || inside1);
            continue;
        }
        ++accepted;
        SCOPED_TRACE(testing::Message() << "clipped to " << clip_x0 << "," << clip_y0 << " - " << clip_x1 << ","
                                        << clip_y1);
        ASSERT_TRUE(on_screen(clip_x0, clip_y0) && on_screen(clip_x1, clip_y1)) << "an end off the screen";
        ASSERT_TRUE(between(clip_x0, x0, x1) && between(clip_x1, x0, x1) && between(clip_y0, y0, y1) &&
                    between(clip_y1, y0, y1))
            << "an end outside the given ones";
        ASSERT_TRUE((!inside0 || (clip_x0 == x0 && clip_y0 == y0)) && (!inside1 || (clip_x1 == x1 && clip_y1 == y1)))
            << "an end on the screen moved";
    }
    EXPECT_TRUE(accepted > 30000 && accepted < 270000) << accepted << " accepted: both outcomes must be common";
}
