// Conversion of the accumulation buffer into the locked video surface.
#pragma once

#include <SDL.h>
#include <cstdint>

// Packs a 0x00RRGGBB word into the surface's own layout by its losses and shifts.
uint32_t map_pixel(const SDL_PixelFormat* format, int32_t word);

// Each converter writes only lit words (greater than 0) into the first 640
// columns of the first 480 rows; everything else keeps what the surface held.
void present_bpp1(SDL_Surface* surface, const int32_t* buffer);
void present_bpp2(SDL_Surface* surface, const int32_t* buffer);
void present_bpp3(SDL_Surface* surface, const int32_t* buffer);
void present_bpp4(SDL_Surface* surface, const int32_t* buffer);

// Picks the converter by bytes per pixel; any other size converts nothing.
void present_surface(SDL_Surface* surface, const int32_t* buffer, int bytes_per_pixel);
