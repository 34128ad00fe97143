// Matrices, the view transform and the perspective projection.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <limits>

#include "app/app.h"
#include "transform/transform.h"

// Quarter turns show each direction and the order: x first, then y, then z.
TEST(View, UpdateViewTurnsAboutXThenYThenZ) {
    build_trig_tables();
    struct Case { int32_t ax, ay, az; float from[3], to[3]; };
    const Case cases[] = {{1024, 0, 0, {0, 1, 0}, {0, 0, 1}},    {0, 1024, 0, {0, 0, 1}, {1, 0, 0}},
                          {0, 0, 1024, {1, 0, 0}, {0, 1, 0}},    {0, 0, 1024, {0, 1, 0}, {-1, 0, 0}},
                          {1024, 1024, 0, {0, 1, 0}, {1, 0, 0}}, {0, 1024, 1024, {0, 0, 1}, {0, 1, 0}}};
    for (const Case& c : cases) {
        angle_x = c.ax, angle_y = c.ay, angle_z = c.az;
        model_x[5] = c.from[0], model_y[5] = c.from[1], model_z[5] = c.from[2];
        update_view();
        const float got[3] = {view_x[5], view_y[5], view_z[5]};
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], c.to[i], 1e-6) << "case " << &c - cases << ", axis " << i;
    }
    const auto rotation = [](auto rot, int32_t angle) { Matrix4 m; mat_identity(m); rot(m, angle); return m; };
    const auto same = [](const Matrix4& a, const Matrix4& b) { return std::memcmp(a.e, b.e, sizeof a.e) == 0; };
    angle_x = 100, angle_y = 2000, angle_z = 3500;
    update_view();
    Matrix4 ry_rx, want;
    mat_mul(ry_rx, rotation(mat_rot_x, 100), rotation(mat_rot_y, 2000));
    mat_mul(want, ry_rx, rotation(mat_rot_z, 3500));
    EXPECT_TRUE(same(work_a, ry_rx));
    EXPECT_TRUE(same(work_b, rotation(mat_rot_z, 3500)));
    EXPECT_TRUE(same(view_matrix, want));
}

TEST(View, ProjectionOfNamedPoints) {
    constexpr float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    constexpr int32_t off = INT32_MIN;  // not finite, or truncates outside 32 bits
    struct Case { float x, y, z; int32_t sx, sy; };
    const Case cases[] = {
        {0, 0, 0, 320, 240}, {1, 0, 0, 416, 240}, {0, -1, 0, 320, 144}, {1, 0, -1.5f, 560, 240},
        {1, 0, -3.5f, 80, 240} /* behind the eye: mirrored */, {0, 1, -1.5f, 320, 480}, {0, -1, -1.5f, 320, 0},
        {-1.3359375f, 0, -1.5f, 0, 240}, {1.33203125f, 0, -1.5f, 639, 240},
        {-15.5f, 0, -2.125f, -9599, 240},  // x / d would be -9600 exactly; x * (1 / d) lies just above
        {1, 1, -2.5f, off, off}, {0, 0, -2.5f, off, off}, {nan, 0, 0, off, 240}, {0, -inf, 0, 320, off},
        {8947847.0f, 0, -1.5f, 2147483600, 240}, {8947848.0f, 0, -1.5f, off, 240}, {-8947850.0f, 0, -1.5f, off, 240},
    };
    constexpr int32_t n = static_cast<int32_t>(std::size(cases));
    for (int32_t i = 0; i < n; ++i) view_x[i] = cases[i].x, view_y[i] = cases[i].y, view_z[i] = cases[i].z;
    for (int32_t i = 0; i < point_count; ++i) screen_x[i] = screen_y[i] = 12345;
    project_points(n + 5, n + 5), project_points(n + 9, n + 2);  // empty and reversed ranges write nothing
    project_points(0, n);
    for (int32_t i = 0; i < point_count; ++i) {
        ASSERT_EQ(screen_x[i], i < n ? cases[i].sx : 12345) << i;
        ASSERT_EQ(screen_y[i], i < n ? cases[i].sy : 12345) << i;
    }
}
