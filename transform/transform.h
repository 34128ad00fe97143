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

// Whether a projected coordinate truncates toward zero to a 32-bit integer.
// NaN, the infinities and values beyond the range do not: converting them is
// undefined, so project_points stores INT32_MIN for them instead.
bool truncates_to_int32(double v);
