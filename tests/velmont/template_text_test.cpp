// Template text builder: the layouts at their edges (no channels, unknown
// models), the rules that depend on the answers, and a text far longer than
// any fixed buffer would hold. Whole templates of ordinary sessions are
// compared with golden files by the end-to-end tests.
#include "velmont/template_text.h"

#include <gtest/gtest.h>

namespace velmont {
namespace {

constexpr const char* kPanAndCues =
    "\nPan\ncode\tchan\t%\n"
    "\nCue Times and Fader Levels\ncode\tmin\tsec\tmsec\nt\t0\t0\t0\n";
constexpr const char* kReturns = "\nRecursive Reverb Return\ncode\tlevel\tsize\n(rtn)\t-12.0\t75\n"
                                 "\nDiscrete Reverb Return\ncode\tlevel\tsize\ttaps\n"
                                 "(trtn)\t-12.0\t75\t3\n";

TemplateSettings allEffects(int32_t model, int32_t channels) {
    TemplateSettings s;
    s.model = model;
    s.channelCount = channels;
    s.faderDefault = -6;
    s.effectsChoice = 1;
    s.on = EffectFlags{true, true, true, true, true, true, true, true, true, true, true};
    return s;
}

TEST(TemplateText, NoChannelsLeavesOnlyTheFrameOfEachLayout) {
    for (int32_t channels : {0, -3}) {
        EXPECT_EQ(buildTemplateText(allEffects(1, channels)),
                  std::string("MixFilename\n") + kReturns + "\nend\n");
        EXPECT_EQ(buildTemplateText(allEffects(3, channels)),
                  std::string("MixFilename\n\n--------------------------\n") + kPanAndCues +
                      kReturns + "\nend\n");
    }
    TemplateSettings two = allEffects(2, 0);
    two.on = EffectFlags{};
    two.on.hp = true;
    two.on.lim = true;
    EXPECT_EQ(buildTemplateText(two),
              std::string("MixFilename\n\nHigh Pass Filter\ncode\tchan\tfreq\n"
                          "\nLimiter\ncode\tchan\tthresh\n") +
                  kPanAndCues + "\nend\n");
}

TEST(TemplateText, UnknownModelsWriteNoChannelMaterial) {
    for (int32_t model : {0, 5, -1}) {
        TemplateSettings s = allEffects(model, 4);
        EXPECT_EQ(buildTemplateText(s), std::string("MixFilename\n") + kReturns + "\nend\n");
        s.on = EffectFlags{};
        EXPECT_EQ(buildTemplateText(s), "MixFilename\n\nend\n");
    }
}

TEST(TemplateText, Model3ChannelHeadingsAreDroppedOnlyForEffectsChoice3) {
    TemplateSettings s;
    s.model = 3;
    s.channelCount = 2;
    s.effectsChoice = 3;
    const std::string tail = std::string("\n--------------------------\n") +
                             "\nPan\ncode\tchan\t%\np\t1\t0\np\t2\t0\n" +
                             "\nCue Times and Fader Levels\ncode\tmin\tsec\tmsec\nt\t0\t0\t0\n" +
                             "v\t1\t0.0\nv\t2\t0.0\n\nend\n";
    EXPECT_EQ(buildTemplateText(s), "MixFilename\n" + tail);
    s.effectsChoice = 5; // "no effects" as well, but not the answer 3
    EXPECT_EQ(buildTemplateText(s), "MixFilename\n\n--Channel 1 --\n\n--Channel 2 --\n" + tail);
}

TEST(TemplateText, GrowsFarBeyondTheSizeOfAFixedBuffer) {
    const int32_t channels = 3000;
    const std::string text = buildTemplateText(allEffects(2, channels));
    EXPECT_GT(text.size(), 195072u * 3);
    EXPECT_NE(text.find("\n(band2)\t3000\t500.0\t0.0\t1.0\n\nLow Shelf\n"), std::string::npos);
    EXPECT_NE(text.find("\nv\t2999\t-6.0\nv\t3000\t-6.0\n\nRecursive Reverb Return\n"),
              std::string::npos);
    size_t volumeLines = 0;
    for (size_t at = text.find("\nv\t"); at != std::string::npos; at = text.find("\nv\t", at + 1)) {
        ++volumeLines;
    }
    EXPECT_EQ(volumeLines, static_cast<size_t>(channels));
    EXPECT_EQ(text.substr(text.size() - 5), "\nend\n");
}

} // namespace
} // namespace velmont
