// Pictures: the in-memory target read back as RGB, PNG files, and the pixel
// hash that names a picture. A picture is the screen's size in RGB, 3 bytes a
// pixel, rows packed.
#pragma once

#include <cstdint>

#include "capture/files.h"
#include "frame/frame.h"

constexpr int32_t rgb_size = screen_pixels * 3;

// A picture of the given layout as RGB, each field widened to 8 bits.
void picture_rgb(const PixelLayout& layout, uint8_t* rgb);
// FNV-1a over the RGB bytes: the identity of a picture in hashes.txt.
uint64_t picture_hash(const uint8_t* rgb);
// A failed write leaves no file behind and returns false with `why` set.
bool write_png(const char* path, const uint8_t* rgb, Message& why);
// False when the file is missing, not a PNG or not the screen's size.
bool read_png(const char* path, uint8_t* rgb);
