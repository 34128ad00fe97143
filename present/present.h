// Conversion of the accumulation buffer into a target of any pixel layout:
// a video surface, a canvas, a picture in memory.
#pragma once

#include <cstdint>

// Where and how a target keeps its screen_width x screen_height pixels.
struct PixelLayout {
    void* pixels;             // the first byte of row 0
    int32_t pitch;            // bytes from the start of one row to the next
    int32_t bytes_per_pixel;  // 1..4; any other size converts nothing
    // Low bits of each 8-bit channel dropped, and the bit where its field starts.
    uint8_t red_loss, green_loss, blue_loss;
    uint8_t red_shift, green_shift, blue_shift;
    uint32_t black;   // stored for every unlit word
    uint32_t opaque;  // bits set in every lit pixel too (an alpha field), usually 0
};

// Writes every pixel of the screen's area: a lit word (greater than 0) as
// its mapped value with the opaque bits, any other word as black. Bytes past
// the last pixel of a row are never touched.
void present_surface(const PixelLayout& target, const int32_t* buffer);
