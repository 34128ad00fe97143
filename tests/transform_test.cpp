// Matrices, the view transform and the perspective projection.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <limits>

#include "app/app.h"
#include "transform/transform.h"

namespace {

struct Vec { double x, y, z; };

Vec apply(const Matrix4& m, Vec p) {
    const float* e = m.e;
    return {e[0] * p.x + e[1] * p.y + e[2] * p.z + e[3],
            e[4] * p.x + e[5] * p.y + e[6] * p.z + e[7],
            e[8] * p.x + e[9] * p.y + e[10] * p.z + e[11]};
}

void expect_near(Vec got, Vec want) {
    EXPECT_NEAR(got.x, want.x, 1e-6);
    EXPECT_NEAR(got.y, want.y, 1e-6);
    EXPECT_NEAR(got.z, want.z, 1e-6);
}

Matrix4 rotation(void (*rot)(Matrix4&, int32_t), int32_t angle) {
    Matrix4 m;
    mat_identity(m);
    rot(m, angle);
    return m;
}

void expect_same(const Matrix4& a, const Matrix4& b) {
    for (int i = 0; i < 16; ++i) EXPECT_EQ(a.e[i], b.e[i]) << "element " << i;
}

}  // namespace

TEST(Matrix, IdentityCopyAndRotationElements) {
    build_trig_tables();
    Matrix4 m;
    for (int i = 0; i < 16; ++i) m.e[i] = 100.0f + i;
    mat_identity(m);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m.e[i], i % 5 == 0 ? 1.0f : 0.0f) << i;

    // Angle 0 keeps the identity; the -sin element is negative zero.
    expect_same(rotation(mat_rot_x, 0), m);
    EXPECT_TRUE(std::signbit(rotation(mat_rot_x, 0).e[6]));
    EXPECT_TRUE(std::signbit(rotation(mat_rot_y, 0).e[8]));
    EXPECT_TRUE(std::signbit(rotation(mat_rot_z, 0).e[1]));

    // Each rotation writes its four elements from the tables, nothing else.
    const float c = turn_cos[300], s = turn_sin[300];
    struct Case { void (*rot)(Matrix4&, int32_t); int i_cos1, i_neg_sin, i_sin, i_cos2; };
    const Case cases[] = {
        {mat_rot_x, 5, 6, 9, 10}, {mat_rot_y, 0, 8, 2, 10}, {mat_rot_z, 0, 1, 4, 5}};
    for (const Case& k : cases) {
        Matrix4 r;
        for (int i = 0; i < 16; ++i) r.e[i] = 100.0f + i;
        k.rot(r, 300);
        for (int i = 0; i < 16; ++i) {
            float want = 100.0f + i;
            if (i == k.i_cos1 || i == k.i_cos2) want = c;
            if (i == k.i_sin) want = s;
            if (i == k.i_neg_sin) want = -s;
            EXPECT_EQ(r.e[i], want) << "element " << i;
        }
        Matrix4 copy;
        mat_copy(copy, r);
        expect_same(copy, r);
    }
}

TEST(Matrix, RotationDirectionsAndProductOrder) {
    build_trig_tables();
    const Matrix4 rx = rotation(mat_rot_x, 1024), ry = rotation(mat_rot_y, 1024),
                  rz = rotation(mat_rot_z, 1024);
    expect_near(apply(rz, {1, 0, 0}), {0, 1, 0});
    expect_near(apply(rz, {0, 1, 0}), {-1, 0, 0});
    expect_near(apply(rx, {0, 1, 0}), {0, 0, 1});
    expect_near(apply(ry, {0, 0, 1}), {1, 0, 0});

    // mat_mul(result, a, b) applies a first, then b.
    Matrix4 r;
    mat_mul(r, rx, ry);
    expect_near(apply(r, {0, 1, 0}), {1, 0, 0});
    mat_mul(r, ry, rx);
    expect_near(apply(r, {0, 1, 0}), {0, 0, 1});

    // Identity on either side; row 3 and the translation column survive.
    const Matrix4 a = rotation(mat_rot_y, 700);
    Matrix4 id;
    mat_identity(id);
    mat_mul(r, a, id);
    expect_same(r, a);
    mat_mul(r, id, a);
    expect_same(r, a);
    mat_mul(r, a, rotation(mat_rot_z, 2100));
    for (int i : {3, 7, 11, 12, 13, 14}) EXPECT_EQ(r.e[i], 0.0f) << i;
    EXPECT_EQ(r.e[15], 1.0f);

    // The result may be the first factor itself.
    Matrix4 in_place = a;
    mat_mul(in_place, in_place, rz);
    mat_mul(r, a, rz);
    expect_same(in_place, r);
}

