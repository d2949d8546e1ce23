// The true peak that skips stretches must be exactly the library's true peak
// of every sample, whatever the signal, the rate and the block sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include <ebur128.h>

#include "meters/true_peak.h"

using namespace tarvex;

namespace {

using Signal = std::vector<int32_t>; // interleaved, full scale at 2^31

int32_t toSample(double v) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(std::llround(v * 2147483648.0), INT32_MIN, INT32_MAX));
}

// Noise whose level fades in, sits, falls silent and comes back as a single
// loud burst: the bursts and the crests after a quiet stretch are where a
// skipped stretch would show.
Signal programme(uint32_t rate, int32_t channels, double seconds, uint32_t seed) {
    std::mt19937 gen(seed);
    std::normal_distribution<double> noise(0.0, 0.08);
    const auto frames = static_cast<int64_t>(seconds * rate);
    Signal s(static_cast<std::size_t>(frames * channels));
    for (int64_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / frames;
        double level = std::min(1.0, t * 8.0);
        if (t > 0.6 && t < 0.7) level = 0.0;
        for (int32_t c = 0; c < channels; ++c) {
            double v = level * noise(gen);
            if (i == frames * 65 / 100 + c) v = c == 0 ? 0.9 : -0.95;
            s[static_cast<std::size_t>(i * channels + c)] = toSample(v);
        }
    }
    return s;
}

// Quiet noise with one loud sample early and the loudest crest two samples
// into a stretch of twelve (the meter decides a dozen samples at a time at
// 48 kHz): the crest's interpolated values lean on the noise before that
// stretch, which was quiet enough to be skipped.
Signal crestAfterSkippedNoise(double seconds) {
    std::mt19937 gen(11);
    std::normal_distribution<double> noise(0.0, 0.04);
    const auto frames = static_cast<int64_t>(seconds * 48000);
    Signal s(static_cast<std::size_t>(frames * 2));
    for (int64_t i = 0; i < frames; ++i) {
        double v = noise(gen);
        if (i == 4800) v = 0.5;
        if (i == 100010) v = 0.95;
        if (i == 100011) v = 0.7;
        s[static_cast<std::size_t>(2 * i)] = toSample(v);
        s[static_cast<std::size_t>(2 * i + 1)] = toSample(-v);
    }
    return s;
}

// A sine at a quarter of the rate whose samples miss its crests by 45
// degrees, a little louder in its second half, then hard clipping at both
// full-scale ends.
Signal crests(uint32_t rate, double seconds) {
    const auto frames = static_cast<int64_t>(seconds * rate);
    Signal s(static_cast<std::size_t>(frames * 2));
    for (int64_t i = 0; i < frames; ++i) {
        const double a = i < frames / 2 ? 0.5 : 0.6;
        const double v =
            a * std::sin(std::numbers::pi / 2.0 * static_cast<double>(i) + std::numbers::pi / 4.0);
        s[static_cast<std::size_t>(2 * i)] = toSample(v);
        s[static_cast<std::size_t>(2 * i + 1)] =
            i > frames * 9 / 10 ? (i % 3 == 0 ? INT32_MIN : INT32_MAX) : toSample(-v / 2.0);
    }
    return s;
}

struct Reading {
    std::vector<double> peaks;   // per side
    std::vector<double> samples; // largest sample per side
    int64_t measured = 0;
};

// The meter under test, block by block.
Reading skipping(const Signal& s, uint32_t rate, int32_t channels,
                 const std::vector<int64_t>& blocks) {
    TruePeakMeter m;
    EXPECT_TRUE(m.open(rate, channels));
    const int64_t frames = static_cast<int64_t>(s.size()) / channels;
    int64_t at = 0;
    for (std::size_t k = 0; at < frames; ++k) {
        const int64_t n = std::min(blocks[k % blocks.size()], frames - at);
        m.add(s.data() + at * channels, n);
        at += n;
    }
    Reading r;
    r.measured = m.samplesMeasured();
    for (int32_t c = 0; c < channels; ++c) {
        r.peaks.push_back(m.peak(c));
        r.samples.push_back(m.samplePeak(c));
    }
    return r;
}

// The library's own true and sample peaks of every sample.
Reading everySample(const Signal& s, uint32_t rate, int32_t channels) {
    ebur128_state* st = ebur128_init(static_cast<unsigned>(channels), rate, EBUR128_MODE_TRUE_PEAK);
    ebur128_add_frames_int(st, s.data(), s.size() / static_cast<std::size_t>(channels));
    Reading r;
    for (int32_t c = 0; c < channels; ++c) {
        double v = 0.0;
        ebur128_true_peak(st, static_cast<unsigned>(c), &v);
        r.peaks.push_back(v);
        ebur128_sample_peak(st, static_cast<unsigned>(c), &v);
        r.samples.push_back(v);
    }
    ebur128_destroy(&st);
    return r;
}

const std::vector<std::vector<int64_t>> kBlockPatterns = {
    {131072}, {4096, 5, 1, 1, 10, 33, 2000, 7}, {1}, {11, 12, 13}};

} // namespace

TEST(TruePeak, EqualsTheLibrarysMeasurementOfEverySample) {
    struct Case {
        uint32_t rate;
        int32_t channels;
        Signal signal;
    };
    std::vector<Case> cases;
    for (uint32_t rate : {44100u, 48000u, 96000u})
        cases.push_back({rate, 2, programme(rate, 2, 3.0, rate)});
    cases.push_back({48000, 1, programme(48000, 1, 3.0, 7)});
    cases.push_back({48000, 2, crests(48000, 1.0)});
    cases.push_back({48000, 2, crestAfterSkippedNoise(2.5)});
    for (const Case& c : cases) {
        const Reading reference = everySample(c.signal, c.rate, c.channels);
        for (const auto& blocks : kBlockPatterns) {
            // One-frame blocks are slow through the library; a shorter stretch shows the same.
            const Signal& s = blocks.front() == 1
                                  ? Signal(c.signal.begin(), c.signal.begin() + 20000 * c.channels)
                                  : c.signal;
            const Reading want =
                blocks.front() == 1 ? everySample(s, c.rate, c.channels) : reference;
            const Reading got = skipping(s, c.rate, c.channels, blocks);
            EXPECT_EQ(got.peaks, want.peaks)
                << c.rate << " Hz, " << c.channels << " sides, blocks from " << blocks.front();
            EXPECT_EQ(got.samples, want.samples);
        }
    }
}

TEST(TruePeak, MeasuresOnlyTheLoudMomentsOfNoise) {
    // At 48 kHz the interpolator looks at a dozen samples and gains less than
    // two: noise, whose crests stand well above its body, then needs the
    // library only around its louder moments.
    TruePeakMeter m;
    ASSERT_TRUE(m.open(48000, 2));
    EXPECT_EQ(m.support(), 12);
    EXPECT_GT(m.gainBound(), 1.0);
    EXPECT_LT(m.gainBound(), 2.0);
    const Signal s = programme(48000, 2, 10.0, 3);
    const Reading r = skipping(s, 48000, 2, {131072});
    EXPECT_LT(r.measured, static_cast<int64_t>(s.size()) / 2);
}
