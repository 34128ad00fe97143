// Accumulation buffer, segment clipping and additive line drawing.
#pragma once

#include <cstdint>

#include "screen/screen.h"

// Pixel words are 0x00RRGGBB; the buffer keeps its content between frames.
extern int32_t accum_buffer[screen_pixels];
extern int32_t row_offset[screen_height];

void fill_row_offset();
void accum_clear(int32_t* buffer);
void accum_fade(int32_t* buffer, int32_t amount);
void accum_plot(int32_t* buffer, int32_t x, int32_t y, int32_t red, int32_t green, int32_t blue);
void accum_add_pixel(int32_t* buffer, int32_t index, int32_t red, int32_t green, int32_t blue);

extern int32_t clip_x0;
extern int32_t clip_y0;
extern int32_t clip_x1;
extern int32_t clip_y1;

// Returns true when some part of the segment is inside the rectangle; the
// visible part is then left in clip_x0, clip_y0, clip_x1, clip_y1.
bool clip_segment(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t xmin, int32_t xmax, int32_t ymin,
                  int32_t ymax);

// Both ends must lie on the screen (as clip_segment leaves them).
void draw_line_add(int32_t* buffer, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t red, int32_t green,
                   int32_t blue);
