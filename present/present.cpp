#include "present/present.h"

#include "raster/raster.h"

#include <bit>
#include <cstring>

namespace {

// One channel of a format as a single shift and mask of the whole word:
// ((word >> 16) & 0xFF) >> Rloss << Rshift picks bits 16 + Rloss .. 23 of the
// word and moves them to Rshift, so it is the word shifted by the difference
// and masked with (0xFF >> Rloss) << Rshift. Bits above 23 fall outside the
// mask either way.
struct ChannelMap {
    uint32_t right;
    uint32_t left;
    uint32_t mask;
};

ChannelMap channel_map(int first_bit, int loss, int shift) {
    const int move = shift - (first_bit + loss);
    const uint32_t field = loss >= 8 ? 0u : (0xFFu >> loss);
    // A channel that contributes nothing, or a format too odd to shift in one
    // step, maps to zero as it would through the two shifts.
    if (field == 0 || shift < 0 || shift > 31 || move <= -32 || move >= 32) return {0, 0, 0};
    return {static_cast<uint32_t>(move < 0 ? -move : 0), static_cast<uint32_t>(move > 0 ? move : 0),
            field << shift};
}

struct WordMap {
    ChannelMap red;
    ChannelMap green;
    ChannelMap blue;
};

WordMap word_map(const SDL_PixelFormat* format) {
    return {channel_map(16, format->Rloss, format->Rshift),
            channel_map(8, format->Gloss, format->Gshift),
            channel_map(0, format->Bloss, format->Bshift)};
}

// The parts are added, not ORed, as map_pixel does: the same for any format
// whose fields do not overlap.
inline uint32_t apply(const WordMap& m, uint32_t word) {
    return (((word >> m.red.right) << m.red.left) & m.red.mask) +
           (((word >> m.green.right) << m.green.left) & m.green.mask) +
           (((word >> m.blue.right) << m.blue.left) & m.blue.mask);
}

// The converters below are written as a select per pixel rather than a skip,
// so that the compiler turns each row into straight vector code: an unlit
// word (0 or negative) writes back what the surface already held.

template <typename Pixel>
void present_row(WordMap m, Pixel* out, const int32_t* row) {
    for (int32_t x = 0; x < screen_width; ++x) {
        const int32_t word = row[x];
        const auto mapped = static_cast<Pixel>(apply(m, static_cast<uint32_t>(word)));
        out[x] = word > 0 ? mapped : out[x];
    }
}

// Four words at a time in the compiler's generic vector types: plain
// operators, lowered to SSE2 on x86-64 and to whatever the target has
// elsewhere. Loads and stores go through memcpy, so nothing needs alignment.
typedef uint32_t Words4 __attribute__((vector_size(16)));
typedef int32_t Signed4 __attribute__((vector_size(16)));
typedef uint16_t Halves8 __attribute__((vector_size(16)));
typedef int16_t SignedHalves8 __attribute__((vector_size(16)));

// One channel moved one way only (the other shift of a ChannelMap is 0).
template <bool Up>
inline Words4 apply4(ChannelMap c, Words4 w) {
    if constexpr (Up) return (w << c.left) & c.mask;
    else return (w >> c.right) & c.mask;
}

inline Words4 load4(const int32_t* from) {
    Words4 v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

inline Words4 lit4(Words4 w) {
    return reinterpret_cast<Words4>(reinterpret_cast<Signed4>(w) > 0);
}

template <bool RedUp, bool GreenUp, bool BlueUp>
void present_row4(WordMap m, uint32_t* out, const int32_t* row) {
    for (int32_t x = 0; x < screen_width; x += 4) {
        const Words4 w = load4(row + x);
        const Words4 lit = lit4(w);
        Words4 old;
        std::memcpy(&old, out + x, sizeof old);
        const Words4 mapped =
            apply4<RedUp>(m.red, w) + apply4<GreenUp>(m.green, w) + apply4<BlueUp>(m.blue, w);
        const Words4 v = (mapped & lit) | (old & ~lit);
        std::memcpy(out + x, &v, sizeof v);
    }
}

using Row4 = void (*)(WordMap, uint32_t*, const int32_t*);

template <int Directions>
constexpr Row4 row4_for() {
    return present_row4<(Directions & 4) != 0, (Directions & 2) != 0, (Directions & 1) != 0>;
}

constexpr Row4 row4_by_direction[8] = {row4_for<0>(), row4_for<1>(), row4_for<2>(), row4_for<3>(),
                                       row4_for<4>(), row4_for<5>(), row4_for<6>(), row4_for<7>()};

// Which way each channel moves: up when the right shift is 0.
int directions(const WordMap& m) {
    return (m.red.right == 0 ? 4 : 0) | (m.green.right == 0 ? 2 : 0) | (m.blue.right == 0 ? 1 : 0);
}

// The 2-byte converter works on eight pixels in 16-bit lanes: the low halves
// of the words hold green and blue, the high halves red (and the top byte),
// and only the low 16 bits of a mapped value are stored, which 16-bit sums
// give exactly. The channel maps are the word's, over one half; each moves
// its field one way only, so the direction is a template parameter and the
// other shift is not done at all.
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
    if constexpr (Up) return (h << m.count) & m.mask;
    else return (h >> m.count) & m.mask;
}

template <bool RedUp, bool GreenUp, bool BlueUp>
void present_row2(HalfMap red, HalfMap green, HalfMap blue, uint16_t* out, const int32_t* row) {
    const Halves8 zero = {};
    for (int32_t x = 0; x < screen_width; x += 8) {
        Halves8 a;
        Halves8 b;
        std::memcpy(&a, row + x, sizeof a);
        std::memcpy(&b, row + x + 4, sizeof b);
        // Little-endian: even lanes are the low halves. Three rounds of
        // interleaving sort the halves of eight words into pixel order, one
        // unpack instruction each on SSE2.
        const Halves8 p = __builtin_shufflevector(a, b, 0, 8, 1, 9, 2, 10, 3, 11);
        const Halves8 q = __builtin_shufflevector(a, b, 4, 12, 5, 13, 6, 14, 7, 15);
        const Halves8 r = __builtin_shufflevector(p, q, 0, 8, 1, 9, 2, 10, 3, 11);
        const Halves8 s = __builtin_shufflevector(p, q, 4, 12, 5, 13, 6, 14, 7, 15);
        const Halves8 low = __builtin_shufflevector(r, s, 0, 8, 1, 9, 2, 10, 3, 11);
        const Halves8 high = __builtin_shufflevector(r, s, 4, 12, 5, 13, 6, 14, 7, 15);
        // Unlit: negative or 0.
        const Halves8 unlit = reinterpret_cast<Halves8>(reinterpret_cast<SignedHalves8>(high) >> 15) |
                              reinterpret_cast<Halves8>((low | high) == zero);
        const Halves8 mapped = apply8<RedUp>(red, high) + apply8<GreenUp>(green, low) +
                               apply8<BlueUp>(blue, low);
        Halves8 old;
        std::memcpy(&old, out + x, sizeof old);
        const Halves8 v = mapped ^ ((mapped ^ old) & unlit);
        std::memcpy(out + x, &v, sizeof v);
    }
}

// By value: the maps are 16-bit like the pixels, so through a reference the
// compiler would have to reload them after every store.
using Row2 = void (*)(HalfMap, HalfMap, HalfMap, uint16_t*, const int32_t*);

template <int Directions>
constexpr Row2 row2_for() {
    return present_row2<(Directions & 4) != 0, (Directions & 2) != 0, (Directions & 1) != 0>;
}

constexpr Row2 row2_by_direction[8] = {row2_for<0>(), row2_for<1>(), row2_for<2>(), row2_for<3>(),
                                       row2_for<4>(), row2_for<5>(), row2_for<6>(), row2_for<7>()};

void present_rows2(SDL_Surface* surface, const int32_t* buffer) {
    const SDL_PixelFormat* f = surface->format;
    const HalfMap red = half_map(0, f->Rloss, f->Rshift);
    const HalfMap green = half_map(8, f->Gloss, f->Gshift);
    const HalfMap blue = half_map(0, f->Bloss, f->Bshift);
    const Row2 row2 = row2_by_direction[(red.up ? 4 : 0) | (green.up ? 2 : 0) | (blue.up ? 1 : 0)];
    auto* pixels = static_cast<uint16_t*>(surface->pixels);
    const int32_t stride = surface->pitch / 2;
    for (int32_t y = 0; y < screen_height; ++y) row2(red, green, blue, pixels + stride * y, buffer + row_offset[y]);
}

constexpr bool little_endian = std::endian::native == std::endian::little;

template <typename Pixel>
void present_words(SDL_Surface* surface, const int32_t* buffer) {
    const WordMap m = word_map(surface->format);
    auto* pixels = static_cast<Pixel*>(surface->pixels);
    const int32_t stride = surface->pitch / static_cast<int32_t>(sizeof(Pixel));
    for (int32_t y = 0; y < screen_height; ++y) {
        const int32_t* row = buffer + row_offset[y];
        Pixel* out = pixels + stride * y;
        present_row(m, out, row);
    }
}

}  // namespace

