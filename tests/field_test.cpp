#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "app/app.h"
#include "rings/rings.h"

namespace {

// Per group: travel axis = group, then the cosine and the sine axis.
float* const model[3] = {model_x, model_y, model_z};
constexpr int cos_axis[3] = {1, 0, 0};
constexpr int sin_axis[3] = {2, 2, 1};

// Colour per scene, group and parity of the drawn value, as red, green, blue.
constexpr int32_t colours[3][3][2][3] = {
    {{{12, 12, 2}, {10, 8, 2}}, {{2, 2, 12}, {6, 6, 6}}, {{6, 6, 6}, {12, 2, 2}}},
    {{{8, 0, 0}, {10, 0, 0}}, {{0, 7, 7}, {0, 7, 7}}, {{8, 8, 8}, {7, 7, 7}}},
    {{{2, 2, 12}, {1, 1, 16}}, {{12, 14, 2}, {10, 8, 4}}, {{12, 6, 2}, {12, 8, 1}}},
};

// Bitwise equality, so NaNs and signed zeros count too.
bool same(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

// Checks a whole field laid out by `scene`'s setup from pool entries first,
// first + 1, ... (stride 1, no wrap); returns how many rings got divisor 0.
int check_setup(int scene, int first) {
    int zero_divisors = 0;
    for (int r = 0; r < ring_count; ++r) {
        const int g = r / rings_per_group;
        const int32_t* c = colours[scene][g][rand_pool[first + r] % 2];
        EXPECT_EQ(ring_red[r], c[0]) << "scene " << scene << " ring " << r;
        EXPECT_EQ(ring_green[r], c[1]) << "scene " << scene << " ring " << r;
        EXPECT_EQ(ring_blue[r], c[2]) << "scene " << scene << " ring " << r;
        EXPECT_EQ(ring_life[r], rand_pool[first + 60 + r] % 35 + 1) << r;
        for (int a = 0; a < 3; ++a) {
            const int v = rand_pool[first + 120 + 3 * r + a];
            const int n = scene == 0 ? v - 125 : v % 10 + 125;
            EXPECT_TRUE(same(ring_drift[a][r], static_cast<float>(n) / 8000.0f)) << r << "," << a;
        }
        const float start = scene == 0 ? 0.0f : -0.5f;
        float divisor = scene == 0 ? 1.2f : 2.0f;
        if (scene == 2) divisor = static_cast<float>(rand_pool[first + 300 + r] % 2);
        zero_divisors += divisor == 0.0f;
        for (int k = 0; k < ring_points; ++k) {
            const int i = r * ring_points + k;
            const float x = model[cos_axis[g]][i];
            const float y = model[sin_axis[g]][i];
            EXPECT_TRUE(same(model[g][i], start)) << r << "," << k;
            EXPECT_TRUE(same(x, 2.0f * ring_cos[k] / divisor)) << r << "," << k;
            EXPECT_TRUE(same(y, 2.0f * ring_sin[k] / divisor)) << r << "," << k;
            if (divisor == 0.0f) {
                // Infinite with the table's sign; 0 / 0 only at the sine's entry 0.
                EXPECT_TRUE(std::isinf(x) && std::signbit(x) == std::signbit(ring_cos[k]));
                EXPECT_EQ(std::isnan(y), k == 0) << k;
            } else {
                const double radius = scene == 0 ? 2.0 / 1.2 : 2.0 / divisor;
                EXPECT_NEAR(std::hypot(x, y), radius, 1e-6) << r << "," << k;
            }
        }
    }
    return zero_divisors;
}

TEST(SceneSetups, EachSceneDrawsItsFieldFromThePoolInOrder) {
    start_tables();  // pool, tables and the start-up scene 0
    const int z0 = check_setup(0, 2);
    EXPECT_EQ(rand_pos, 301);
    EXPECT_EQ(z0, 0);
    setup_scene_1();
    check_setup(1, 302);
    EXPECT_EQ(rand_pos, 601);
    setup_scene_2();
    const int z2 = check_setup(2, 602);
    EXPECT_EQ(rand_pos, 961);  // one extra draw per ring, before its points
    EXPECT_TRUE(z2 > 0 && z2 < ring_count) << "both divisors should occur in this pool";
}

struct SceneRules {
    void (*setup)();
    void (*animate)();
    int spread, base;
    float restart;
};
const SceneRules scenes[3] = {
    {setup_scene_0, animate_scene_0, 155, 20, 0.0f},
    {setup_scene_1, animate_scene_1, 85, 120, -1.5f},
    {setup_scene_2, animate_scene_2, 85, 120, -1.5f},
};

TEST(SceneSetups, SpeedsFromBoundaryDraws) {
    start_tables();
    const struct {
        int scene, v;
        float speed;
    } cases[] = {
        {0, 0, -0.015625f}, {0, 254, 0.016125f}, {0, 125, 0.0f},      {0, 126, 0.000125f},
        {1, 0, 0.015625f},  {1, 9, 0.01675f},    {1, 254, 0.016125f}, {2, 249, 0.01675f},
    };
    for (const auto& c : cases) {
        rand_pos = 1;
        rand_step = 1;
        rand_pool[122 + 3 * 25 + 1] = c.v;  // ring 25's y speed
        scenes[c.scene].setup();
        EXPECT_TRUE(same(ring_drift[1][25], c.speed)) << c.scene << ": " << c.v;
    }
    // A group-1 ring drawing 0, 254, 125 moves along y only, by +0.016125.
    rand_pos = 1;
    rand_step = 1;
    const int draws[3] = {0, 254, 125};
    for (int a = 0; a < 3; ++a) rand_pool[122 + 3 * 25 + a] = draws[a];
    setup_scene_0();
    ring_life[25] = 10;
    animate_scene_0();
    for (int i = 25 * ring_points; i < 26 * ring_points - 1; ++i) {
        EXPECT_TRUE(same(model_y[i], 0.016125f)) << i;
        EXPECT_TRUE(same(model_x[i], 2.0f * ring_cos[i % ring_points] / 1.2f)) << i;
    }
}

TEST(Animators, MoveThenCountDownThenRespawnInRingOrder) {
    start_tables();
    for (int s = 0; s < 3; ++s) {
        for (bool all_die : {false, true}) {
            scenes[s].setup();
            for (int r = 0; r < ring_count; ++r)
                ring_life[r] = all_die || r % 3 == 0 ? 1 : r % 7 + 2;
            std::vector<float> old[3];
            for (int a = 0; a < 3; ++a) old[a].assign(model[a], model[a] + point_count);
            const std::vector<int32_t> life(ring_life, ring_life + ring_count);
            const int p = rand_pos;
            scenes[s].animate();
            int draws = 0;
            for (int r = 0; r < ring_count; ++r) {
                const int g = r / rings_per_group;
                const bool respawn = life[r] == 1;
                const int want_life =
                    respawn ? rand_pool[p + 1 + draws++] % scenes[s].spread + scenes[s].base
                            : life[r] - 1;
                EXPECT_EQ(ring_life[r], want_life) << "scene " << s << " ring " << r;
                for (int i = r * ring_points; i < (r + 1) * ring_points; ++i) {
                    // Point 39 stays put; a respawn resets all 40.
                    const bool last = i % ring_points == ring_points - 1;
                    const float want = respawn ? scenes[s].restart
                                       : last  ? old[g][i]
                                               : old[g][i] + ring_drift[g][r];
                    EXPECT_TRUE(same(model[g][i], want)) << "scene " << s << " point " << i;
                    EXPECT_TRUE(same(model[cos_axis[g]][i], old[cos_axis[g]][i]));
                    EXPECT_TRUE(same(model[sin_axis[g]][i], old[sin_axis[g]][i]));
                }
            }
            EXPECT_EQ(draws, all_die ? 60 : 20);
            EXPECT_EQ(rand_pos, p + draws);
        }
    }
}

TEST(Animators, LifetimeLGivesExactlyLSteps) {
    start_tables();
    setup_scene_1();
    float* travel = model_z + 45 * ring_points;  // ring 45 travels along z
    for (int lifetime : {1, 2, 9}) {
        for (int r = 0; r < ring_count; ++r) ring_life[r] = r == 45 ? lifetime : 1000;
        const int p = rand_pos;
        float expected = travel[0];
        for (int step = 1; step <= lifetime; ++step) {
            animate_scene_1();
            expected += ring_drift[2][45];
            const bool last = step == lifetime;
            EXPECT_EQ(ring_life[45], last ? rand_pool[p + 1] % 85 + 120 : lifetime - step);
            EXPECT_TRUE(same(travel[0], last ? -1.5f : expected)) << lifetime << " step " << step;
            EXPECT_EQ(rand_pos, p + last);
        }
    }
}

TEST(Animators, SceneZeroRingWithSpeedZeroNeverLeavesTheCentre) {
    start_tables();
    rand_pos = 1;
    rand_step = 1;
    rand_pool[122 + 3 * 3] = 125;  // ring 3's x speed
    setup_scene_0();
    ASSERT_TRUE(same(ring_drift[0][3], 0.0f));
    int respawns = 0;
    for (int step = 0; step < 400; ++step) {
        const int before = ring_life[3];
        animate_scene_0();
        respawns += ring_life[3] >= before;
        for (int i = 3 * ring_points; i < 4 * ring_points; ++i)
            ASSERT_TRUE(same(model_x[i], 0.0f)) << step;
    }
    EXPECT_GE(respawns, 2);
}

}  // namespace
