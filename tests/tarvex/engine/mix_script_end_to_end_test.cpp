// Whole runs driven by the mix script: submix mutes and solos, switched-off
// channels, VCAs, master cues, exit statuses, and a preview that picks up
// the levels and ramps a full render has at its start.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tarvex_session.h"

using namespace tarvex_test;

namespace {

// Four mono 16-bit tracks of constant level k × 1000 (k = 1..4), delay-pan
// law so that mono tracks sit on both sides at full level.
void fourConstantTracks(Session& s, std::size_t frames = 2000) {
    std::string list = "begin\n";
    for (int k = 1; k <= 4; ++k) {
        std::string name = "c";
        name += std::to_string(k);
        name += ".wav";
        s.wav(name, layout(1, SampleFormat::Pcm16), std::vector<int32_t>(frames, 1000 * k));
        list += std::to_string(k) + " " + name + " +\n";
    }
    s.text("tracks.txt", list + "end\n");
    s.text("prefs.txt", kQuietPrefs);
}

int32_t firstLeft(Session& s, const std::string& mix) {
    return readMix(s.file(mix)).samples.at(0);
}

} // namespace

TEST(MixScript, SubmixesMutesSolosAndSwitchedOffChannels) {
    Session s;
    fourConstantTracks(s);
    // Channels 3 and 4 feed only submix 2, which is muted: they are off.
    s.text("faders.txt", unityFaders("m", 4, "sub\t2\t3,4\nsubmu\t2\n"));
    RunResult r = s.run();
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(firstLeft(s, "m.wav"), 3000);
    EXPECT_NE(r.out.find("Ch 2\tL"), std::string::npos);
    EXPECT_EQ(r.out.find("Ch 3\tL"), std::string::npos); // switched off: an empty line

    // Submix 1 soloed: the direct bus is off, so only its channels play; its
    // own level cue (-6 dB) applies and its peak is reported.
    s.text("faders.txt", "begin\nm\nsub\t1\t2,4\nsubso\t1\nt\t0\t0\t0\nv\t1\t0\nv\t2\t0\nv\t3\t0\n"
                         "v\t4\t0\nv\tG\t1\t-6.0206\nend\n");
    r = s.run();
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NEAR(firstLeft(s, "m.wav"), 3000, 1);
    EXPECT_NE(r.out.find("\nSub 1\tL  -20.77\tR  -20.77"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Ch 1\tL"), std::string::npos);

    // Messages for bad routing lines; the run goes on.
    s.text("faders.txt", unityFaders("m", 4, "sub\t9\t1\nVCA:\t0\t1\nsub\t0\t1,2,3,4,300\n"));
    r = s.run();
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Submix number out of range!"), std::string::npos);
    EXPECT_NE(r.out.find("VCA fader out of range!"), std::string::npos);
    EXPECT_NE(r.out.find("Channel assigned to sub 0 is out of range!"), std::string::npos);
    EXPECT_EQ(firstLeft(s, "m.wav"), 10000);

    // A channel list longer than 511 characters is read whole.
    std::string list = "1";
    while (list.size() < 700)
        list += ",2";
    s.text("faders.txt", unityFaders("m", 4, "sub\t1\t" + list + ",4\nsubso\t1\n"));
    r = s.run();
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(firstLeft(s, "m.wav"), 1000 + 2000 + 4000);
}

TEST(MixScript, VcaPolarityMasterCueAndEffectsGain) {
    Session s;
    fourConstantTracks(s);
    s.text("faders.txt", "begin\nm\nVCA:\t2\t1,2\nt\t0\t0\t0\nv\t1\t0\nv\t2\t0\nv\t3\t0\nv\t4\t0\n"
                         "vca\t2\t-6.0206\npol\t4\t-1\nv\tM\t0\nfxg\t3\t6.0206\nend\n");
    const RunResult r = s.run();
    ASSERT_EQ(r.status, 0) << r.out;
    // VCA halves channels 1 and 2, channel 3 is doubled, channel 4 inverted.
    EXPECT_NEAR(firstLeft(s, "m.wav"), 500 + 1000 + 6000 - 4000, 2);
}

TEST(MixScript, PreviewPicksUpLevelsAndRampsOfTheFullRender) {
    Session s;
    const auto a = noise(200000, 5, 8000);
    const auto b = noise(2 * 180000, 6, 8000);
    s.wav("a.wav", layout(1, SampleFormat::Pcm16), a);
    s.wav("b.wav", layout(2, SampleFormat::Pcm24), b);
    s.text("tracks.txt", "begin\n1 a.wav +\n2 b.wav +\nend\n");
    const std::string script = "begin\nramps\ntstamp\t2\t0\t0\t300\np\t1\t-40\np\t2\t30\n"
                               "t\t0\t0\t0\nv\t1\t-40\nv\t2\t-3\nt\t0\t1\t0\nv\t1\t0\nrmp\t2\n"
                               "shape\t0.5\nt\t0\t2\t0\nv\t2\t-12\nrmp\t1.5\nshape\t3\nend\n";
    s.text("faders.txt", script);
    s.text("prefs.txt", "begin\nverbo\t1\ndither\t0\nend\n");
    RunResult r = s.run();
    ASSERT_EQ(r.status, 0) << r.out;
    const Wav full = readMix(s.file("ramps.wav"));

    // Previews starting before, inside both ramps, on a block boundary and
    // after them. Inside a ramp a new level reaches the audio at a zero
    // crossing; the preview applies its starting level at once, so it may
    // differ only until each side's first zero crossing.
    for (const char* start : {"0.5", "1.9", "2.5", "2.9722", "3.6"}) {
        s.text("prefs.txt",
               std::string("begin\nverbo\t1\ndither\t0\npre\ton\nsfields\t1\nstart\t") + start +
                   "\nlength\t0.8\nend\n");
        r = s.run();
        ASSERT_EQ(r.status, 0) << r.out;
        const Wav preview = readMix(s.file("preview.wav"));
        const auto from = static_cast<std::size_t>(
            2 * static_cast<int64_t>(std::trunc(std::atof(start) * 44100.0)));
        ASSERT_EQ(preview.samples.size(), 2u * 35280u);
        std::size_t first = 0, last = 0, count = 0;
        for (std::size_t i = 0; i < preview.samples.size(); ++i)
            if (preview.samples[i] != full.samples[from + i]) {
                if (count == 0) first = i;
                last = i;
                ++count;
            }
        const bool ramping = std::atof(start) > 1.0 && std::atof(start) < 3.5;
        if (ramping)
            EXPECT_LT(last, 64u) << start << " first " << first << " differences " << count;
        else
            EXPECT_EQ(count, 0u) << start;
    }
}

TEST(MixScript, ScriptErrorsEndTheRunWithStatusTwo) {
    Session s;
    fourConstantTracks(s);
    s.text("faders.txt", "begin\nm\nt\t5\t0\t0\nv\t1\t0\nend\n");
    RunResult r = s.run();
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("Error:  Time entry 1 exceeds song length"), std::string::npos);
    EXPECT_FALSE(s.exists("stats_m.txt"));

    s.text("prefs.txt", "begin\nverbo\t1\ntempo\nend\n");
    s.text("faders.txt", unityFaders("m", 4));
    r = s.run();
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("Tempo mode is on, but no tempos or meters have been entered!"),
              std::string::npos);
}
