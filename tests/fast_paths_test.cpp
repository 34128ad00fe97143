// The fade, the converters and the line drawing work on several words at a
// time; here they are held against plain one-word-at-a-time versions over
// many random buffers, including words that never occur in a frame
// (negative, bits above the channels) and surfaces whose untouched pixels
// hold noise.

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "present/present.h"
#include "raster/raster.h"

namespace {

uint32_t next_random(uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

// A buffer as a frame leaves it - runs of black between lit stretches - with
// some rows holding odd words: negative, top byte set, dim.
void random_buffer(std::vector<int32_t>& words, uint32_t& seed) {
    for (int32_t i = 0; i < screen_pixels;) {
        const int32_t run = static_cast<int32_t>(next_random(seed) % 40) + 1;
        const bool lit = next_random(seed) % 2 == 0;
        for (int32_t k = 0; k < run && i < screen_pixels; ++k, ++i)
            words[i] = lit ? static_cast<int32_t>(next_random(seed) & 0x00FFFFFF) : 0;
    }
    for (int n = 0; n < 40; ++n) {
        const int32_t i = static_cast<int32_t>(next_random(seed) % screen_pixels);
        const uint32_t kind = next_random(seed) % 4;
        words[i] = kind == 0   ? static_cast<int32_t>(next_random(seed) | 0x80000000u)
                   : kind == 1 ? static_cast<int32_t>(next_random(seed) & 0x7FFFFFFF)
                   : kind == 2 ? 0x00010101
                               : INT32_MIN;
    }
}

int32_t channel(int32_t word, int shift) { return (word >> shift) & 0xFF; }

void reference_fade(std::vector<int32_t>& words, int32_t amount) {
    for (int32_t& word : words) {
        if (word <= 0) continue;
        int32_t c[3] = {channel(word, 16), channel(word, 8), channel(word, 0)};
        for (int32_t& v : c) v = v > amount + 1 ? v - amount : 0;
        word = (c[0] << 16) | (c[1] << 8) | c[2];
    }
}

TEST(FastPaths, FadeMatchesOneWordAtATime) {
    fill_row_offset();
    uint32_t seed = 12345;
    std::vector<int32_t> expected(screen_pixels);
    // 2 and 4 are the amounts of the scenes; the rest reach both ends of the
    // byte-wise path and past it.
    for (int32_t amount : {0, 1, 2, 3, 4, 7, 126, 127, 200, 252, 253, 254, 255, 256, 1000}) {
        random_buffer(expected, seed);
        std::memcpy(accum_buffer, expected.data(), sizeof accum_buffer);
        reference_fade(expected, amount);
        accum_fade(accum_buffer, amount);
        EXPECT_EQ(0, std::memcmp(accum_buffer, expected.data(), sizeof accum_buffer))
            << "amount " << amount;
    }
}

struct Layout {
    int bytes;
    uint32_t red, green, blue, alpha;
};

// Every depth, both channel orders, alpha masks (black is not 0 there), a
// palette, a dropped channel byte order and odd packings.
constexpr Layout layouts[] = {
    {1, 0, 0, 0, 0},
    {1, 0xE0, 0x1C, 0x03, 0},
    {2, 0xF800, 0x07E0, 0x001F, 0},
    {2, 0x001F, 0x07E0, 0xF800, 0},
    {2, 0x7C00, 0x03E0, 0x001F, 0x8000},
    {2, 0x0F00, 0x00F0, 0x000F, 0xF000},
    {3, 0xFF0000, 0x00FF00, 0x0000FF, 0},
    {3, 0x0000FF, 0x00FF00, 0xFF0000, 0},
    {4, 0xFF0000, 0x00FF00, 0x0000FF, 0},
    {4, 0x0000FF, 0x00FF00, 0xFF0000, 0xFF000000},
    {4, 0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF},
    {4, 0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000},
};

// A channel wider than 8 bits reports loss 254 and then adds nothing, as one
// with loss 8 does.
uint32_t part(int32_t value, int loss, int shift) {
    return loss >= 8 ? 0u : (static_cast<uint32_t>(value) >> loss) << shift;
}

// The converter as a plain loop: map each lit word by the two shifts per
// channel and store its low bytes, least significant first. The 2- and
// 4-byte rows start at whole pixels: pitch / size elements apart.
void reference_present(const SDL_PixelFormat* f, int pitch, uint8_t* pixels, const int32_t* words) {
    const int size = f->BytesPerPixel;
    if (size == 2 || size == 4) pitch = pitch / size * size;
    for (int32_t y = 0; y < screen_height; ++y) {
        for (int32_t x = 0; x < screen_width; ++x) {
            const int32_t word = words[y * screen_width + x];
            if (word <= 0) continue;
            const uint32_t value = part(channel(word, 16), f->Rloss, f->Rshift) +
                                   part(channel(word, 8), f->Gloss, f->Gshift) +
                                   part(channel(word, 0), f->Bloss, f->Bshift);
            uint8_t* at = pixels + pitch * y + f->BytesPerPixel * x;
            if (f->BytesPerPixel == 3) {
                for (int k = 0; k < 3; ++k) at[k] = static_cast<uint8_t>(value >> (8 * k));
            } else if (f->BytesPerPixel == 1) {
                at[0] = static_cast<uint8_t>(value);
            } else if (f->BytesPerPixel == 2) {
                const auto v = static_cast<uint16_t>(value);
                std::memcpy(at, &v, 2);
            } else {
                std::memcpy(at, &value, 4);
            }
        }
    }
}

TEST(FastPaths, ConvertersMatchOnePixelAtATime) {
    fill_row_offset();
    uint32_t seed = 777;
    std::vector<int32_t> words(screen_pixels);
    for (const Layout& layout : layouts) {
        for (int extra : {0, 6, 12}) {
            const int pitch = 640 * layout.bytes + extra;
            std::vector<uint8_t> pixels(static_cast<size_t>(pitch) * 480);
            SDL_Surface* surface =
                SDL_CreateRGBSurfaceFrom(pixels.data(), 640, 480, 8 * layout.bytes, pitch,
                                         layout.red, layout.green, layout.blue, layout.alpha);
            ASSERT_NE(surface, nullptr);
            random_buffer(words, seed);
            // Noise everywhere, the padding included: only lit pixels may change.
            for (uint8_t& b : pixels) b = static_cast<uint8_t>(next_random(seed));
            std::vector<uint8_t> expected = pixels;
            reference_present(surface->format, pitch, expected.data(), words.data());
            present_surface(surface, words.data(), layout.bytes);
            EXPECT_TRUE(pixels == expected)
                << layout.bytes << " bytes, red mask " << std::hex << layout.red << std::dec
                << ", " << extra << " spare bytes a row";
            SDL_FreeSurface(surface);
        }
    }
}

// Bresenham and the saturating add written out plainly, for any addends.
void reference_line(std::vector<int32_t>& words, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                    int32_t red, int32_t green, int32_t blue) {
    const int32_t dx = x1 > x0 ? x1 - x0 : x0 - x1;
    const int32_t dy = y1 > y0 ? y1 - y0 : y0 - y1;
    const int32_t sx = x1 >= x0 ? 1 : -1;
    const int32_t sy = y1 >= y0 ? 1 : -1;
    const bool x_major = dx > dy;
    const int32_t major = x_major ? dx : dy;
    const int32_t minor = x_major ? dy : dx;
    int32_t x = x0;
    int32_t y = y0;
    int32_t error = 2 * minor - major;
    for (int32_t n = 0; n <= major; ++n) {
        int32_t& word = words[y * screen_width + x];
        int32_t c[3] = {channel(word, 16) + red, channel(word, 8) + green, channel(word, 0) + blue};
        for (int32_t& v : c) v = v > 255 ? 255 : v;
        word = (c[0] << 16) | (c[1] << 8) | c[2];
        if (error >= 0) {
            x += sx;
            y += sy;
            error += 2 * minor - 2 * major;
        } else {
            (x_major ? x : y) += x_major ? sx : sy;
            error += 2 * minor;
        }
    }
}

TEST(FastPaths, LinesMatchOnePixelAtATime) {
    fill_row_offset();
    uint32_t seed = 4242;
    std::vector<int32_t> expected(screen_pixels);
    random_buffer(expected, seed);
    std::memcpy(accum_buffer, expected.data(), sizeof accum_buffer);
    // Addends from the ring colours up to past a channel's range; short and
    // long lines in every direction, many crossing one another.
    constexpr int32_t addends[] = {0, 1, 2, 12, 16, 128, 200, 254, 255, 256, 300, 100000};
    for (int n = 0; n < 3000; ++n) {
        const auto coord = [&](int32_t span) { return static_cast<int32_t>(next_random(seed) % span); };
        const int32_t x0 = coord(640), y0 = coord(480);
        const bool short_line = n % 2 == 0;
        const int32_t x1 = short_line ? std::min(639, std::max(0, x0 + coord(21) - 10)) : coord(640);
        const int32_t y1 = short_line ? std::min(479, std::max(0, y0 + coord(21) - 10)) : coord(480);
        const int32_t r = addends[coord(12)], g = addends[coord(12)], b = addends[coord(12)];
        reference_line(expected, x0, y0, x1, y1, r, g, b);
        draw_line_add(accum_buffer, x0, y0, x1, y1, r, g, b);
    }
    EXPECT_EQ(0, std::memcmp(accum_buffer, expected.data(), sizeof accum_buffer));
}

}  // namespace
