#include "raster/raster.h"

int32_t accum_buffer[screen_pixels];
int32_t row_offset[screen_height];

namespace {

int32_t channel(int32_t word, int shift) { return (word >> shift) & 0xFF; }

int32_t compose(int32_t red, int32_t green, int32_t blue) {
    return (red << 16) | (green << 8) | blue;
}

}  // namespace

void fill_row_offset() {
    for (int32_t y = 0; y < screen_height; ++y) row_offset[y] = y * screen_width;
}

void accum_clear(int32_t* buffer) {
    for (int32_t i = 0; i < screen_pixels; ++i) buffer[i] = 0;
}

void accum_fade(int32_t* buffer, int32_t amount) {
    // A channel at or below amount + 1 goes straight to black, so every
    // surviving channel stays at 2 or more.
    const int32_t threshold = amount + 1;
    for (int32_t i = 0; i < screen_pixels; ++i) {
        const int32_t word = buffer[i];
        if (word <= 0) continue;
        int32_t red = channel(word, 16);
        int32_t green = channel(word, 8);
        int32_t blue = channel(word, 0);
        red = red > threshold ? red - amount : 0;
        green = green > threshold ? green - amount : 0;
        blue = blue > threshold ? blue - amount : 0;
        buffer[i] = compose(red, green, blue);
    }
}

void accum_plot(int32_t* buffer, int32_t x, int32_t y, int32_t red, int32_t green, int32_t blue) {
    // Column 0 and row 0 are never plotted.
    if (x >= screen_width || x <= 0 || y >= screen_height || y <= 0) return;
    buffer[y * screen_width + x] = compose(red, green, blue);
}

void accum_add_pixel(int32_t* buffer, int32_t index, int32_t red, int32_t green, int32_t blue) {
    const int32_t word = buffer[index];
    int32_t r = channel(word, 16) + red;
    int32_t g = channel(word, 8) + green;
    int32_t b = channel(word, 0) + blue;
    if (r > 255) r = 255;
    if (g > 255) g = 255;
    if (b > 255) b = 255;
    buffer[index] = compose(r, g, b);
}
