// The perspective projection and its guard against values with no 32-bit truncation. The golden
// frames prove the matrices, bit for bit, on every host.
#include <gtest/gtest.h>

#include <iterator>
#include <limits>
#include <utility>

#include "transform/transform.h"

namespace {

TEST(View, ProjectionOfNamedPoints) {
    constexpr float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    constexpr int32_t off = INT32_MIN;  // not finite, or truncates outside 32 bits
    struct Case {
        float x, y, z;
        int32_t sx, sy;
    };
    const Case cases[] = {
        {0, 0, 0, 320, 240},
        {1, 0, 0, 416, 240},
        {0, -1, 0, 320, 144},
        {1, 0, -1.5f, 560, 240},
        {1, 0, -3.5f, 80, 240} /* behind the eye: mirrored */,
        {0, 1, -1.5f, 320, 480},
        {0, -1, -1.5f, 320, 0},
        {-1.3359375f, 0, -1.5f, 0, 240},
        {1.33203125f, 0, -1.5f, 639, 240},
        {-15.5f, 0, -2.125f, -9599, 240},  // x / d would be -9600 exactly; x * (1 / d) lies just above
        {1, 1, -2.5f, off, off},
        {0, 0, -2.5f, off, off},
        {nan, 0, 0, off, 240},
        {0, -inf, 0, 320, off},
        {8947847.0f, 0, -1.5f, 2147483600, 240},
        {8947848.0f, 0, -1.5f, off, 240},
        {-8947850.0f, 0, -1.5f, off, 240},
    };
    constexpr auto n = static_cast<int32_t>(std::size(cases));
    for (int32_t i = 0; i < n; ++i) view_x[i] = cases[i].x, view_y[i] = cases[i].y, view_z[i] = cases[i].z;
    for (int32_t i = 0; i < point_count; ++i) screen_x[i] = screen_y[i] = 12345;
    project_points(n + 5, n + 5), project_points(n + 9, n + 2);  // empty and reversed ranges write nothing
    project_points(0, n);
    for (int32_t i = 0; i < point_count; ++i) {
        ASSERT_EQ(screen_x[i], i < n ? cases[i].sx : 12345) << i;
        ASSERT_EQ(screen_y[i], i < n ? cases[i].sy : 12345) << i;
    }
}

// Without the guard, this build would already disagree with itself: the hardware gives INT32_MIN
// for these at run time, while the compiler, folding the constants below, gives 0 or INT32_MAX.
TEST(View, GuardGivesInt32MinForWhatHasNoTruncation) {
    constexpr double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<double, int32_t> cases[] = {{nan, INT32_MIN},
                                                {-nan, INT32_MIN},
                                                {inf, INT32_MIN},
                                                {-inf, INT32_MIN},
                                                {2147483648.0, INT32_MIN},
                                                {-2147483649.0, INT32_MIN},
                                                {1e300, INT32_MIN},
                                                {2147483647.99, INT32_MAX},
                                                {-2147483648.99, INT32_MIN},
                                                {639.6875, 639},
                                                {-0.625, 0}};
    for (auto [v, want] : cases) EXPECT_EQ(to_screen(v), want) << v;
}

}  // namespace
