#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app.h"
#include "raster/raster.h"
#include "rings/rings.h"
#include "transform/transform.h"

namespace {

void open_screen() {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    video_surface = SDL_SetVideoMode(640, 480, 16, 0);
    ASSERT_NE(video_surface, nullptr) << SDL_GetError();
    bytes_per_pixel = video_surface->format->BytesPerPixel;
    start_tables();
    SDL_Event drained;
    while (SDL_PollEvent(&drained)) {
    }
}

void push(Uint8 type, int x = 0, int y = 0) {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
        e.motion.x = static_cast<Uint16>(x);
        e.motion.y = static_cast<Uint16>(y);
    }
    ASSERT_EQ(SDL_PushEvent(&e), 0);
}

std::vector<int32_t> accum_copy() { return {accum_buffer, accum_buffer + screen_pixels}; }

struct Angles {
    int32_t x, y, z;
    bool operator==(const Angles&) const = default;
};
Angles angles() { return {angle_x, angle_y, angle_z}; }

TEST(FrameLoop, KeyOrQuitEndsTheLoopBeforeTheFrame) {
    open_screen();
    for (Uint8 type : {SDL_KEYDOWN, SDL_QUIT}) {
        push(SDL_MOUSEMOTION, 50, 60);
        ASSERT_TRUE(run_frame());
        const Angles a = angles();
        const std::vector<int32_t> buffer = accum_copy();
        const std::vector<float> x(model_x, model_x + point_count);
        const int p = rand_pos;
        push(type);
        EXPECT_FALSE(run_frame()) << int(type);
        EXPECT_TRUE(angles() == a);
        EXPECT_TRUE(accum_copy() == buffer);
        EXPECT_TRUE(std::vector<float>(model_x, model_x + point_count) == x);
        EXPECT_EQ(rand_pos, p);
    }
    SDL_Quit();
}

TEST(FrameLoop, ButtonPressesCycleScenesAndRunTheirSetups) {
    open_screen();
    // Red of each scene's colours by group and parity; tells the scenes apart.
    const int32_t reds[3][3][2] = {
        {{12, 10}, {2, 6}, {6, 12}}, {{8, 10}, {0, 0}, {8, 7}}, {{2, 1}, {12, 10}, {12, 12}}};
    for (int press = 1; press <= 3; ++press) {
        const int scene = press % 3;
        const int p = rand_pos;
        const Angles a = angles();
        push(SDL_MOUSEBUTTONDOWN);
        ASSERT_TRUE(run_frame());
        EXPECT_EQ(scene_mode, scene);
        EXPECT_TRUE(angles() == a);  // spins are still 0
        int respawns = 0;
        for (int r = 0; r < ring_count; ++r) {
            EXPECT_EQ(ring_red[r], reds[scene][r / 20][rand_pool[p + 1 + r] % 2])
                << scene << "/" << r;
            // One animation step has run on the new field.
            const int life = rand_pool[p + 61 + r] % 35;
            if (life == 0) {
                ++respawns;
                EXPECT_GE(ring_life[r], scene == 0 ? 20 : 120);
            } else {
                EXPECT_EQ(ring_life[r], life);
            }
        }
        EXPECT_EQ(rand_pos, p + (scene == 2 ? 360 : 300) + respawns);
    }
    SDL_Quit();
}

TEST(FrameLoop, MotionSteersAndPlotsThePointBeforeTheFade) {
    open_screen();
    const struct {
        int x, y, spin_x, spin_y;
    } cases[] = {{0, 0, -160, -120},  {639, 479, 159, 119}, {319, 241, 0, 0},   {321, 239, 0, 0},
                 {313, 479, -3, 119}, {327, 0, 3, -120},    {100, 250, -110, 5}};
    for (const auto& c : cases) {
        push(SDL_MOUSEMOTION, c.x, c.y);
        ASSERT_TRUE(run_frame());
        EXPECT_EQ(mouse_x, c.x);
        EXPECT_EQ(mouse_y, c.y);
        EXPECT_EQ(spin_x, c.spin_x) << c.x;
        EXPECT_EQ(spin_y, c.spin_y) << c.y;
    }
    // With the rings drawing nothing the point shows the one fade it got:
    // 4 in scene 0, 2 in scene 2.
    for (int scene : {0, 2}) {
        while (scene_mode != scene) {
            push(SDL_MOUSEBUTTONDOWN);
            ASSERT_TRUE(run_frame());
        }
        for (int r = 0; r < ring_count; ++r) ring_red[r] = ring_green[r] = ring_blue[r] = 0;
        push(SDL_MOUSEMOTION, 600, 30);
        ASSERT_TRUE(run_frame());
        EXPECT_EQ(accum_buffer[30 * 640 + 600], scene == 0 ? 0x00FBFBFB : 0x00FDFDFD);
    }
    SDL_Quit();
}

