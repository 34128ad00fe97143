// Saved frames in flight: a ring of slots that the main thread fills in frame
// order, worker threads encode or compare in any order, and the main thread
// takes back, to write, in the order it filled them. Only the main thread
// calls these; the core never sees a worker.
#pragma once

#include <cstddef>
#include <cstdint>

#include "capture/files.h"

constexpr int32_t max_jobs = 64;

// One saved frame: the picture and its hash, set by the main thread, and
// what a worker made of it.
struct Slot {
    int64_t frame;
    uint64_t hash;
    uint8_t* rgb;         // the picture, rgb_size bytes
    uint8_t* encoded;     // its PNG, png_capacity bytes; null when no frame file is written
    size_t encoded_size;  // 0 when the encoding failed, `why` saying why
    uint8_t* reference;   // rgb_size bytes when comparing: the kept picture read back, then the diff over it
    Text reference_path;  // where the kept picture is, when comparing; empty when the path is too long
    bool reference_kept;  // the reference picture was there and could be read
    Text unreadable;      // why a reference picture that is there could not be read, or empty
    int32_t differing;    // pixels differing from it
    Text why;
};

// Allocates two slots a worker, with the buffers asked for, and starts `jobs`
// (1..max_jobs) workers running `work` on each slot handed over. False with
// `why` set, and nothing left running, when a thread cannot be started.
bool jobs_start(int32_t jobs, bool encoding, bool comparing, void (*work)(Slot&), Text& why);
int32_t jobs_slots();
// Slots handed over and not yet released.
int32_t jobs_in_flight();
// The slot for the next frame; only while fewer than jobs_slots() are in flight.
Slot& jobs_next();
// Hands jobs_next() to the workers.
void jobs_hand();
// The slot handed over first among those in flight once its work is done,
// waiting for it when `wait` is set; null when none is in flight, or when it
// is not done and `wait` is not set.
Slot* jobs_oldest(bool wait);
// Releases the oldest slot, its frame written.
void jobs_release();
// Stops the workers once they finish what they are working on, drops the
// frames not started and frees the slots.
void jobs_stop();
