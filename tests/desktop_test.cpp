// The desktop layer: SDL events as inputs, the surface's layout, and how the
// program fails when SDL cannot give it a screen.
#include <gtest/gtest.h>

#include <SDL.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/desktop_internal.h"
#include "frame/frame_internal.h"
#include "raster/raster.h"
#include "tests/support.h"

// Stand in for SDL's mode setting, driver name and surface calls, so that a test can make them fail and see
// what was asked for and in what order the surface was worked on; otherwise they pass the call on.
bool fail_lock = false;
bool fail_mode = false;
bool key_after_mode = false;  // a key press waits as the mode comes up
const char* reported_driver;  // the video driver's name as SDL reports it, when set
struct ModeCall {
    int width, height;
    Uint32 flags;
} mode_call;
// The surface calls of a frame: 'L'ock, 'U'nlock, up'D'ate of the whole screen, each after a '+' when the
// pixels changed since the call before.
std::string surface_calls;
uint64_t last_sum;
template <typename F>
F* real_sdl(const char* name) {
    return reinterpret_cast<F*>(dlsym(RTLD_NEXT, name));
}
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
    mode_call = {width, height, flags};
    if (fail_mode) SDL_SetError("no such mode");
    SDL_Surface* s =
        fail_mode ? nullptr : real_sdl<decltype(SDL_SetVideoMode)>("SDL_SetVideoMode")(width, height, bpp, flags);
    SDL_Event key{SDL_KEYDOWN};
    if (key_after_mode) SDL_PushEvent(&key);
    return s;
}
extern "C" char* SDL_VideoDriverName(char* namebuf, int maxlen) {
    if (!reported_driver) return real_sdl<decltype(SDL_VideoDriverName)>("SDL_VideoDriverName")(namebuf, maxlen);
    std::snprintf(namebuf, maxlen, "%s", reported_driver);  // NOLINT(cert-err33-c): cut to the buffer, as SDL does
    return namebuf;
}
extern "C" int SDL_LockSurface(SDL_Surface* surface) {
    record('L', surface);
    return fail_lock ? -1 : real_sdl<decltype(SDL_LockSurface)>("SDL_LockSurface")(surface);
}
extern "C" void SDL_UnlockSurface(SDL_Surface* surface) {
    record('U', surface);
    real_sdl<decltype(SDL_UnlockSurface)>("SDL_UnlockSurface")(surface);
}
extern "C" void SDL_UpdateRect(SDL_Surface* screen, Sint32 x, Sint32 y, Uint32 w, Uint32 h) {
    record(x == 0 && y == 0 && w == 0 && h == 0 ? 'D' : 'd', screen);
    real_sdl<decltype(SDL_UpdateRect)>("SDL_UpdateRect")(screen, x, y, w, h);
}

// In the sanitizer build: SDL keeps allocations of its video start-up until the process ends; the program
// itself allocates nothing. Built in, as CTest hands discovered tests no environment list.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): the sanitizer's own hook name
extern "C" const char* __lsan_default_suppressions() { return "leak:libSDL2-2.0.so\nleak:libSDL-1.2.so\n"; }
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): the sanitizer's own hook name
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }

