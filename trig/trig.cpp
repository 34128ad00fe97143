// The turn tables (one entry per 1/4096 of a turn) for the view rotations and
// the ring tables (one per 1/40) for the points around each ring.
#include "trig/trig_internal.h"

#include <cmath>

float turn_sin[turn_steps];
float turn_cos[turn_steps];
float ring_sin[ring_steps];
float ring_cos[ring_steps];

namespace {

// Degrees to radians one operation at a time, with pi as 3.14159265 rather
// than the full constant: the quarter turns come out as tiny non-zero values,
// and the tables must match bit for bit.
double table_angle(int32_t i, int32_t steps) {
    double a = static_cast<double>(i) * 360.0;
    a = a / static_cast<double>(steps);
    a = a * 3.14159265;
    return a / 180.0;
}

}  // namespace

void build_trig_tables() {
    for (int32_t i = 0; i < turn_steps; ++i) {
        const double a = table_angle(i, turn_steps);
        turn_cos[i] = static_cast<float>(std::cos(a));
        turn_sin[i] = static_cast<float>(std::sin(a));
    }
    for (int32_t i = 0; i < ring_steps; ++i) {
        const double a = table_angle(i, ring_steps);
        ring_cos[i] = static_cast<float>(std::cos(a));
        ring_sin[i] = static_cast<float>(std::sin(a));
    }
}
