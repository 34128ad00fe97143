// Helpers shared by the tests: buffers of random pixel words.
#include "tests/support.h"

#include <algorithm>

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
