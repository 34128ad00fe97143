// Helpers shared by the tests: buffers of random pixel words, pictures compared.
#include "tests/support.h"

#include <algorithm>
#include <cstring>
#include <iomanip>
#include <sstream>

std::vector<int32_t> random_buffer(uint32_t& seed) {
    std::vector<int32_t> words(640 * 480);
    for (size_t i = 0; i < words.size();) {
        const uint32_t kind = next_random(seed) % 3, run = 1 + next_random(seed) % 1280;  // black, lit, mixed
        for (size_t end = std::min(words.size(), i + run); i < end; ++i) {
            const uint32_t r = next_random(seed);
            const bool lit = kind == 1 || (kind == 2 && r >> 31);
            words[i] = !lit ? 0 : static_cast<int32_t>(r % 4096 ? r & 0xFFFFFF : r ^ 0x81000000);
        }
    }
    return words;
}

testing::AssertionResult same_pixels(const void* got, const void* want, int stride, int height, int bytes) {
    const auto* a = static_cast<const uint8_t*>(got);
    const auto* b = static_cast<const uint8_t*>(want);
    int count = 0, first = 0, first_x = 0, first_y = 0, x0 = stride, y0 = height, x1 = -1, y1 = -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x * bytes < stride; ++x) {  // a row's last pixel may be partial
            const int at = y * stride + x * bytes, length = std::min(bytes, stride - x * bytes);
            if (std::memcmp(a + at, b + at, length) == 0) continue;
            if (count++ == 0) first = at, first_x = x, first_y = y;
            x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
        }
    }
    if (count == 0) return testing::AssertionSuccess();
    const auto value = [&](const uint8_t* p) {  // low byte first
        uint64_t v = 0;
        for (int k = std::min(bytes, stride - first_x * bytes) - 1; k >= 0; --k) v = v << 8 | p[first + k];
        return v;
    };
    const int digits = 2 * std::min(bytes, stride - first_x * bytes);
    std::ostringstream text;  // AssertionResult would take each piece, and each manipulator, on its own
    text << count << " pixels differ; the first at x " << first_x << ", y " << first_y << ": 0x" << std::hex
         << std::setfill('0') << std::setw(digits) << value(a) << ", want 0x" << std::setw(digits) << value(b)
         << std::dec << "; all within x " << x0 << ".." << x1 << ", y " << y0 << ".." << y1;
    return testing::AssertionFailure() << text.str();
}

testing::AssertionResult same_pixels(const std::vector<int32_t>& got, const std::vector<int32_t>& want) {
    if (got.size() != want.size()) return testing::AssertionFailure() << got.size() << " words, want " << want.size();
    return same_pixels(got.data(), want.data(), 640 * 4, static_cast<int>(got.size() / 640), 4);
}

uint32_t map_channels(int32_t word, const int loss[3], const int shift[3]) {
    uint32_t v = 0;
    for (int c = 0; c < 3; ++c) {
        const uint32_t byte = static_cast<uint32_t>(word) >> (16 - 8 * c) & 0xFF;
        v += loss[c] > 7 ? 0 : byte >> loss[c] << shift[c];
    }
    return v;
}
