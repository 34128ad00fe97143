// The capture tool's options: what to run, what to save and where. Every
// check happens while parsing, before anything is written.
#pragma once

#include <cstdint>

#include "capture/files.h"

constexpr int32_t max_save_ranges = 64;
constexpr int64_t max_frames = 100000000;
// The most frames a hash list may hold: as many as --expect reads back.
constexpr int32_t max_hash_list = 100000;

struct CaptureSettings {
    int64_t frames;
    int32_t depth;       // bytes per pixel, 1..4
    bool reversed;       // channel order b, g, r from the top bits down
    const char* script;  // null: the built-in tour
    bool random_events;  // inputs from a seeded generator instead of a script
    uint32_t seed;
    bool check;           // verify the frame state's invariants after every frame
    bool print_inputs;    // list the inputs instead of running the frames
    bool narrow_vectors;  // the 16-byte vector code even where 32-byte copies would run
    const char* out_dir;
    const char* expect_dir;  // compare saved frames with the references kept here
    const char* hash_list;   // write the saved frames' pixel hashes here
    int32_t save_count;      // ranges of frames to save, inclusive
    int64_t save_first[max_save_ranges];
    int64_t save_last[max_save_ranges];
    int64_t save_step[max_save_ranges];  // every step-th frame from the first
    const char* video;                   // the clip every frame goes into, or null
    int32_t fps;                         // the clip's frames per second
    int32_t jobs;                        // threads encoding and reading PNG files
};

// Returns 0 when all is well, 1 after --help (usage printed), 2 with
// `problem` set. Nothing is written to disk.
int parse_options(int argc, char** argv, CaptureSettings& settings, Text& problem);

// A plain decimal number within 0..limit; no sign, no spaces.
bool parse_number(const char* text, int64_t length, int64_t limit, int64_t* value);

// Whether --save asks for `frame`, to be saved once it is run.
bool frame_to_save(const CaptureSettings& settings, int64_t frame);
