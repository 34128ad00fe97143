// Accumulation buffer: fade, plot and saturating add.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

#include "raster/raster.h"
#include "raster/vectors.h"
#include "tests/support.h"

// Against a plain loop over random buffers: the threshold is amount + 1, so a surviving channel keeps at
// least 2. Both the 16-byte code and, where the processor has AVX2, its 32-byte copy; amounts past 253 take
// the plain loop of big-endian hosts.
TEST(Accum, FadeMatchesPlainLoop) {
    uint32_t seed = 12345;
    for (bool wide : {false, true}) {
        if (wide && !wide_vectors_supported()) continue;
        use_wide_vectors(wide);
        for (int32_t amount : {1, 2, 4, 100, 253, 254, 255, 1000}) {
            std::vector<int32_t> want = random_buffer(seed);
            std::memcpy(accum_buffer, want.data(), sizeof accum_buffer);
            accum_fade(accum_buffer, amount);
            for (int32_t& w : want) {
                int32_t c[3] = {(w >> 16) & 0xFF, (w >> 8) & 0xFF, w & 0xFF};
                for (int32_t& v : c) v = v > amount + 1 ? v - amount : 0;
                if (w > 0) w = c[0] << 16 | c[1] << 8 | c[2];
            }
            EXPECT_TRUE(same_pixels(accum_buffer, want.data(), 640 * 4, 480, 4))
                << "amount " << amount << (wide ? ", 32-byte vectors" : ", 16-byte vectors");
        }
    }
    use_wide_vectors(true);
}

TEST(Accum, PlotReplacesOnlyFromColumnAndRowOne) {
    std::fill(std::begin(accum_buffer), std::end(accum_buffer), 0x00102030);
    const int32_t points[][2] = {{0, 100}, {100, 0}, {640, 100}, {100, 480}, {-1, 5}, {INT32_MIN, INT32_MAX},
                                 {1, 1},   {639, 1}, {1, 479},   {639, 479}};
    for (auto [x, y] : points) accum_plot(accum_buffer, x, y, 1, 2, 3);
    EXPECT_EQ(std::count(std::begin(accum_buffer), std::end(accum_buffer), 0x00102030), screen_pixels - 4);
    for (int32_t i : {641, 1279, 306561, 307199}) EXPECT_EQ(accum_buffer[i], 0x00010203) << i;
}

// Before, the three addends, after.
TEST(Accum, SaturatingAddNeverCarries) {
    const std::array<int32_t, 5> cases[] = {{0x00FA00FE, 12, 12, 2, 0x00FF0CFF},
                                            {0x00123456, 0, 0, 0, 0x00123456},
                                            {0x00FFFF00, 1, 1, 0, 0x00FFFF00},
                                            {0x000000FF, 300, 0, 1, 0x00FF00FF}};
    for (const auto& c : cases) {
        accum_buffer[screen_pixels - 1] = c[0];
        accum_add_pixel(accum_buffer, screen_pixels - 1, c[1], c[2], c[3]);
        EXPECT_EQ(accum_buffer[screen_pixels - 1], c[4]) << std::hex << c[0];
    }
}
