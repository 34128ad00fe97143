// The frame: start-up and the fixed order of work in every frame, as core
// operations that any platform drives with its own inputs and target.
#pragma once

#include <cstdint>

#include "present/present.h"
#include "screen/screen.h"

// One input a frame at most. A key press and a quit request both end the run;
// `none` stands for no input as well as for any event that is taken and
// ignored (a button release, say).
enum class InputKind : uint8_t { none, quit, key, button, motion };

struct Input {
    InputKind kind;
    uint16_t x;  // motion only: the pointer's position
    uint16_t y;
};

// Inputs waiting for their frames, oldest first, for platforms without an
// event queue of their own. It holds as many as the desktop's (SDL 1.2
// keeps 128); an input that finds it full is dropped, as SDL drops it.
constexpr int32_t input_queue_size = 128;

struct InputQueue {
    Input inputs[input_queue_size];
    int32_t head;   // the oldest input
    int32_t count;  // how many wait
};

// Returns false when the queue was full and the input dropped.
bool queue_push(InputQueue& queue, Input input);
// The oldest waiting input, or none when nothing waits.
Input queue_take(InputQueue& queue);

// Start-up, and a full reset: every table, the generator, the pool cursor,
// the pointer, spins, angles and scene are put back to their first state, the
// buffer cleared and scene 0 laid out, so a platform can start again at will.
void start_core();

// Acts on the frame's input. Returns false when it ends the run, before
// anything else of the frame is done.
bool frame_input(Input input);

// The rest of the frame: the angles advance, the buffer fades, the scene's
// animator moves the rings, the points are turned and projected and every
// ring is drawn into the buffer.
void frame_render();

// Converts the buffer into the target; every pixel of the screen's area is
// written.
void frame_present(const PixelLayout& target);

// The fade and the conversion in the 32-byte copies of their vector code
// where the processor has them (as from the start), or in the 16-byte code
// that other processors run, to check that code on this one too. The pixels
// are the same either way.
void core_use_wide_vectors(bool wide);

// What a platform may show or check of the core, read-only. Scenes run
// 0..last_scene, angles 0..angle_steps - 1 (turn steps).
constexpr int32_t scene_count = 3;
constexpr int32_t last_scene = scene_count - 1;
constexpr int32_t angle_steps = 4096;

struct CoreState {
    int32_t scene;
    int32_t mouse_x;
    int32_t mouse_y;
    int32_t spin_x;
    int32_t spin_y;
    int32_t angle_x;
    int32_t angle_y;
    int32_t angle_z;
};

CoreState core_state();
// The accumulation buffer: screen_pixels words 0x00RRGGBB, row by row.
const int32_t* core_buffer();
