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
void mat_rot_x(Matrix4& m, int32_t angle);
void mat_rot_y(Matrix4& m, int32_t angle);
void mat_rot_z(Matrix4& m, int32_t angle);
// result = b * a: applying result applies a first, then b. result must not be b.
void mat_mul(Matrix4& result, const Matrix4& a, const Matrix4& b);

extern Matrix4 view_matrix;
extern Matrix4 work_a;
extern Matrix4 work_b;

extern float view_x[point_count];
extern float view_y[point_count];
extern float view_z[point_count];
extern int32_t screen_x[point_count];
extern int32_t screen_y[point_count];

// Builds view_matrix from angle_x, angle_y, angle_z and turns every point.
void update_view();
void transform_points(const Matrix4& m, int32_t first, int32_t last);
void project_points(int32_t first, int32_t last);
