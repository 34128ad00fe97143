// The desktop platform layer over the core: SDL 1.2 video and events.
#include "app/desktop_internal.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "frame/frame.h"

SDL_Surface* video_surface;
int bytes_per_pixel;

namespace {

Input input_of(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT: return {InputKind::quit, 0, 0};
    case SDL_KEYDOWN: return {InputKind::key, 0, 0};
    case SDL_MOUSEBUTTONDOWN: return {InputKind::button, 0, 0};
    case SDL_MOUSEMOTION: return {InputKind::motion, event.motion.x, event.motion.y};
    default: return {InputKind::none, 0, 0};  // taken and ignored
    }
}

// The surface's layout as the core's converters need it. Black comes from
// SDL before the lock, so no library call falls between lock and unlock;
// the pixel address is filled in once the surface is locked.
PixelLayout surface_layout(SDL_Surface* surface) {
    const SDL_PixelFormat* f = surface->format;
    PixelLayout layout{};
    layout.pitch = surface->pitch;
    layout.bytes_per_pixel = bytes_per_pixel;
    layout.red_loss = f->Rloss;
    layout.green_loss = f->Gloss;
    layout.blue_loss = f->Bloss;
    layout.red_shift = f->Rshift;
    layout.green_shift = f->Gshift;
    layout.blue_shift = f->Bshift;
    layout.black = SDL_MapRGB(surface->format, 0, 0, 0);
    layout.opaque = 0;
    return layout;
}

// The maintained SDL 1.2 quietly falls back to a driver that draws into
// memory when it finds no display; the demo would then run unseen at full
// speed. Such a driver is used only when the user names it.
bool shows_nothing() {
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    if (chosen && chosen[0] != '\0') return false;
    char name[64] = "";
    SDL_VideoDriverName(name, sizeof name);
    return std::strcmp(name, "offscreen") == 0 || std::strcmp(name, "dummy") == 0;
}

}  // namespace

bool start_video() {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "ringfield: cannot initialise SDL video: %s\n", SDL_GetError());
        return false;
    }
    std::atexit(SDL_Quit);  // NOLINT(cert-err33-c): the program's one handler of the 32 guaranteed
    if (shows_nothing()) {
        std::fprintf(stderr,
                     "ringfield: no display found; run it on a graphical desktop (DISPLAY or "
                     "WAYLAND_DISPLAY set), or name a video driver in SDL_VIDEODRIVER\n");
        return false;
    }
    video_surface = SDL_SetVideoMode(screen_width, screen_height, 16, SDL_FULLSCREEN);
    if (video_surface == nullptr) {
        std::fprintf(stderr, "ringfield: cannot set %dx%d video mode: %s\n", screen_width, screen_height,
                     SDL_GetError());
        return false;
    }
    bytes_per_pixel = video_surface->format->BytesPerPixel;
    SDL_ShowCursor(SDL_DISABLE);
    return true;
}

bool run_frame() {
    SDL_Event event;
    const Input input = SDL_PollEvent(&event) ? input_of(event) : Input{InputKind::none, 0, 0};
    if (!frame_input(input)) return false;
    PixelLayout layout = surface_layout(video_surface);
    if (bytes_per_pixel < 1 || bytes_per_pixel > 4) {
        // No converter for this depth: the frame shows black.
        SDL_Rect whole{0, 0, screen_width, screen_height};
        SDL_FillRect(video_surface, &whole, layout.black);
    }
    // A surface that cannot be locked must not be written: skip the frame.
    if (SDL_LockSurface(video_surface) != 0) return true;
    layout.pixels = video_surface->pixels;
    frame_render();
    frame_present(layout);
    SDL_UnlockSurface(video_surface);
    SDL_UpdateRect(video_surface, 0, 0, 0, 0);
    return true;
}

int run_program() {
    if (!start_video()) return 1;
    start_core();
    while (run_frame()) {
    }
    return 0;
}
