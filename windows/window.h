// The Windows program: a borderless window over the primary monitor, its
// messages and its picture around the core's frame.
#pragma once

#include <windows.h>

// Registers the window class, creates the window over the whole primary
// monitor and the 640 x 480 picture it shows. On failure, shows what failed
// in a message box titled ringfield and returns false.
bool start_window(HINSTANCE instance);

// One frame: handles every waiting window message, takes at most one input,
// runs the core's frame into the picture and shows it. Returns false when a
// key press or a close request ends the program.
bool run_frame();

// The whole program: start-up and the frame loop. Returns the exit status.
int run_program(HINSTANCE instance);
