// The raster layer's writable data, named once for the tests and the
// benchmark: what frames change (the buffer and the clipping's results and
// region flags), and what is set at start-up and only read after.
#pragma once

#include "raster/raster.h"

// Where a point lies against the clip rectangle; screen y grows downwards, so
// `below` is past the bottom row.
struct RegionFlags {
    bool below;
    bool above;
    bool left;
    bool right;
};

extern RegionFlags start_flags;
extern RegionFlags end_flags;
// Behind use_wide_vectors() and wide_vectors_used() (raster/vectors.h).
extern bool wide_vectors;

#define RASTER_STATE(X) X(accum_buffer) X(clip_x0) X(clip_y0) X(clip_x1) X(clip_y1) X(start_flags) X(end_flags)
#define RASTER_TABLES(X) X(row_offset) X(wide_vectors)
