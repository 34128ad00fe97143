// The screen's geometry, the one place it is written: every layer above,
// the core's and the platforms', draws, clips, converts and steers within it.
#pragma once

#include <cstdint>

constexpr int32_t screen_width = 640;
constexpr int32_t screen_height = 480;
constexpr int32_t screen_pixels = screen_width * screen_height;
// The pointer's rest position (no spin) and the projection's origin.
constexpr int32_t screen_centre_x = screen_width / 2;
constexpr int32_t screen_centre_y = screen_height / 2;
