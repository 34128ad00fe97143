// The desktop program: an SDL 1.2 full-screen mode, its events and its
// surface around the core's frame.
#pragma once

// Initialises SDL video and sets the full-screen mode, the cursor hidden. On
// failure, or when SDL found no display and fell back to a driver that shows
// nothing, prints one line on standard error and returns false.
bool start_video();

// One frame: takes at most one event, locks the surface, runs the core's
// frame and conversion into it, unlocks and updates the screen. Returns false
// when a key press or quit request ends the program.
bool run_frame();

// The whole program: start-up and the frame loop. Returns the exit status.
int run_program();
