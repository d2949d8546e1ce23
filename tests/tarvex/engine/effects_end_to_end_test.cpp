// Whole renders through the strip effects: every effect kind on a channel,
// the chain order, submix and master chains, and the clip lines of the
// report. Expected samples come from the processors run directly on the same
// input, so a render checks the reading, the chain, the conversions around it
// and the mixing that follows.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/saturate.h"

#include "driver/effect_lines.h"
#include "effects/compressors.h"
#include "effects/filters.h"
#include "effects/limiter.h"
#include "engine/strip_chain.h"
#include "tarvex_session.h"

using namespace tarvex;
using namespace tarvex_test;

namespace {

constexpr std::size_t kFrames = 6000;
// 24-bit output, unity faders, no dither: a channel sample y after its
// effects reaches the file as trunc(y).
const char* const kPrefs24 = "begin\nverbo\t1\ndither\t0\noutbits\t24\nend\n";

EffectSettings settingsFrom(const std::string& lines) {
    EffectSettings fx;
    readEffectSettings(KeywordText(lines, 1), "faders.txt", 44100.0, false, 0, 0, fx);
    return fx;
}

Limiter limiterOf(const LimiterSettings& settings) {
    Limiter l;
    l.setUp(settings);
    return l;
}

struct Stereo {
    std::vector<double> l, r;
};

// A stereo 16-bit input at channel scale (x 256).
Stereo channelScale(const std::vector<int32_t>& interleaved) {
    Stereo s;
    for (std::size_t i = 0; i + 1 < interleaved.size(); i += 2) {
        s.l.push_back(interleaved[i] * 256.0);
        s.r.push_back(interleaved[i + 1] * 256.0);
    }
    return s;
}

// Channel samples after their effects as they reach a 24-bit file: the unity
// fader multiplies by 256 (held at the 32-bit limits), the output divides by
// 256 toward zero.
int32_t toOutput(double y) {
    return truncToInt32(truncToInt32(y) * 256.0) / 256;
}

std::vector<int32_t> interleave(const Stereo& s) {
    std::vector<int32_t> out;
    for (std::size_t i = 0; i < s.l.size(); ++i) {
        out.push_back(toOutput(s.l[i]));
        out.push_back(toOutput(s.r[i]));
    }
    return out;
}

// One stereo track (noise with a loud middle part) rendered with `lines`
// after its unity fader; returns the output samples.
std::vector<int32_t> renderOneTrack(Session& s, const std::vector<int32_t>& input,
                                    const std::string& lines, RunResult* result = nullptr) {
    s.wav("a.wav", layout(2, SampleFormat::Pcm16), input);
    s.text("tracks.txt", "begin\n1 a.wav +\nend\n");
    s.text("prefs.txt", kPrefs24);
    s.text("faders.txt", unityFaders("m", 1, lines));
    RunResult r = s.run();
    EXPECT_EQ(r.status, 0) << r.out;
    if (result != nullptr) *result = r;
    return readMix(s.file("m.wav")).samples;
}

std::vector<int32_t> loudMiddle() {
    std::vector<int32_t> v = noise(2 * kFrames, 7, 3000);
    for (std::size_t i = 2 * 2000; i < 2 * 3500; ++i)
        v[i] *= 9;
    return v;
}

} // namespace

TEST(EffectsRender, EveryEffectKindOnAChannelMatchesItsProcessor) {
    const std::vector<int32_t> input = loudMiddle();
    const char* const lines[] = {
        "hp\t1\t200\n",
        "band1\t1\t1000\t9\t2\n",
        "band4\t1\t5000\t-12\t0.7\n",
        "hshelf\t1\t4000\t6\t0.7\n",
        "lshelf\t1\t150\t-8\t0.7\n",
        "comp\t1\t-12\t2\t50\t4\n",
        "rms\t1\t-18\t5\t80\t3\n",
        "nlc\t1\t-20\t400\t5\n",
        "lim\t1\t-10\n",
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        Session s;
        const std::vector<int32_t> out = renderOneTrack(s, input, line);
        const EffectSettings fx = settingsFrom(line);
        std::vector<StripEffects> strips;
        setUpStripEffects(fx, strips);
        Stereo x = channelScale(input);
        strips[1].process(kFrames, x.l, x.r);
        const std::vector<int32_t> expected = interleave(x);
        ASSERT_EQ(out.size(), expected.size());
        EXPECT_EQ(out, expected);
        EXPECT_NE(out, interleave(channelScale(input))) << "the effect changed nothing";
    }
}

