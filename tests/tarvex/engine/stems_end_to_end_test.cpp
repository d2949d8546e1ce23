// Stems rendered with the mix: they add up to it, line up with it frame for
// frame (a preview too), leave the mix as it is without them, and are kept
// off the inputs like every other output.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tarvex_session.h"

using namespace tarvex_test;

namespace {

// Past one block of the mix loop, so the reverb returns carry across a block.
constexpr std::size_t kFrames = 140000;

// Five stereo channels: 1 and 2 on submix 1 (with a compressor), 3 on
// submix 2, 4 and 5 straight to the master; both reverbs fed from a channel
// and a submix and returning into the master. Channel 4 holds a click.
void fiveChannels(Session& s, const std::string& prefs) {
    for (int c = 1; c <= 5; ++c) {
        std::vector<int32_t> v = noise(2 * kFrames, static_cast<uint32_t>(c) * 7, 3000);
        if (c == 4) {
            std::fill(v.begin(), v.end(), 0);
            v[2 * 50000] = v[2 * 50000 + 1] = 20000;
        }
        s.wav("in" + std::to_string(c) + ".wav", layout(2, SampleFormat::Pcm16), v);
    }
    s.text("tracks.txt", "begin\n1 in1.wav +\n2 in2.wav +\n3 in3.wav +\n4 in4.wav +\n"
                         "5 in5.wav +\nend\n");
    s.text("prefs.txt", prefs);
    s.text("faders.txt",
           unityFaders("m", 5,
                       "sub\t1\t1,2\nsub\t2\t3\ncomp\tG\t1\t-20\t5\t100\t4\nv\tG\t2\t-3\n"
                       "rev\t5\t-6\nrev\tG\t1\t-12\ntrev\t3\t-6\nrtn\t-3\t40\ntrtn\t-3\t30\t4\n"));
}

const char* const kPrefs = "begin\nverbo\t1\ndither\t0\noutbits\t24\nend\n";
const char* const kStemNames[] = {"m_sub1.wav", "m_sub2.wav", "m_direct.wav", "m_room.wav",
                                  "m_taps.wav"};

} // namespace

TEST(Stems, AddUpToTheMixWhichStaysAsWithoutThem) {
    Session s;
    fiveChannels(s, kPrefs);
    ASSERT_EQ(s.run().status, 0);
    const std::vector<uint8_t> plain = readBytes(s.file("m.wav"));
    const RunResult r = s.run({"--stems"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(readBytes(s.file("m.wav")), plain);

    const Wav mix = readMix(s.file("m.wav"));
    std::vector<int64_t> sum(mix.samples.size(), 0);
    for (const char* name : kStemNames) {
        EXPECT_NE(r.out.find(std::string("\t") + name + "\n"), std::string::npos) << name << r.out;
        const Wav stem = readMix(s.file(name));
        ASSERT_EQ(stem.samples.size(), mix.samples.size()) << name;
        EXPECT_EQ(stem.dataSize, mix.dataSize) << name;
        bool heard = false;
        for (std::size_t i = 0; i < sum.size(); ++i) {
            sum[i] += stem.samples[i];
            heard = heard || stem.samples[i] != 0;
        }
        EXPECT_TRUE(heard) << name;
    }
    // Within one output step per stem, everywhere.
    for (std::size_t i = 0; i < sum.size(); ++i)
        ASSERT_LE(std::abs(sum[i] - mix.samples[i]), 5) << "sample " << i;

    // The tap reverb's stem is its own return, as it is with the room reverb
    // silent, across the block boundary too.
    const Wav taps = readMix(s.file("m_taps.wav"));
    s.text("faders.txt", unityFaders("m", 5,
                                     "sub\t1\t1,2\nsub\t2\t3\ncomp\tG\t1\t-20\t5\t100\t4\n"
                                     "v\tG\t2\t-3\ntrev\t3\t-6\ntrtn\t-3\t30\t4\n"));
    ASSERT_EQ(s.run({"--stems"}).status, 0);
    const Wav alone = readMix(s.file("m_taps.wav"));
    ASSERT_EQ(alone.samples.size(), taps.samples.size());
    for (std::size_t i = 0; i < taps.samples.size(); ++i)
        ASSERT_LE(std::abs(alone.samples[i] - taps.samples[i]), 1) << "sample " << i;
}

TEST(Stems, LineUpWithTheMixInAPreview) {
    Session s;
    // A preview of 2 s from 1 s: the click at frame 50000 lands on 5900.
    fiveChannels(s, "begin\nverbo\t1\ndither\t0\noutbits\t16\npre\ton\nsfields\t1\nstart\t1\n"
                    "length\t2\nstems\nend\n");
    ASSERT_EQ(s.run().status, 0);
    const Wav mix = readMix(s.file("preview.wav"));
    const Wav direct = readMix(s.file("preview_direct.wav"));
    ASSERT_EQ(direct.samples.size(), 2u * 88200);
    ASSERT_EQ(mix.samples.size(), direct.samples.size());
    auto firstLoud = [](const std::vector<int32_t>& v) {
        std::size_t i = 0;
        while (i < v.size() && std::abs(v[i]) < 19000)
            ++i;
        return i / 2;
    };
    EXPECT_EQ(firstLoud(direct.samples), 5900u);
    // The mix holds the other channels' noise too, far below the click.
    EXPECT_EQ(firstLoud(mix.samples), 5900u);
}

TEST(Stems, MasterInsertsCheckAndInputGuard) {
    Session s;
    fiveChannels(s, kPrefs);
    // A reverb that is a master insert has no stem of its own.
    s.text("faders.txt", unityFaders("m", 5, "sub\t1\t1,2\nrev\tM\t-6\nrtn\t-3\t40\n"));
    RunResult r = s.run({"--stems", "--check"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Stem m_sub1.wav: submix 1 after its fader, VCA and effects\n"
                         "Stem m_direct.wav: the channels that reach the master without a "
                         "submix\nNo reverb stem: a reverb that is a master insert is part of "
                         "the master\n"),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(s.exists("m_sub1.wav"));
    r = s.run({"--stems"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(s.exists("m_room.wav"));
    EXPECT_NE(r.out.find("No reverb stem"), std::string::npos) << r.out;

    // A stem named like a track is refused before anything is written.
    std::filesystem::rename(s.file("in2.wav"), s.file("x_sub1.wav"));
    const std::vector<uint8_t> input = readBytes(s.file("x_sub1.wav"));
    s.text("faders.txt", unityFaders("x", 5, "sub\t1\t1,2\n"));
    s.text("tracks.txt", "begin\n1 in1.wav +\n2 x_sub1.wav +\nend\n");
    r = s.run({"--stems"});
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_EQ(readBytes(s.file("x_sub1.wav")), input);
    EXPECT_FALSE(s.exists("x.wav"));
    EXPECT_NE(r.out.find("The stem x_sub1.wav would overwrite"), std::string::npos) << r.out;
}
