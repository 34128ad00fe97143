// Conversion of the accumulation buffer into the target's pixel layout, one
// pass over all the buffer's words that writes every pixel of the screen's area,
// so no separate fill to black is needed.
#include "present/present.h"

#include <bit>
#include <cstring>
#include <utility>
#if defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

#include "raster/raster.h"
#include "raster/vectors.h"

#if RINGFIELD_WIDE_VECTORS
// The 32-byte helpers return vectors by value, and the compiler warns that
// their ABI differs without AVX; they are only ever inlined into the AVX2
// copies, so that ABI is never used.
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace {

// One channel of a layout as a single shift and mask of the whole word:
// ((word >> 16) & 0xFF) >> loss << shift picks bits 16 + loss .. 23 of the
// word and moves them to `shift`, so it is the word shifted by the difference
// and masked with (0xFF >> loss) << shift. Bits above 23 fall outside the
// mask either way.
struct ChannelMap {
    uint32_t right;
    uint32_t left;
    uint32_t mask;
};

ChannelMap channel_map(int first_bit, int loss, int shift) {
    const int move = shift - (first_bit + loss);
    // A channel wider than 8 bits reports a "negative" loss (254 for 10
    // bits); like a loss of 8, it contributes nothing.
    const uint32_t field = loss >= 8 ? 0u : (0xFFu >> loss);
    // A channel that contributes nothing, or a layout too odd to shift in one
    // step, maps to zero as it would through the two shifts.
    if (field == 0 || shift > 31 || move <= -32 || move >= 32) return {0, 0, 0};
    return {static_cast<uint32_t>(move < 0 ? -move : 0), static_cast<uint32_t>(move > 0 ? move : 0), field << shift};
}

struct WordMap {
    ChannelMap red;
    ChannelMap green;
    ChannelMap blue;
};

WordMap word_map(const PixelLayout& l) {
    return {channel_map(16, l.red_loss, l.red_shift), channel_map(8, l.green_loss, l.green_shift),
            channel_map(0, l.blue_loss, l.blue_shift)};
}

// The parts are added, not ORed: the same for any layout whose fields do not
// overlap. Only the plain per-pixel path uses it, which some targets compile
// out.
[[maybe_unused]] inline uint32_t apply(const WordMap& m, uint32_t word) {
    return (((word >> m.red.right) << m.red.left) & m.red.mask) +
           (((word >> m.green.right) << m.green.left) & m.green.mask) +
           (((word >> m.blue.right) << m.blue.left) & m.blue.mask);
}

// Rows of 2- and 4-byte pixels are counted in whole elements, pitch / size
// of them to a row; 1- and 3-byte rows in bytes.
uint8_t* row_start(const PixelLayout& target, int32_t y) {
    const int32_t size = target.bytes_per_pixel;
    const int32_t stride = size == 2 || size == 4 ? target.pitch / size * size : target.pitch;
    return static_cast<uint8_t*>(target.pixels) + static_cast<intptr_t>(stride) * y;
}

// A plain select per pixel, which the compiler turns into vector code.
template <typename Pixel>
void present_row(const WordMap& m, uint32_t opaque, Pixel black, Pixel* out, const int32_t* row) {
    for (int32_t x = 0; x < screen_width; ++x) {
        const int32_t word = row[x];
        const auto mapped = static_cast<Pixel>(apply(m, static_cast<uint32_t>(word)) | opaque);
        out[x] = word > 0 ? mapped : black;
    }
}

template <typename Pixel>
void present_words(const PixelLayout& target, const int32_t* buffer) {
    const WordMap m = word_map(target);
    const auto black = static_cast<Pixel>(target.black);
    for (int32_t y = 0; y < screen_height; ++y) {
        auto* out = reinterpret_cast<Pixel*>(row_start(target, y));
        present_row(m, target.opaque, black, out, buffer + row_offset[y]);
    }
}

// Width bytes at a time (four words in 16, eight in 32) in the vector types
// of raster/vectors.h. Loads and stores go through memcpy, so nothing needs
// alignment.
typedef Vectors<16>::Words Words4;
typedef Vectors<16>::Halves Halves8;
typedef Vectors<16>::Bytes Bytes16;
typedef int16_t SignedHalves8 __attribute__((vector_size(16)));

// A shift count that the optimiser may not hoist out of the loop. LLVM 14's
// WebAssembly backend shifts by a count splatted outside the loop one lane at
// a time, four to eight times slower than one i32x4.shl or i16x8.shl; the
// empty asm stops the hoisting. Other targets get the count unchanged.
inline uint32_t unhoisted_count(uint32_t n) {
#if defined(__wasm_simd128__)
    __asm__ volatile("" : "+r"(n));
#endif
    return n;
}

// One channel moved one way only (the other shift of a ChannelMap is 0), so
// the direction is a template parameter and the other shift is not done.
template <int Width, bool Up>
inline typename Vectors<Width>::Words apply_words(ChannelMap c, const typename Vectors<Width>::Words& w) {
    if constexpr (Up) return (w << unhoisted_count(c.left)) & c.mask;
    else
        return (w >> unhoisted_count(c.right)) & c.mask;
}

// A vector of words as their pixel values: lit ones mapped, the others black.
template <int Width, bool RedUp, bool GreenUp, bool BlueUp>
inline typename Vectors<Width>::Words map_words(const WordMap& m, uint32_t opaque, uint32_t black,
                                                const int32_t* words) {
    using Words = typename Vectors<Width>::Words;
    using Signed = typename Vectors<Width>::Signed;
    Words w;
    std::memcpy(&w, words, sizeof w);
    const auto lit = reinterpret_cast<Words>(reinterpret_cast<Signed>(w) > 0);
    const Words mapped = (apply_words<Width, RedUp>(m.red, w) + apply_words<Width, GreenUp>(m.green, w) +
                          apply_words<Width, BlueUp>(m.blue, w)) |
                         opaque;
    return (mapped & lit) | (black & ~lit);
}

template <bool RedUp, bool GreenUp, bool BlueUp>
inline Words4 map4(const WordMap& m, uint32_t opaque, uint32_t black, const int32_t* words) {
    return map_words<16, RedUp, GreenUp, BlueUp>(m, opaque, black, words);
}

constexpr bool little_endian = std::endian::native == std::endian::little;

template <int Width, bool RedUp, bool GreenUp, bool BlueUp>
void present_row4(WordMap m, uint32_t opaque, uint32_t black, uint8_t* out, const int32_t* row) {
    constexpr int32_t step = Width / 4;
    static_assert(screen_width % step == 0);
    for (int32_t x = 0; x < screen_width; x += step) {
        const auto v = map_words<Width, RedUp, GreenUp, BlueUp>(m, opaque, black, row + x);
        std::memcpy(out + 4 * x, &v, sizeof v);
    }
}

// 4-byte layouts whose channels are the word's own bytes, in its order or
// with red and blue swapped (a canvas's layout): the mapping is a mask, or a
// byte shuffle, one instruction on targets that shuffle bytes (AVX2,
// WebAssembly, NEON), instead of three shifts, masks and adds.
enum class ByteOrder { other, same, swapped };

ByteOrder byte_order(const PixelLayout& l) {
    if (l.bytes_per_pixel != 4 || l.red_loss || l.green_loss || l.blue_loss || l.green_shift != 8) {
        return ByteOrder::other;
    }
    if (l.red_shift == 16 && l.blue_shift == 0) return ByteOrder::same;
    if (l.red_shift == 0 && l.blue_shift == 16) return ByteOrder::swapped;
    return ByteOrder::other;
}

// Bytes 2, 1, 0 of each word in that order, and a zero byte on top. In
// WebAssembly a swizzle, whose indices past the last lane give zero bytes:
// measured under node, the conversion takes a fifth less time than with a
// shuffle of the word and a vector of zeros.
template <int Width, std::size_t... I>
inline typename Vectors<Width>::Bytes swap_red_blue(const typename Vectors<Width>::Bytes& v,
                                                    std::index_sequence<I...> /*lanes*/) {
#if defined(__wasm_simd128__)
    return reinterpret_cast<typename Vectors<Width>::Bytes>(wasm_i8x16_swizzle(
        v128_t(v), wasm_i8x16_const(2, 1, 0, -128, 6, 5, 4, -128, 10, 9, 8, -128, 14, 13, 12, -128)));
#else
    const typename Vectors<Width>::Bytes zero = {};
    return __builtin_shufflevector(v, zero, (I % 4 == 3 ? Width : I - I % 4 + 2 - I % 4)...);
#endif
}

template <int Width, ByteOrder Order>
void present_row_bytes(WordMap /*map*/, uint32_t opaque, uint32_t black, uint8_t* out, const int32_t* row) {
    using Words = typename Vectors<Width>::Words;
    using Signed = typename Vectors<Width>::Signed;
    using Bytes = typename Vectors<Width>::Bytes;
    for (int32_t x = 0; x < screen_width; x += Width / 4) {
        Words w;
        std::memcpy(&w, row + x, sizeof w);
        const auto lit = reinterpret_cast<Words>(reinterpret_cast<Signed>(w) > 0);
        Words mapped;
        if constexpr (Order == ByteOrder::same) {
            mapped = w & 0x00FFFFFFu;
        } else {
            const auto bytes = reinterpret_cast<Bytes>(w);
            mapped = reinterpret_cast<Words>(swap_red_blue<Width>(bytes, std::make_index_sequence<Width>{}));
        }
        mapped |= opaque;
        const Words v = (mapped & lit) | (black & ~lit);
        std::memcpy(out + 4 * x, &v, sizeof v);
    }
}

// Four pixels make twelve bytes, three whole 32-bit words: the low three
// bytes of each value, least significant first whatever the host's byte
// order.
template <bool RedUp, bool GreenUp, bool BlueUp>
void present_row3(WordMap m, uint32_t opaque, uint32_t black, uint8_t* out, const int32_t* row) {
    for (int32_t x = 0; x < screen_width; x += 4) {
        const Words4 v = map4<RedUp, GreenUp, BlueUp>(m, opaque, black, row + x);
        uint32_t w[3] = {(v[0] & 0xFFFFFF) | v[1] << 24, (v[1] >> 8 & 0xFFFF) | v[2] << 16,
                         (v[2] >> 16 & 0xFF) | v[3] << 8};
        // One store per word: gathered through memory into wider stores,
        // they would stall on store forwarding.
        for (int k = 0; k < 3; ++k) {
            const uint32_t word = little_endian ? w[k] : __builtin_bswap32(w[k]);
            std::memcpy(out + 3 * x + 4 * k, &word, sizeof word);
        }
    }
}

// One round of interleaving: the low or the high halves of a and b, lane by
// lane (one unpack instruction each on SSE2).
template <typename Lanes>
inline Lanes interleave_low(Lanes a, Lanes b) {
    if constexpr (sizeof a / sizeof a[0] == 8) return __builtin_shufflevector(a, b, 0, 8, 1, 9, 2, 10, 3, 11);
    else
        return __builtin_shufflevector(a, b, 0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
}

template <typename Lanes>
inline Lanes interleave_high(Lanes a, Lanes b) {
    if constexpr (sizeof a / sizeof a[0] == 8) return __builtin_shufflevector(a, b, 4, 12, 5, 13, 6, 14, 7, 15);
    else
        return __builtin_shufflevector(a, b, 8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);
}

template <typename Lanes>
struct SplitLanes {
    Lanes even;
    Lanes odd;
};

// The even lanes of a and then of b, and the odd ones: as many rounds of
// interleaving as it takes to sort them. On a little-endian host the even
// lanes of eight words seen as halves are their low halves, and of sixteen
// halves seen as bytes their low bytes.
template <typename Lanes>
inline SplitLanes<Lanes> split_lanes(Lanes a, Lanes b) {
    constexpr int rounds = sizeof a / sizeof a[0] == 8 ? 3 : 4;
    for (int i = 0; i < rounds; ++i) {
        const Lanes low = interleave_low(a, b);
        b = interleave_high(a, b);
        a = low;
    }
    return {a, b};
}

// Sixteen pixels of one byte each: the low byte of each of sixteen values
// (little-endian hosts; others take the plain loop).
template <bool RedUp, bool GreenUp, bool BlueUp>
void present_row1(WordMap m, uint32_t opaque, uint32_t black, uint8_t* out, const int32_t* row) {
    for (int32_t x = 0; x < screen_width; x += 16) {
        Halves8 v[4];
        for (int k = 0; k < 4; ++k) {
            v[k] = reinterpret_cast<Halves8>(map4<RedUp, GreenUp, BlueUp>(m, opaque, black, row + x + 4 * k));
        }
        const auto ab = reinterpret_cast<Bytes16>(split_lanes(v[0], v[1]).even);
        const auto cd = reinterpret_cast<Bytes16>(split_lanes(v[2], v[3]).even);
        const Bytes16 bytes = split_lanes(ab, cd).even;
        std::memcpy(out + x, &bytes, sizeof bytes);
    }
}

// Converts one row: the map, the opaque bits, black, the row's first byte in
// the target and its first word in the buffer.
using RowFunction = void (*)(WordMap, uint32_t, uint32_t, uint8_t*, const int32_t*);

// The row function for a pixel size and a combination of channel
// directions, picked once per frame.
template <int Size, int Directions>
constexpr RowFunction row_for() {
    constexpr bool red_up = (Directions & 4) != 0;
    constexpr bool green_up = (Directions & 2) != 0;
    constexpr bool blue_up = (Directions & 1) != 0;
    if constexpr (Size == 4) return present_row4<16, red_up, green_up, blue_up>;
    else if constexpr (Size == 3)
        return present_row3<red_up, green_up, blue_up>;
    else
        return present_row1<red_up, green_up, blue_up>;
}

template <int Size>
constexpr RowFunction rows_by_direction[8] = {row_for<Size, 0>(), row_for<Size, 1>(), row_for<Size, 2>(),
                                              row_for<Size, 3>(), row_for<Size, 4>(), row_for<Size, 5>(),
                                              row_for<Size, 6>(), row_for<Size, 7>()};

#if RINGFIELD_WIDE_VECTORS
// The AVX2 copies, eight words at a time. At 1 and 2 bytes a pixel the
// words are mapped whole, as for 4, and the low halves of two vectors of
// them kept (on a little-endian host, the even lanes: a pack and a lane
// permute here; the 16-byte code interleaves instead, as SSE2 has no such
// pack), then at 1 byte the low bytes of those.
typedef Vectors<32>::Bytes Bytes32;

inline Vectors<32>::Halves low_halves(const Vectors<32>::Words& a, const Vectors<32>::Words& b) {
    const auto x = reinterpret_cast<Vectors<32>::Halves>(a);
    const auto y = reinterpret_cast<Vectors<32>::Halves>(b);
    return __builtin_shufflevector(x, y, 0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
}

inline Bytes32 low_bytes(const Vectors<32>::Halves& a, const Vectors<32>::Halves& b) {
    const auto x = reinterpret_cast<Bytes32>(a);
    const auto y = reinterpret_cast<Bytes32>(b);
    return __builtin_shufflevector(x, y, 0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30, 32, 34, 36, 38, 40,
                                   42, 44, 46, 48, 50, 52, 54, 56, 58, 60, 62);
}

template <int Size, bool RedUp, bool GreenUp, bool BlueUp>
RINGFIELD_WIDE void present_row_wide(WordMap m, uint32_t opaque, uint32_t black, uint8_t* out, const int32_t* row) {
    const auto words = [&](int32_t x) { return map_words<32, RedUp, GreenUp, BlueUp>(m, opaque, black, row + x); };
    if constexpr (Size == 4) {
        present_row4<32, RedUp, GreenUp, BlueUp>(m, opaque, black, out, row);
    } else if constexpr (Size == 2) {
        for (int32_t x = 0; x < screen_width; x += 16) {
            const auto v = low_halves(words(x), words(x + 8));
            std::memcpy(out + 2 * x, &v, sizeof v);
        }
    } else if constexpr (Size == 3) {
        // The low three bytes of each of eight words, least significant
        // first, in one shuffle; the last eight lanes are not stored.
        for (int32_t x = 0; x < screen_width; x += 8) {
            const auto w = reinterpret_cast<Bytes32>(words(x));
            const Bytes32 v = __builtin_shufflevector(w, w, 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 16, 17, 18, 20, 21,
                                                      22, 24, 25, 26, 28, 29, 30, -1, -1, -1, -1, -1, -1, -1, -1);
            // Stored as two halves: a 24-byte copy of the whole would go
            // through the stack.
            const Bytes16 low = __builtin_shufflevector(v, v, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
            const Bytes16 high =
                __builtin_shufflevector(v, v, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
            std::memcpy(out + 3 * x, &low, 16);
            std::memcpy(out + 3 * x + 16, &high, 8);
        }
    } else {
        static_assert(screen_width % 32 == 0);
        for (int32_t x = 0; x < screen_width; x += 32) {
            const Bytes32 v = low_bytes(low_halves(words(x), words(x + 8)), low_halves(words(x + 16), words(x + 24)));
            std::memcpy(out + x, &v, sizeof v);
        }
    }
}

template <ByteOrder Order>
RINGFIELD_WIDE void present_row_bytes_wide(WordMap m, uint32_t opaque, uint32_t black, uint8_t* out,
                                           const int32_t* row) {
    present_row_bytes<32, Order>(m, opaque, black, out, row);
}

template <int Size, int Directions>
constexpr RowFunction wide_row_for() {
    return present_row_wide<Size, (Directions & 4) != 0, (Directions & 2) != 0, (Directions & 1) != 0>;
}

template <int Size>
constexpr RowFunction wide_rows_by_direction[8] = {
    wide_row_for<Size, 0>(), wide_row_for<Size, 1>(), wide_row_for<Size, 2>(), wide_row_for<Size, 3>(),
    wide_row_for<Size, 4>(), wide_row_for<Size, 5>(), wide_row_for<Size, 6>(), wide_row_for<Size, 7>()};
#endif

// Which way each channel moves: up when the right shift is 0.
int directions(const WordMap& m) {
    return (m.red.right == 0 ? 4 : 0) | (m.green.right == 0 ? 2 : 0) | (m.blue.right == 0 ? 1 : 0);
}

// The converters that map whole words (1, 3 and 4 bytes a pixel, and 2 in
// the AVX2 copy), every row through one row function.
void present_rows(const PixelLayout& target, const int32_t* buffer, const WordMap& m, RowFunction row) {
    for (int32_t y = 0; y < screen_height; ++y) {
        row(m, target.opaque, target.black, row_start(target, y), buffer + row_offset[y]);
    }
}

// The row functions for each direction.
void present_mapped(const PixelLayout& target, const int32_t* buffer, const RowFunction* rows) {
    const WordMap m = word_map(target);
    present_rows(target, buffer, m, rows[directions(m)]);
}

// The row functions of the 1-, 3- and 4-byte converters: the AVX2 copies
// where they run.
template <int Size>
const RowFunction* rows_for_size() {
#if RINGFIELD_WIDE_VECTORS
    if (wide_vectors_used()) return wide_rows_by_direction<Size>;
#endif
    return rows_by_direction<Size>;
}

// Where the 16-byte code shuffles bytes in one instruction; SSE2 does not.
#if defined(__wasm_simd128__) || defined(__aarch64__)
constexpr bool narrow_byte_shuffle = true;
#else
constexpr bool narrow_byte_shuffle = false;
#endif

// The byte rows need no channel map.
void present_bpp4(const PixelLayout& target, const int32_t* buffer) {
    const ByteOrder order = little_endian ? byte_order(target) : ByteOrder::other;
    RowFunction bytes_row = nullptr;
#if RINGFIELD_WIDE_VECTORS
    if (wide_vectors_used()) {
        if (order == ByteOrder::same) bytes_row = present_row_bytes_wide<ByteOrder::same>;
        if (order == ByteOrder::swapped) bytes_row = present_row_bytes_wide<ByteOrder::swapped>;
    } else
#endif
    {
        if (order == ByteOrder::same) bytes_row = present_row_bytes<16, ByteOrder::same>;
        if (order == ByteOrder::swapped && narrow_byte_shuffle) bytes_row = present_row_bytes<16, ByteOrder::swapped>;
    }
    if (bytes_row) present_rows(target, buffer, {}, bytes_row);
    else
        present_mapped(target, buffer, rows_for_size<4>());
}

// The 2-byte converter works on eight pixels in 16-bit lanes: the low halves
// of the words hold green and blue, the high halves red (and the top byte),
// and only the low 16 bits of a mapped value are stored, which 16-bit sums
// give exactly. The channel maps are the word's, over one half.
struct HalfMap {
    uint16_t count;
    uint16_t mask;
    bool up;
};

HalfMap half_map(int first_bit, int loss, int shift) {
    const int move = shift - (first_bit + loss);
    const uint32_t field = loss >= 8 ? 0u : ((0xFFu >> loss) << (shift > 31 ? 0 : shift)) & 0xFFFFu;
    if (field == 0 || shift > 15 || move <= -16 || move >= 16) return {0, 0, true};
    return {static_cast<uint16_t>(move < 0 ? -move : move), static_cast<uint16_t>(field), move >= 0};
}

template <bool Up>
inline Halves8 apply8(HalfMap m, Halves8 h) {
    if constexpr (Up) return (h << unhoisted_count(m.count)) & m.mask;
    else
        return (h >> unhoisted_count(m.count)) & m.mask;
}

template <bool RedUp, bool GreenUp, bool BlueUp>
void present_row2(HalfMap red, HalfMap green, HalfMap blue, uint16_t opaque, uint16_t black, uint16_t* out,
                  const int32_t* row) {
    const Halves8 zero = {};
    for (int32_t x = 0; x < screen_width; x += 8) {
        Halves8 a;
        Halves8 b;
        std::memcpy(&a, row + x, sizeof a);
        std::memcpy(&b, row + x + 4, sizeof b);
        // Little-endian: the even lanes are the low halves.
        const SplitLanes<Halves8> halves = split_lanes(a, b);
        const Halves8 low = halves.even;
        const Halves8 high = halves.odd;
        // Unlit: negative or 0.
        const Halves8 unlit = reinterpret_cast<Halves8>(reinterpret_cast<SignedHalves8>(high) >> 15) |
                              reinterpret_cast<Halves8>((low | high) == zero);
        const Halves8 mapped =
            (apply8<RedUp>(red, high) + apply8<GreenUp>(green, low) + apply8<BlueUp>(blue, low)) | opaque;
        const Halves8 v = mapped ^ ((mapped ^ black) & unlit);
        std::memcpy(out + x, &v, sizeof v);
    }
}

// By value: the maps are 16-bit like the pixels, so through a reference the
// compiler would have to reload them after every store.
using Row2Function = void (*)(HalfMap, HalfMap, HalfMap, uint16_t, uint16_t, uint16_t*, const int32_t*);

template <int Directions>
constexpr Row2Function row2_for() {
    return present_row2<(Directions & 4) != 0, (Directions & 2) != 0, (Directions & 1) != 0>;
}

constexpr Row2Function row2_by_direction[8] = {row2_for<0>(), row2_for<1>(), row2_for<2>(), row2_for<3>(),
                                               row2_for<4>(), row2_for<5>(), row2_for<6>(), row2_for<7>()};

void present_bpp2(const PixelLayout& target, const int32_t* buffer) {
#if RINGFIELD_WIDE_VECTORS
    if (wide_vectors_used()) {
        present_mapped(target, buffer, wide_rows_by_direction<2>);
        return;
    }
#endif
    if constexpr (!little_endian) {
        present_words<uint16_t>(target, buffer);
    } else {
        const HalfMap red = half_map(0, target.red_loss, target.red_shift);
        const HalfMap green = half_map(8, target.green_loss, target.green_shift);
        const HalfMap blue = half_map(0, target.blue_loss, target.blue_shift);
        const Row2Function row2 = row2_by_direction[(red.up ? 4 : 0) | (green.up ? 2 : 0) | (blue.up ? 1 : 0)];
        const auto opaque = static_cast<uint16_t>(target.opaque);
        const auto black = static_cast<uint16_t>(target.black);
        for (int32_t y = 0; y < screen_height; ++y) {
            auto* out = reinterpret_cast<uint16_t*>(row_start(target, y));
            row2(red, green, blue, opaque, black, out, buffer + row_offset[y]);
        }
    }
}

}  // namespace

void present_surface(const PixelLayout& target, const int32_t* buffer) {
    switch (target.bytes_per_pixel) {
    case 1:
        if constexpr (little_endian) present_mapped(target, buffer, rows_for_size<1>());
        else
            present_words<uint8_t>(target, buffer);
        break;
    case 2: present_bpp2(target, buffer); break;
    case 3: present_mapped(target, buffer, rows_for_size<3>()); break;
    case 4: present_bpp4(target, buffer); break;
    default: break;  // unknown depth: nothing converts
    }
}
