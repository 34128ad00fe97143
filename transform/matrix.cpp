// Matrix operations: identity, copy, the rotations about each axis by a
// table angle, and the product, summed in double and rounded once.
#include "transform/transform.h"

#include "trig/trig.h"

void mat_identity(Matrix4& m) {
    for (float& e : m.e) e = 0.0f;
    m.e[0] = m.e[5] = m.e[10] = m.e[15] = 1.0f;
}

void mat_copy(Matrix4& dst, const Matrix4& src) {
    for (int i = 0; i < 16; ++i) dst.e[i] = src.e[i];
}

void mat_rot_x(Matrix4& m, int32_t angle) {
    m.e[5] = turn_cos[angle];
    m.e[6] = -turn_sin[angle];
    m.e[9] = turn_sin[angle];
    m.e[10] = turn_cos[angle];
}

void mat_rot_y(Matrix4& m, int32_t angle) {
    m.e[0] = turn_cos[angle];
    m.e[2] = turn_sin[angle];
    m.e[8] = -turn_sin[angle];
    m.e[10] = turn_cos[angle];
}

void mat_rot_z(Matrix4& m, int32_t angle) {
    m.e[0] = turn_cos[angle];
    m.e[1] = -turn_sin[angle];
    m.e[4] = turn_sin[angle];
    m.e[5] = turn_cos[angle];
}

void mat_mul(Matrix4& result, const Matrix4& a, const Matrix4& b) {
    // Column by column, so result may be the same matrix as a. Each element
    // is summed left to right in double and rounded once.
    for (int j = 0; j < 4; ++j) {
        const double a0 = a.e[j];
        const double a1 = a.e[4 + j];
        const double a2 = a.e[8 + j];
        const double a3 = a.e[12 + j];
        for (int i = 0; i < 4; ++i) {
            const float* row = &b.e[4 * i];
            double sum = static_cast<double>(row[0]) * a0;
            sum = sum + static_cast<double>(row[1]) * a1;
            sum = sum + static_cast<double>(row[2]) * a2;
            sum = sum + static_cast<double>(row[3]) * a3;
            result.e[4 * i + j] = static_cast<float>(sum);
        }
    }
}
