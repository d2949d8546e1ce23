// The dither noise keeps the sequence that seeded renders have always had.
#include "core/dither_noise.h"

#include <cstdlib>

#include <gtest/gtest.h>

#ifdef __GLIBC__
TEST(DitherNoise, FollowsTheCLibraryForEverySeed) {
    for (const uint32_t seed : {0u, 1u, 42u, 3599u, 0x80000001u, 0xffffffffu}) {
        tarvex::DitherNoise noise(seed);
        std::srand(seed);
        for (int i = 0; i < 5000; ++i)
            ASSERT_EQ(noise.next(), std::rand()) << "seed " << seed << ", draw " << i;
    }
}
#endif
