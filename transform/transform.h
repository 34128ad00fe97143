// 4 x 4 matrices, the view transform of the ring points and their
// perspective projection to screen coordinates.
#pragma once

#include <cstdint>

#include "rings/rings.h"

// Row-major: element (i, j) is e[4 * i + j]; points are column vectors.
struct Matrix4 {
    float e[16];
};

void mat_identity(Matrix4& m);
void mat_copy(Matrix4& dst, const Matrix4& src);
// The rotations write only their four elements; callers start from identity.
// Angles are turn steps, 0..4095.
void mat_rot_x(Matrix4& m, int32_t angle);
void mat_rot_y(Matrix4& m, int32_t angle);
void mat_rot_z(Matrix4& m, int32_t angle);
// result = b * a: applying result applies a first, then b. result must not be b.
void mat_mul(Matrix4& result, const Matrix4& a, const Matrix4& b);

extern Matrix4 view_matrix;

extern float view_x[point_count];
extern float view_y[point_count];
extern float view_z[point_count];
extern int32_t screen_x[point_count];
extern int32_t screen_y[point_count];

// Builds view_matrix from the three angles (turn steps, 0..4095) and turns
// every point: about x first, then y, then z.
void update_view(int32_t angle_x, int32_t angle_y, int32_t angle_z);
void transform_points(const Matrix4& m, int32_t first, int32_t last);
void project_points(int32_t first, int32_t last);

// A projected coordinate truncated toward zero. NaN, the infinities and
// values beyond the 32-bit range (points at the eye's plane, rings with a zero
// divisor) have no such integer, and converting them is undefined: x86-64
// gives INT32_MIN, other machines 0 or INT32_MAX, and a compiler folding a
// known value may pick either. They become INT32_MIN, far off the screen, on
// every machine, so every machine draws the same picture.
inline int32_t to_screen(double v) {
    return v > -2147483649.0 && v < 2147483648.0 ? static_cast<int32_t>(v) : INT32_MIN;
}
