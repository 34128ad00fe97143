// Pixels: the accumulation buffer's fade, plot and saturating add, segment clipping against the
// 640 x 480 screen, additive line drawing, and the buffer's conversion into targets of every layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "present/present.h"
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

// Ends, then the clipped ends, or none for a rejected segment.
TEST(Clip, KnownSegments) {
    constexpr int32_t lo = INT32_MIN, hi = INT32_MAX;
    const std::array<int32_t, 8> cases[] = {
        {-10, 240, 650, 240, 0, 240, 639, 240},
        {100, -50, 100, 600, 100, 0, 100, 479},
        {-10, 5, 5, -10},
        // Below-right goes to the right edge first; crossings truncate toward the current start.
        {700, 500, 320, 240, 639, 459, 320, 240},
        {320, 240, 700, 500, 320, 240, 639, 458},
        // Above and beside: the top edge comes first. Right or left first would give (634, 0) and (6, 0).
        {700, -50, 320, 240, 635, 0, 320, 240},
        {-60, -50, 320, 240, 5, 0, 320, 240},
        {-1000000, 0, 1000000, 479, 0, 239, 639, 239},
        {320, 240, lo, lo, 320, 240, 80, 0},
        {lo, lo, hi, hi, 0, 0, 479, 479},
        {hi, hi, lo, lo, 479, 479, 0, 0},
        {lo, lo, lo, hi},
    };
    for (const auto& c : cases) {
        const bool accepted = clip_segment(c[0], c[1], c[2], c[3], 0, 639, 0, 479);
        const std::array<int32_t, 4> got = {clip_x0, clip_y0, clip_x1, clip_y1};
        EXPECT_EQ((accepted ? got : std::array<int32_t, 4>{}), (std::array{c[4], c[5], c[6], c[7]})) << &c - cases;
    }
}

// Any 32-bit ends: rejected, never with an end on the screen, or clipped to ends on the screen and
// between the given ones, an end already on the screen left where it was.
TEST(Clip, AnyEndsGiveRejectionOrVisibleEndsBetweenThem) {
    uint32_t seed = 20240613;
    const int32_t extremes[] = {INT32_MIN, -1000000, -1, 0, 479, 480, 639, 640, INT32_MAX};
    const auto coordinate = [&]() -> int32_t {
        const uint32_t kind = next_random(seed) % 3, r = next_random(seed);
        return kind == 0 ? static_cast<int32_t>(r) : kind == 1 ? extremes[r % 9] : static_cast<int32_t>(r % 2400) - 880;
    };
    const auto on_screen = [](int32_t x, int32_t y) { return x >= 0 && x <= 639 && y >= 0 && y <= 479; };
    const auto between = [](int32_t v, int32_t a, int32_t b) { return v >= std::min(a, b) && v <= std::max(a, b); };
    int32_t accepted = 0;
    for (int n = 0; n < 300000; ++n) {
        const int32_t x0 = coordinate(), y0 = coordinate(), x1 = coordinate(), y1 = coordinate();
        SCOPED_TRACE(testing::Message() << x0 << "," << y0 << " - " << x1 << "," << y1);
        const bool inside0 = on_screen(x0, y0), inside1 = on_screen(x1, y1);
        if (!clip_segment(x0, y0, x1, y1, 0, 639, 0, 479)) {
            ASSERT_FALSE(inside0 || inside1);
            continue;
        }
        ++accepted;
        SCOPED_TRACE(testing::Message() << "clipped to " << clip_x0 << "," << clip_y0 << " - " << clip_x1 << ","
                                        << clip_y1);
        ASSERT_TRUE(on_screen(clip_x0, clip_y0) && on_screen(clip_x1, clip_y1)) << "an end off the screen";
        ASSERT_TRUE(between(clip_x0, x0, x1) && between(clip_x1, x0, x1) && between(clip_y0, y0, y1) &&
                    between(clip_y1, y0, y1))
            << "an end outside the given ones";
        ASSERT_TRUE((!inside0 || (clip_x0 == x0 && clip_y0 == y0)) && (!inside1 || (clip_x1 == x1 && clip_y1 == y1)))
            << "an end on the screen moved";
    }
    EXPECT_TRUE(accepted > 30000 && accepted < 270000) << accepted << " accepted: both outcomes must be common";
}

