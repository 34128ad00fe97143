#include "tests/support.h"

#include <cstdlib>

SDL_Surface* make_surface(int bytes_per_pixel, uint32_t red_mask, uint32_t green_mask,
                          uint32_t blue_mask, int extra_pitch) {
    const int pitch = 640 * bytes_per_pixel + extra_pitch;
    // Padded rows need storage of our own; SDL then leaves it alone, and
    // free_surface hands it back.
    void* pixels = std::calloc(static_cast<size_t>(pitch) * 480, 1);
    if (pixels == nullptr) return nullptr;
    SDL_Surface* surface = SDL_CreateRGBSurfaceFrom(pixels, 640, 480, bytes_per_pixel * 8, pitch,
                                                    red_mask, green_mask, blue_mask, 0);
    if (surface == nullptr) std::free(pixels);
    return surface;
}

void free_surface(SDL_Surface* surface) {
    if (surface == nullptr) return;
    void* pixels = surface->pixels;
    SDL_FreeSurface(surface);
    std::free(pixels);
}
