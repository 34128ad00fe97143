// The random pool and the generator behind it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "rings/rings_internal.h"

namespace {

TEST(Generator, StartsAt1804289383AndRestartsOnReset) {
    random_reset();
    std::vector<int32_t> first(1000);
    for (int32_t& value : first) value = random_next();
    EXPECT_EQ(first[0], 1804289383);
    EXPECT_EQ(first[1], 846930886);
    random_reset();
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(random_next(), first[i]) << i;
}

#ifdef __GLIBC__
// The pool's generator must repeat the unseeded rand() of this C library, so
// that nothing changed where the program first drew from it.
TEST(Generator, RepeatsTheGnuCLibraryRandForAMillionDraws) {
    std::srand(1);  // NOLINT(cert-msc32-c,cert-msc51-cpp): the unseeded state, to compare with
    random_reset();
    // NOLINTNEXTLINE(cert-msc30-c,cert-msc50-cpp): the reference
    for (int i = 0; i < 1000000; ++i) ASSERT_EQ(random_next(), std::rand()) << "draw " << i;
}
#endif

TEST(RandomPool, FromStartUpThroughTheFirstWrap) {
    random_reset();
    std::vector<int32_t> r(pool_size + 2);
    for (int32_t& v : r) v = random_next();
    pool_reset();
    EXPECT_EQ(rand_pos, 1);
    EXPECT_EQ(rand_step, 1);
    for (int i = 0; i < pool_size; ++i) ASSERT_EQ(rand_pool[i], r[i] % 255) << i;
    // Entries 0 and 1 come only after a wrap.
    for (int entry = 2; entry < pool_size; ++entry) {
        ASSERT_EQ(pool_next(), rand_pool[entry]) << entry;
        ASSERT_EQ(rand_pos, entry);
    }
    // The 5001st draw gives the stride, the 5002nd the index.
    const int step = r[pool_size] % 5 + 1, pos = r[pool_size + 1] % 5;
    EXPECT_EQ(pool_next(), rand_pool[pos]);
    EXPECT_EQ(rand_pos, pos);
    EXPECT_EQ(rand_step, step);
    EXPECT_EQ(pool_next(), rand_pool[pos + step]);
    EXPECT_EQ(rand_pos, pos + step);
}

}  // namespace
