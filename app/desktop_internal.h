// The desktop layer's screen surface and its depth, for the tests, which
// swap in surfaces of other layouts.
#pragma once

#include "app/desktop.h"

struct SDL_Surface;

extern SDL_Surface* video_surface;
extern int bytes_per_pixel;
