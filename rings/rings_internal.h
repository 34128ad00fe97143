// The random pool and its generator, private to rings/: the field's code
// draws through pool_next, and only the tests and the benchmark look inside.
#pragma once

#include <cstdint>

#include "rings/rings.h"

constexpr int32_t pool_size = 5000;

extern int32_t rand_pool[pool_size];
extern int32_t rand_pos;
extern int32_t rand_step;

// The generator behind the pool: the unseeded rand() sequence of the GNU C
// library (0..2^31 - 1), restarted by random_reset.
void random_reset();
int32_t random_next();

void pool_fill();
int32_t pool_next();
