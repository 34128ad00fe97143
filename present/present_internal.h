// The conversion's pixel mapping on its own, for the tests to check against
// their plain per-channel loop.
#pragma once

#include <cstdint>

#include "present/present.h"

// Packs a 0x00RRGGBB word into the layout by its losses and shifts alone:
// no alpha bits, no palette.
uint32_t map_pixel(const PixelLayout& layout, int32_t word);
