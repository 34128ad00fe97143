#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "app/app.h"

namespace {

uint32_t bits(float f) { return std::bit_cast<uint32_t>(f); }

TEST(TrigTables, CheckpointsBitForBit) {
    build_trig_tables();
    struct Case {
        const float* table;
        int index;
        float expected;
    };
    const Case exact[] = {
        {turn_sin, 0, 0.0f},          {turn_cos, 0, 1.0f},          {ring_sin, 0, 0.0f},
        {ring_cos, 0, 1.0f},          {turn_sin, 512, 0.70710677f}, {turn_cos, 512, 0.70710677f},
        {turn_sin, 1024, 1.0f},       {turn_cos, 2048, -1.0f},      {turn_sin, 3072, -1.0f},
        {turn_cos, 4095, 0.9999988f}, {ring_cos, 1, 0.98768836f},   {ring_sin, 1, 0.15643446f},
    };
    for (const Case& c : exact)
        EXPECT_EQ(bits(c.table[c.index]), bits(c.expected)) << "entry " << c.index;
    EXPECT_EQ(bits(turn_cos[4095]), bits(turn_cos[1]));
    EXPECT_FLOAT_EQ(turn_sin[4095], -0.0015339874f);
}

// Pi is taken as 3.14159265, so the quarter turns miss zero by about
// (pi - 3.14159265) / 2 = 1.7949e-9 per quarter turn.
TEST(TrigTables, QuarterTurnsAreTinyButNotZero) {
    build_trig_tables();
    const struct {
        float value;
        double expected;
    } cases[] = {
        {turn_cos[1024], 1.7949e-9}, {turn_sin[2048], 3.5898e-9}, {turn_cos[3072], -5.3847e-9},
        {ring_cos[10], 1.7949e-9},   {ring_sin[20], 3.5898e-9},   {ring_cos[30], -5.3847e-9},
    };
    for (const auto& c : cases) {
        EXPECT_NE(c.value, 0.0f);
        EXPECT_NEAR(c.value, c.expected, std::fabs(c.expected) * 1e-3);
    }
}

TEST(TrigTables, RingEntriesMatchTurnEntriesAndTheCurve) {
    build_trig_tables();
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(bits(ring_sin[5 * k]), bits(turn_sin[512 * k])) << k;
        EXPECT_EQ(bits(ring_cos[5 * k]), bits(turn_cos[512 * k])) << k;
    }
    // Every entry sits at its own angle: catches shifted or swapped tables.
    const double two_pi = 6.283185307179586;
    for (int i = 0; i < turn_steps; ++i) {
        EXPECT_NEAR(turn_sin[i], std::sin(two_pi * i / turn_steps), 1e-7) << i;
        EXPECT_NEAR(turn_cos[i], std::cos(two_pi * i / turn_steps), 1e-7) << i;
    }
    for (int i = 0; i < ring_steps; ++i) {
        EXPECT_NEAR(ring_sin[i], std::sin(two_pi * i / ring_steps), 1e-7) << i;
        EXPECT_NEAR(ring_cos[i], std::cos(two_pi * i / ring_steps), 1e-7) << i;
    }
}

}  // namespace
