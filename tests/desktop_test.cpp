// The desktop layer: SDL events as inputs, the surface's layout, and how the
// program fails when SDL cannot give it a screen.
#include <gtest/gtest.h>

#include <SDL.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/desktop_internal.h"
#include "frame/frame_internal.h"
#include "raster/raster.h"
#include "tests/support.h"

// Stand in for SDL's mode setting, driver name and surface calls, so that a test can make them fail and see
// in what order the surface was worked on; otherwise they pass the call on.
bool fail_lock, fail_mode, key_after_mode;  // the last: a key press waits as the mode comes up
const char* reported_driver;                // the video driver's name as SDL reports it, when set
// The surface calls of a frame: 'L'ock, 'U'nlock, up'D'ate of the whole screen, each after a '+' when the
// pixels changed since the call before.
std::string surface_calls;
uint64_t last_sum;
// SDL's own function that a stand-in hides.
#define REAL(f) reinterpret_cast<decltype(&(f))>(dlsym(RTLD_NEXT, #f))
uint64_t pixel_sum(SDL_Surface* s) {
    const auto* p = static_cast<const uint8_t*>(s->pixels);
    uint64_t sum = 0;
    for (int i = 0; i < s->pitch * s->h; ++i) sum = sum * 31 + p[i];
    return sum;
}
void record(char call, SDL_Surface* surface) {
    const uint64_t sum = pixel_sum(surface);
    if (sum != last_sum) surface_calls += '+';
    surface_calls += call;
    last_sum = sum;
}
extern "C" SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
    SDL_Surface* s = fail_mode ? nullptr : REAL(SDL_SetVideoMode)(width, height, bpp, flags);
    if (fail_mode) SDL_SetError("no such mode");
    SDL_Event key{SDL_KEYDOWN};
    if (key_after_mode) SDL_PushEvent(&key);
    return s;
}
extern "C" char* SDL_VideoDriverName(char* namebuf, int maxlen) {
    if (!reported_driver) return REAL(SDL_VideoDriverName)(namebuf, maxlen);
    SDL_strlcpy(namebuf, reported_driver, maxlen);
    return namebuf;
}
extern "C" int SDL_LockSurface(SDL_Surface* surface) {
    record('L', surface);
    return fail_lock ? -1 : REAL(SDL_LockSurface)(surface);
}
extern "C" void SDL_UnlockSurface(SDL_Surface* surface) {
    record('U', surface);
    REAL(SDL_UnlockSurface)(surface);
}
extern "C" void SDL_UpdateRect(SDL_Surface* screen, Sint32 x, Sint32 y, Uint32 w, Uint32 h) {
    record(x == 0 && y == 0 && w == 0 && h == 0 ? 'D' : 'd', screen);
    REAL(SDL_UpdateRect)(screen, x, y, w, h);
}

// In the sanitizer build: SDL keeps allocations of its video start-up until the process ends; the program
// itself allocates nothing. Built in, as CTest hands discovered tests no environment list.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): the sanitizer's own hook name
extern "C" const char* __lsan_default_suppressions() { return "leak:libSDL2-2.0.so\nleak:libSDL-1.2.so\n"; }
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): the sanitizer's own hook name
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }

