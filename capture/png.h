// Pictures: the in-memory target read back as RGB, PNG files, and the pixel
// hash that names a picture. A picture is the screen's size in RGB, 3 bytes a
// pixel, rows packed.
#pragma once

#include <cstdint>

#include "capture/files.h"
#include "frame/frame.h"

constexpr int32_t rgb_size = screen_pixels * 3;
// Room for one encoded picture: above libpng's size for a screen of RGB
// stored uncompressed.
constexpr int32_t png_capacity = rgb_size * 5 / 4 + 65536;
// The largest reference file read back: far above any picture of the screen's size.
constexpr size_t max_png_file_bytes = size_t{64} << 20;

// A picture of the given layout as RGB, each field widened to 8 bits.
void picture_rgb(const PixelLayout& layout, uint8_t* rgb);
// FNV-1a over the RGB bytes: the identity of a picture in hashes.txt.
uint64_t picture_hash(const uint8_t* rgb);
// Encodes a picture into `out` (png_capacity bytes) and returns its size, or
// 0 with `why` set. Threads may encode at once, each into its own buffer.
size_t encode_png(const uint8_t* rgb, uint8_t* out, Text& why);
// A failed write leaves no file behind and returns false with `why` set.
// One thread only: it encodes into a buffer of its own.
bool write_png(const char* path, const uint8_t* rgb, Text& why);
// Reads a PNG of the screen's size. False when it cannot, `why` saying why:
// not a PNG, cut short, another size, a read error; `why` is empty when
// there is no file of that name. Threads may read at once.
bool read_png(const char* path, uint8_t* rgb, Text& why);
// The same from a PNG file's `size` bytes in memory: `why` is never empty on failure.
bool decode_png(const uint8_t* data, size_t size, uint8_t* rgb, Text& why);
