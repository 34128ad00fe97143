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
// The frame state's invariants that --check verifies after every frame:
// angles within a turn, a known scene, buffer words of 24 bits. False with
// `why` naming the first broken one.
bool state_sound(int64_t frame, Message& why);
// Writes the run's inputs to standard output as a script and runs no frame;
// returns the exit status.
int print_inputs();
