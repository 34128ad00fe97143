// The generator behind the random pool. The golden frames prove the pool and the generator on every
// host; here the generator is held to the C library's own where that is the GNU one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "rings/rings_internal.h"

namespace {

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

}  // namespace
