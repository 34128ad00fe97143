// The pointer both benchmarks move: a slow Lissajous path over the whole
// screen, so the field keeps turning at changing speeds in every direction,
// and both programs time the same frames.
#pragma once

#include <cmath>
#include <cstdint>

#include "frame/frame.h"
#include "screen/screen.h"

// The pointer at step `frame` of its path.
inline Input pointer_at(int frame) {
    const double t = frame * 0.01;
    const int x = static_cast<int>(screen_centre_x + (screen_centre_x - 1) * std::sin(t * 1.3));
    const int y = static_cast<int>(screen_centre_y + (screen_centre_y - 1) * std::cos(t * 0.7));
    return {InputKind::motion, static_cast<uint16_t>(x), static_cast<uint16_t>(y)};
}
