#include "present/present.h"

#include "raster/raster.h"

uint32_t map_pixel(const SDL_PixelFormat* format, int32_t word) {
    const uint32_t red = static_cast<uint32_t>((word >> 16) & 0xFF);
    const uint32_t green = static_cast<uint32_t>((word >> 8) & 0xFF);
    const uint32_t blue = static_cast<uint32_t>(word & 0xFF);
    return ((red >> format->Rloss) << format->Rshift) +
           ((green >> format->Gloss) << format->Gshift) +
           ((blue >> format->Bloss) << format->Bshift);
}

void present_bpp1(SDL_Surface* surface, const int32_t* buffer) {
    auto* pixels = static_cast<uint8_t*>(surface->pixels);
    for (int32_t y = 0; y < screen_height; ++y) {
        const int32_t* row = buffer + row_offset[y];
        for (int32_t x = 0; x < screen_width; ++x) {
            if (row[x] <= 0) continue;
            pixels[surface->pitch * y + x] = static_cast<uint8_t>(map_pixel(surface->format, row[x]));
        }
    }
}

void present_bpp2(SDL_Surface* surface, const int32_t* buffer) {
    auto* pixels = static_cast<uint16_t*>(surface->pixels);
    const int32_t stride = surface->pitch / 2;
    for (int32_t y = 0; y < screen_height; ++y) {
        const int32_t* row = buffer + row_offset[y];
        for (int32_t x = 0; x < screen_width; ++x) {
            if (row[x] <= 0) continue;
            pixels[stride * y + x] = static_cast<uint16_t>(map_pixel(surface->format, row[x]));
        }
    }
}

void present_bpp3(SDL_Surface* surface, const int32_t* buffer) {
    auto* pixels = static_cast<uint8_t*>(surface->pixels);
    for (int32_t y = 0; y < screen_height; ++y) {
        const int32_t* row = buffer + row_offset[y];
        for (int32_t x = 0; x < screen_width; ++x) {
            if (row[x] <= 0) continue;
            const uint32_t value = map_pixel(surface->format, row[x]);
            uint8_t* at = pixels + surface->pitch * y + 3 * x;
            // Least significant byte first, whatever the host's byte order.
            at[0] = static_cast<uint8_t>(value);
            at[1] = static_cast<uint8_t>(value >> 8);
            at[2] = static_cast<uint8_t>(value >> 16);
        }
    }
}

void present_bpp4(SDL_Surface* surface, const int32_t* buffer) {
    auto* pixels = static_cast<uint32_t*>(surface->pixels);
    const int32_t stride = surface->pitch / 4;
    for (int32_t y = 0; y < screen_height; ++y) {
        const int32_t* row = buffer + row_offset[y];
        for (int32_t x = 0; x < screen_width; ++x) {
            if (row[x] <= 0) continue;
            pixels[stride * y + x] = map_pixel(surface->format, row[x]);
        }
    }
}

void present_surface(SDL_Surface* surface, const int32_t* buffer, int bytes_per_pixel) {
    switch (bytes_per_pixel) {
    case 1: present_bpp1(surface, buffer); break;
    case 2: present_bpp2(surface, buffer); break;
    case 3: present_bpp3(surface, buffer); break;
    case 4: present_bpp4(surface, buffer); break;
    default: break;  // unknown depth: the frame stays black
    }
}