namespace {

// Every test leaves SDL shut down and the stand-ins passing calls on.
class Desktop : public testing::Test {
protected:
    void TearDown() override {
        SDL_Quit();
        fail_lock = fail_mode = key_after_mode = false;
        reported_driver = nullptr;
    }
    // The dummy driver, asked for by name, the core started and an empty queue.
    static void open_screen() {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_TRUE(start_video());
        start_core();
        for (SDL_Event e; SDL_PollEvent(&e);) continue;
    }
};

// An event for the queue; `code` is the button of a button event and the key of a key event.
void push(Uint8 type, int x = 0, int y = 0, int code = 0) {
    SDL_Event e{type};
    if (type == SDL_MOUSEMOTION) e.motion = {type, 0, 0, Uint16(x), Uint16(y), 0, 0};
    if (type == SDL_MOUSEBUTTONDOWN || type == SDL_MOUSEBUTTONUP) e.button.button = Uint8(code);
    if (type == SDL_KEYDOWN || type == SDL_KEYUP) e.key.keysym.sym = SDLKey(code);
    ASSERT_EQ(SDL_PushEvent(&e), 0);
}

// A burst is worked off one event a frame: a move steers, a press of any button (the wheel's too) is the
// next scene, releases and every other event are taken and change nothing. A press of any key, or a
// quit, ends the loop with nothing of its frame done. The mode is 640 x 480, full screen, with no cursor.
TEST_F(Desktop, EventsActOneAFrame) {
    open_screen();
    EXPECT_EQ((std::vector{mode_call.width, mode_call.height}), (std::vector{640, 480}));
    EXPECT_TRUE(mode_call.flags & SDL_FULLSCREEN);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    const struct {
        Uint8 type;
        int code, x, y, scene;  // the pointer and the scene after the frame
        bool ends;
    } burst[] = {
        // clang-format off
        {SDL_MOUSEMOTION, 0, 0, 0, 0, false},
        {SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 0, 0, 0, false},
        {SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 0, 0, 0, false},
        {SDL_KEYUP, SDLK_a, 0, 0, 0, false},
        {SDL_MOUSEMOTION, 0, 639, 479, 0, false},
        {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 639, 479, 1, false},
        {SDL_ACTIVEEVENT, 0, 639, 479, 1, false},
        {SDL_VIDEOEXPOSE, 0, 639, 479, 1, false},
        {SDL_VIDEORESIZE, 0, 639, 479, 1, false},
        {SDL_KEYDOWN, SDLK_a, 639, 479, 1, true},
        {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 639, 479, 2, false},
        {SDL_JOYBUTTONDOWN, 0, 639, 479, 2, false},
        {SDL_KEYDOWN, SDLK_ESCAPE, 639, 479, 2, true},
        {SDL_USEREVENT, 0, 639, 479, 2, false},
        {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 639, 479, 0, false},
        {SDL_KEYDOWN, SDLK_LSHIFT, 639, 479, 0, true},
        {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_WHEELUP, 639, 479, 1, false},
        {SDL_KEYDOWN, SDLK_F10, 639, 479, 1, true},
        {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_WHEELDOWN, 639, 479, 2, false},
        {SDL_MOUSEMOTION, 0, 313, 479, 2, false},
        {SDL_KEYDOWN, SDLK_SPACE, 313, 479, 2, true},
        {SDL_QUIT, 0, 313, 479, 2, true},
        // clang-format on
    };
    for (const auto& e : burst) push(e.type, e.x, e.y, e.code);
    for (const auto& e : burst) {
        SCOPED_TRACE(testing::Message() << "event " << int(e.type) << ", code " << e.code);
        const std::vector<int32_t> before(accum_buffer, accum_buffer + screen_pixels);
        EXPECT_EQ(run_frame(), !e.ends);
        EXPECT_EQ((std::vector{mouse_x, mouse_y, scene_mode}), (std::vector{e.x, e.y, e.scene}));
        EXPECT_EQ(std::equal(before.begin(), before.end(), accum_buffer), e.ends) << "frame done, or not";
    }
}

// The program as a user starts it, in a process of its own so that SDL's state after a failed start
// cannot reach the other tests: a key ends it with status 0 and nothing printed; a failed start prints
// one line saying why and ends with status 1. With no display SDL falls back to a driver that shows
// nothing, the classic library to `dummy`; unless the user named that driver (set but empty names
// none) the program says so rather than run unseen. A program that wrongly starts its frame loop
// would never end: the alarm ends it.
TEST_F(Desktop, StartsOrEndsWithOneLineAndStatus1) {
    // SDL has threads of its own, so the child starts afresh.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
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
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    // As in a desktop session, so that the window system's client library finds nothing to say.
    setenv("XDG_RUNTIME_DIR", testing::TempDir().c_str(), 1);
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "driver " << (row.driver ? row.driver : "unset") << ", mode fails "
                                        << row.mode_fails);
        row.driver ? setenv("SDL_VIDEODRIVER", row.driver, 1) : unsetenv("SDL_VIDEODRIVER");
        reported_driver = row.reported;
        fail_mode = row.mode_fails;
        key_after_mode = row.status == 0;
        EXPECT_EXIT((alarm(20), std::exit(run_program())), testing::ExitedWithCode(row.status), row.output);
    }
}

