// Effect-line reader: conversions, limits, channel fields, reverb and order
// lines, the tap preference and the derived flags.
#include "driver/effect_lines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "effects/filter_design.h"

using namespace tarvex;

namespace {

struct Read {
    std::unique_ptr<EffectSettings> fx = std::make_unique<EffectSettings>();
    std::string out;
    bool has(const std::string& text) const { return out.find(text) != std::string::npos; }
};

// The body starts on line 3 of faders.txt, after "begin" and the mix name.
Read readFx(const std::string& body, double rate = 44100.0, bool percent = false,
            int32_t tapSignal = 0, int32_t verbosity = 2) {
    Read r;
    const KeywordText fader("\nmix\n" + body + "end\n", 1);
    testing::internal::CaptureStdout();
    readEffectSettings(fader, "faders.txt", rate, percent, verbosity, tapSignal, *r.fx);
    r.out = testing::internal::GetCapturedStdout();
    return r;
}

void expectSameCoefs(const BiquadCoefs& a, const BiquadCoefs& b) {
    EXPECT_EQ(a.b0, b.b0);
    EXPECT_EQ(a.b1, b.b1);
    EXPECT_EQ(a.b2, b.b2);
    EXPECT_EQ(a.a1, b.a1);
    EXPECT_EQ(a.a2, b.a2);
}

} // namespace

TEST(EffectLines, CompressorThresholdsTimesAndScales) {
    const Read r = readFx("comp\tM\t-6\t10\t100\t4\ncomp\t3\t-6\t0\t0\t0.5\n"
                          "comp\tG\t2\t3\t1e9\t1e9\t80\nrms\t0\t0\t10\t100\t2\n",
                          48000.0);
    const EffectSettings& fx = *r.fx;
    // trunc(10^(-6/20) x 8388608) = 4204263, at bus scale x 256 - 1.
    EXPECT_EQ(fx.comp[0].threshold, 1076291327);
    EXPECT_EQ(fx.comp[0].attack, 480);
    EXPECT_EQ(fx.comp[0].release, 4800);
    EXPECT_EQ(fx.comp[0].ratio, 4.0);
    EXPECT_EQ(fx.comp[0].on, 1);
    EXPECT_EQ(fx.masterFxOn, 1);
    EXPECT_EQ(fx.masterEffectFlag[kFxComp], 1);
    EXPECT_EQ(fx.masterEffectFlag[kFxRms], 0); // "0" reaches entry 0 without the flags
    EXPECT_EQ(fx.rms[0].threshold, 2147483647);
    // Channels stay at 2^23; the lower limits of the times and the ratio.
    EXPECT_EQ(fx.comp[3].threshold, 4204263);
    EXPECT_EQ(fx.comp[3].attack, 1);
    EXPECT_EQ(fx.comp[3].release, 10);
    EXPECT_EQ(fx.comp[3].ratio, 1.0);
    // A threshold above 0 dB is 0 dB; upper limits of the times and the ratio.
    EXPECT_EQ(fx.comp[129].threshold, 2147483647);
    EXPECT_EQ(fx.comp[129].attack, 96000);
    EXPECT_EQ(fx.comp[129].release, 240000);
    EXPECT_EQ(fx.comp[129].ratio, 50.0);
    EXPECT_EQ(fx.comp[4].on, 0);
    EXPECT_EQ(fx.comp[4].threshold, kDefaultThreshold);

    const Read pct = readFx("lim\t5\t50\nnlc\t6\t150\t37.9\t3\n", 44100.0, true);
    EXPECT_EQ(pct.fx->lim[5].threshold, 4194304);
    EXPECT_EQ(pct.fx->nlc[6].threshold, 8388608);
    EXPECT_EQ(pct.fx->nlc[6].window, 37);
}

TEST(EffectLines, ChannelFieldsAndRefusedLines) {
    const Read r = readFx("lim\tG\t2\t-1\nlim\t200\t-1\nhp\t-3\t100\nhp\tG\t-1\t100\n"
                          "hp\t99999999999999999999\t100\nhp\tG\nhp\t5\tnan\n");
    EXPECT_EQ(r.fx->lim[129].on, 1);
    EXPECT_EQ(r.fx->lim[135].on, 1);
    EXPECT_TRUE(r.has(">>Channel number out of range or not specified!\n"));
    EXPECT_TRUE(r.has("faders.txt line 5: the channel of this hp line is negative"));
    EXPECT_TRUE(r.has("faders.txt line 6: the channel of this hp line is negative"));
    EXPECT_TRUE(r.has("faders.txt line 8: this hp line names no channel; line ignored."));
    // "nan" is text, so 0 Hz, held at 1 Hz.
    EXPECT_EQ(r.fx->hp[5].frequency, 1.0);
    for (int e = 0; e < kStripEntries; ++e)
        EXPECT_EQ(r.fx->hp[e].on, e == 5 || e == 135 ? 1 : 0) << e;
}

