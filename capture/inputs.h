// The inputs of a run: a script's, the built-in tour's or random pointer
// input from a seed. Each joins the core's input queue at its frame, and
// every frame takes one, as the desktop program takes one event a frame.
#pragma once

#include <cstdint>
#include <cstdio>

#include "capture/options.h"
#include "frame/frame.h"

constexpr int32_t max_script_events = 100000;
constexpr int32_t max_script_bytes = 4 << 20;

struct ScriptEvent {
    int64_t frame;  // the frame at which the input joins the queue
    Input input;
};

extern ScriptEvent script_events[max_script_events];
extern int32_t script_count;

// Parses a whole script text; false with `problem` set to "NAME:LINE: cause".
bool parse_script_text(const char* name, const char* text, Text& problem);
// Reads and parses the chosen script, or the tour; nothing for random input.
bool load_script(const CaptureSettings& settings, Text& problem);

// Back to before frame 0: the queue empty, the first input next, and the
// generator seeded when the settings ask for random input.
void inputs_restart(const CaptureSettings& settings);
// Queues the inputs due at `frame` and takes the one that frame acts on.
// With `listing`, each input that joins the queue is written to it as a
// script line, so that the list replayed as a script gives the same frames.
Input next_input(int64_t frame, std::FILE* listing);