// Releases and other events are taken, one per frame, and change nothing.
TEST(FrameLoop, BurstIsWorkedOffOneEventPerFrame) {
    open_screen();
    const struct {
        Uint8 type;
        int x, y, scene;  // mouse and scene after the frame
    } burst[] = {{SDL_MOUSEMOTION, 100, 100, 0}, {SDL_MOUSEBUTTONUP, 100, 100, 0},
                 {SDL_KEYUP, 100, 100, 0},       {SDL_MOUSEMOTION, 500, 150, 0},
                 {SDL_ACTIVEEVENT, 500, 150, 0}, {SDL_MOUSEBUTTONDOWN, 500, 150, 1},
                 {SDL_USEREVENT, 500, 150, 1},   {SDL_VIDEOEXPOSE, 500, 150, 1},
                 {SDL_MOUSEMOTION, 400, 300, 1}};
    for (const auto& e : burst) push(e.type, e.x, e.y);
    push(SDL_KEYDOWN);
    for (const auto& e : burst) {
        ASSERT_TRUE(run_frame()) << int(e.type);
        EXPECT_EQ(mouse_x, e.x) << int(e.type);
        EXPECT_EQ(mouse_y, e.y) << int(e.type);
        EXPECT_EQ(spin_x, (e.x - 320) / 2);
        EXPECT_EQ(spin_y, (e.y - 240) / 2);
        EXPECT_EQ(scene_mode, e.scene) << int(e.type);
    }
    EXPECT_FALSE(run_frame());
    EXPECT_TRUE(run_frame()) << "the queue is empty again";
    SDL_Quit();
}

TEST(FrameLoop, AdvanceAnglesTruncatesAndWraps) {
    const struct {
        Angles from;
        int32_t spin_x, spin_y;
        Angles to;
    } cases[] = {
        {{100, 100, 100}, -160, -120, {70, 90, 60}},             // pointer at (0, 0)
        {{100, 100, 100}, 159, 119, {129, 110, 139}},            // pointer at (639, 479)
        {{0, 0, 4090}, 40, 0, {0, 10, 4}},                       // past 4095
        {{5, 0, 0}, 0, -40, {4091, 10, 0}},                      // below 0
        {{4095, 0, 0}, 0, 4, {0, 4095, 0}},                      // exactly 4096
        {{0, 0, 0}, -3, 3, {0, 4095, 0}},                        // truncation toward zero
        {{0, 0, 0}, 2, -2, {0, 1, 0}},                           // difference first, then divide
        {{4065, 4086, 4055}, 32607, 32647, {4034, 4076, 4014}},  // pointer at (65535, 65535)
    };
    for (const auto& c : cases) {
        angle_x = c.from.x;
        angle_y = c.from.y;
        angle_z = c.from.z;
        spin_x = c.spin_x;
        spin_y = c.spin_y;
        advance_angles();
        EXPECT_TRUE(angles() == c.to) << c.spin_x << "," << c.spin_y;
    }
}

TEST(FrameLoop, PointerFarOutsideTheModeKeepsAnglesInRange) {
    open_screen();
    push(SDL_MOUSEMOTION, 65535, 65535);
    ASSERT_TRUE(run_frame());
    EXPECT_EQ(mouse_x, 65535);
    EXPECT_EQ(spin_x, 32607);
    EXPECT_EQ(spin_y, 32647);
    EXPECT_TRUE(angles() == (Angles{4065, 4086, 4055}));
    ASSERT_TRUE(run_frame());
    EXPECT_TRUE(angles() == (Angles{4034, 4076, 4014}));
    for (int frame = 0; frame < 30; ++frame) ASSERT_TRUE(run_frame());
    for (int32_t a : {angle_x, angle_y, angle_z}) EXPECT_TRUE(a >= 0 && a < 4096) << a;
    SDL_Quit();
}

TEST(FrameLoop, VideoThatCannotStartGivesOneLineAndStatus1) {
    ASSERT_EQ(setenv("SDL_VIDEODRIVER", "no-such-video-driver", 1), 0);
    testing::internal::CaptureStderr();
    const int status = run_program();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err.rfind("ringfield: ", 0), 0u) << err;
    EXPECT_GT(err.size(), std::string("ringfield: \n").size()) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
    const std::string reason = SDL_GetError();  // SDL_Init is what fails here
    EXPECT_FALSE(reason.empty());
    EXPECT_NE(err.find(reason), std::string::npos) << err;
    SDL_Quit();
}

// Ring 7 alone on screen, as a zigzag: point k at (20 + 10k, 100 or 120),
// point 39 far away at (600, 400). Every other ring lies left of the screen.
TEST(DrawRings, JoinsPoints0To38AndNeverPoint39) {
    fill_row_offset();
    accum_clear(accum_buffer);
    for (int i = 0; i < point_count; ++i) {
        screen_x[i] = -5000 - i;
        screen_y[i] = 240;
        ring_red[i / ring_points] = ring_green[i / ring_points] = ring_blue[i / ring_points] = 50;
    }
    const int b = 7 * ring_points;
    ring_red[7] = 1;
    ring_green[7] = 2;
    ring_blue[7] = 3;
    for (int k = 0; k < ring_points - 1; ++k) {
        screen_x[b + k] = 20 + 10 * k;
        screen_y[b + k] = k % 2 == 0 ? 100 : 120;
    }
    screen_x[b + 39] = 600;
    screen_y[b + 39] = 400;
    draw_rings();
    int64_t sum = 0;
    int lit_right = 0;
    for (int i = 0; i < screen_pixels; ++i) {
        sum += accum_buffer[i];  // channels stay below 256, so words add up per channel
        lit_right += accum_buffer[i] != 0 && i % 640 > 400;
    }
    // 38 zigzag segments of 21 pixels each, plus the closing one of 381.
    EXPECT_EQ(sum, int64_t{38 * 21 + 381} * 0x010203);
    EXPECT_EQ(lit_right, 0) << "something reached point 39";
    EXPECT_EQ(accum_buffer[100 * 640 + 25], 0x00010203) << "closing segment from point 0 to 38";
    EXPECT_EQ(accum_buffer[100 * 640 + 20], 0x00020406) << "point 0 is an end of two segments";
}

}  // namespace
