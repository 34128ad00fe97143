// Start-up, the frame loop and the mouse-driven turning; the sine and
// cosine tables built at start-up.
#pragma once

#include <cstdint>

struct SDL_Surface;

// Angles are table indices: 4096 turn steps or 40 ring steps to a full turn.
constexpr int32_t turn_steps = 4096;
constexpr int32_t ring_steps = 40;

extern float turn_sin[turn_steps];
extern float turn_cos[turn_steps];
extern float ring_sin[ring_steps];
extern float ring_cos[ring_steps];

void build_trig_tables();

extern SDL_Surface* video_surface;
extern int bytes_per_pixel;
extern int32_t scene_mode;
extern const int32_t last_scene;
extern int32_t mouse_x;
extern int32_t mouse_y;
extern int32_t spin_x;
extern int32_t spin_y;
extern int32_t angle_x;
extern int32_t angle_y;
extern int32_t angle_z;

// Initialises SDL video and sets the full-screen mode. On failure prints one
// line on standard error and returns false.
bool start_video();

// The tables and the first scene, once the surface is set.
void start_tables();

// Records the pointer, plots a white point under it and sets the spins.
void steer_from_mouse(int32_t x, int32_t y);

// Turns the three angles by the spins and wraps them into 0..4095.
void advance_angles();

// Moves on to the next scene and lays it out.
void next_scene();

// Clips and draws the outline of every ring into the accumulation buffer.
void draw_rings();

// One pass of the frame loop. Returns false when a key press or quit request
// ends the program.
bool run_frame();

// The whole program: start-up and the frame loop. Returns the exit status.
int run_program();
