// The scene setups and the ring animators.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <vector>

#include "frame/frame_internal.h"
#include "rings/rings_internal.h"
#include "trig/trig.h"

namespace {

bool same(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

float* const model[3] = {model_x, model_y, model_z};

// Each setup takes 300 values from the pool (360 in scene 2, one divisor per
// ring) and leaves every lifetime and colour amount in range, every ring on
// its start with its scene's radius, and some scene-2 rings with no finite size.
TEST(SceneSetups, DrawThePoolInOrderAndStayInRange) {
    start_core();  // the start-up scene 0 draws entries 2..301
    EXPECT_EQ(rand_pos, 301);
    for (int scene = 0; scene < 3; ++scene) {
        const int first = rand_pos + 1;
        scenes[scene].setup();
        EXPECT_EQ(rand_pos, first - 1 + (scene == 2 ? 360 : 300)) << scene;
        int zero_divisors = 0;
        for (int r = 0; r < ring_count; ++r) {
            const int g = r / rings_per_group;
            const struct {
                const char* name;
                const int32_t* value;
                int32_t low, high;
            } fields[] = {{"life", ring_life, 1, 35},
                          {"red", ring_red, 0, 16},
                          {"green", ring_green, 0, 16},
                          {"blue", ring_blue, 0, 16}};
            for (const auto& f : fields) {
                EXPECT_GE(f.value[r], f.low) << f.name << " of ring " << r << ", scene " << scene;
                EXPECT_LE(f.value[r], f.high) << f.name << " of ring " << r << ", scene " << scene;
            }
            // All 40 points share the start on the travel axis.
            const int i = r * ring_points;
            for (int k = 0; k < ring_points; ++k)
                ASSERT_TRUE(same(model[g][i + k], scene == 0 ? 0.0f : -0.5f)) << scene << "/" << r;
            const float cos_axis = g == 0 ? model_y[i] : model_x[i];
            const bool zero = scene == 2 && rand_pool[first + 300 + r] % 2 == 0;
            zero_divisors += zero;
            const float radius = scene == 0 ? 2.0f / 1.2f : scene == 1 ? 1.0f : 2.0f;
            EXPECT_TRUE(zero ? std::isinf(cos_axis) : same(cos_axis, radius)) << scene << "/" << r;
        }
        if (scene == 2) {
            EXPECT_GT(zero_divisors, 0);
            EXPECT_LT(zero_divisors, ring_count);
        }
    }
}

TEST(Animators, MoveThenCountDownThenRespawnInRingOrder) {
    start_core();
    const struct {
        void (*setup)();
        void (*animate)();
        int spread, base;
        float restart;
    } scenes[] = {{setup_scene_0, animate_scene_0, 155, 20, 0.0f},
                  {setup_scene_1, animate_scene_1, 85, 120, -1.5f},
                  {setup_scene_2, animate_scene_2, 85, 120, -1.5f}};
    for (const auto& s : scenes) {
        s.setup();
        for (int r = 0; r < ring_count; ++r) ring_life[r] = r % 3 == 0 ? 1 : r % 7 + 2;
        const std::vector<float> old[3] = {
            {model_x, model_x + point_count}, {model_y, model_y + point_count}, {model_z, model_z + point_count}};
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

}  // namespace
