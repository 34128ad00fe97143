// The accumulation buffer and its pixel operations: clear, fade, plot and
// the saturating add.
#include "raster/raster_internal.h"
#include "raster/vectors.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#elif defined(__wasm_simd128__)
#include <wasm_simd128.h>
#endif

#if RINGFIELD_WIDE_VECTORS
// The 32-byte helpers are only ever inlined into the AVX2 copy, so the ABI
// for passing their vectors without AVX, which the compiler warns about, is
// never used.
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

alignas(64) int32_t accum_buffer[screen_pixels];
int32_t row_offset[screen_height];

namespace {

int32_t channel(int32_t word, int shift) { return (word >> shift) & 0xFF; }

int32_t compose(int32_t red, int32_t green, int32_t blue) { return (red << 16) | (green << 8) | blue; }

// max(v - a, 0) byte by byte: one instruction where the target has one
// (SSE2, AVX2, WebAssembly); the compiler does not find it in the generic
// form, a min and a subtract.
template <typename Bytes>
inline Bytes subtract_saturating(const Bytes& v, const Bytes& a) {
#if defined(__SSE2__)
    if constexpr (sizeof v == 16) return reinterpret_cast<Bytes>(_mm_subs_epu8(__m128i(v), __m128i(a)));
#elif defined(__wasm_simd128__)
    if constexpr (sizeof v == 16) return reinterpret_cast<Bytes>(wasm_u8x16_sub_sat(v128_t(v), v128_t(a)));
#endif
    return v - (v < a ? v : a);
}

#if RINGFIELD_WIDE_VECTORS
// The AVX2 one; only ever inlined into the AVX2 copy of the fade.
__attribute__((target("avx2"))) inline Vectors<32>::Bytes subtract_saturating(const Vectors<32>::Bytes& v,
                                                                              const Vectors<32>::Bytes& a) {
    return reinterpret_cast<Vectors<32>::Bytes>(_mm256_subs_epu8(__m256i(v), __m256i(a)));
}
#endif

// Width bytes, byte by byte. With d the channel's excess over amount + 1
// (saturating at 0), the faded channel is d + min(d, 1): c - amount above the
// threshold, 0 at or below it. The top byte of each word gets a threshold no
// byte exceeds, so it is cleared as composing the channels would; a black
// word fades to black anyway. No byte of the result exceeds the byte it came
// from, so a byte-wise max with the negative words (all else masked to 0)
// puts those back unchanged, without a branch.
template <int Width>
inline void fade_vector(unsigned char* at, const typename Vectors<Width>::Bytes& above,
                        const typename Vectors<Width>::Bytes& one) {
    using Bytes = typename Vectors<Width>::Bytes;
    using Signed = typename Vectors<Width>::Signed;
    Bytes v;
    std::memcpy(&v, at, sizeof v);
    const auto negative = reinterpret_cast<Bytes>(reinterpret_cast<Signed>(v) >> 31);
    const Bytes d = subtract_saturating(v, above);
    Bytes faded = d + (d < one ? d : one);
    const Bytes kept = v & negative;
    faded = faded > kept ? faded : kept;
    std::memcpy(at, &faded, sizeof faded);
}

// The whole buffer, two vectors a step. Little-endian byte order only;
// `amount` within 0..253, so that amount + 1 is still a byte.
template <int Width>
void fade_bytes(int32_t* buffer, int32_t amount) {
    typename Vectors<Width>::Bytes above;
    typename Vectors<Width>::Bytes one;
    for (int k = 0; k < Width; ++k) {
        above[k] = static_cast<uint8_t>(k % 4 == 3 ? 255 : amount + 1);
        one[k] = 1;
    }
    auto* bytes = reinterpret_cast<unsigned char*>(buffer);
    static_assert(4 * screen_pixels % (2 * Width) == 0);
    for (int32_t i = 0; i < 4 * screen_pixels; i += 2 * Width) {
        fade_vector<Width>(bytes + i, above, one);
        fade_vector<Width>(bytes + i + Width, above, one);
    }
}

#if RINGFIELD_WIDE_VECTORS
RINGFIELD_WIDE void fade_bytes_wide(int32_t* buffer, int32_t amount) { fade_bytes<32>(buffer, amount); }
#endif

}  // namespace

bool wide_vectors_supported() {
#if RINGFIELD_WIDE_VECTORS
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

bool wide_vectors = wide_vectors_supported();

bool wide_vectors_used() { return wide_vectors; }

void use_wide_vectors(bool wide) { wide_vectors = wide && wide_vectors_supported(); }

void fill_row_offset() {
    for (int32_t y = 0; y < screen_height; ++y) row_offset[y] = y * screen_width;
}

void accum_clear(int32_t* buffer) {
    for (int32_t i = 0; i < screen_pixels; ++i) buffer[i] = 0;
}

void accum_fade(int32_t* buffer, int32_t amount) {
    if (std::endian::native == std::endian::little && amount >= 0 && amount <= 253) {
#if RINGFIELD_WIDE_VECTORS
        if (wide_vectors) {
            fade_bytes_wide(buffer, amount);
            return;
        }
#endif
        fade_bytes<16>(buffer, amount);
        return;
    }
    // A channel at or below amount + 1 goes straight to black, so every
    // surviving channel stays at 2 or more.
    const int32_t threshold = amount + 1;
    for (int32_t i = 0; i < screen_pixels; ++i) {
        const int32_t word = buffer[i];
        if (word <= 0) continue;
        int32_t red = channel(word, 16);
        int32_t green = channel(word, 8);
        int32_t blue = channel(word, 0);
        red = red > threshold ? red - amount : 0;
        green = green > threshold ? green - amount : 0;
        blue = blue > threshold ? blue - amount : 0;
        buffer[i] = compose(red, green, blue);
    }
}

void accum_plot(int32_t* buffer, int32_t x, int32_t y, int32_t red, int32_t green, int32_t blue) {
    // Column 0 and row 0 are never plotted.
    if (x >= screen_width || x <= 0 || y >= screen_height || y <= 0) return;
    buffer[y * screen_width + x] = compose(red, green, blue);
}

void accum_add_pixel(int32_t* buffer, int32_t index, int32_t red, int32_t green, int32_t blue) {
    const int32_t word = buffer[index];
    int32_t r = channel(word, 16) + red;
    int32_t g = channel(word, 8) + green;
    int32_t b = channel(word, 0) + blue;
    if (r > 255) r = 255;
    if (g > 255) g = 255;
    if (b > 255) b = 255;
    buffer[index] = compose(r, g, b);
}
