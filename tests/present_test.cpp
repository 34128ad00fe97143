// Conversion of the accumulation buffer into surfaces of every depth.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>

#include "present/present.h"
#include "raster/raster.h"
#include "tests/support.h"

namespace {

constexpr uint8_t old_byte = 0xA5;  // a non-zero "black", to show what is left alone

// The field of a channel taken from its mask alone: the top bits of the 8-bit
// value that fit, placed at the mask's lowest bit.
uint32_t field(uint32_t mask, int32_t value) {
    if (mask == 0) return 0;
    const int bits = std::popcount(mask);
    return (static_cast<uint32_t>(value) >> (8 - bits)) << std::countr_zero(mask);
}

// A lit pattern with dark, dim, negative and saturated words spread over the
// whole buffer, including the last column and row.
void fill_pattern(int32_t* buffer) {
    for (int32_t y = 0; y < screen_height; ++y) {
        for (int32_t x = 0; x < screen_width; ++x) {
            int32_t w = ((x * 7 + y * 3) & 0xFF) << 16 | ((x ^ y) & 0xFF) << 8 |
                        ((x + 5 * y) & 0xFF);
            if ((x + y) % 3 == 0) w = 0;
            if (x % 97 == 1) w = static_cast<int32_t>(0x80FFFFFFu);  // never lit
            buffer[y * 640 + x] = w;
        }
    }
    buffer[0] = 0x00010101;
    buffer[screen_pixels - 1] = 0x00FFFFFF;
}

}  // namespace

TEST(Present, EveryDepthAndLayout) {
    fill_row_offset();
    fill_pattern(accum_buffer);
    struct Case { int bpp; uint32_t r, g, b; int extra; };
    const Case cases[] = {
        {1, 0xE0, 0x1C, 0x03, 8},                {2, 0xF800, 0x07E0, 0x001F, 4},
        {2, 0x7C00, 0x03E0, 0x001F, 0},          {2, 0x001F, 0x07E0, 0xF800, 12},
        {3, 0xFF0000, 0x00FF00, 0x0000FF, 12},   {3, 0x0000FF, 0x00FF00, 0xFF0000, 4},
        {4, 0xFF0000, 0x00FF00, 0x0000FF, 16},   {4, 0x0000FF, 0x00FF00, 0xFF0000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bpp << " bytes, masks " << std::hex << c.r << " "
                                        << c.g << " " << c.b);
        SDL_Surface* surface = make_surface(c.bpp, c.r, c.g, c.b, c.extra);
        ASSERT_NE(surface, nullptr) << SDL_GetError();
        ASSERT_EQ(surface->pitch, 640 * c.bpp + c.extra);
        auto* bytes = static_cast<uint8_t*>(surface->pixels);
        std::memset(bytes, old_byte, static_cast<size_t>(surface->pitch) * 480);
        present_surface(surface, accum_buffer, c.bpp);

        int bad = 0;
        for (int32_t y = 0; y < screen_height && bad < 5; ++y) {
            const uint8_t* row = bytes + surface->pitch * y;
            for (int32_t x = 0; x < screen_width; ++x) {
                const int32_t w = accum_buffer[y * 640 + x];
                const uint32_t value = field(c.r, (w >> 16) & 0xFF) | field(c.g, (w >> 8) & 0xFF) |
                                       field(c.b, w & 0xFF);
                uint8_t want[4];
                if (c.bpp == 2) {
                    const auto v = static_cast<uint16_t>(value);
                    std::memcpy(want, &v, 2);  // a 16-bit element, host order
                } else if (c.bpp == 4) {
                    std::memcpy(want, &value, 4);
                } else {
                    for (int k = 0; k < c.bpp; ++k)
                        want[k] = static_cast<uint8_t>(value >> (8 * k));
                }
                if (w <= 0) std::memset(want, old_byte, 4);
                if (std::memcmp(row + c.bpp * x, want, c.bpp) != 0) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " word " << std::hex << w;
                    ++bad;
                }
            }
            for (int k = 640 * c.bpp; k < surface->pitch; ++k) {
                if (row[k] != old_byte) {
                    ADD_FAILURE() << "padding of row " << y << " written";
                    ++bad;
                }
            }
        }
        free_surface(surface);
    }
}

TEST(Present, HandWorkedValues) {
    fill_row_offset();
    accum_clear(accum_buffer);
    const int32_t words[] = {0x00FF8000, 0x00FFFFFF, 0x00010101, 0x00123456, 0x00FF8040};
    for (int32_t i = 0; i < 5; ++i) accum_buffer[i] = words[i];

    SDL_Surface* s565 = make_surface(2, 0xF800, 0x07E0, 0x001F);
    SDL_Surface* s332 = make_surface(1, 0xE0, 0x1C, 0x03);
    SDL_Surface* s24 = make_surface(3, 0xFF0000, 0x00FF00, 0x0000FF);
    SDL_Surface* s32 = make_surface(4, 0x0000FF, 0x00FF00, 0xFF0000);
    ASSERT_TRUE(s565 && s332 && s24 && s32);
    for (SDL_Surface* s : {s565, s332, s24, s32}) std::memset(s->pixels, old_byte, s->pitch * 480);
    present_bpp2(s565, accum_buffer);
    present_bpp1(s332, accum_buffer);
    present_bpp3(s24, accum_buffer);
    present_bpp4(s32, accum_buffer);

    const auto* p16 = static_cast<const uint16_t*>(s565->pixels);
    EXPECT_EQ(p16[0], 0xFC00);
    EXPECT_EQ(p16[1], 0xFFFF);
    EXPECT_EQ(p16[2], 0x0000);  // lit, but every channel is lost
    EXPECT_EQ(p16[5], 0xA5A5);
    const auto* p8 = static_cast<const uint8_t*>(s332->pixels);
    EXPECT_EQ(p8[4], 0xF1);  // 111 100 01
    const auto* p24 = static_cast<const uint8_t*>(s24->pixels);
    EXPECT_EQ(p24[9], 0x56);
    EXPECT_EQ(p24[10], 0x34);
    EXPECT_EQ(p24[11], 0x12);
    EXPECT_EQ(static_cast<const uint32_t*>(s32->pixels)[3], 0x563412u);
    for (SDL_Surface* s : {s565, s332, s24, s32}) free_surface(s);

    // A channel with loss 8 contributes nothing.
    SDL_PixelFormat format{};
    format.Rloss = 0, format.Gloss = 8, format.Bloss = 4;
    format.Rshift = 16, format.Gshift = 8, format.Bshift = 0;
    EXPECT_EQ(map_pixel(&format, 0x00123456), 0x00120005u);
    EXPECT_EQ(map_pixel(&format, 0x0000FF00), 0u);
}

TEST(Present, UnknownDepthWritesNothing) {
    fill_row_offset();
    for (int32_t& w : accum_buffer) w = 0x00FFFFFF;
    SDL_Surface* surface = make_surface(4, 0xFF0000, 0x00FF00, 0x0000FF, 4);
    ASSERT_NE(surface, nullptr);
    const size_t size = static_cast<size_t>(surface->pitch) * 480;
    auto* bytes = static_cast<uint8_t*>(surface->pixels);
    std::memset(bytes, old_byte, size);
    for (int depth : {0, 5, 8, -1}) present_surface(surface, accum_buffer, depth);
    size_t changed = 0;
    for (size_t i = 0; i < size; ++i) changed += bytes[i] != old_byte;
    EXPECT_EQ(changed, 0u);
    free_surface(surface);
}
