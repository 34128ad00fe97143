// Helpers shared by the tests.
#pragma once

#include <cstdint>
#include <vector>

// xorshift32: the same sequence on every host and library.
inline uint32_t next_random(uint32_t& s) { return s ^= s << 13, s ^= s >> 17, s ^= s << 5; }

// 640 x 480 pixel words in runs of up to two rows that are all black, all lit or mixed, so that any
// skipping of dark or lit stretches is exercised; a few lit words are negative or have bits above the channels.
std::vector<int32_t> random_buffer(uint32_t& seed);
