// Helpers shared by the tests.
#pragma once

#include <SDL.h>

#include <cstdint>

// An off-screen 640 x 480 surface of the given depth and channel masks, with
// `extra_pitch` spare bytes at the end of every row. Freed by the caller.
SDL_Surface* make_surface(int bytes_per_pixel, uint32_t red_mask, uint32_t green_mask,
                          uint32_t blue_mask, int extra_pitch = 0);
