// Accumulation buffer: clear, fade, plot, saturating add and the row table.
#include <gtest/gtest.h>

#include <utility>

#include "raster/raster.h"

TEST(Accum, ClearAndRowOffset) {
    for (int32_t i = 0; i < screen_pixels; ++i) accum_buffer[i] = i | 1;
    accum_clear(accum_buffer);
    int32_t lit = 0;
    for (int32_t w : accum_buffer) lit += w != 0;
    EXPECT_EQ(lit, 0);

    fill_row_offset();
    EXPECT_EQ(row_offset[0], 0);
    EXPECT_EQ(row_offset[479], 306560);
    for (int32_t y = 1; y < screen_height; ++y) ASSERT_EQ(row_offset[y] - row_offset[y - 1], 640);
}

TEST(Accum, FadeThreshold) {
    // Channels at or below amount + 1 go to black; a survivor keeps at least 2.
    struct Case { int32_t amount, before, after; };
    const Case cases[] = {
        {4, 0x00050607, 0x00000203}, {4, 0x00FFFFFF, 0x00FBFBFB}, {4, 0, 0},
        {4, 0x00010506, 0x00000002}, {4, 0x00FF0000, 0x00FB0000},
        {2, 0x00010203, 0},          {2, 0x00040404, 0x00020202}, {2, 0x00030400, 0x00000200},
    };
    for (const Case& c : cases) {
        // First, middle and last word: the pass must cover the whole buffer.
        for (int32_t index : {0, 153600, screen_pixels - 1}) {
            accum_clear(accum_buffer);
            accum_buffer[index] = c.before;
            accum_fade(accum_buffer, c.amount);
            EXPECT_EQ(accum_buffer[index], c.after)
                << std::hex << c.before << " amount " << c.amount;
        }
    }
    // White dies after exactly 64 fades of 4 (255, 251, ... 7, 3, 0) and
    // 127 fades of 2 (255, 253, ... 5, 3, 0).
    for (auto [amount, fades] : {std::pair{4, 64}, std::pair{2, 127}}) {
        accum_clear(accum_buffer);
        accum_buffer[1000] = 0x00FFFFFF;
        for (int n = 1; n < fades; ++n) accum_fade(accum_buffer, amount);
        EXPECT_EQ(accum_buffer[1000], 0x00030303) << amount;
        accum_fade(accum_buffer, amount);
        EXPECT_EQ(accum_buffer[1000], 0) << amount;
    }
}

TEST(Accum, PlotOnlyInsideColumnsAndRowsFromOne) {
    const int32_t fill = 0x00102030;
    for (int32_t& w : accum_buffer) w = fill;
    const int32_t misses[][2] = {{0, 100}, {100, 0}, {640, 100}, {100, 480}, {0, 0},
                                 {-1, 5},  {5, -1},  {INT32_MIN, INT32_MIN}, {INT32_MAX, 1}};
    for (const auto& p : misses) accum_plot(accum_buffer, p[0], p[1], 255, 255, 255);
    int32_t changed = 0;
    for (int32_t w : accum_buffer) changed += w != fill;
    EXPECT_EQ(changed, 0);

    const int32_t hits[][2] = {{1, 1}, {639, 479}, {639, 1}, {1, 479}, {320, 240}};
    for (const auto& p : hits) {
        accum_plot(accum_buffer, p[0], p[1], 255, 255, 255);
        EXPECT_EQ(accum_buffer[p[1] * 640 + p[0]], 0x00FFFFFF) << p[0] << "," << p[1];
    }
    // Plot replaces rather than adds.
    accum_buffer[641] = 0x00FFFFFF;
    accum_plot(accum_buffer, 1, 1, 1, 2, 3);
    EXPECT_EQ(accum_buffer[641], 0x00010203);
}

TEST(Accum, SaturatingAddNeverCarries) {
    struct Case { int32_t before, red, green, blue, after; };
    const Case cases[] = {
        {0x00FA00FE, 12, 12, 2, 0x00FF0CFF}, {0x00123456, 0, 0, 0, 0x00123456},
        {0x00FFFFFF, 9, 9, 9, 0x00FFFFFF},   {0x000000FF, 0, 0, 1, 0x000000FF},
        {0x0000FF00, 0, 1, 0, 0x0000FF00},   {0x00FF0000, 1, 0, 0, 0x00FF0000},
        {0, 300, 256, 1000, 0x00FFFFFF},     {0x00010101, 254, 254, 254, 0x00FFFFFF},
        {0x00010101, 253, 0, 1, 0x00FE0102},
    };
    for (const Case& c : cases) {
        for (int32_t index : {0, screen_pixels - 1}) {
            accum_buffer[index] = c.before;
            accum_add_pixel(accum_buffer, index, c.red, c.green, c.blue);
            EXPECT_EQ(accum_buffer[index], c.after) << std::hex << c.before;
        }
    }
}
