// PNG files through libpng's simplified interface, written under a temporary
// name and renamed, so a failed write never leaves a truncated picture.
#include <png.h>

#include <cstdio>
#include <cstring>

#include "capture/capture.h"

bool write_png(const char* path, const uint8_t* rgb) {
    char temporary[4096];
    if (std::snprintf(temporary, sizeof temporary, "%s.part", path) >= static_cast<int>(sizeof temporary)) {
        return false;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = 640;
    image.height = 480;
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, temporary, 0, rgb, 640 * 3, nullptr)) {
        std::remove(temporary);
        return false;
    }
    if (std::rename(temporary, path) != 0) {
        std::remove(temporary);
        return false;
    }
    return true;
}

bool read_png(const char* path, uint8_t* rgb) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) return false;
    if (image.width != 640 || image.height != 480) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    return png_image_finish_read(&image, nullptr, rgb, 640 * 3, nullptr) != 0;
}

void surface_to_rgb(SDL_Surface* surface, uint8_t* rgb) {
    const int bytes = surface->format->BytesPerPixel;
    for (int y = 0; y < 480; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(surface->pixels) + surface->pitch * y;
        for (int x = 0; x < 640; ++x) {
            const uint8_t* at = row + bytes * x;
            uint32_t value = 0;
            switch (bytes) {
            case 1: value = at[0]; break;
            case 2: { uint16_t v; std::memcpy(&v, at, 2); value = v; break; }
            // The 3-byte converter stores the least significant byte first.
            case 3: value = at[0] | (at[1] << 8) | (static_cast<uint32_t>(at[2]) << 16); break;
            default: std::memcpy(&value, at, 4); break;
            }
            uint8_t* out = rgb + (y * 640 + x) * 3;
            SDL_GetRGB(value, surface->format, &out[0], &out[1], &out[2]);
        }
    }
}

uint64_t picture_hash(const uint8_t* rgb) {
    uint64_t hash = 0xcbf29ce484222325u;
    for (int32_t i = 0; i < 640 * 480 * 3; ++i) {
        hash ^= rgb[i];
        hash *= 0x100000001b3u;
    }
    return hash;
}
