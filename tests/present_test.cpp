// Conversion of the accumulation buffer into surfaces of every depth.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "present/present.h"
#include "raster/raster.h"
#include "tests/support.h"

// Against a plain loop: each lit word mapped channel by channel by the format's losses and shifts and
// stored by the pixel size; everything else, row padding included, keeps the noise it held.
TEST(Present, EveryLayoutMatchesPlainLoop) {
    fill_row_offset();
    // Every depth and channel order, 555 and 4-byte with alpha (black is not 0 there) and a palette,
    // whose channels are all lost.
    struct Layout { int bytes; uint32_t red, green, blue, alpha; };
    const Layout layouts[] = {
        {1, 0xE0, 0x1C, 0x03, 0},       {2, 0xF800, 0x07E0, 0x001F, 0}, {2, 0x001F, 0x07E0, 0xF800, 0},
        {2, 0x7C00, 0x03E0, 0x1F, 0x8000}, {3, 0xFF0000, 0xFF00, 0xFF, 0}, {3, 0xFF, 0xFF00, 0xFF0000, 0},
        {4, 0xFF0000, 0xFF00, 0xFF, 0}, {4, 0xFF, 0xFF00, 0xFF0000, 0xFF000000}, {1, 0, 0, 0, 0},
    };
    struct Mapped { int layout; int32_t word; uint32_t value; };  // worked by hand
    const Mapped mapped[] = {{1, 0x00FF8000, 0xFC00}, {1, 0x00010101, 0} /* lit, maps to 0 */, {0, 0x00FF8040, 0xF1},
                             {3, 0x00FF8040, 0x7E08}, {4, 0x00123456, 0x123456}, {7, 0x00123456, 0x563412}};
    uint32_t seed = 777;
    for (int n = 0; n < 2 * static_cast<int>(std::size(layouts)); ++n) {
        const Layout& l = layouts[n / 2];
        const int extra = n % 2 * 6, pitch = 640 * l.bytes + extra;
        const std::vector<int32_t> words = random_buffer(seed);
        std::vector<uint8_t> pixels(static_cast<size_t>(pitch) * 480);
        for (uint8_t& b : pixels) b = static_cast<uint8_t>(next_random(seed));
        SDL_Surface* surface = SDL_CreateRGBSurfaceFrom(pixels.data(), 640, 480, 8 * l.bytes, pitch, l.red,
                                                        l.green, l.blue, l.alpha);
        ASSERT_NE(surface, nullptr) << SDL_GetError();
        const SDL_PixelFormat& f = *surface->format;
        const auto part = [](int32_t w, int loss, int shift) { return (uint32_t(w) & 0xFF) >> loss << shift; };
        const auto map = [&](int32_t w) {
            return part(w >> 16, f.Rloss, f.Rshift) + part(w >> 8, f.Gloss, f.Gshift) + part(w, f.Bloss, f.Bshift);
        };
        for (const Mapped& m : mapped)
            EXPECT_TRUE(m.layout != n / 2 || (map(m.word) == m.value && map_pixel(&f, m.word) == m.value)) << m.word;
        std::vector<uint8_t> want = pixels;
        for (int depth : {0, 5, -1}) present_surface(surface, words.data(), depth);
        EXPECT_TRUE(pixels == want) << "a depth outside 1..4 wrote to the surface";
        const int stride = l.bytes % 2 ? pitch : pitch / l.bytes * l.bytes;  // whole 2- and 4-byte elements
        for (int32_t i = 0; i < screen_pixels; ++i) {
            const uint32_t v = map(words[i]);
            const auto half = static_cast<uint16_t>(v);
            uint8_t* at = &want[stride * (i / 640) + l.bytes * (i % 640)];
            if (words[i] <= 0) continue;
            if (l.bytes == 2) std::memcpy(at, &half, 2);  // 2 and 4 bytes as one host-order element
            else if (l.bytes == 4) std::memcpy(at, &v, 4);
            else for (int k = 0; k < l.bytes; ++k) at[k] = static_cast<uint8_t>(v >> 8 * k);  // low byte first
        }
        present_surface(surface, words.data(), l.bytes);
        EXPECT_TRUE(pixels == want) << l.bytes << " bytes, red " << std::hex << l.red << ", extra " << extra;
        SDL_FreeSurface(surface);
    }
}

// A format whose channel is wider than a byte reports a wrapped-around loss (254 for 10 bits).
// Shifting by it would be undefined; such a channel contributes nothing, the others still map.
TEST(Present, ChannelsWiderThanAByteContributeNothing) {
    fill_row_offset();
    SDL_PixelFormat format{};
    format.BytesPerPixel = 4;
    format.Rloss = 254, format.Rshift = 20, format.Gshift = 8;
    EXPECT_EQ(map_pixel(&format, 0x00FFFFFF), 0xFFFFu);
    std::vector<uint32_t> pixels(screen_pixels);
    SDL_Surface surface{};
    surface.format = &format, surface.pixels = pixels.data(), surface.pitch = 4 * 640;
    const std::vector<int32_t> words(screen_pixels, 0x00123456);
    present_surface(&surface, words.data(), 4);
    EXPECT_EQ(pixels[641], 0x3456u);
}
