// The sine and cosine tables.
#include <gtest/gtest.h>

#include <bit>

#include "trig/trig.h"

namespace {

bool same(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

TEST(TrigTables, CheckpointsBitForBit) {
    build_trig_tables();
    const struct { float value, want; } exact[] = {
        {turn_sin[0], 0.0f},          {turn_cos[0], 1.0f},          {turn_sin[512], 0.70710677f},
        {turn_cos[512], 0.70710677f}, {turn_sin[1024], 1.0f},       {turn_cos[2048], -1.0f},
        {turn_cos[4095], 0.9999988f}, {turn_sin[4095], -0.0015339874f}, {ring_cos[1], 0.98768836f},
        {ring_sin[1], 0.15643446f}};
    for (const auto& c : exact) EXPECT_TRUE(same(c.value, c.want)) << c.want;
    // Pi taken as 3.14159265 misses each quarter turn by about 1.7949e-9.
    EXPECT_NEAR(turn_cos[1024], 1.7949e-9, 1e-12);
    EXPECT_NEAR(turn_sin[2048], 3.5898e-9, 1e-12);
    EXPECT_NEAR(turn_cos[3072], -5.3847e-9, 1e-12);
    for (int k = 0; k < 8; ++k)  // same degrees, so the same bits
        EXPECT_TRUE(same(ring_sin[5 * k], turn_sin[512 * k]) && same(ring_cos[5 * k], turn_cos[512 * k])) << k;
}

}  // namespace
