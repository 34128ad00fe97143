#include <cstdlib>

#include "rings/rings.h"

int32_t rand_pool[pool_size];
int32_t rand_pos = 1;
int32_t rand_step = 1;

// rand is never seeded, so the pool is the same on every run.
void pool_fill() {
    for (int32_t i = 0; i < pool_size; ++i) rand_pool[i] = std::rand() % 255;
}

int32_t pool_next() {
    rand_pos += rand_step;
    if (rand_pos >= pool_size) {
        // The order of these two calls is part of the sequence.
        rand_step = std::rand() % 5 + 1;
        rand_pos = std::rand() % 5;
    }
    return rand_pool[rand_pos];
}
