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
// library (0..2^31 - 1), restarted by random_reset. It keeps the last 34
// words of r[i] = r[i-31] + r[i-3] (mod 2^32); next is the index of the
// oldest of them, where the next word goes.
constexpr int32_t generator_words = 34;
struct Generator {
    uint32_t words[generator_words];
    int32_t next;
};
extern Generator generator;

void random_reset();
int32_t random_next();

void pool_fill();
int32_t pool_next();

// Everything of this layer that frames change, and the tables set up at
// start-up and only read after; each name once, for the benchmark's
// snapshots and the reset test.
#define RINGS_STATE(X) \
    X(model_x)         \
    X(model_y)         \
    X(model_z)         \
    X(ring_life)       \
    X(ring_drift)      \
    X(ring_red)        \
    X(ring_green)      \
    X(ring_blue)       \
    X(rand_pos)        \
    X(rand_step)       \
    X(generator)
#define RINGS_TABLES(X) X(rand_pool)
