// The browser platform layer over the core: a bounded queue that the page's
// event handlers fill, one core frame per call, and the canvas's RGBA pixels.
// The page (web/shell.html) owns the canvas, the events and the frame pacing.
#include <emscripten/emscripten.h>

#include <cstdint>

#include "frame/frame.h"

namespace {

// Waiting inputs: like the desktop's event queue it holds 128, and an input
// that finds it full is dropped.
InputQueue queue;

// The run ended on a key or quit input; nothing runs until the next start.
bool ended;

// Canvas ImageData: bytes R, G, B, A in that order, which on little-endian
// WebAssembly is a word with red at bit 0 and alpha at bit 24. Every pixel,
// black ones too, carries a full alpha byte.
uint8_t canvas_pixels[screen_pixels * 4];
const PixelLayout canvas_layout = {canvas_pixels, screen_width * 4, 4, 0, 0, 0, 0, 8, 16, 0xFF000000u, 0xFF000000u};

// What the page's test hook reads, in this order (the page names the words
// alike): scene, mouse x, mouse y, spin x, spin y, angle x, angle y, angle z,
// inputs queued, and 1 once the run has ended.
int32_t state_words[10];

}  // namespace

extern "C" {

// Start-up, or a restart that gives the same frames as a fresh load.
EMSCRIPTEN_KEEPALIVE void web_start() {
    start_core();
    queue = InputQueue{};
    ended = false;
}

// Queues one input: kind 0 none (an event taken and ignored), 1 quit, 2 key,
// 3 button, 4 motion at x, y. Returns 1 when queued, 0 when the queue is
// full or the input is not one the core knows (a kind outside 0..4, or a
// position outside 0..65535); such inputs are dropped.
EMSCRIPTEN_KEEPALIVE int32_t web_push(int32_t kind, int32_t x, int32_t y) {
    if (kind < 0 || kind > static_cast<int32_t>(InputKind::motion)) return 0;
    if (x < 0 || x > 65535 || y < 0 || y > 65535) return 0;
    return queue_push(queue, {static_cast<InputKind>(kind), static_cast<uint16_t>(x), static_cast<uint16_t>(y)}) ? 1
                                                                                                                 : 0;
}

// One frame: takes at most one input, then renders and converts into the
// canvas pixels. Returns 0 when the run has ended (this frame's input was a
// key or quit, or it had ended before); the pixels then keep the last frame.
EMSCRIPTEN_KEEPALIVE int32_t web_frame() {
    if (ended) return 0;
    if (!frame_input(queue_take(queue))) {
        ended = true;
        return 0;
    }
    frame_render();
    frame_present(canvas_layout);
    return 1;
}

EMSCRIPTEN_KEEPALIVE uint8_t* web_pixels() { return canvas_pixels; }

EMSCRIPTEN_KEEPALIVE const int32_t* web_state() {
    const CoreState s = core_state();
    const int32_t words[10] = {s.scene,   s.mouse_x, s.mouse_y, s.spin_x,    s.spin_y,
                               s.angle_x, s.angle_y, s.angle_z, queue.count, ended ? 1 : 0};
    for (int32_t i = 0; i < 10; ++i) state_words[i] = words[i];
    return state_words;
}

}  // extern "C"
