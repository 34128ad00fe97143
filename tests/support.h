// Helpers shared by the tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

// xorshift32: the same sequence on every host and library.
inline uint32_t next_random(uint32_t& s) { return s ^= s << 13, s ^= s >> 17, s ^= s << 5; }

// 640 x 480 pixel words in runs of up to two rows that are all black, all lit or mixed, so that any
// skipping of dark or lit stretches is exercised; a few lit words are negative or have bits above the channels.
std::vector<int32_t> random_buffer(uint32_t& seed);

// Whether two pictures hold the same bytes: rows `stride` bytes apart, `height` of them, pixels of
// `bytes` bytes (padding at a row's end is compared too). If not, the message says how many pixels
// differ, the first one's x and y and both values, and the box around all the differences.
testing::AssertionResult same_pixels(const void* got, const void* want, int stride, int height, int bytes);
// The same for two whole buffers of 640 x 480 words.
testing::AssertionResult same_pixels(const std::vector<int32_t>& got, const std::vector<int32_t>& want);

// A word's channels mapped by a pixel layout the plain way: each channel's byte shifted right by its
// loss (a loss over 7 drops it) and left by its shift, the three added.
uint32_t map_channels(int32_t word, const int loss[3], const int shift[3]);
