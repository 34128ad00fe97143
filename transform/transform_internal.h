// The transform layer's writable data, named once for the tests and the
// benchmark: everything frames change, the scratch factors of the view
// matrix included.
#pragma once

#include "transform/transform.h"

extern Matrix4 view_factor_a;
extern Matrix4 view_factor_b;

#define TRANSFORM_STATE(X) \
    X(view_matrix) X(view_x) X(view_y) X(view_z) X(screen_x) X(screen_y) X(view_factor_a) X(view_factor_b)
