// Conversion of the accumulation buffer into targets of every layout.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "present/present_internal.h"
#include "raster/raster.h"
#include "raster/vectors.h"
#include "tests/support.h"

namespace {

struct Layout {
    int bytes;
    int loss[3], shift[3];
    uint32_t black, opaque;
};

PixelLayout layout_of(const Layout& l, void* pixels, int pitch) {
    PixelLayout p{};
    p.pixels = pixels, p.pitch = pitch, p.bytes_per_pixel = l.bytes;
    p.red_loss = l.loss[0], p.green_loss = l.loss[1], p.blue_loss = l.loss[2];
    p.red_shift = l.shift[0], p.green_shift = l.shift[1], p.blue_shift = l.shift[2];
    p.black = l.black, p.opaque = l.opaque;
    return p;
}

// The layouts the golden frames use (3-3-2, 5-6-5 and 8-8-8, both channel orders, at their narrowest
// pitch) are theirs to prove; these are the others. Against a plain loop: each lit word mapped channel by channel by the layout's losses and shifts,
// each other word stored as black, by the pixel size; the row padding keeps the noise it held, rows start
// where the pitch says (in whole 2- and 4-byte elements). Both the 16-byte code and, where the processor
// has AVX2, its 32-byte copies.
TEST(Present, EveryLayoutMatchesPlainLoop) {
    fill_row_offset();
    // One layout, or one word worked by hand, a row.
    // clang-format off
    const Layout layouts[] = {
        {2, {3, 3, 3}, {10, 5, 0}, 0x8000, 0x8000},  // 1-5-5-5, opaque
        {2, {0, 0, 0}, {12, 6, 0}, 0, 0},            // fields overlapping, red past the pixel's 16 bits
        {3, {0, 0, 0}, {16, 8, 0}, 0, 0},
        {4, {0, 0, 0}, {0, 8, 16}, 0xFF000000, 0xFF000000},
        {1, {8, 8, 8}, {0, 0, 0}, 0x37, 0},          // every channel lost, black not 0
        {4, {254, 0, 0}, {20, 8, 0}, 0, 0},          // red wider than a byte: it contributes nothing
    };
    struct Mapped { int layout; int32_t word; uint32_t value; };
    const Mapped mapped[] = {
        {0, 0x00FF8040, 0x7E08},
        {3, 0x00123456, 0x563412},
        {4, 0x00010101, 0},  // lit, maps to 0, not to black
        {5, 0x00FFFFFF, 0xFFFF},
    };
    // clang-format on
    uint32_t seed = 777;
    for (int n = 0; n < 4 * static_cast<int>(std::size(layouts)); ++n) {
        const bool wide = n % 4 >= 2;
        if (wide && !wide_vectors_supported()) continue;
        use_wide_vectors(wide);
        const Layout& l = layouts[n / 4];
        const int extra = n % 2 * 7, pitch = 640 * l.bytes + extra;  // 7: no whole pixel of any size
        SCOPED_TRACE(testing::Message() << "layout " << n / 4 << ", pitch " << pitch
                                        << (wide ? ", 32-byte vectors" : ""));
        const std::vector<int32_t> words = random_buffer(seed);
        std::vector<uint8_t> pixels(static_cast<size_t>(pitch) * 480);
        for (uint8_t& b : pixels) b = static_cast<uint8_t>(next_random(seed));
        const PixelLayout target = layout_of(l, pixels.data(), pitch);
        const auto map = [&](int32_t w) { return map_channels(w, l.loss, l.shift); };
        for (const Mapped& m : mapped) {
            if (m.layout != n / 4) continue;
            EXPECT_EQ(map(m.word), m.value) << "plain loop, word " << m.word;
            EXPECT_EQ(map_pixel(target, m.word), m.value) << "map_pixel, word " << m.word;
        }
        std::vector<uint8_t> want = pixels;
        for (int depth : {0, 5, -1})
            present_surface(layout_of({depth, {}, {}, 0, 0}, pixels.data(), pitch), words.data());
        EXPECT_TRUE(same_pixels(pixels.data(), want.data(), pitch, 480, l.bytes))
            << "a depth outside 1..4 wrote to the target";
        for (int32_t i = 0; i < screen_pixels; ++i) {
            const uint32_t v = words[i] > 0 ? map(words[i]) | l.opaque : l.black;
            const auto half = static_cast<uint16_t>(v);
            const int stride = l.bytes % 2 ? pitch : pitch / l.bytes * l.bytes;  // whole 2- and 4-byte elements
            uint8_t* at = &want[stride * (i / 640) + l.bytes * (i % 640)];
            if (l.bytes == 2) std::memcpy(at, &half, 2);  // 2 and 4 bytes as one host-order element
            else if (l.bytes == 4)
                std::memcpy(at, &v, 4);
            else
                for (int k = 0; k < l.bytes; ++k) at[k] = static_cast<uint8_t>(v >> 8 * k);  // low byte first
        }
        present_surface(target, words.data());
        EXPECT_TRUE(same_pixels(pixels.data(), want.data(), pitch, 480, l.bytes));
    }
    use_wide_vectors(true);
}

}  // namespace
