// The dither noise generator of one run.
//
// An additive lagged-Fibonacci generator over 31 words of 32 bits: each draw
// adds the word three places back to the word 31 places back, modulo 2^32,
// and yields the sum without its lowest bit (0 .. 2^31 - 1). The 31 words
// are filled from the seed by the minimal standard generator (x 16807 modulo
// 2^31 - 1, taken in steps that cannot overflow) and the first 310 draws are
// thrown away. Seed 0 runs as seed 1. For a seed this gives the same
// sequence as the C library's rand() after srand() on GNU systems, so a
// seeded render keeps the noise it has always had. It keeps the 31 words and
// its two positions in them between draws; the run owns one.
#pragma once

#include <array>
#include <cstdint>

namespace tarvex {

class DitherNoise {
  public:
    explicit DitherNoise(uint32_t seed = 1) { reseed(seed); }

    void reseed(uint32_t seed) {
        if (seed == 0) seed = 1;
        words_[0] = seed;
        auto word = static_cast<int32_t>(seed);
        for (std::size_t i = 1; i < kWords; ++i) {
            const int32_t hi = word / 127773;
            const int32_t lo = word % 127773;
            word = static_cast<int32_t>(int64_t{16807} * lo - int64_t{2836} * hi);
            if (word < 0) word += 2147483647;
            words_[i] = static_cast<uint32_t>(word);
        }
        front_ = kSeparation;
        rear_ = 0;
        for (int i = 0; i < kWarmUpDraws; ++i)
            next();
    }

    // The next draw, 0 .. 2^31 - 1. Runs in the mix loop.
    int32_t next() {
        const uint32_t sum = words_[front_] += words_[rear_];
        front_ = front_ + 1 == kWords ? 0 : front_ + 1;
        rear_ = rear_ + 1 == kWords ? 0 : rear_ + 1;
        return static_cast<int32_t>(sum >> 1);
    }

  private:
    static constexpr std::size_t kWords = 31;
    static constexpr std::size_t kSeparation = 3;
    static constexpr int kWarmUpDraws = 310;
    std::array<uint32_t, kWords> words_{}; // the generator's state
    std::size_t front_ = kSeparation;      // word that takes the next sum
    std::size_t rear_ = 0;                 // word added to it
};

} // namespace tarvex
