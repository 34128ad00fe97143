// Sine and cosine tables: every angle in the renderer is a table index, so
// no trigonometric function runs after start-up.
#pragma once

#include <cstdint>

// 4096 turn steps or 40 ring steps to a full turn.
constexpr int32_t turn_steps = 4096;
constexpr int32_t ring_steps = 40;

extern float turn_sin[turn_steps];
extern float turn_cos[turn_steps];
extern float ring_sin[ring_steps];
extern float ring_cos[ring_steps];

void build_trig_tables();
