// The core on a sequence of inputs from the bytes: five a frame, the kind
// and the pointer's x and y (0..65535, off the screen too), up to 64 frames
// from a fresh start, each drawn and converted at the depth the first byte
// picks. After every frame the state must hold what --check verifies.
#include <algorithm>

#include "capture/files.h"
#include "capture/run.h"
#include "frame/frame.h"
#include "fuzz/fuzz.h"

static uint8_t picture[screen_width * 4 * screen_height];

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The tool's own picture for the depth that byte 0 picks; its high bit swaps red and blue.
    CaptureSettings settings;
    settings.depth = data[0] % 4 + 1;
    settings.reversed = data[0] >= 128;
    PixelLayout target = capture_layout(settings);
    target.pixels = picture;
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