// Each frame on surfaces of every depth and pitch, with alpha and with a palette: locked, drawn into,
// unlocked and then shown whole. Every pixel is written by the conversion itself, with no fill: the
// surface comes out as SDL's black where the buffer is dark and the lit words mapped. A surface that
// cannot be locked is neither written, unlocked nor shown, and nothing of the frame but its event is
// done; the next frame goes on. A depth with no converter shows black, filled before the lock.
TEST_F(Desktop, FrameDrawsTheLockedSurfaceThenShowsIt) {
    open_screen();
    SDL_Surface* const screen = video_surface;
    const struct {
        int bits;
        uint32_t red, green, blue, alpha;
        const char* calls;
        int bytes;  // the depth the program is told, if not the format's
    } rows[] = {
        // clang-format off
        {8, 0xE0, 0x1C, 0x03, 0, "L+UD", 0},
        {8, 0, 0, 0, 0, "L+UD", 0},  // a palette
        {16, 0xF800, 0x07E0, 0x001F, 0, "L+UD", 0},
        {16, 0xF800, 0x07E0, 0x001F, 0, "L", 0},  // the lock fails
        {16, 0xF800, 0x07E0, 0x001F, 0, "+LUD", 7},
        {16, 0x001F, 0x07E0, 0xF800, 0, "L+UD", 0},
        {16, 0x7C00, 0x03E0, 0x1F, 0x8000, "L+UD", 0},
        {24, 0xFF0000, 0xFF00, 0xFF, 0, "L+UD", 0},
        {24, 0xFF, 0xFF00, 0xFF0000, 0, "L+UD", 0},
        {32, 0xFF0000, 0xFF00, 0xFF, 0, "L+UD", 0},
        {32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, "L+UD", 0},
        // clang-format on
    };
    uint32_t seed = 99;
    for (int n = 0; n < 2 * static_cast<int>(std::size(rows)); ++n) {
        const auto& f = rows[n / 2];
        const int bytes = f.bits / 8;
        const int pitch = (640 * bytes + 3) / 4 * 4 + n % 2 * 8;
        SCOPED_TRACE(testing::Message() << f.bits << " bits, red " << std::hex << f.red << ", pitch " << std::dec
                                        << pitch << ", calls " << f.calls << ", told " << f.bytes);
        std::vector<uint8_t> pixels(static_cast<size_t>(pitch) * 480);
        for (uint8_t& b : pixels) b = static_cast<uint8_t>(next_random(seed));
        std::vector<uint8_t> want = pixels;  // the padding keeps its noise
        SDL_Surface* surface =
            SDL_CreateRGBSurfaceFrom(pixels.data(), 640, 480, f.bits, pitch, f.red, f.green, f.blue, f.alpha);
        ASSERT_NE(surface, nullptr) << SDL_GetError();
        video_surface = surface;
        bytes_per_pixel = f.bytes ? f.bytes : bytes;
        fail_lock = std::strcmp(f.calls, "L") == 0;
        const int32_t angle = angle_z;
        surface_calls.clear();
        last_sum = pixel_sum(surface);
        push(SDL_MOUSEMOTION, 5 + n, 5);
        ASSERT_TRUE(run_frame());
        EXPECT_EQ(mouse_x, 5 + n) << "event not taken";
        EXPECT_EQ(angle_z == angle, fail_lock) << "the rest of the frame done, or not done";
        EXPECT_EQ(surface_calls, f.calls);
        const SDL_PixelFormat& p = *surface->format;
        const int loss[3] = {p.Rloss, p.Gloss, p.Bloss};
        const int shift[3] = {p.Rshift, p.Gshift, p.Bshift};
        const uint32_t black = SDL_MapRGB(surface->format, 0, 0, 0);
        for (int32_t i = 0; i < screen_pixels && !fail_lock; ++i) {
            const uint32_t v = accum_buffer[i] > 0 && !f.bytes ? map_channels(accum_buffer[i], loss, shift) : black;
            std::memcpy(&want[pitch * (i / 640) + bytes * (i % 640)], &v, bytes);  // low bytes first on this host
        }
        EXPECT_TRUE(same_pixels(pixels.data(), want.data(), pitch, 480, bytes));
        SDL_FreeSurface(surface);
    }
    video_surface = screen;
}

}  // namespace
