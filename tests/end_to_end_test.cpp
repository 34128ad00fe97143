#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "app/app.h"
#include "raster/raster.h"
#include "rings/rings.h"

namespace {

// Back to the program's own start-up state, so runs differ only in input.
void fresh_start() {
    std::srand(1);
    rand_pos = rand_step = 1;
    scene_mode = mouse_x = mouse_y = spin_x = spin_y = 0;
    angle_x = angle_y = angle_z = 0;
    start_tables();
    SDL_Event drained;
    while (SDL_PollEvent(&drained)) {
    }
}

void open_screen() {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    video_surface = SDL_SetVideoMode(640, 480, 16, 0);
    ASSERT_NE(video_surface, nullptr) << SDL_GetError();
    bytes_per_pixel = video_surface->format->BytesPerPixel;
}

// Enters `scene` with button presses, then runs `frames` frames with the
// pointer moving every fourth frame along one of two paths.
std::vector<int32_t> run(int scene, bool other_path, int frames) {
    fresh_start();
    for (int f = -scene; f < frames; ++f) {
        SDL_Event e{};
        e.type = f < 0 ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEMOTION;
        e.motion.x = static_cast<Uint16>(other_path ? 520 - (f * 5) % 400 : 160 + (f * 7) % 320);
        e.motion.y = static_cast<Uint16>(other_path ? 400 - (f * 2) % 300 : 120 + (f * 3) % 240);
        if (f < 0 || f % 4 == 0) SDL_PushEvent(&e);
        EXPECT_TRUE(run_frame());
    }
    EXPECT_EQ(scene_mode, scene);
    return {accum_buffer, accum_buffer + screen_pixels};
}

TEST(EndToEnd, EverySceneDrawsRingsInItsColours) {
    open_screen();
    for (int scene = 0; scene < 3; ++scene) {
        // Long enough for scene 0's trails (at most 255, fading by 4) to go.
        const std::vector<int32_t> picture = run(scene, false, 150);
        int lit = 0, red_only = 0, cyan = 0, blue_heavy = 0, green_is_blue = 0;
        for (int32_t w : picture) {
            const int r = (w >> 16) & 0xFF, g = (w >> 8) & 0xFF, b = w & 0xFF;
            lit += w != 0;
            red_only += r > 0 && g == 0 && b == 0;
            cyan += r == 0 && g > 0 && g == b;
            blue_heavy += b > r + 4;
            green_is_blue += g == b;
        }
        EXPECT_GT(lit, 3000) << "scene " << scene;
        if (scene == 1) {
            // Its colours are 8|10,0,0 and 0,7,7 and 8|7 grey; fading and
            // saturation treat green and blue alike, and so does the white point.
            EXPECT_EQ(green_is_blue, screen_pixels);
            EXPECT_GT(red_only, 100);
            EXPECT_GT(cyan, 100);
        } else {
            // Scene 0's group 1 and scene 2's group 0 lean to blue.
            EXPECT_GT(blue_heavy, 100) << "scene " << scene;
        }
        // The frame reached the screen surface as well.
        int shown = 0;
        const auto* pixels = static_cast<const Uint8*>(video_surface->pixels);
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                shown += reinterpret_cast<const Uint16*>(pixels + y * video_surface->pitch)[x] != 0;
        EXPECT_GT(shown, lit / 2) << "scene " << scene;
    }
    SDL_Quit();
}

TEST(EndToEnd, PictureIsRepeatableAndFollowsThePointer) {
    open_screen();
    const std::vector<int32_t> a = run(0, false, 120);
    EXPECT_TRUE(run(0, false, 120) == a);
    const std::vector<int32_t> b = run(0, true, 120);
    int differ = 0;
    for (int i = 0; i < screen_pixels; ++i) differ += a[i] != b[i];
    EXPECT_GT(differ, 1000);
    SDL_Quit();
}

}  // namespace
