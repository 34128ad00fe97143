// The desktop layer: SDL events as inputs, the surface's layout, and how the
// program fails when SDL cannot give it a screen.
#include <gtest/gtest.h>

#include <SDL.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>
#include <vector>

#include "app/desktop_internal.h"
#include "frame/frame_internal.h"
#include "raster/raster.h"
#include "rings/rings_internal.h"
#include "tests/support.h"

// Stand in for SDL's own lock and mode setting, so that a test can make them fail; otherwise they
// pass the call on.
bool fail_lock = false;
bool fail_mode = false;
extern "C" SDL_Surface* SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
    using SetMode = SDL_Surface* (*)(int, int, int, Uint32);
    static const auto real = reinterpret_cast<SetMode>(dlsym(RTLD_NEXT, "SDL_SetVideoMode"));
    if (!fail_mode) return real(width, height, bpp, flags);
    SDL_SetError("no such mode");
    return nullptr;
}
extern "C" int SDL_LockSurface(SDL_Surface* surface) {
    using Lock = int (*)(SDL_Surface*);
    static const auto real = reinterpret_cast<Lock>(dlsym(RTLD_NEXT, "SDL_LockSurface"));
    return fail_lock ? -1 : real(surface);
}

namespace {

// Every test leaves SDL shut down, the stand-ins passing calls on and the environment as it was.
class Desktop : public testing::Test {
protected:
    void SetUp() override {
        // The failing start-ups run in a child; SDL has threads of its own, so the child starts afresh.
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        for (const char* name : {"SDL_VIDEODRIVER", "DISPLAY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"}) {
            const char* value = std::getenv(name);
            saved.push_back({name, value ? value : "", value != nullptr});
        }
    }
    void TearDown() override {
        SDL_Quit();
        fail_lock = fail_mode = false;
        for (const auto& v : saved) v.set ? setenv(v.name, v.value.c_str(), 1) : unsetenv(v.name);
    }
    // The dummy driver, asked for by name, and the core started.
    static void open_screen() {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_TRUE(start_video());
        start_core();
        for (SDL_Event e; SDL_PollEvent(&e);) continue;  // start with an empty queue
    }

private:
    struct Saved {
        const char* name;
        std::string value;
        bool set;
    };
    std::vector<Saved> saved;
};

void push(Uint8 type, int x = 0, int y = 0) {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEMOTION) e.motion.x = Uint16(x), e.motion.y = Uint16(y);
    ASSERT_EQ(SDL_PushEvent(&e), 0);
}

// The program in a process of its own, as it starts for a user: SDL's state after a failed start
// must not reach the other tests. It must end with status 1 and print exactly one line.
// A program that wrongly starts its frame loop would never end: the alarm ends it.
#define EXPECT_ONE_LINE_AND_STATUS_1(line_start) \
    EXPECT_EXIT((alarm(20), std::exit(run_program())), testing::ExitedWithCode(1), "^" line_start "[^\n]*\n$")

// A burst is worked off one event a frame; releases and other events are taken and change nothing;
// a key or quit ends the loop with nothing of its frame done.
TEST_F(Desktop, EventsActOneAFrame) {
    open_screen();
    const struct {
        Uint8 type;
        int x, y, spin_x, spin_y, scene;
    } burst[] = {// state after each frame
                 {SDL_MOUSEMOTION, 0, 0, -160, -120, 0},
                 {SDL_MOUSEBUTTONUP, 0, 0, -160, -120, 0},
                 {SDL_KEYUP, 0, 0, -160, -120, 0},
                 {SDL_MOUSEMOTION, 639, 479, 159, 119, 0},
                 {SDL_MOUSEBUTTONDOWN, 639, 479, 159, 119, 1},
                 {SDL_ACTIVEEVENT, 639, 479, 159, 119, 1},
                 {SDL_MOUSEMOTION, 313, 479, -3, 119, 1}};
    for (const auto& e : burst) push(e.type, e.x, e.y);
    push(SDL_KEYDOWN);
    for (const auto& e : burst) {
        ASSERT_TRUE(run_frame()) << int(e.type);
        EXPECT_EQ(mouse_x, e.x) << int(e.type);
        EXPECT_EQ(mouse_y, e.y) << int(e.type);
        EXPECT_EQ(spin_x, e.spin_x) << int(e.type);
        EXPECT_EQ(spin_y, e.spin_y) << int(e.type);
        EXPECT_EQ(scene_mode, e.scene) << int(e.type);
    }
    const auto state = [] {
        return std::vector<int64_t>{angle_x, angle_y, angle_z, ring_life[0],
                                    std::accumulate(accum_buffer, accum_buffer + screen_pixels, int64_t{0})};
    };
    for (Uint8 end : {SDL_KEYDOWN, SDL_QUIT}) {
        const std::vector<int64_t> before = state();
        EXPECT_FALSE(run_frame()) << int(end);
        EXPECT_EQ(state(), before) << int(end);
        push(SDL_QUIT);
    }
}