// A channel wider than 8 bits reports a "negative" loss (254 for 10 bits);
// shifting by that would be undefined, so such a channel, like one whose
// loss is 8, contributes nothing. For the usual formats this is exactly
// (channel >> loss) << shift per channel.
uint32_t map_pixel(const SDL_PixelFormat* format, int32_t word) {
    return apply(word_map(format), static_cast<uint32_t>(word));
}

void present_bpp1(SDL_Surface* surface, const int32_t* buffer) {
    present_words<uint8_t>(surface, buffer);
}

void present_bpp2(SDL_Surface* surface, const int32_t* buffer) {
    if constexpr (little_endian) present_rows2(surface, buffer);
    else present_words<uint16_t>(surface, buffer);
}

void present_bpp3(SDL_Surface* surface, const int32_t* buffer) {
    const WordMap m = word_map(surface->format);
    auto* pixels = static_cast<uint8_t*>(surface->pixels);
    for (int32_t y = 0; y < screen_height; ++y) {
        const int32_t* row = buffer + row_offset[y];
        uint8_t* out = pixels + surface->pitch * y;
        for (int32_t x = 0; x < screen_width; ++x) {
            const int32_t word = row[x];
            if (word <= 0) continue;
            const uint32_t value = apply(m, static_cast<uint32_t>(word));
            uint8_t* at = out + 3 * x;
            // Least significant byte first, whatever the host's byte order.
            at[0] = static_cast<uint8_t>(value);
            at[1] = static_cast<uint8_t>(value >> 8);
            at[2] = static_cast<uint8_t>(value >> 16);
        }
    }
}

void present_bpp4(SDL_Surface* surface, const int32_t* buffer) {
    const WordMap m = word_map(surface->format);
    const Row4 row4 = row4_by_direction[directions(m)];
    auto* pixels = static_cast<uint32_t*>(surface->pixels);
    const int32_t stride = surface->pitch / 4;
    for (int32_t y = 0; y < screen_height; ++y) row4(m, pixels + stride * y, buffer + row_offset[y]);
}

void present_surface(SDL_Surface* surface, const int32_t* buffer, int bytes_per_pixel) {
    switch (bytes_per_pixel) {
    case 1: present_bpp1(surface, buffer); break;
    case 2: present_bpp2(surface, buffer); break;
    case 3: present_bpp3(surface, buffer); break;
    case 4: present_bpp4(surface, buffer); break;
    default: break;  // unknown depth: the frame stays black
    }
}
