// Matrices, the view transform and the perspective projection.
#include <gtest/gtest.h>

#include <bit>
#include <iterator>
#include <limits>

#include "transform/transform.h"
#include "trig/trig.h"

namespace {

void expect_bits(const Matrix4& m, const uint32_t (&want)[16], const char* what) {
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(std::bit_cast<uint32_t>(m.e[i]), want[i]) << what << ", element " << i << " is " << m.e[i];
}

// The expected bits were worked out apart from this code: each element summed left to right in
// double precision and rounded once. Summing in single precision differs in elements 1, 2, 9..13
// and 15 of the product and 2, 5 and 6 of the view matrix. The golden frames do not see every
// such rounding: the last term alone summed in single precision changes none of them.
TEST(Matrices, ProductAndViewAtGeneralAnglesBitForBit) {
    Matrix4 a, b, result;
    for (int k = 0; k < 16; ++k)
        a.e[k] = static_cast<float>(k * 0.37 - 2.1), b.e[k] = static_cast<float>(1.3 - k * 0.29);
    mat_mul(result, a, b);
    expect_bits(result,
                {0xbfdd8ad9, 0xbee6b506, 0x3f5460ac, 0x400706f7, 0xc012680a, 0xc02e594b, 0xc04a4a8c, 0xc0663bce,
                 0xc0360aa6, 0xc09fedfb, 0xc0e4d6a1, 0xc114dfa4, 0xc059ad41, 0xc0e8af4f, 0xc13243fe, 0xc1703055},
                "b x a");
    build_trig_tables();
    update_view(100, 2000, 3500);
    expect_bits(view_matrix,
                {0xbf1bd5a9, 0x3f4a2792, 0xbd9cfe05, 0, 0x3f4a3ad7, 0x3f1824d1, 0xbe1a78d1, 0, 0xbd96a905, 0xbe1c0a56,
                 0xbf7c4ef6, 0, 0, 0, 0, 0x3f800000},
                "view");
}

TEST(View, ProjectionOfNamedPoints) {
    constexpr float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    constexpr int32_t off = INT32_MIN;  // not finite, or truncates outside 32 bits
    struct Case {
        float x, y, z;
        int32_t sx, sy;
    };
    const Case cases[] = {
        {1, 0, -1.5f, 560, 240},
        {1, 0, -3.5f, 80, 240} /* behind the eye: mirrored */,
        {0, -1, -1.5f, 320, 0},
        {-1.3359375f, 0, -1.5f, 0, 240},
        {1.33203125f, 0, -1.5f, 639, 240},
        {-15.5f, 0, -2.125f, -9599, 240},  // x / d would be -9600 exactly; x * (1 / d) lies just above
        {1, 1, -2.5f, off, off},
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
    EXPECT_EQ(to_screen(nan), INT32_MIN);
    EXPECT_EQ(to_screen(inf), INT32_MIN);
    EXPECT_EQ(to_screen(2147483648.0), INT32_MIN);
    EXPECT_EQ(to_screen(-2147483649.0), INT32_MIN);
    EXPECT_EQ(to_screen(2147483647.99), INT32_MAX);
    EXPECT_EQ(to_screen(-2147483648.99), INT32_MIN);
    EXPECT_EQ(to_screen(639.6875), 639);
    EXPECT_EQ(to_screen(-0.625), 0);
}

}  // namespace