TEST(EffectLines, ShortLinesReadOnlyTheirOwnLine) {
    // Before, the missing values were taken from the "lim" line below.
    const Read r = readFx("comp\t2\t-6\nlim\t7\t-3\n");
    EXPECT_TRUE(r.has("faders.txt line 3: this comp line is missing 3 values; taken as 0."));
    EXPECT_EQ(r.fx->comp[2].on, 1);
    EXPECT_EQ(r.fx->comp[2].threshold, 4204263);
    EXPECT_EQ(r.fx->comp[2].attack, 1);
    EXPECT_EQ(r.fx->comp[2].release, 10);
    EXPECT_EQ(r.fx->lim[7].on, 1);
    EXPECT_EQ(r.fx->comp[7].on, 0);
}

TEST(EffectLines, FiltersAreLimitedBeforeDesign) {
    const Read r = readFx("hp\t1\t30000\nband3\t2\t0\t20\t500\nhshelf\t2\t8000\t-30\t0\n"
                          "lshelf\tM\t100\t4\t1\n");
    const HighPassCoefs hp = designHighPass(22050.0, 44100.0);
    EXPECT_EQ(r.fx->hp[1].coef.pole, hp.pole);
    EXPECT_EQ(r.fx->hp[1].coef.gain, hp.gain);
    EXPECT_EQ(r.fx->band[2][2].on, 1);
    EXPECT_EQ(r.fx->band[2][0].on + r.fx->band[2][1].on + r.fx->band[2][3].on, 0);
    expectSameCoefs(r.fx->band[2][2].coef, designBell(15.0, 1.0, 44100.0, 100.0));
    EXPECT_EQ(r.fx->band[2][2].gainDb, 15.0); // the limited values beside the coefficients
    expectSameCoefs(r.fx->hshelf[2].coef, designHighShelf(-15.0, 8000.0, 44100.0, 0.01));
    expectSameCoefs(r.fx->lshelf[0].coef, designLowShelf(4.0, 100.0, 44100.0, 1.0));
    EXPECT_EQ(r.fx->masterEffectFlag[kFxLshelf], 1);
}

TEST(EffectLines, SendsReturnsAndRoom) {
    Read r = readFx("rev\t1\t6\nrev\t2\t-6\ntrev\tM\t-200\nrtn\t-3\t60\ntrtn\t20\t90\n"
                    "pos\t-5\t50\t120\nwidth\t300\n");
    EXPECT_EQ(r.fx->revSend[1], 1.0f);
    EXPECT_EQ(r.fx->revSend[2], static_cast<float>(std::pow(10.0, -6.0 / 20.0)));
    EXPECT_EQ(r.fx->trevSendOn[0], 1);
    EXPECT_EQ(r.fx->trevSend[0], static_cast<float>(std::pow(10.0, -144.0 / 20.0)));
    EXPECT_EQ(r.fx->rtnLevel, static_cast<float>(std::pow(10.0, -3.0 / 20.0)));
    EXPECT_EQ(r.fx->rtnSize, 60.0f);
    EXPECT_EQ(r.fx->trtnLevel, 1.0f);
    EXPECT_EQ(r.fx->trtnSize, 90.0f);
    EXPECT_EQ(r.fx->trtnTaps, 1); // without a taps field the reverb runs one tap
    EXPECT_FALSE(r.has("missing"));
    EXPECT_EQ(r.fx->revPos, (std::array<float, 3>{0.0f, 50.0f, 100.0f}));
    EXPECT_EQ(r.fx->revWidth, 300.0f);

    r = readFx("rev\t1\t150\nrev\t2\t-5\nrtn\t40\nnothing\n", 44100.0, true);
    EXPECT_EQ(r.fx->revSend[1], 1.0f);
    EXPECT_EQ(r.fx->revSend[2], 0.0f);
    EXPECT_EQ(r.fx->rtnLevel, 0.4f);
    EXPECT_EQ(r.fx->rtnSize, 75.0f); // a room without its size keeps the default
    EXPECT_EQ(r.fx->revPos, (std::array<float, 3>{37.0f, 39.0f, 43.0f}));
    EXPECT_EQ(r.fx->trtnOn, 0);
    EXPECT_EQ(r.fx->trtnTaps, 1);

    // Only the level is needed; 0 taps are read as given (the reverb runs one).
    r = readFx("trtn\t0\t50\t0\nrtn\n");
    EXPECT_EQ(r.fx->trtnTaps, 0);
    EXPECT_EQ(r.fx->rtnOn, 1);
    EXPECT_EQ(r.fx->rtnLevel, 1.0f);
    EXPECT_TRUE(r.has("faders.txt line 4: this rtn line is missing 1 value; taken as 0."));
}

