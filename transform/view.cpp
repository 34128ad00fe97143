// The view transform: the matrix from the three angles, every ring point
// turned by it, and the perspective projection to screen coordinates.
#include "transform/transform_internal.h"

#include "screen/screen.h"

Matrix4 view_matrix;

float view_x[point_count];
float view_y[point_count];
float view_z[point_count];
int32_t screen_x[point_count];
int32_t screen_y[point_count];

// Scratch factors of the product.
Matrix4 view_factor_a;
Matrix4 view_factor_b;

namespace {

// The projection's scale: a point one unit off the axis at a depth of one
// lands half this many pixels from the centre. It equals the screen's height
// by choice, not by derivation.
constexpr double projection_scale = 480.0;

}  // namespace

void update_view(int32_t angle_x, int32_t angle_y, int32_t angle_z) {
    mat_identity(view_factor_a);
    mat_identity(view_factor_b);
    mat_rot_x(view_factor_a, angle_x);
    mat_rot_y(view_factor_b, angle_y);
    mat_mul(view_matrix, view_factor_a, view_factor_b);
    // Ry * Rx is rounded before Rz is applied; another grouping differs.
    mat_copy(view_factor_a, view_matrix);
    mat_identity(view_factor_b);
    mat_rot_z(view_factor_b, angle_z);
    mat_mul(view_matrix, view_factor_a, view_factor_b);
    transform_points(view_matrix, 0, point_count);
}

void transform_points(const Matrix4& m, int32_t first, int32_t last) {
    // The matrix in locals, widened once: the points are stored as floats,
    // like the matrix, so the compiler cannot tell that the stores leave it
    // alone and would load it again for every point.
    double e[12];
    for (int k = 0; k < 12; ++k) e[k] = m.e[k];
    for (int32_t i = first; i < last; ++i) {
        const double x = model_x[i];
        const double y = model_y[i];
        const double z = model_z[i];
        view_x[i] = static_cast<float>(x * e[0] + y * e[1] + z * e[2] + e[3]);
        view_y[i] = static_cast<float>(x * e[4] + y * e[5] + z * e[6] + e[7]);
        view_z[i] = static_cast<float>(x * e[8] + y * e[9] + z * e[10] + e[11]);
    }
}

void project_points(int32_t first, int32_t last) {
    for (int32_t i = first; i < last; ++i) {
        const double d = static_cast<double>(view_z[i]) + 2.5;
        // The reciprocal first, then the products: dividing directly can
        // differ in the last bit.
        const double f = 1.0 / d;
        const double px = ((f * view_x[i]) * projection_scale) / 2.0 + screen_centre_x;
        const double py = ((f * view_y[i]) * projection_scale) / 2.0 + screen_centre_y;
        screen_x[i] = to_screen(px);
        screen_y[i] = to_screen(py);
    }
}
