// The ring field: the random pool, the 60 rings of 40 points, the three
// scene setups and the animators that move and respawn the rings.
#pragma once

#include <cstdint>

constexpr int32_t pool_size = 5000;
constexpr int32_t ring_count = 60;
constexpr int32_t ring_points = 40;
constexpr int32_t point_count = ring_count * ring_points;
constexpr int32_t rings_per_group = 20;

// Every random choice of the field comes from the pool, and the pool from
// the program's own generator, so every run draws the same field.
extern int32_t rand_pool[pool_size];
extern int32_t rand_pos;
extern int32_t rand_step;

// The generator behind the pool: the unseeded rand() sequence of the GNU C
// library (0..2^31 - 1), restarted by random_reset.
void random_reset();
int32_t random_next();

// Puts the generator and the cursor back to their start-up state.
void pool_reset();
void pool_fill();
int32_t pool_next();

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
