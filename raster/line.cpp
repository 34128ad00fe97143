#include "raster/raster.h"

// Bresenham on buffer indices: a step in x moves the index by 1, a step in
// y by one row, so no pixel costs a multiplication or a bounds test.
void draw_line_add(int32_t* buffer, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                   int32_t red, int32_t green, int32_t blue) {
    int32_t dx = x1 - x0;
    int32_t dy = y1 - y0;
    int32_t step_x = 1;
    int32_t step_y = screen_width;
    if (dx < 0) {
        step_x = -1;
        dx = -dx;
    }
    if (dy < 0) {
        step_y = -screen_width;
        dy = -dy;
    }
    int32_t major;
    int32_t minor;
    int32_t straight;
    if (dx > dy) {
        major = dx;
        minor = dy;
        straight = step_x;
    } else {
        major = dy;
        minor = dx;
        straight = step_y;
    }
    const int32_t diagonal = step_x + step_y;
    int32_t index = row_offset[y0] + x0;
    int32_t error = 2 * minor - major;
    const int32_t straight_inc = 2 * minor;
    const int32_t diagonal_inc = 2 * minor - 2 * major;
    for (int32_t n = 0; n <= major; ++n) {
        accum_add_pixel(buffer, index, red, green, blue);
        if (error >= 0) {
            index += diagonal;
            error += diagonal_inc;
        } else {
            index += straight;
            error += straight_inc;
        }
    }
}
