// The scene setups, which lay out all 60 rings from the pool and the ring
// tables, and the animators that move and respawn them every frame.
#include "rings/rings_internal.h"

#include "trig/trig.h"

float model_x[point_count];
float model_y[point_count];
float model_z[point_count];
int32_t ring_life[ring_count];
float ring_drift[3][ring_count];
int32_t ring_red[ring_count];
int32_t ring_green[ring_count];
int32_t ring_blue[ring_count];

namespace {

struct Colour {
    int32_t red;
    int32_t green;
    int32_t blue;
};

// Per scene and ring group: the colour for an even draw, then for an odd one.
constexpr Colour scene_colours[3][3][2] = {
    {{{12, 12, 2}, {10, 8, 2}}, {{2, 2, 12}, {6, 6, 6}}, {{6, 6, 6}, {12, 2, 2}}},
    {{{8, 0, 0}, {10, 0, 0}}, {{0, 7, 7}, {0, 7, 7}}, {{8, 8, 8}, {7, 7, 7}}},
    {{{2, 2, 12}, {1, 1, 16}}, {{12, 14, 2}, {10, 8, 4}}, {{12, 6, 2}, {12, 8, 1}}},
};

// Each group's travel, cosine and sine axes.
float* travel_axis(int32_t group) { return group == 0 ? model_x : group == 1 ? model_y : model_z; }
float* cosine_axis(int32_t group) { return group == 0 ? model_y : model_x; }
float* sine_axis(int32_t group) { return group == 2 ? model_y : model_z; }

void pick_colours(int32_t scene) {
    for (int32_t r = 0; r < ring_count; ++r) {
        const int32_t v = pool_next();
        const Colour& c = scene_colours[scene][r / rings_per_group][v % 2];
        ring_red[r] = c.red;
        ring_green[r] = c.green;
        ring_blue[r] = c.blue;
    }
}

void pick_lifetimes() {
    for (int32_t& life : ring_life) life = pool_next() % 35 + 1;
}

// Scene 0 drifts either way; scenes 1 and 2 always towards the positive end.
void pick_speeds(bool either_way) {
    for (int32_t r = 0; r < ring_count; ++r) {
        for (auto& drift : ring_drift) {
            const int32_t v = pool_next();
            const int32_t n = either_way ? v - 125 : v % 10 + 125;
            drift[r] = static_cast<float>(n) / 8000.0f;
        }
    }
}

void lay_out_ring(int32_t r, float start, float divisor) {
    const int32_t group = r / rings_per_group;
    float* travel = travel_axis(group);
    float* cosine = cosine_axis(group);
    float* sine = sine_axis(group);
    for (int32_t k = 0; k < ring_points; ++k) {
        const int32_t i = r * ring_points + k;
        travel[i] = start;
        // A divisor of 0 (scene 2) is meant: the ring gets non-finite
        // coordinates, which the projection maps far off the screen.
        cosine[i] = 2.0f * ring_cos[k] / divisor;
        sine[i] = 2.0f * ring_sin[k] / divisor;
    }
}

// Moves every ring along its travel axis, counts its life down and respawns
// it at `restart` with a lifetime of v mod `spread` + `base`.
void animate(int32_t spread, int32_t base, float restart) {
    for (int32_t r = 0; r < ring_count; ++r) {
        const int32_t group = r / rings_per_group;
        float* travel = travel_axis(group) + r * ring_points;
        const float speed = ring_drift[group][r];
        // Point 39 is never drawn, so it is not moved either.
        for (int32_t k = 0; k < ring_points - 1; ++k) travel[k] += speed;
        ring_life[r] -= 1;
        if (ring_life[r] <= 0) {
            ring_life[r] = pool_next() % spread + base;
            for (int32_t k = 0; k < ring_points; ++k) travel[k] = restart;
        }
    }
}

}  // namespace

void setup_scene_0() {
    pick_colours(0);
    pick_lifetimes();
    pick_speeds(true);
    for (int32_t r = 0; r < ring_count; ++r) lay_out_ring(r, 0.0f, 1.2f);
}

void setup_scene_1() {
    pick_colours(1);
    pick_lifetimes();
    pick_speeds(false);
    for (int32_t r = 0; r < ring_count; ++r) lay_out_ring(r, -0.5f, 2.0f);
}

void setup_scene_2() {
    pick_colours(2);
    pick_lifetimes();
    pick_speeds(false);
    for (int32_t r = 0; r < ring_count; ++r) {
        const int32_t divisor = pool_next() % 2;
        lay_out_ring(r, -0.5f, static_cast<float>(divisor));
    }
}

void animate_scene_0() { animate(155, 20, 0.0f); }
void animate_scene_1() { animate(85, 120, -1.5f); }
void animate_scene_2() { animate(85, 120, -1.5f); }