// A surface that cannot be locked is not written: the frame ends after its event.
TEST_F(Desktop, FailedLockSkipsTheRestOfTheFrame) {
    open_screen();
    push(SDL_MOUSEMOTION, 0, 0);
    ASSERT_TRUE(run_frame());
    const int32_t angles[3] = {angle_x, angle_y, angle_z};
    auto* pixels = static_cast<uint8_t*>(video_surface->pixels);
    pixels[0] = 0x5A;
    fail_lock = true;
    push(SDL_MOUSEMOTION, 100, 100);
    EXPECT_TRUE(run_frame());
    fail_lock = false;
    EXPECT_EQ(mouse_x, 100) << "event taken";
    EXPECT_EQ(accum_buffer[100 * 640 + 100], 0x00FFFFFF) << "no fade";
    EXPECT_EQ(angle_x, angles[0]);
    EXPECT_EQ(angle_y, angles[1]);
    EXPECT_EQ(angle_z, angles[2]);
    EXPECT_EQ(pixels[0], 0x5A) << "the surface was written";
    ASSERT_TRUE(run_frame());
    EXPECT_NE(angle_z, angles[2]);
    EXPECT_NE(pixels[0], 0x5A);
    EXPECT_EQ(accum_buffer[100 * 640 + 100], 0x00FBFBFB);
}

TEST_F(Desktop, VideoThatCannotStartGivesOneLineAndStatus1) {
    setenv("SDL_VIDEODRIVER", "no-such-video-driver", 1);
    EXPECT_ONE_LINE_AND_STATUS_1("ringfield: cannot initialise SDL video: ");
}

TEST_F(Desktop, VideoModeThatCannotBeSetGivesOneLineAndStatus1) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    EXPECT_EXIT((fail_mode = true, std::exit(run_program())), testing::ExitedWithCode(1),
                "^ringfield: cannot set 640x480 video mode: no such mode\n$");
}

// With no display SDL falls back to a driver that shows nothing; unless the user named that driver,
// the program says so and ends rather than run unseen.
TEST_F(Desktop, NoDisplayGivesOneLineUnlessTheDriverWasNamed) {
    unsetenv("DISPLAY"), unsetenv("WAYLAND_DISPLAY"), unsetenv("SDL_VIDEODRIVER");
    // As in a desktop session, so that the window system's client library finds nothing to say.
    setenv("XDG_RUNTIME_DIR", testing::TempDir().c_str(), 1);
    EXPECT_ONE_LINE_AND_STATUS_1("ringfield: no display found; [^\n]*SDL_VIDEODRIVER");
    // Set but empty names no driver.
    setenv("SDL_VIDEODRIVER", "", 1);
    EXPECT_ONE_LINE_AND_STATUS_1("ringfield: no display found; [^\n]*SDL_VIDEODRIVER");
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    EXPECT_TRUE(start_video());
}

