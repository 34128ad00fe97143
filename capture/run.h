// A capture: the outputs checked and opened before anything is written,
// then the core's start-up and frames on a picture in memory, and each
// chosen frame saved, hashed or compared.
#pragma once

#include <cstdint>

#include "capture/files.h"

// One line on standard error, after the tool's name.
void say(const char* form, ...) __attribute__((format(printf, 1, 2)));

// Reads the references, checks that the clip can be written, opens the hash
// list and makes the output folder, in that order, so that a refusal comes
// before anything is written. False with `problem` set.
bool prepare_capture();
// Runs the capture once prepared. Returns the exit status: 0 done, 1 a frame
// differs from its reference, could not be written or broke an invariant,
// or the clip could not be encoded.
int run_capture();
// What --check verifies after every frame: the angles within a turn, a
// scene that exists and buffer words of 24 bits. False with `why` set.
bool state_sound(int64_t frame, Message& why);
// The check that --check runs: state_sound. Tests put one of their own in its
// place to see how a run ends when a frame breaks it.
extern bool (*frame_check)(int64_t frame, Message& why);

// Writes the run's inputs to standard output as a script and runs no frame;
// returns the exit status.
int print_inputs();