TEST(Matrix, ProductSumsInDoubleAndRoundsOnce) {
    // 1 + 2^-30 - 1 is 2^-30 in double; a single-precision running sum would
    // lose the small term and give 0.
    Matrix4 a{}, b{};
    a.e[0] = 1.0f, a.e[4] = std::ldexp(1.0f, -30), a.e[8] = 1.0f;
    b.e[0] = 1.0f, b.e[1] = 1.0f, b.e[2] = -1.0f;
    Matrix4 r;
    mat_mul(r, a, b);
    EXPECT_EQ(r.e[0], std::ldexp(1.0f, -30));
}

TEST(View, UpdateViewComposesXThenYThenZ) {
    build_trig_tables();
    angle_x = 100, angle_y = 2000, angle_z = 3500;
    model_x[7] = 0.25f, model_y[7] = -1.5f, model_z[7] = 2.0f;
    update_view();
    Matrix4 ry_rx, want;
    mat_mul(ry_rx, rotation(mat_rot_x, 100), rotation(mat_rot_y, 2000));
    mat_mul(want, ry_rx, rotation(mat_rot_z, 3500));
    expect_same(work_b, rotation(mat_rot_z, 3500));
    expect_same(work_a, ry_rx);
    expect_same(view_matrix, want);
    const Vec v = apply(want, {0.25, -1.5, 2.0});
    EXPECT_NEAR(view_x[7], v.x, 1e-6);
    EXPECT_NEAR(view_y[7], v.y, 1e-6);
    EXPECT_NEAR(view_z[7], v.z, 1e-6);
}

TEST(View, ProjectionOfModelPoints) {
    build_trig_tables();
    struct Case { float x, y, z; int32_t ax; int32_t sx, sy; };
    const Case cases[] = {
        {0, 0, 0, 0, 320, 240},  {1, 0, 0, 0, 416, 240},    {-1, 0, 0, 0, 224, 240},
        {0, 1, 0, 0, 320, 336},  {0, -1, 0, 0, 320, 144},   {0, 0, 1, 1024, 320, 144},
        {0, 1, 0, 1024, 320, 240},
    };
    for (const Case& c : cases) {
        angle_x = c.ax, angle_y = 0, angle_z = 0;
        model_x[3] = c.x, model_y[3] = c.y, model_z[3] = c.z;
        update_view();
        project_points(0, point_count);
        if (c.ax == 0) {
            EXPECT_EQ(view_x[3], c.x);
            EXPECT_EQ(view_y[3], c.y);
            EXPECT_EQ(view_z[3], c.z);
        }
        EXPECT_EQ(screen_x[3], c.sx) << c.x << "," << c.y << "," << c.z << " at " << c.ax;
        EXPECT_EQ(screen_y[3], c.sy) << c.x << "," << c.y << "," << c.z << " at " << c.ax;
    }
}

TEST(View, ProjectionOfViewPoints) {
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    constexpr float inf = std::numeric_limits<float>::infinity();
    constexpr int32_t off = INT32_MIN;  // not finite, or truncates outside 32 bits
    struct Case { float x, y, z; int32_t sx, sy; };
    const Case cases[] = {
        {1, 0, -1.5f, 560, 240},            {1, 0, -3.5f, 80, 240},  // behind the eye: mirrored
        {0, 1, -1.5f, 320, 480},            {0, -1, -1.5f, 320, 0},
        {-1.3359375f, 0, -1.5f, 0, 240},    {1.33203125f, 0, -1.5f, 639, 240},
        {1, 1, -2.5f, off, off},            {0, 0, -2.5f, off, off},
        {nan, 0, 0, off, 240},              {0, inf, 0, 320, off},
        {-inf, 0, 0, off, 240},             {0, 0, nan, off, off},
        // With d = 1 the column is 240 x + 320.
        {8947847.0f, 0, -1.5f, 2147483600, 240},  {8947848.0f, 0, -1.5f, off, 240},
        {-8947849.0f, 0, -1.5f, -2147483440, 240}, {-8947850.0f, 0, -1.5f, off, 240},
        {0, 8947847.0f, -1.5f, 320, 2147483520},   {0, 8947848.0f, -1.5f, 320, off},
    };
    constexpr int32_t n = static_cast<int32_t>(std::size(cases));
    for (int32_t i = 0; i < n; ++i) {
        view_x[i] = cases[i].x, view_y[i] = cases[i].y, view_z[i] = cases[i].z;
    }
    for (int32_t i = n; i < point_count; ++i) screen_x[i] = screen_y[i] = 12345;
    project_points(0, n);
    for (int32_t i = 0; i < n; ++i) {
        EXPECT_EQ(screen_x[i], cases[i].sx) << "case " << i;
        EXPECT_EQ(screen_y[i], cases[i].sy) << "case " << i;
    }
    // Empty and reversed ranges write nothing; a range stops at its end.
    project_points(n + 5, n + 5);
    project_points(n + 9, n + 2);
    project_points(point_count, 0);
    for (int32_t i = n; i < point_count; ++i) {
        ASSERT_EQ(screen_x[i], 12345) << i;
        ASSERT_EQ(screen_y[i], 12345) << i;
    }
}
