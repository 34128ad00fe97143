#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "rings/rings.h"

namespace {

// The first n results of rand from the unseeded state, which C defines as
// the state after srand(1); leaves rand back in that state.
std::vector<int> rand_sequence(int n) {
    std::srand(1);
    std::vector<int> r(n);
    for (int& v : r) v = std::rand();
    std::srand(1);
    return r;
}

TEST(RandomPool, CursorFromStartUpThroughTheFirstWraps) {
    const std::vector<int> r = rand_sequence(pool_size + 4);
    EXPECT_EQ(rand_pos, 1);
    EXPECT_EQ(rand_step, 1);
    pool_fill();
    for (int i = 0; i < pool_size; ++i) ASSERT_EQ(rand_pool[i], r[i] % 255) << i;
    // pool_fill leaves the cursor alone: the first draw reads entry 2.
    for (int draw = 1; draw <= 4998; ++draw) {
        ASSERT_EQ(pool_next(), rand_pool[draw + 1]) << draw;
        ASSERT_EQ(rand_pos, draw + 1);
    }
    // Draw 4999 wraps on the 5001st and 5002nd rand results: stride, then index.
    int step = r[pool_size] % 5 + 1;
    int pos = r[pool_size + 1] % 5;
    EXPECT_EQ(pool_next(), rand_pool[pos]);
    EXPECT_EQ(rand_step, step);
    EXPECT_EQ(rand_pos, pos);
    while (pos + step < pool_size) {
        pos += step;
        ASSERT_EQ(pool_next(), rand_pool[pos]);
        ASSERT_EQ(rand_pos, pos);
    }
    // The second wrap continues the same rand sequence.
    step = r[pool_size + 2] % 5 + 1;
    pos = r[pool_size + 3] % 5;
    EXPECT_EQ(pool_next(), rand_pool[pos]);
    EXPECT_EQ(rand_step, step);
    EXPECT_EQ(rand_pos, pos);
}

TEST(RandomPool, WrapsExactlyFrom5000On) {
    for (int i = 0; i < pool_size; ++i) rand_pool[i] = (i * 7) % 255;
    const struct {
        int pos, step;
        bool wraps;
    } cases[] = {
        {4998, 1, false}, {4994, 5, false}, {4999, 1, true},
        {4995, 5, true},  {4998, 5, true},  {0, 5, false},
    };
    for (const auto& c : cases) {
        const std::vector<int> r = rand_sequence(2);
        rand_pos = c.pos;
        rand_step = c.step;
        const int value = pool_next();
        if (c.wraps) {
            EXPECT_EQ(rand_step, r[0] % 5 + 1) << c.pos << "+" << c.step;
            EXPECT_EQ(rand_pos, r[1] % 5) << c.pos << "+" << c.step;
        } else {
            EXPECT_EQ(rand_pos, c.pos + c.step);
            EXPECT_EQ(rand_step, c.step);
            EXPECT_EQ(std::rand(), r[0]) << "rand called without a wrap";
        }
        EXPECT_EQ(value, rand_pool[rand_pos]);
    }
}

TEST(RandomPool, ValuesStridesAndIndicesStayInRange) {
    pool_fill();
    int wraps = 0;
    for (int draw = 0; draw < 200000; ++draw) {
        const int before = rand_pos;
        const int v = pool_next();
        ASSERT_TRUE(v >= 0 && v <= 254 && rand_step >= 1 && rand_step <= 5) << draw;
        ASSERT_TRUE(rand_pos >= 0 && rand_pos < pool_size && (rand_pos > before || rand_pos <= 4));
        wraps += rand_pos < before;
    }
    EXPECT_GE(wraps, 40);  // at most 5000 draws between wraps
}

}  // namespace
