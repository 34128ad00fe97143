// A capture: the outputs checked and opened before anything is written,
// then the core's start-up and frames on a picture in memory, and each
// chosen frame saved, hashed or compared.
#pragma once

#include <cstddef>
#include <cstdint>

#include "capture/files.h"
#include "capture/options.h"
#include "frame/frame.h"

// One line on standard error, after the tool's name.
void say(const char* form, ...) __attribute__((format(printf, 1, 2)));

// Reads the references, checks that the clip can be written, opens the hash
// list and makes the output folder, in that order, so that a refusal comes
// before anything is written. False with `problem` set.
bool prepare_capture(const CaptureSettings& settings, Text& problem);
// Runs the capture once prepared. Returns the exit status: 0 done, 1 a frame
// differs from its reference, could not be written or broke an invariant,
// or the clip could not be encoded.
int run_capture(const CaptureSettings& settings);
// The most bytes of hashes.txt read.
constexpr size_t max_hash_list_bytes = size_t{16} << 20;
// Parses a hash list of `size` bytes (no zero byte needed at the end) for --expect: lines of
// "frame-NNNNNN HASH", '#' comments and blank lines. False with `problem` set to "NAME:LINE: cause".
bool parse_hash_list(const char* text, size_t size, const char* name, Text& problem);
// The hash listed for `frame` by the last parse_hash_list, its first line for that frame; false if none.
bool listed_hash(int64_t frame, uint64_t& hash);
// What --check verifies after every frame: the angles within a turn, a
// scene that exists and buffer words of 24 bits. False with `why` set.
bool state_sound(int64_t frame, Text& why);
// The in-memory picture's layout for the settings' depth and channel order,
// its pixels not yet set. Rows are padded to whole 32-bit words.
PixelLayout capture_layout(const CaptureSettings& settings);
// The check that --check runs: state_sound. Tests put one of their own in its
// place to see how a run ends when a frame breaks it.
extern bool (*frame_check)(int64_t frame, Text& why);

// Writes the run's inputs to standard output as a script and runs no frame;
// returns the exit status.
int print_inputs(const CaptureSettings& settings);
