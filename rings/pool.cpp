// The random pool: 5000 values from the program's own generator, read
// through a cursor that jumps to a new stride and start when it runs off the
// end.
#include "rings/rings_internal.h"

int32_t rand_pool[pool_size];
int32_t rand_pos = 1;
int32_t rand_step = 1;
// An additive lagged-Fibonacci generator that repeats, value for value, the
// unseeded rand() of the GNU C library, so the pool, and with it every frame,
// is the same whatever C library (or browser) runs the program.
Generator generator;

namespace {

constexpr int32_t warm_up_words = 310;

uint32_t step_generator() {
    uint32_t* const state = generator.words;
    int32_t& next = generator.next;
    const int32_t back31 = (next + generator_words - 31) % generator_words;
    const int32_t back3 = (next + generator_words - 3) % generator_words;
    const uint32_t word = state[back31] + state[back3];
    state[next] = word;
    next = (next + 1) % generator_words;
    return word;
}

}  // namespace

void random_reset() {
    // r[0] = 1, then 16807 r mod (2^31 - 1) by Schrage's method, which needs
    // no more than 32 bits; r[31..33] repeat r[0..2].
    uint32_t* const state = generator.words;
    state[0] = 1;
    for (int32_t i = 1; i < 31; ++i) {
        const auto r = static_cast<int32_t>(state[i - 1]);
        int32_t w = 16807 * (r % 127773) - 2836 * (r / 127773);
        if (w < 0) w += 2147483647;
        state[i] = static_cast<uint32_t>(w);
    }
    for (int32_t i = 31; i < generator_words; ++i) state[i] = state[i - 31];
    generator.next = 0;
    // The first 310 words after these are never output.
    for (int32_t i = 0; i < warm_up_words; ++i) step_generator();
}

int32_t random_next() { return static_cast<int32_t>(step_generator() >> 1); }

void pool_reset() {
    random_reset();
    rand_pos = 1;
    rand_step = 1;
    pool_fill();
}

void pool_fill() {
    for (int32_t& value : rand_pool) value = random_next() % 255;
}

int32_t pool_next() {
    rand_pos += rand_step;
    if (rand_pos >= pool_size) {
        // The order of these two draws is part of the sequence.
        rand_step = random_next() % 5 + 1;
        rand_pos = random_next() % 5;
    }
    return rand_pool[rand_pos];
}
