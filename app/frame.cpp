#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "app/app.h"
#include "present/present.h"
#include "raster/raster.h"
#include "rings/rings.h"
#include "transform/transform.h"

SDL_Surface* video_surface;
int bytes_per_pixel;
int32_t scene_mode;
const int32_t last_scene = 2;
int32_t mouse_x;
int32_t mouse_y;
int32_t spin_x;
int32_t spin_y;
int32_t angle_x;
int32_t angle_y;
int32_t angle_z;

namespace {

// The non-negative remainder: one correction suffices for pointers inside
// the mode, but a motion event may carry any 16-bit position.
int32_t wrap_angle(int32_t angle) {
    const int32_t r = angle % turn_steps;
    return r < 0 ? r + turn_steps : r;
}

void fade_and_animate() {
    switch (scene_mode) {
    case 0:
        accum_fade(accum_buffer, 4);
        animate_scene_0();
        break;
    case 1:
        accum_fade(accum_buffer, 4);
        animate_scene_1();
        break;
    default:
        accum_fade(accum_buffer, 2);
        animate_scene_2();
        break;
    }
}

}  // namespace

bool start_video() {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "ringfield: cannot initialise SDL video: %s\n", SDL_GetError());
        return false;
    }
    std::atexit(SDL_Quit);
    video_surface = SDL_SetVideoMode(640, 480, 16, SDL_FULLSCREEN);
    if (video_surface == nullptr) {
        std::fprintf(stderr, "ringfield: cannot set 640x480 video mode: %s\n", SDL_GetError());
        return false;
    }
    bytes_per_pixel = video_surface->format->BytesPerPixel;
    SDL_ShowCursor(SDL_DISABLE);
    return true;
}

void start_tables() {
    fill_row_offset();
    pool_fill();  // the run's first calls of rand
    accum_clear(accum_buffer);
    build_trig_tables();
    setup_scene_0();
    scene_mode = 0;
}

void steer_from_mouse(int32_t x, int32_t y) {
    mouse_x = x;
    mouse_y = y;
    accum_plot(accum_buffer, mouse_x, mouse_y, 255, 255, 255);
    spin_x = (mouse_x - 320) / 2;
    spin_y = (mouse_y - 240) / 2;
}

void advance_angles() {
    angle_x = wrap_angle(angle_x + spin_y / 4);
    angle_y = wrap_angle(angle_y + (spin_x - spin_y) / 4);
    angle_z = wrap_angle(angle_z + spin_x / 4);
}

void next_scene() {
    scene_mode += 1;
    if (scene_mode > last_scene) scene_mode = 0;
    switch (scene_mode) {
    case 0: setup_scene_0(); break;
    case 1: setup_scene_1(); break;
    default: setup_scene_2(); break;
    }
}

void draw_rings() {
    for (int32_t r = 0; r < ring_count; ++r) {
        const int32_t b = r * ring_points;
        // 38 segments along points 0..38, then the closing one from 0 to 38;
        // point 39 is joined to nothing.
        for (int32_t k = 0; k <= ring_points - 2; ++k) {
            const int32_t from = k < ring_points - 2 ? b + k : b;
            const int32_t to = k < ring_points - 2 ? b + k + 1 : b + ring_points - 2;
            if (clip_segment(screen_x[from], screen_y[from], screen_x[to], screen_y[to],
                             0, screen_width - 1, 0, screen_height - 1)) {
                draw_line_add(accum_buffer, clip_x0, clip_y0, clip_x1, clip_y1,
                              ring_red[r], ring_green[r], ring_blue[r]);
            }
        }
    }
}

bool run_frame() {
    SDL_Event event;
    if (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_QUIT:
        case SDL_KEYDOWN:
            return false;
        case SDL_MOUSEBUTTONDOWN:
            next_scene();
            break;
        case SDL_MOUSEMOTION:
            steer_from_mouse(event.motion.x, event.motion.y);
            break;
        default:
            break;
        }
    }
    // A surface that cannot be locked must not be written: skip the frame.
    if (SDL_LockSurface(video_surface) != 0) return true;
    SDL_Rect whole{0, 0, 640, 480};
    SDL_FillRect(video_surface, &whole, SDL_MapRGB(video_surface->format, 0, 0, 0));
    advance_angles();
    fade_and_animate();
    update_view();
    project_points(0, point_count);
    draw_rings();
    present_surface(video_surface, accum_buffer, bytes_per_pixel);
    SDL_UnlockSurface(video_surface);
    SDL_UpdateRect(video_surface, 0, 0, 0, 0);
    return true;
}

int run_program() {
    if (!start_video()) return 1;
    start_tables();
    while (run_frame()) {
    }
    return 0;
}
