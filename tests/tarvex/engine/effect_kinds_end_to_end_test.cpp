// Every kind of the channel strip's effect table, alone on a channel: the
// check describes it under its own code and the render runs it (the mix is
// no longer the dry one), so a kind wired to another kind's settings or
// processor is caught.
#include <gtest/gtest.h>

#include "tarvex_session.h"

using namespace tarvex_test;

TEST(EffectKinds, EachKindIsDescribedAndRunsAloneOnAChannel) {
    Session s;
    s.wav("a.wav", layout(2, SampleFormat::Pcm16), noise(2 * 4000, 5, 12000));
    s.text("tracks.txt", "begin\n1 a.wav +\nend\n");
    s.text("prefs.txt", kQuietPrefs);
    s.text("faders.txt", unityFaders("m", 1));
    ASSERT_EQ(s.run().status, 0);
    const std::vector<int32_t> dry = readMix(s.file("m.wav")).samples;
    struct Row {
        const char* line;
        const char* described;
    };
    // clang-format off
    const Row rows[] = {
        {"hp\t1\t300", "hp 300.0 Hz"},
        {"band1\t1\t200\t6\t1", "band1 200.0 Hz +6.00 dB"},
        {"band2\t1\t800\t-6\t1", "band2 800.0 Hz -6.00 dB"},
        {"band3\t1\t3000\t6\t1", "band3 3000.0 Hz +6.00 dB"},
        {"band4\t1\t9000\t-6\t1", "band4 9000.0 Hz -6.00 dB"},
        {"hshelf\t1\t5000\t-6\t0.7", "hshelf 5000.0 Hz -6.00 dB"},
        {"lshelf\t1\t150\t6\t0.7", "lshelf 150.0 Hz +6.00 dB"},
        {"rms\t1\t-30\t5\t100\t4", "rms threshold -30.00 dB"},
        {"nlc\t1\t-30\t441\t4", "nlc threshold -30.00 dB"},
        {"comp\t1\t-30\t5\t100\t4", "comp threshold -30.00 dB"},
        {"lim\t1\t-12", "lim threshold -12.00 dB"},
    };
    // clang-format on
    for (const Row& row : rows) {
        s.text("faders.txt", unityFaders("m", 1, std::string(row.line) + "\n"));
        const RunResult r = s.run({"--check"});
        EXPECT_NE(r.out.find(std::string(": ") + row.described), std::string::npos)
            << row.line << r.out;
        ASSERT_EQ(s.run().status, 0) << row.line;
        EXPECT_NE(readMix(s.file("m.wav")).samples, dry) << row.line;
    }
}
