// Segment clipping to the screen rectangle: region flags for both ends,
// trivial accept and reject, and one edge crossing per pass, in 64-bit
// integers so that any pair of 32-bit ends is handled exactly.
#include "raster/raster_internal.h"

int32_t clip_x0;
int32_t clip_y0;
int32_t clip_x1;
int32_t clip_y1;
RegionFlags start_flags;
RegionFlags end_flags;

namespace {

bool outcode(RegionFlags& flags, int32_t x, int32_t y, int32_t xmin, int32_t xmax, int32_t ymin, int32_t ymax) {
    flags = RegionFlags{};
    if (y > ymax) flags.below = true;
    else if (y < ymin)
        flags.above = true;
    if (x > xmax) flags.right = true;
    else if (x < xmin)
        flags.left = true;
    return flags.below || flags.above || flags.left || flags.right;
}

bool share_flag(const RegionFlags& a, const RegionFlags& b) {
    return (a.below && b.below) || (a.above && b.above) || (a.left && b.left) || (a.right && b.right);
}

// from + (to_other - from_other) * (edge - from_edge) / (to_edge - from_edge),
// in 64 bits: the differences need 33 bits and the product up to 63.
int32_t crossing(int32_t from, int32_t to, int32_t from_edge, int32_t to_edge, int32_t edge) {
    const int64_t span = int64_t{to} - from;
    const int64_t part = int64_t{edge} - from_edge;
    const int64_t whole = int64_t{to_edge} - from_edge;
    return static_cast<int32_t>(from + span * part / whole);
}

bool outcode_start(int32_t x, int32_t y, int32_t xmin, int32_t xmax, int32_t ymin, int32_t ymax) {
    return outcode(start_flags, x, y, xmin, xmax, ymin, ymax);
}

bool outcode_end(int32_t x, int32_t y, int32_t xmin, int32_t xmax, int32_t ymin, int32_t ymax) {
    return outcode(end_flags, x, y, xmin, xmax, ymin, ymax);
}

}  // namespace

bool clip_segment(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t xmin, int32_t xmax, int32_t ymin,
                  int32_t ymax) {
    clip_x0 = x0;
    clip_y0 = y0;
    clip_x1 = x1;
    clip_y1 = y1;
    bool start_out = outcode_start(clip_x0, clip_y0, xmin, xmax, ymin, ymax);
    bool end_out = outcode_end(clip_x1, clip_y1, xmin, xmax, ymin, ymax);
    for (;;) {
        if (!start_out && !end_out) return true;
        if (share_flag(start_flags, end_flags)) return false;

        const bool move_start = start_out;
        const RegionFlags& flags = move_start ? start_flags : end_flags;
        int32_t x;
        int32_t y;
        // Edge order above, right, left, below; crossings are always measured
        // from the current start, so truncation leans towards it.
        if (flags.above) {
            x = crossing(clip_x0, clip_x1, clip_y0, clip_y1, ymin);
            y = ymin;
        } else if (flags.right) {
            y = crossing(clip_y0, clip_y1, clip_x0, clip_x1, xmax);
            x = xmax;
        } else if (flags.left) {
            y = crossing(clip_y0, clip_y1, clip_x0, clip_x1, xmin);
            x = xmin;
        } else {
            x = crossing(clip_x0, clip_x1, clip_y0, clip_y1, ymax);
            y = ymax;
        }
        if (move_start) {
            clip_x0 = x;
            clip_y0 = y;
            start_out = outcode_start(clip_x0, clip_y0, xmin, xmax, ymin, ymax);
        } else {
            clip_x1 = x;
            clip_y1 = y;
            end_out = outcode_end(clip_x1, clip_y1, xmin, xmax, ymin, ymax);
        }
    }
}
