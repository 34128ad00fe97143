// A child program fed through a pipe: ffmpeg, reading the frames of a clip.
// The operating system's side is spawn_posix.cpp; a port replaces it alone.
#pragma once

#include <cstddef>
#include <cstdio>

#include "capture/files.h"

struct Child {
    int id;               // the process, or -1 when none runs
    int input;            // our end of its standard input
    std::FILE* messages;  // its standard output and error, read back at the end
};

// Null where child programs can be started, otherwise why they cannot.
const char* child_unavailable();

// The first executable regular file of that name along PATH, as a shell
// would find it.
bool find_program(const char* name, Text& path);
// Starts `program` with the null-ended `argv`. A child that stops reading
// makes a later write fail (with EPIPE) instead of ending this program.
bool child_start(Child& child, const char* program, const char* const* argv, Text& why);
// Returns 0, or the system's error number when the data could not be written.
int child_write(Child& child, const void* data, size_t size);
// Closes its input and waits for it. True when it exited with status 0;
// otherwise `why` says how it ended, named `name`, with the last line it printed.
bool child_wait(Child& child, const char* name, Text& why);
