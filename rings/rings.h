// The ring field: the 60 rings of 40 points, the three scene setups and the
// animators that move and respawn the rings, all drawing on the random pool.
#pragma once

#include <cstdint>

constexpr int32_t ring_count = 60;
constexpr int32_t ring_points = 40;
constexpr int32_t point_count = ring_count * ring_points;
constexpr int32_t rings_per_group = 20;

// Puts the generator and the pool's cursor back to their start-up state and
// fills the pool afresh: the run's first draws of the generator. Every random
// choice of the field comes from the pool, so every run draws the same field.
void pool_reset();

extern float model_x[point_count];
extern float model_y[point_count];
extern float model_z[point_count];
extern int32_t ring_life[ring_count];
// Rows 0, 1, 2: speeds along x, y, z; a ring uses only its travel axis's row.
extern float ring_drift[3][ring_count];
extern int32_t ring_red[ring_count];
extern int32_t ring_green[ring_count];
extern int32_t ring_blue[ring_count];

void setup_scene_0();
void setup_scene_1();
void setup_scene_2();

void animate_scene_0();
void animate_scene_1();
void animate_scene_2();
