#include <gtest/gtest.h>

#include <SDL.h>
#include <dlfcn.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

#include "app/app.h"
#include "raster/raster.h"
#include "rings/rings.h"
#include "transform/transform.h"

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

// Bitwise equality, so NaNs and signed zeros count too.
bool same(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

TEST(TrigTables, CheckpointsBitForBit) {
    build_trig_tables();
    const struct { float value, want; } exact[] = {
        {turn_sin[512], 0.70710677f}, {turn_cos[512], 0.70710677f}, {turn_sin[1024], 1.0f},
        {turn_cos[2048], -1.0f},      {turn_cos[4095], 0.9999988f}, {turn_sin[4095], -0.0015339874f},
        {ring_cos[1], 0.98768836f},   {ring_sin[1], 0.15643446f}};
    for (const auto& c : exact) EXPECT_TRUE(same(c.value, c.want)) << c.want;
    // Pi taken as 3.14159265 misses each quarter turn by about 1.7949e-9.
    EXPECT_NEAR(turn_cos[1024], 1.7949e-9, 1e-12);
    EXPECT_NEAR(turn_sin[2048], 3.5898e-9, 1e-12);
    EXPECT_NEAR(turn_cos[3072], -5.3847e-9, 1e-12);
    for (int k = 0; k < 8; ++k)  // same degrees, so the same bits
        EXPECT_TRUE(same(ring_sin[5 * k], turn_sin[512 * k]) && same(ring_cos[5 * k], turn_cos[512 * k])) << k;
}

TEST(RandomPool, FromStartUpThroughTheFirstWrap) {
    std::vector<int> r(pool_size + 2);
    for (int& v : r) v = std::rand();
    std::srand(1);  // back to the unseeded state
    pool_fill();
    for (int i = 0; i < pool_size; ++i) ASSERT_EQ(rand_pool[i], r[i] % 255) << i;
    for (int entry = 2; entry < pool_size; ++entry)
        ASSERT_TRUE(pool_next() == rand_pool[entry] && rand_pos == entry) << entry;
    // The 5001st rand result gives the stride, the 5002nd the index.
    const int step = r[pool_size] % 5 + 1, pos = r[pool_size + 1] % 5;
    EXPECT_TRUE(pool_next() == rand_pool[pos] && rand_pos == pos && rand_step == step);
    EXPECT_TRUE(pool_next() == rand_pool[pos + step] && rand_pos == pos + step);
}

TEST(RandomPool, WrapsFrom5000On) {
    for (int i = 0; i < pool_size; ++i) rand_pool[i] = i % 255;
    const struct { int pos, step; bool wraps; } cases[] = {
        {4998, 1, false}, {4994, 5, false}, {4999, 1, true}, {4995, 5, true}, {4998, 5, true}};
    for (unsigned seed = 1; const auto& c : cases) {
        std::srand(++seed);  // other rand results in each case, so that their order shows
        const int r0 = std::rand(), r1 = std::rand(), want = c.wraps ? r1 % 5 : c.pos + c.step;
        std::srand(seed);
        rand_pos = c.pos, rand_step = c.step;
        EXPECT_TRUE(pool_next() == rand_pool[want] && rand_pos == want) << c.pos << "+" << c.step;
        EXPECT_EQ(rand_step, c.wraps ? r0 % 5 + 1 : c.step) << c.pos << "+" << c.step;
    }
}

// Per group: travel axis = group, then the cosine and the sine axis.
float* const model[3] = {model_x, model_y, model_z};
constexpr int cos_axis[3] = {1, 0, 0}, sin_axis[3] = {2, 2, 1};
// Per scene, group and parity of the draw: red, green, blue.
constexpr int32_t colours[3][3][2][3] = {
    {{{12, 12, 2}, {10, 8, 2}}, {{2, 2, 12}, {6, 6, 6}}, {{6, 6, 6}, {12, 2, 2}}},
    {{{8, 0, 0}, {10, 0, 0}}, {{0, 7, 7}, {0, 7, 7}}, {{8, 8, 8}, {7, 7, 7}}},
    {{{2, 2, 12}, {1, 1, 16}}, {{12, 14, 2}, {10, 8, 4}}, {{12, 6, 2}, {12, 8, 1}}}};

// Checks `scene`'s field as drawn from pool entries first, first + 1, ...; returns the zero divisors.
int check_setup(int scene, int first) {
    int zero_divisors = 0;
    for (int r = 0; r < ring_count; ++r) {
        const int g = r / rings_per_group;
        const int32_t* c = colours[scene][g][rand_pool[first + r] % 2];
        EXPECT_TRUE(ring_red[r] == c[0] && ring_green[r] == c[1] && ring_blue[r] == c[2]) << scene << "/" << r;
        EXPECT_EQ(ring_life[r], rand_pool[first + 60 + r] % 35 + 1) << scene << "/" << r;
        for (int a = 0; a < 3; ++a) {
            const int v = rand_pool[first + 120 + 3 * r + a];
            EXPECT_TRUE(same(ring_drift[a][r], (scene == 0 ? v - 125 : v % 10 + 125) / 8000.0f)) << r << "," << a;
        }
        const float divisor = scene == 2 ? static_cast<float>(rand_pool[first + 300 + r] % 2) : scene ? 2.0f : 1.2f;
        zero_divisors += divisor == 0.0f;
        for (int k = 0; k < ring_points; ++k) {
            const int i = r * ring_points + k;
            EXPECT_TRUE(same(model[g][i], scene == 0 ? 0.0f : -0.5f) &&
                        same(model[cos_axis[g]][i], 2.0f * ring_cos[k] / divisor) &&
                        same(model[sin_axis[g]][i], 2.0f * ring_sin[k] / divisor)) << r << "," << k;
        }
    }
    return zero_divisors;
}

TEST(SceneSetups, EachSceneDrawsItsFieldFromThePoolInOrder) {
    start_tables();  // pool, tables and the start-up scene 0
    EXPECT_TRUE(check_setup(0, 2) == 0 && rand_pos == 301) << rand_pos;
    setup_scene_1();
    EXPECT_TRUE(check_setup(1, 302) == 0 && rand_pos == 601) << rand_pos;
    setup_scene_2();
    const int zeros = check_setup(2, 602);  // one draw per ring, before its points
    EXPECT_TRUE(rand_pos == 961 && zeros > 0 && zeros < ring_count) << rand_pos << ", " << zeros << " zeros";
}

TEST(Animators, MoveThenCountDownThenRespawnInRingOrder) {
    start_tables();
    const struct { void (*setup)(); void (*animate)(); int spread, base; float restart; } scenes[] = {
        {setup_scene_0, animate_scene_0, 155, 20, 0.0f}, {setup_scene_1, animate_scene_1, 85, 120, -1.5f},
        {setup_scene_2, animate_scene_2, 85, 120, -1.5f}};
    for (const auto& s : scenes) {
        s.setup();
        for (int r = 0; r < ring_count; ++r) ring_life[r] = r % 3 == 0 ? 1 : r % 7 + 2;
        const std::vector<float> old[3] = {{model_x, model_x + point_count}, {model_y, model_y + point_count},
                                           {model_z, model_z + point_count}};
        const std::vector<int32_t> life(ring_life, ring_life + ring_count);
        const int p = rand_pos;
        s.animate();
        for (int r = 0, draws = 0; r < ring_count; ++r) {
            const int g = r / rings_per_group;
            const bool respawn = life[r] == 1;
            EXPECT_EQ(ring_life[r], respawn ? rand_pool[p + 1 + draws++] % s.spread + s.base : life[r] - 1) << r;
            for (int i = r * ring_points; i < (r + 1) * ring_points; ++i) {
                const bool last = i % ring_points == ring_points - 1;  // point 39 stays put
                const float want = respawn ? s.restart : last ? old[g][i] : old[g][i] + ring_drift[g][r];
                EXPECT_TRUE(same(model[g][i], want)) << "scene " << s.base << " point " << i;
            }
        }
        EXPECT_EQ(rand_pos, p + 20);
    }
}

void open_screen() {
    ASSERT_TRUE(SDL_Init(SDL_INIT_VIDEO) == 0 && (video_surface = SDL_SetVideoMode(640, 480, 16, 0))) << SDL_GetError();
    bytes_per_pixel = video_surface->format->BytesPerPixel;
    std::atexit(SDL_Quit);
    start_tables();
    for (SDL_Event e; SDL_PollEvent(&e);) continue;  // start with an empty queue
}

void push(Uint8 type, int x = 0, int y = 0) {
    SDL_Event e{type};
    if (type == SDL_MOUSEMOTION) e.motion = {type, 0, 0, Uint16(x), Uint16(y), 0, 0};
    ASSERT_EQ(SDL_PushEvent(&e), 0);
}

// Each press enters the next scene and lays it out. With the rings then drawing nothing, a point
// under the pointer shows the one fade it got, so it was plotted before the fade.
TEST(FrameLoop, ButtonsCycleScenesAndThePointIsPlottedBeforeTheFade) {
    open_screen();
    for (int scene : {1, 2, 0}) {
        const int p = rand_pos;
        push(SDL_MOUSEBUTTONDOWN);
        ASSERT_TRUE(run_frame() && scene_mode == scene) << scene;
        for (int r = 0; r < ring_count; ++r) {
            EXPECT_EQ(ring_red[r], colours[scene][r / 20][rand_pool[p + 1 + r] % 2][0]) << scene << "/" << r;
            ring_red[r] = ring_green[r] = ring_blue[r] = 0;
        }
        push(SDL_MOUSEMOTION, 600, 30 + scene);
        ASSERT_TRUE(run_frame());
        EXPECT_EQ(accum_buffer[(30 + scene) * 640 + 600], scene == 2 ? 0x00FDFDFD : 0x00FBFBFB) << scene;
    }
}

// Releases and other events are taken one per frame and change nothing; a key or quit
// ends the loop with nothing of its frame done.
TEST(FrameLoop, BurstIsWorkedOffOneEventPerFrame) {
    open_screen();
    const struct { Uint8 type; int x, y, spin_x, spin_y, scene; } burst[] = {  // state after each frame
        {SDL_MOUSEMOTION, 0, 0, -160, -120, 0}, {SDL_MOUSEBUTTONUP, 0, 0, -160, -120, 0},
        {SDL_KEYUP, 0, 0, -160, -120, 0}, {SDL_MOUSEMOTION, 639, 479, 159, 119, 0},
        {SDL_MOUSEBUTTONDOWN, 639, 479, 159, 119, 1}, {SDL_ACTIVEEVENT, 639, 479, 159, 119, 1},
        {SDL_MOUSEMOTION, 313, 479, -3, 119, 1}, {SDL_MOUSEMOTION, 327, 0, 3, -120, 1}};
    for (const auto& e : burst) push(e.type, e.x, e.y);
    push(SDL_KEYDOWN);
    for (const auto& e : burst) {
        ASSERT_TRUE(run_frame()) << int(e.type);
        EXPECT_TRUE(mouse_x == e.x && mouse_y == e.y && spin_x == e.spin_x && spin_y == e.spin_y &&
                    scene_mode == e.scene) << int(e.type);
    }
    const auto state = [] {  // a frame would turn, animate and fade
        return std::vector<int64_t>{angle_x, angle_y, angle_z, ring_life[0], std::accumulate(accum_buffer,
                                    accum_buffer + screen_pixels, int64_t{0})}; };
    for (Uint8 end : {SDL_KEYDOWN, SDL_QUIT}) {
        const std::vector<int64_t> before = state();
        EXPECT_FALSE(run_frame()) << int(end);
        EXPECT_TRUE(state() == before) << int(end);
        push(SDL_QUIT);
    }
}

// A surface that cannot be locked is not written: the frame ends after its event.
TEST(FrameLoop, FailedLockSkipsTheRestOfTheFrame) {
    open_screen();
    push(SDL_MOUSEMOTION, 0, 0);
    ASSERT_TRUE(run_frame());
    const int32_t angles[3] = {angle_x, angle_y, angle_z};
    auto* pixels = static_cast<Uint16*>(video_surface->pixels);
    pixels[0] = 0x1234;
    fail_lock = true;
    push(SDL_MOUSEMOTION, 100, 100);
    EXPECT_TRUE(run_frame());
    fail_lock = false;
    EXPECT_TRUE(mouse_x == 100 && accum_buffer[100 * 640 + 100] == 0x00FFFFFF);  // event taken, no fade
    EXPECT_TRUE(angle_x == angles[0] && angle_y == angles[1] && angle_z == angles[2] && pixels[0] == 0x1234);
    ASSERT_TRUE(run_frame());
    EXPECT_TRUE(angle_z != angles[2] && pixels[0] != 0x1234 && accum_buffer[100 * 640 + 100] == 0x00FBFBFB);
}

TEST(FrameLoop, AdvanceAnglesTruncatesAndWraps) {
    const struct { int32_t from[3], spin_x, spin_y, to[3]; } cases[] = {
        {{100, 100, 100}, -160, -120, {70, 90, 60}}, {{4095, 0, 0}, 0, 4, {0, 4095, 0}},  // pointer at (0, 0); 4096
        {{0, 0, 4090}, 40, 0, {0, 10, 4}}, {{5, 0, 0}, 0, -40, {4091, 10, 0}},  // past 4095, below 0
        {{0, 0, 0}, -3, 3, {0, 4095, 0}}, {{0, 0, 0}, 2, -2, {0, 1, 0}},  // toward zero; difference first
        {{4065, 4086, 4055}, 32607, 32647, {4034, 4076, 4014}}};  // pointer at (65535, 65535)
    for (const auto& c : cases) {
        angle_x = c.from[0], angle_y = c.from[1], angle_z = c.from[2], spin_x = c.spin_x, spin_y = c.spin_y, advance_angles();
        EXPECT_TRUE(angle_x == c.to[0] && angle_y == c.to[1] && angle_z == c.to[2]) << c.spin_x << "/" << c.spin_y;
    }
}

TEST(FrameLoop, VideoThatCannotStartGivesOneLineAndStatus1) {
    ASSERT_EQ(setenv("SDL_VIDEODRIVER", "no-such-video-driver", 1), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(run_program(), 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(err.rfind("ringfield: cannot initialise", 0) == 0 && err.find('\n') == err.size() - 1) << err;
}

TEST(FrameLoop, VideoModeThatCannotBeSetGivesOneLineAndStatus1) {
    fail_mode = true;
    testing::internal::CaptureStderr();
    EXPECT_EQ(run_program(), 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(err.rfind("ringfield: cannot set 640x480 video mode: ", 0) == 0 &&
                err.find('\n') == err.size() - 1) << err;
}

// Ring 7 alone on screen as a zigzag: point k at (20 + 10k, 100 or 120), point 39
// far away at (600, 400); every other ring lies left of the screen.
TEST(DrawRings, JoinsPoints0To38AndNeverPoint39) {
    fill_row_offset();
    accum_clear(accum_buffer);
    for (int i = 0; i < point_count; ++i) {
        const int k = i % ring_points, on = i / ring_points == 7;
        screen_x[i] = !on ? -5000 - i : k < 39 ? 20 + 10 * k : 600;
        screen_y[i] = !on ? 240 : k < 39 ? 100 + 20 * (k % 2) : 400;
    }
    for (int r = 0; r < ring_count; ++r) ring_red[r] = ring_green[r] = ring_blue[r] = 50;
    ring_red[7] = 1, ring_green[7] = 2, ring_blue[7] = 3;
    draw_rings();
    int64_t sum = 0, lit_right = 0;  // channels stay below 256, so words add up per channel
    for (int i = 0; i < screen_pixels; ++i) sum += accum_buffer[i], lit_right += accum_buffer[i] && i % 640 > 400;
    EXPECT_EQ(sum, int64_t{38 * 21 + 381} * 0x010203) << "38 zigzags of 21 pixels, the closing line of 381";
    EXPECT_EQ(lit_right, 0) << "something reached point 39";
    EXPECT_EQ(accum_buffer[100 * 640 + 25], 0x00010203) << "closing segment from point 0 to 38";
}

// From start-up, enters `scene` with button presses and runs 150 frames, long enough for scene 0's
// trails to go, with the pointer moving every fourth frame along a path that `shift` moves.
std::vector<int32_t> run(int scene, int shift) {
    std::srand(1), rand_pos = rand_step = 1, angle_x = angle_y = angle_z = spin_x = spin_y = 0;
    start_tables();
    for (int f = -scene; f < 150; ++f) {
        if (f < 0) push(SDL_MOUSEBUTTONDOWN);
        if (f >= 0 && f % 4 == 0) push(SDL_MOUSEMOTION, 160 + f * 7 % 320 - shift, 120 + f * 3 % 240 + shift);
        EXPECT_TRUE(run_frame());
    }
    EXPECT_EQ(scene_mode, scene);
    return {accum_buffer, accum_buffer + screen_pixels};
}

TEST(EndToEnd, EverySceneDrawsInItsColoursAndFollowsThePointer) {
    open_screen();
    for (int scene = 0; scene < 3; ++scene) {
        int lit = 0, red_only = 0, blue_heavy = 0, green_is_blue = 0;
        for (int32_t w : run(scene, 0)) {
            const int r = (w >> 16) & 0xFF, g = (w >> 8) & 0xFF, b = w & 0xFF;
            lit += w != 0, red_only += r > 0 && g == 0, blue_heavy += b > r + 4, green_is_blue += g == b;
        }
        // Scene 1's colours treat green and blue alike; scene 0's group 1 and scene 2's group 0 lean to blue.
        EXPECT_GT(lit, 3000) << scene;
        EXPECT_TRUE(scene == 1 ? green_is_blue == screen_pixels && red_only > 100 : blue_heavy > 100) << scene;
    }
    EXPECT_TRUE(run(0, 100) != run(0, 0)) << "the pointer changed nothing";
}

}  // namespace
