// Pictures: the in-memory target read back as RGB, PNG files through
// libpng's simplified interface, and the pixel hash that names a picture.
#include <png.h>

#include <cstring>

#include "capture/png.h"

namespace {

// A field of `bits` bits widened to 8, as the golden pictures were first
// recorded: 2- and 3-bit fields to the nearest value, wider ones rounded
// down.
uint8_t widen(uint32_t field, int bits) {
    const uint32_t top = (1u << bits) - 1;
    return static_cast<uint8_t>(bits <= 3 ? (field * 255 + top / 2) / top : field * 255 / top);
}

// One channel of a layout: where its field lies, and each field value
// widened, worked out once per picture rather than once per pixel.
struct Channel {
    uint32_t shift;
    uint32_t mask;
    uint8_t wide[256];
};

Channel channel(uint8_t loss, uint8_t shift) {
    Channel c{};
    const int bits = 8 - loss;
    if (bits <= 0 || shift > 31) return c;  // contributes nothing: every value reads as 0
    c.shift = shift;
    c.mask = (1u << bits) - 1;
    for (uint32_t field = 0; field <= c.mask; ++field) c.wide[field] = widen(field, bits);
    return c;
}

uint8_t read(const Channel& c, uint32_t value) { return c.wide[(value >> c.shift) & c.mask]; }

}  // namespace

void picture_rgb(const PixelLayout& layout, uint8_t* rgb) {
    const int bytes = layout.bytes_per_pixel;
    const Channel red = channel(layout.red_loss, layout.red_shift);
    const Channel green = channel(layout.green_loss, layout.green_shift);
    const Channel blue = channel(layout.blue_loss, layout.blue_shift);
    for (int y = 0; y < screen_height; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(layout.pixels) + layout.pitch * y;
        for (int x = 0; x < screen_width; ++x) {
            const uint8_t* at = row + bytes * x;
            uint32_t value = 0;
            switch (bytes) {
            case 1: value = at[0]; break;
            case 2: { uint16_t v; std::memcpy(&v, at, 2); value = v; break; }
            // The 3-byte converter stores the least significant byte first.
            case 3: value = at[0] | (at[1] << 8) | (static_cast<uint32_t>(at[2]) << 16); break;
            default: std::memcpy(&value, at, 4); break;
            }
            uint8_t* out = rgb + (y * screen_width + x) * 3;
            out[0] = read(red, value);
            out[1] = read(green, value);
            out[2] = read(blue, value);
        }
    }
}

// Encoded in memory, then written in one go, so the write calls' own error
// (a full disk, a file-size limit) names the cause.
bool write_png(const char* path, const uint8_t* rgb, Message& why) {
    // Above libpng's bound for a screen of RGB stored uncompressed.
    static uint8_t encoded[rgb_size * 5 / 4 + 65536];
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = screen_width;
    image.height = screen_height;
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = sizeof encoded;
    if (!png_image_write_to_memory(&image, encoded, &size, 0, rgb, screen_width * 3, nullptr)) {
        format(why, "%s", image.message[0] ? image.message : "cannot encode the picture");
        return false;
    }
    return write_file(path, encoded, size, why);
}

bool read_png(const char* path, uint8_t* rgb) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) return false;
    if (image.width != screen_width || image.height != screen_height) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    return png_image_finish_read(&image, nullptr, rgb, screen_width * 3, nullptr) != 0;
}

uint64_t picture_hash(const uint8_t* rgb) {
    uint64_t hash = 0xcbf29ce484222325u;
    for (int32_t i = 0; i < rgb_size; ++i) {
        hash ^= rgb[i];
        hash *= 0x100000001b3u;
    }
    return hash;
}