namespace {

// The mode is 640 x 480, full screen, with no cursor. A burst is worked off one event a frame: a move
// steers, a press of any button (the wheel's too) is the next scene, releases and other events change
// nothing, a key press or a quit ends the loop with nothing of its frame done. Each frame draws on a surface
// of its own, of every layout: locked, drawn into, unlocked, then shown whole (`calls`); every pixel written
// by the conversion itself, SDL's black where dark. A surface that cannot be locked is not written, unlocked
// or shown, and nothing of the frame but its event is done. A depth with no converter is filled black first.
TEST(Desktop, FramesTakeOneEventEachAndDrawTheLockedSurface) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_TRUE(start_video());
    start_core();
    for (SDL_Event e; SDL_PollEvent(&e);) continue;
    SDL_Surface* const screen = video_surface;
    EXPECT_EQ((std::vector<Uint32>{Uint32(screen->w), Uint32(screen->h), screen->flags & SDL_FULLSCREEN}),
              (std::vector<Uint32>{640, 480, SDL_FULLSCREEN}));
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    const struct {
        Uint8 type;
        int code, x, y, scene;  // the event; the pointer and the scene after it
        int bits;
        uint32_t red, green, blue, alpha;
        int pad, told;      // bytes after each row; the depth the program is told, if not the format's
        const char* calls;  // empty: the frame ends
    } rows[] = {
        // clang-format off
        {SDL_MOUSEMOTION, 0, 0, 0, 0, 8, 0xE0, 0x1C, 0x03, 0, 0, 0, "L+UD"},
        {SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 0, 0, 0, 8, 0, 0, 0, 0, 8, 0, "L+UD"},  // a palette
        {SDL_MOUSEMOTION, 0, 5, 5, 0, 16, 0xF800, 0x07E0, 0x001F, 0, 0, 0, "L"},  // the lock fails
        {SDL_KEYUP, SDLK_a, 5, 5, 0, 16, 0xF800, 0x07E0, 0x001F, 0, 0, 7, "+LUD"},
        {SDL_MOUSEMOTION, 0, 639, 479, 0, 16, 0x001F, 0x07E0, 0xF800, 0, 8, 0, "L+UD"},
        {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 639, 479, 1, 16, 0x7C00, 0x03E0, 0x1F, 0x8000, 0, 0, "L+UD"},
        {SDL_ACTIVEEVENT, 0, 639, 479, 1, 24, 0xFF0000, 0xFF00, 0xFF, 0, 8, 0, "L+UD"},
        {SDL_VIDEOEXPOSE, 0, 639, 479, 1, 24, 0xFF, 0xFF00, 0xFF0000, 0, 0, 0, "L+UD"},
        {SDL_KEYDOWN, SDLK_a, 639, 479, 1, 32, 0xFF0000, 0xFF00, 0xFF, 0, 0, 0, ""},
        {SDL_VIDEORESIZE, 0, 639, 479, 1, 32, 0xFF0000, 0xFF00, 0xFF, 0, 8, 0, "L+UD"},
        {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 639, 479, 2, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, 0, 0, "L+UD"},
        {SDL_KEYDOWN, SDLK_ESCAPE, 639, 479, 2, 16, 0xF800, 0x07E0, 0x001F, 0, 0, 0, ""},
        {SDL_JOYBUTTONDOWN, 0, 639, 479, 2, 8, 0xE0, 0x1C, 0x03, 0, 8, 0, "L+UD"},
        {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 639, 479, 0, 8, 0, 0, 0, 0, 0, 0, "L+UD"},
        {SDL_KEYDOWN, SDLK_LSHIFT, 639, 479, 0, 16, 0xF800, 0x07E0, 0x001F, 0, 0, 0, ""},
        {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_WHEELUP, 639, 479, 1, 16, 0xF800, 0x07E0, 0x001F, 0, 8, 0, "L+UD"},
        {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_WHEELDOWN, 639, 479, 2, 16, 0x001F, 0x07E0, 0xF800, 0, 0, 0, "L+UD"},
        {SDL_MOUSEMOTION, 0, 313, 479, 2, 16, 0x7C00, 0x03E0, 0x1F, 0x8000, 8, 0, "L+UD"},
        {SDL_QUIT, 0, 313, 479, 2, 24, 0xFF0000, 0xFF00, 0xFF, 0, 0, 0, ""},
        {SDL_USEREVENT, 0, 313, 479, 2, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, 8, 0, "L+UD"},
        // clang-format on
    };
    for (const auto& r : rows) {
        SDL_Event e{r.type};
        if (r.type == SDL_MOUSEMOTION) e.motion = {r.type, 0, 0, Uint16(r.x), Uint16(r.y), 0, 0};
        if (r.type == SDL_MOUSEBUTTONDOWN || r.type == SDL_MOUSEBUTTONUP) e.button.button = Uint8(r.code);
        if (r.type == SDL_KEYDOWN || r.type == SDL_KEYUP) e.key.keysym.sym = SDLKey(r.code);
        ASSERT_EQ(SDL_PushEvent(&e), 0);
    }
    uint32_t seed = 99;
    for (const auto& r : rows) {
        const int bytes = r.bits / 8, pitch = 640 * bytes + r.pad;
        SCOPED_TRACE(testing::Message() << "row " << &r - rows);
        std::vector<uint8_t> pixels(static_cast<size_t>(pitch) * 480);
        for (uint8_t& b : pixels) b = static_cast<uint8_t>(next_random(seed));
        std::vector<uint8_t> want = pixels;  // the padding keeps its noise
        SDL_Surface* surface =
            SDL_CreateRGBSurfaceFrom(pixels.data(), 640, 480, r.bits, pitch, r.red, r.green, r.blue, r.alpha);
        ASSERT_NE(surface, nullptr) << SDL_GetError();
        video_surface = surface;
        bytes_per_pixel = r.told ? r.told : bytes;
        fail_lock = std::strcmp(r.calls, "L") == 0;
        const std::vector<int32_t> angles{angle_x, angle_y, angle_z};
        surface_calls.clear();
        last_sum = pixel_sum(surface);
        EXPECT_EQ(run_frame(), r.calls[0] != 0);
        const bool drawn = surface_calls.find('D') != std::string::npos;
        EXPECT_EQ((std::vector{mouse_x, mouse_y, scene_mode}), (std::vector{r.x, r.y, r.scene}));
        EXPECT_EQ(surface_calls, r.calls);
        EXPECT_EQ(angles == (std::vector{angle_x, angle_y, angle_z}), !drawn)
            << "the rest of the frame done, or not done";
        const SDL_PixelFormat& p = *surface->format;
        const int loss[3] = {p.Rloss, p.Gloss, p.Bloss}, shift[3] = {p.Rshift, p.Gshift, p.Bshift};
        const uint32_t black = SDL_MapRGB(surface->format, 0, 0, 0);
        for (int32_t i = 0; i < screen_pixels && drawn; ++i) {
            const uint32_t v = accum_buffer[i] > 0 && !r.told ? map_channels(accum_buffer[i], loss, shift) : black;
            std::memcpy(&want[pitch * (i / 640) + bytes * (i % 640)], &v, bytes);  // low bytes first on this host
        }
        EXPECT_TRUE(same_pixels(pixels.data(), want.data(), pitch, 480, bytes));
        SDL_FreeSurface(surface);
    }
    SDL_Quit();
}