TEST(EffectLines, ReverbInputFilters) {
    Read r = readFx("rhp\t5\nrlp\t16000\n");
    EXPECT_EQ(r.out, "Reading effect settings...\nResetting reverb high pass to 20 Hz\n");
    EXPECT_EQ(r.fx->revHighPass.corner, 20.0);
    EXPECT_EQ(r.fx->revLowPass.on, 1);
    expectSameCoefs(r.fx->revLowPass.coef, designReverbLowPass(16000.0, 44100.0));
    r = readFx("rhp\t20000\nrlp\t100\n");
    EXPECT_TRUE(r.has("Resetting reverb high pass to 12000 Hz\n"));
    EXPECT_TRUE(r.has("Resetting reverb low pass to 500 Hz\n"));
    // At 22050 Hz both fixed upper limits lie past half the rate.
    r = readFx("rhp\t12000\nrlp\t16000\n", 22050.0);
    EXPECT_TRUE(r.has("Resetting reverb high pass to 9922 Hz\n"));
    EXPECT_TRUE(r.has("Resetting reverb low pass to 9922 Hz\n"));
    EXPECT_LT(std::fabs(r.fx->revLowPass.coef.a2), 1.0);
    r = readFx("rlp\t17000\n");
    EXPECT_TRUE(r.has("Resetting reverb low pass to 16000 Hz\n"));
    EXPECT_EQ(r.fx->revHighPass.on, 0);
}

TEST(EffectLines, OrderLinesSetPositionsOnly) {
    const Read r = readFx("hp\t1\t100\norder\thp\t1\t0\norder\thp\t3\t2\norder:comp\tM\t12\n"
                          "o\tlim\tG\t2\t5\norder\tband2\tG3\t4\norder\trev\t1\t2\n"
                          "order\tnlc\t136\t2\norder\tnlc\tG\t-1\t2\noffset\t0\t1\t0\n");
    const HighPassCoefs hp = designHighPass(100.0, 44100.0);
    EXPECT_EQ(r.fx->fxOrder[kFxHp][1], 0);
    EXPECT_EQ(r.fx->hp[1].on, 1);
    EXPECT_EQ(r.fx->hp[1].coef.pole, hp.pole);
    // Before, "order hp 3 2" also switched on a 3 Hz high-pass on channel 1.
    EXPECT_EQ(r.fx->fxOrder[kFxHp][3], 2);
    EXPECT_EQ(r.fx->hp[3].on, 0);
    EXPECT_EQ(r.fx->fxOrder[kFxComp][0], 12);
    EXPECT_EQ(r.fx->comp[0].on, 0);
    EXPECT_EQ(r.fx->masterFxOn, 0);
    EXPECT_EQ(r.fx->fxOrder[kFxLim][129], 5);
    EXPECT_EQ(r.fx->fxOrder[kFxBand2][130], 4);
    EXPECT_TRUE(r.has("faders.txt line 10: this order line addresses no strip"));
    EXPECT_TRUE(r.has("faders.txt line 11: this order line addresses no strip"));
    EXPECT_EQ(r.fx->fxOrder[kFxNlc][126], 11);
    EXPECT_EQ(r.fx->fxOrder[kFxNlc][135], 11);
    EXPECT_EQ(r.fx->fxOrder[kFxHp][2], 11);
    EXPECT_FALSE(r.has("line 12")); // a header line passes without a word
}

TEST(EffectLines, ReadingMessagesByVerbosity) {
    const std::string body = "comp\t1\t-6\t10\t100\t4\n";
    EXPECT_EQ(readFx(body, 44100.0, false, 0, 1).out, "");
    EXPECT_EQ(readFx(body, 44100.0, false, 0, 2).out, "Reading effect settings...\n");
    EXPECT_EQ(readFx(body, 44100.0, false, 0, 3).out,
              "Reading effect settings...\n\tReading peak compressor settings...\n"
              "\tReading NLC compressor settings...\n\tReading high pass filter settings...\n"
              "\tReading band 1-4 EQ settings...\n\tReading high and low shelf EQ settings...\n"
              "\tReading reverb settings...\n");
}

TEST(EffectLines, DerivedFlagsAndTapPreference) {
    Read r = readFx("lim\tG\t3\t-1\nrev\tM\t-6\ntrtn\t-6\t75\t3\nrev\t4\t-3\n", 44100.0, false, 2);
    for (int k = 1; k <= kSubmixCount; ++k)
        EXPECT_EQ(r.fx->submixFxOn[k], k == 3 ? 1 : 0) << k;
    EXPECT_EQ(r.fx->recursiveActive, 1);
    EXPECT_EQ(r.fx->revInsert, 1);
    EXPECT_EQ(r.fx->tapActive, 1);
    EXPECT_EQ(r.fx->trevInsert, 0);
    EXPECT_EQ(r.fx->tapMode, 2);

    // Channel sends alone make no reverb active, so the tap line is not read.
    r = readFx("rev\t4\t-3\nhp\tG\t8\t80\n", 44100.0, false, 1);
    EXPECT_EQ(r.fx->recursiveActive, 0);
    EXPECT_EQ(r.fx->tapMode, 0);
    EXPECT_EQ(r.fx->submixFxOn[8], 1);
    r = readFx("rtn\t-6\t75\n", 44100.0, false, 1);
    EXPECT_EQ(r.fx->tapMode, 1);
}