TEST(EffectsRender, OrderLinesDecideTheChainOrder) {
    const std::vector<int32_t> input = loudMiddle();
    const std::string effects = "band2\t1\t800\t15\t1\nlim\t1\t-20\n";
    const EffectSettings fx = settingsFrom(effects);
    // Reference: the processors called directly in each order.
    auto direct = [&](bool limiterFirst) {
        Stereo x = channelScale(input);
        Biquad band2;
        band2.setUp(fx.band[1][1].coef);
        auto band = [&] { band2.process(kFrames, x.l, x.r); };
        auto lim = [&] { limiterOf(fx.lim[1]).process(kFrames, x.l, x.r); };
        if (limiterFirst) {
            lim();
            band();
        } else {
            band();
            lim();
        }
        return interleave(x);
    };
    Session s;
    // With no order lines the band runs before the limiter.
    const std::vector<int32_t> fixedOrder = renderOneTrack(s, input, effects);
    EXPECT_EQ(fixedOrder, direct(false));
    // The limiter moved to position 1 runs first; the band stays at 11.
    const std::vector<int32_t> moved = renderOneTrack(s, input, effects + "order\tlim\t1\t1\n");
    EXPECT_EQ(moved, direct(true));
    EXPECT_NE(moved, fixedOrder);
    // Position 12 takes the band out of the chain: only the limiter runs.
    const std::vector<int32_t> out = renderOneTrack(s, input, effects + "o:\tband2\t1\t12\n");
    Stereo x = channelScale(input);
    limiterOf(fx.lim[1]).process(kFrames, x.l, x.r);
    EXPECT_EQ(out, interleave(x));
}

TEST(EffectsRender, SubmixAndMasterChainsRunAtBusScale) {
    const std::vector<int32_t> input = loudMiddle();
    Session s;
    // Channel 1 feeds submix 1, which has a peak compressor; the master has a
    // limiter that runs last even when an order line puts it first.
    const std::string lines = "sub\t1\t1\ncomp\tG\t1\t-20\t1\t30\t4\nhp\tM\t30\nlim\tM\t-12\n"
                              "order\tlim\tM\t1\n";
    const std::vector<int32_t> out = renderOneTrack(s, input, lines);
    const EffectSettings fx = settingsFrom(lines);
    EXPECT_EQ(fx.comp[groupSlot(1)].threshold,
              static_cast<int32_t>(std::pow(10.0, -20.0 / 20.0) * 8388608.0) * 256 - 1);
    PeakCompressor comp;
    comp.setUp(fx.comp[groupSlot(1)]);
    HighPass hp;
    hp.setUp(fx.hp[0]);
    // Post-fader at bus scale: x 256 again.
    Stereo x = channelScale(input);
    for (std::size_t i = 0; i < kFrames; ++i) {
        x.l[i] = truncToInt32(x.l[i]) * 256.0;
        x.r[i] = truncToInt32(x.r[i]) * 256.0;
    }
    comp.process(kFrames, x.l, x.r);
    for (std::size_t i = 0; i < kFrames; ++i) {
        x.l[i] = truncToInt32(x.l[i]);
        x.r[i] = truncToInt32(x.r[i]);
    }
    hp.process(kFrames, x.l, x.r);
    limiterOf(fx.lim[0]).process(kFrames, x.l, x.r);
    std::vector<int32_t> expected;
    for (std::size_t i = 0; i < kFrames; ++i) {
        // The output divides by 256 toward zero.
        expected.push_back(truncToInt32(x.l[i]) / 256);
        expected.push_back(truncToInt32(x.r[i]) / 256);
    }
    EXPECT_EQ(out, expected);
}

TEST(EffectsRender, ClipLinesNameChannelsSubmixesAndTheMaster) {
    // Half scale through +7 dB of effects gain passes full scale; +6 dB does not.
    std::vector<int32_t> input(2 * 2000, 16384);
    Session s;
    RunResult r;
    renderOneTrack(s, input, "fxg\t1\t6\n", &r);
    EXPECT_EQ(r.out.find("is clipping"), std::string::npos) << r.out;

    renderOneTrack(s, input, "fxg\t1\t7\nsub\t1\t1\nhp\tG\t1\t20\nfxg\tG\t1\t12\nfxg\tM\t3\n", &r);
    const std::size_t channel = r.out.find("Channel 1 is clipping after effects processing!\n");
    const std::size_t submix = r.out.find("Submix 1 is clipping after effects processing!\n");
    const std::size_t master = r.out.find("Master channel is clipping after effects processing!\n");
    ASSERT_NE(channel, std::string::npos) << r.out;
    ASSERT_NE(submix, std::string::npos) << r.out;
    ASSERT_NE(master, std::string::npos) << r.out;
    EXPECT_LT(channel, submix);
    EXPECT_LT(submix, master);
    // The channel saturated at 2^23 before its fader: full scale out.
    EXPECT_EQ(readMix(s.file("m.wav")).samples.at(0), 8388607);

    // A submix with no effect ignores its effects gain and is never checked.
    renderOneTrack(s, input, "sub\t1\t1\nfxg\tG\t1\t12\n", &r);
    EXPECT_EQ(r.out.find("Submix 1 is clipping"), std::string::npos) << r.out;
}
