// Conversion of the accumulation buffer into targets of every layout.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "present/present_internal.h"
#include "raster/raster.h"
#include "raster/vectors.h"
#include "tests/support.h"

namespace {

// The layouts the golden frames use (3-3-2, 5-6-5 and 8-8-8, both channel orders, at their narrowest
// pitch) are theirs to prove; these are the others. Against a plain loop: each lit word mapped channel by
// channel by the layout's losses and shifts, each other word stored as black, by the pixel size; the row
// padding keeps the noise it held, rows start where the pitch says (in whole 2- and 4-byte elements). Both
// the 16-byte code and, where the processor has AVX2, its 32-byte copies. A depth outside 1..4 writes nothing.
TEST(Present, EveryLayoutMatchesPlainLoop) {
    fill_row_offset();
    // Pixels and pitch are set per case: bytes, losses, shifts, black, opaque.
    // clang-format off
    const PixelLayout layouts[] = {
        {nullptr, 0, 2, 3, 3, 3, 10, 5, 0, 0x8000, 0x8000},  // 1-5-5-5, opaque
        {nullptr, 0, 2, 0, 0, 0, 12, 6, 0, 0, 0},            // fields overlapping, red past the pixel's 16 bits
        {nullptr, 0, 3, 0, 0, 0, 16, 8, 0, 0, 0},
        {nullptr, 0, 4, 0, 0, 0, 0, 8, 16, 0xFF000000, 0xFF000000},
        {nullptr, 0, 1, 8, 8, 8, 0, 0, 0, 0x37, 0},          // every channel lost, black not 0
        {nullptr, 0, 4, 254, 0, 0, 20, 8, 0, 0, 0},          // red wider than a byte: it contributes nothing
    };
    // clang-format on
    uint32_t seed = 777;
    for (int n = 0; n < 4 * static_cast<int>(std::size(layouts)); ++n) {
        const bool wide = n % 4 >= 2;
        if (wide && !wide_vectors_supported()) continue;
        use_wide_vectors(wide);
        PixelLayout target = layouts[n / 4];
        const int bytes = target.bytes_per_pixel, pitch = 640 * bytes + n % 2 * 7;  // 7: no whole pixel of any size
        SCOPED_TRACE(testing::Message() << "layout " << n / 4 << ", pitch " << pitch
                                        << (wide ? ", 32-byte vectors" : ""));
        const std::vector<int32_t> words = random_buffer(seed);
        std::vector<uint8_t> pixels(static_cast<size_t>(pitch) * 480);
        for (uint8_t& b : pixels) b = static_cast<uint8_t>(next_random(seed));
        std::vector<uint8_t> want = pixels;
        target.pixels = pixels.data();
        target.pitch = pitch;
        for (int32_t depth : {0, 5, -1}) {
            PixelLayout odd = target;
            odd.bytes_per_pixel = depth;
            present_surface(odd, words.data());
        }
        EXPECT_TRUE(same_pixels(pixels.data(), want.data(), pitch, 480, bytes)) << "a depth outside 1..4 wrote";
        const int loss[3] = {target.red_loss, target.green_loss, target.blue_loss};
        const int shift[3] = {target.red_shift, target.green_shift, target.blue_shift};
        const int stride = bytes % 2 ? pitch : pitch / bytes * bytes;  // whole 2- and 4-byte elements
        for (int32_t i = 0; i < screen_pixels; ++i) {
            const uint32_t v = words[i] > 0 ? map_channels(words[i], loss, shift) | target.opaque : target.black;
            const auto half = static_cast<uint16_t>(v);
            uint8_t* at = &want[stride * (i / 640) + bytes * (i % 640)];
            if (bytes == 2) std::memcpy(at, &half, 2);  // 2 and 4 bytes as one host-order element
            else if (bytes == 4)
                std::memcpy(at, &v, 4);
            else
                for (int k = 0; k < bytes; ++k) at[k] = static_cast<uint8_t>(v >> 8 * k);  // low byte first
        }
        present_surface(target, words.data());
        EXPECT_TRUE(same_pixels(pixels.data(), want.data(), pitch, 480, bytes));
    }
    use_wide_vectors(true);
}

}  // namespace
