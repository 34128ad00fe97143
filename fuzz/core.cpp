// The core on a sequence of inputs from the bytes: five a frame, the kind
// and the pointer's x and y (0..65535, off the screen too), up to 64 frames
// from a fresh start, each drawn and converted at the depth the first byte
// picks. After every frame the state must hold what --check verifies.
#include <algorithm>

#include "capture/files.h"
#include "capture/run.h"
#include "frame/frame.h"
#include "fuzz/fuzz.h"

namespace {

uint8_t picture[screen_width * 4 * screen_height];

// 3-3-2, 5-6-5, 8-8-8 and x-8-8-8, red on top; byte 0's high bit swaps red
// and blue.
PixelLayout layout_for(uint8_t choice) {
    // Loss and shift of the top channel, of green and of the bottom one.
    constexpr uint8_t fields[4][6] = {
        {5, 5, 5, 2, 6, 0}, {3, 11, 2, 5, 3, 0}, {0, 16, 0, 8, 0, 0}, {0, 16, 0, 8, 0, 0}};
    const int32_t bytes = choice % 4 + 1;
    const uint8_t* f = fields[bytes - 1];
    const int red = choice >= 128 ? 4 : 0;
    const int blue = 4 - red;
    return {picture, (screen_width * bytes + 3) / 4 * 4, bytes, f[red], f[2], f[blue], f[red + 1], f[3], f[blue + 1], 0,
            0};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const PixelLayout target = layout_for(data[0]);
    start_core();
    for (size_t f = 0; f < std::min<size_t>((size - 1) / 5, 64); ++f) {
        const uint8_t* at = data + 1 + 5 * f;
        const Input input{static_cast<InputKind>(at[0] % 5), static_cast<uint16_t>(at[1] | at[2] << 8),
                          static_cast<uint16_t>(at[3] | at[4] << 8)};
        if (!frame_input(input)) break;
        frame_render();
        frame_present(target);
        Text why;
        FUZZ_ASSERT(state_sound(static_cast<int64_t>(f), why), "%s", why.text);
    }
    return 0;
}