// Plain Bresenham with its error term, written out: visit(x, y) for every pixel from the start.
template <typename Visit>
static void bresenham(int32_t x0, int32_t y0, int32_t x1, int32_t y1, Visit visit) {
    const int32_t dx = std::abs(x1 - x0), dy = std::abs(y1 - y0), major = std::max(dx, dy);
    for (int32_t k = 0, x = x0, y = y0, error = 2 * std::min(dx, dy) - major; k <= major; ++k) {
        visit(x, y);
        const bool diagonal = error >= 0;
        if (diagonal || dx > dy) x += x1 >= x0 ? 1 : -1;
        if (diagonal || dx <= dy) y += y1 >= y0 ? 1 : -1;
        error += 2 * std::min(dx, dy) - (diagonal ? 2 * major : 0);
    }
}

// Random ends, often on a border, every other segment short, random addends; then the longest
// segments, where the fixed-point minor step comes closest to rounding wrong: from every corner to
// every pixel of the two far edges. On a lit screen between guard rows the lines must match plain
// Bresenham, each pixel added once and nothing outside them.
TEST(Line, SegmentsMatchPlainBresenham) {
    fill_row_offset();
    constexpr int32_t guard = 2 * 640;  // whole rows, so that the guards are compared too
    uint32_t seed = 4242;
    std::vector<int32_t> got = random_buffer(seed);
    got.insert(got.begin(), guard, 0x5A5A5A5A);
    got.insert(got.end(), guard, 0x5A5A5A5A);
    std::vector<int32_t> want = got;
    const auto draw = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1, const int32_t(&add)[3]) {
        draw_line_add(got.data() + guard, x0, y0, x1, y1, add[0], add[1], add[2]);
        bresenham(x0, y0, x1, y1, [&](int32_t x, int32_t y) {
            int32_t& w = want[guard + y * 640 + x];
            w = std::min((w >> 16 & 0xFF) + add[0], 255) << 16 | std::min((w >> 8 & 0xFF) + add[1], 255) << 8 |
                std::min((w & 0xFF) + add[2], 255);
        });
    };
    const auto pick = [&](int32_t n) { return static_cast<int32_t>(next_random(seed) % n); };
    const auto end = [&](int32_t size) { return pick(4) ? pick(size) : pick(2) * (size - 1); };
    constexpr int32_t addends[] = {0, 1, 2, 12, 128, 254, 255, 256, 100000};
    for (int n = 0; n < 3000; ++n) {
        const int32_t x0 = end(640), y0 = end(480);
        const int32_t x1 = n % 2 ? end(640) : std::clamp(x0 + pick(21) - 10, 0, 639);
        const int32_t y1 = n % 2 ? end(480) : std::clamp(y0 + pick(21) - 10, 0, 479);
        draw(x0, y0, x1, y1, {addends[pick(9)], addends[pick(9)], addends[pick(9)]});
    }
    EXPECT_TRUE(same_pixels(got, want)) << "random segments (rows 0, 1, 482 and 483 are guards)";
    for (int corner = 0; corner < 4; ++corner) {
        for (int32_t e = 0; e < 640 + 480; ++e) {
            const int32_t x = e < 640 ? e : 639, y = e < 640 ? 479 : e - 640;
            draw(corner % 2 * 639, corner / 2 * 479, corner % 2 ? 639 - x : x, corner / 2 ? 479 - y : y, {0, 0, 1});
        }
    }
    EXPECT_TRUE(same_pixels(got, want)) << "longest segments (rows 0, 1, 482 and 483 are guards)";
}

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
