// Fader file: template, start offsets, mix name.
#include "driver/fader_file.h"

#include <gtest/gtest.h>

#include <memory>

#include "core/console.h"

using namespace tarvex;

TEST(FaderFile, TemplateForMissingFile) {
    EXPECT_EQ(faderTemplate(3, -6.0),
              "begin\ntest_mix\n\nt\t0\t0\t0\nv\t1\t-6.0\nv\t2\t-6.0\nv\t3\t-6.0\nend\n");
    const std::string big = faderTemplate(200, 0.0);
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = big.find("\nv\t", at)) != std::string::npos; ++at)
        ++lines;
    EXPECT_EQ(lines, 127u);
}

TEST(FaderFile, StartOffsetsAndSongLength) {
    auto s = std::make_unique<MixSession>();
    s->settings.tracks.sampleRate = 48000;
    s->settings.tracks.channelCount = 3;
    s->settings.tracks.channelOn[1] = s->settings.tracks.channelOn[2] = 1;
    s->settings.tracks.wavFrames[1] = 100000;
    s->settings.tracks.wavFrames[2] = 1000;
    s->settings.tracks.wavFrames[3] = 10'000'000; // off: does not count
    // sstamp adds to tstamp whatever their order; the last tstamp wins.
    const FaderLines stamps(
        "begin\nmix\nsstamp\t2\t-100\ntstamp\t2\t0\t9\t0\ntstamp\t2\t0\t1\t500\n"
        "tstamp\t200\t0\t1\t0\nsstamp\t0\t5\nend\n");
    testing::internal::CaptureStdout();
    readStartOffsets(*s, stamps);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(s->settings.fader.startOffset[2], 71900);
    EXPECT_EQ(s->settings.tracks.songLength, 100000);
    EXPECT_NE(out.find("faders.txt line 6: \"tstamp\" channel 200 is outside 1 to 127"),
              std::string::npos);
    EXPECT_NE(out.find("\"sstamp\" channel 0 is outside"), std::string::npos);

    const FaderLines later("begin\nmix\ntstamp\t2\t0\t3\t0\n");
    readStartOffsets(*s, later);
    EXPECT_EQ(s->settings.tracks.songLength, 144000 + 1000);

    s->settings.tracks.channelOn.fill(0);
    readStartOffsets(*s, later);
    EXPECT_EQ(s->settings.tracks.songLength, 0);
}

TEST(FaderFile, MixNameAndOutputPath) {
    auto s = std::make_unique<MixSession>();
    const FaderLines fader("begin\n\n be ginner \nt\t0\t0\t0\n");
    settleMixName(*s, readPreferenceLines("", "prefs.txt"), fader);
    EXPECT_EQ(s->settings.fader.mixName, "beginner");
    EXPECT_EQ(s->settings.fader.outputPath, "beginner.wav");

    s->settings.prefs.mixDirSet = true;
    s->settings.prefs.mixDir = "mixes/";
    settleMixName(*s, readPreferenceLines("begin\noname\tfinal take\n", "prefs.txt"), fader);
    EXPECT_EQ(s->settings.fader.mixName, "final take");
    EXPECT_EQ(s->settings.fader.outputPath, "mixes/final take.wav");
}
