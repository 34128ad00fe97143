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

constexpr size_t max_fuzz_frames = 64;
constexpr int32_t pitch = screen_width * 4;
uint8_t picture[pitch * screen_height];

// 3-3-2, 5-6-5, 8-8-8 and x-8-8-8, red on top; byte 0's high bit swaps red
// and blue.
PixelLayout layout_for(uint8_t choice) {
    PixelLayout layout{};
    layout.pixels = picture;
    layout.bytes_per_pixel = choice % 4 + 1;
    layout.pitch = (screen_width * layout.bytes_per_pixel + 3) / 4 * 4;
    const uint8_t loss[4][3] = {{5, 5, 6}, {3, 2, 3}, {0, 0, 0}, {0, 0, 0}};
    const uint8_t shift[4][3] = {{5, 2, 0}, {11, 5, 0}, {16, 8, 0}, {16, 8, 0}};
    const int32_t d = layout.bytes_per_pixel - 1;
    const bool swapped = choice >= 128;
    layout.red_loss = loss[d][swapped ? 2 : 0];
    layout.red_shift = shift[d][swapped ? 2 : 0];
    layout.green_loss = loss[d][1];
    layout.green_shift = shift[d][1];
    layout.blue_loss = loss[d][swapped ? 0 : 2];
    layout.blue_shift = shift[d][swapped ? 0 : 2];
    return layout;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const PixelLayout target = layout_for(data[0]);
    const size_t frames = std::min((size - 1) / 5, max_fuzz_frames);
    start_core();
    for (size_t f = 0; f < frames; ++f) {
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
