// Helpers shared by the tests.
#pragma once

#include <SDL.h>

#include <cstdint>

// An off-screen 640 x 480 surface of the given depth and channel masks, with
// `extra_pitch` spare bytes at the end of every row. The pixel storage is the
// helper's own (zeroed), so release the surface with free_surface, not with
// SDL_FreeSurface alone, which would leak the pixels.
SDL_Surface* make_surface(int bytes_per_pixel, uint32_t red_mask, uint32_t green_mask,
                          uint32_t blue_mask, int extra_pitch = 0);

// Frees a surface from make_surface together with its pixel storage.
// Accepts nullptr.
void free_surface(SDL_Surface* surface);
