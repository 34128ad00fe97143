// The frame's state and inner steps, for the tests and the benchmark, which
// set up a frame's state by hand and time or check one step at a time.
#pragma once

#include <cstdint>

#include "frame/frame.h"

extern int32_t scene_mode;
extern int32_t mouse_x;
extern int32_t mouse_y;
extern int32_t spin_x;
extern int32_t spin_y;
extern int32_t angle_x;
extern int32_t angle_y;
extern int32_t angle_z;

// Everything of this layer that frames change, each name once, for the
// benchmark's snapshots and the reset test; and the whole core's, each
// layer's list being in its internal header (rings, transform, raster),
// which a user of CORE_STATE includes too.
#define FRAME_STATE(X) X(scene_mode) X(mouse_x) X(mouse_y) X(spin_x) X(spin_y) X(angle_x) X(angle_y) X(angle_z)
#define CORE_STATE(X) RINGS_STATE(X) TRANSFORM_STATE(X) RASTER_STATE(X) FRAME_STATE(X)

// Everything that makes one scene: how much the buffer fades each frame, the
// setup that lays out its rings and the animator that moves them.
struct Scene {
    int32_t fade;
    void (*setup)();
    void (*animate)();
};

extern const Scene scenes[scene_count];

// What a mouse-motion input does: records the pointer, plots a white point
// under it and sets the spins.
void steer_from_mouse(int32_t x, int32_t y);

// Turns the three angles by the spins and wraps them into 0..4095.
void advance_angles();

// Moves on to the next scene and lays it out.
void next_scene();

// Clips and draws the outline of every ring into the accumulation buffer.
void draw_rings();