// Every pixel is written by the conversion itself, with no fill: the surface must come out as a
// fill with SDL's black followed by writes of the lit words alone, at every depth and pitch, with
// alpha and with a palette.
TEST_F(Desktop, SurfaceComesOutAsFillThenLitWrites) {
    open_screen();
    SDL_Surface* const screen = video_surface;
    struct Format {
        int bits;
        uint32_t red, green, blue, alpha;
    };
    const Format formats[] = {
        {8, 0xE0, 0x1C, 0x03, 0},        {8, 0, 0, 0, 0} /* palette */,      {16, 0xF800, 0x07E0, 0x001F, 0},
        {16, 0x001F, 0x07E0, 0xF800, 0}, {16, 0x7C00, 0x03E0, 0x1F, 0x8000}, {24, 0xFF0000, 0xFF00, 0xFF, 0},
        {24, 0xFF, 0xFF00, 0xFF0000, 0}, {32, 0xFF0000, 0xFF00, 0xFF, 0},    {32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000}};
    uint32_t seed = 99;
    for (int n = 0; n < 2 * static_cast<int>(std::size(formats)); ++n) {
        const Format& f = formats[n / 2];
        const int bytes = f.bits / 8, pitch = (640 * bytes + 3) / 4 * 4 + n % 2 * 8;
        SCOPED_TRACE(testing::Message() << f.bits << " bits, red " << std::hex << f.red << ", pitch " << std::dec
                                        << pitch);
        std::vector<uint8_t> pixels(static_cast<size_t>(pitch) * 480), want;
        for (uint8_t& b : pixels) b = static_cast<uint8_t>(next_random(seed));
        want = pixels;
        SDL_Surface* surface =
            SDL_CreateRGBSurfaceFrom(pixels.data(), 640, 480, f.bits, pitch, f.red, f.green, f.blue, f.alpha);
        SDL_Surface* expected =
            SDL_CreateRGBSurfaceFrom(want.data(), 640, 480, f.bits, pitch, f.red, f.green, f.blue, f.alpha);
        ASSERT_NE(surface, nullptr) << SDL_GetError();
        ASSERT_NE(expected, nullptr) << SDL_GetError();
        video_surface = surface, bytes_per_pixel = bytes;
        push(SDL_MOUSEMOTION, 100 + n, 200);
        ASSERT_TRUE(run_frame());
        const SDL_PixelFormat& p = *expected->format;
        SDL_Rect whole{0, 0, 640, 480};
        SDL_FillRect(expected, &whole, SDL_MapRGB(expected->format, 0, 0, 0));
        const int loss[3] = {p.Rloss, p.Gloss, p.Bloss}, shift[3] = {p.Rshift, p.Gshift, p.Bshift};
        for (int32_t i = 0; i < screen_pixels; ++i) {
            const int32_t w = accum_buffer[i];
            if (w <= 0) continue;
            const uint32_t v = map_channels(w, loss, shift);
            std::memcpy(&want[pitch * (i / 640) + bytes * (i % 640)], &v, bytes);  // low bytes first on this host
        }
        EXPECT_TRUE(same_pixels(pixels.data(), want.data(), pitch, 480, bytes));
        EXPECT_GT(std::count_if(accum_buffer, accum_buffer + screen_pixels, [](int32_t w) { return w > 0; }), 1000);
        SDL_FreeSurface(surface), SDL_FreeSurface(expected);
    }
    video_surface = screen;
}

// A depth with no converter shows black frames.
TEST_F(Desktop, DepthWithoutConverterShowsBlack) {
    open_screen();
    auto* pixels = static_cast<uint8_t*>(video_surface->pixels);
    const size_t size = static_cast<size_t>(video_surface->pitch) * 480;
    std::memset(pixels, 0x5A, size);
    bytes_per_pixel = 7;
    push(SDL_MOUSEMOTION, 300, 300);
    ASSERT_TRUE(run_frame());
    EXPECT_TRUE(same_pixels(pixels, std::vector<uint8_t>(size).data(), video_surface->pitch, 480,
                            video_surface->format->BytesPerPixel));
}

}  // namespace