// The program as a user starts it, in a process of its own: a key ends it with status 0 and nothing
// printed; a failed start prints one line saying why and ends with status 1. With no display SDL falls back
// to a driver that shows nothing (the classic library to `dummy`); unless the user named it (empty names
// none) the program says so rather than run unseen. The alarm ends a program that wrongly runs on.
TEST(Desktop, StartsOrEndsWithOneLineAndStatus1) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // SDL has threads of its own: the child starts afresh
    const char* const no_display = "^ringfield: no display found; [^\n]*SDL_VIDEODRIVER[^\n]*\n$";
    const struct {
        const char *driver, *reported;  // SDL_VIDEODRIVER (null: unset), the name SDL reports (null: its own)
        bool mode_fails;
        int status;
        const char* output;
    } rows[] = {{"dummy", nullptr, false, 0, "^$"},
                {"no-such-video-driver", nullptr, false, 1, "^ringfield: cannot initialise SDL video: [^\n]*\n$"},
                {"dummy", nullptr, true, 1, "^ringfield: cannot set 640x480 video mode: no such mode\n$"},
                {nullptr, nullptr, false, 1, no_display},
                {"", nullptr, false, 1, no_display},
                {nullptr, "dummy", false, 1, no_display}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "row " << &row - rows);
        const auto start = [&row] {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            // As in a desktop session, so that the window system's client library finds nothing to say.
            setenv("XDG_RUNTIME_DIR", testing::TempDir().c_str(), 1);
            row.driver ? setenv("SDL_VIDEODRIVER", row.driver, 1) : unsetenv("SDL_VIDEODRIVER");
            reported_driver = row.reported;
            fail_mode = row.mode_fails;
            key_after_mode = row.status == 0;
            alarm(20);
            std::exit(run_program());
        };
        EXPECT_EXIT(start(), testing::ExitedWithCode(row.status), row.output);
    }
}

}  // namespace
