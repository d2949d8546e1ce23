// --normalize: the master trim written into the fader text, and whole runs
// that reach the loudness asked for and leave a fader copy that renders the
// same mix again without the option.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "driver/normalize_passes.h"
#include "tarvex_session.h"
#include "test_support.h"

using namespace tarvex_test;

TEST(NormalizeTrim, TheLastTrimThatCountsIsSetAndTheRestKept) {
    const struct {
        const char* text;
        double fileTrim;         // what the file sets, dB
        const char* afterMinus3; // the text with the trim at -3 dB; "" when none can be set
    } rows[] = {
        {"begin\nm\nmtrim\t3\nv\t1\t0\nend\n", 3.0, "begin\nm\nmtrim\t-3.00\nv\t1\t0\nend\n"},
        {"begin\nm\nmtrim\t1\nv\tmtrim \t 2 x\t;\nmtrim\t30\nend\n", 2.0,
         "begin\nm\nmtrim\t1\nv\tmtrim \t -3.00\t;\nmtrim\t30\nend\n"},
        {"begin\nm\nv\t1\t0\nmtrim\nend\n", 0.0, "begin\nm\nv\t1\t0\nmtrim\nmtrim\t-3.00\nend\n"},
        {"mtrim\t5\nbegin\nm\nend\nmtrim\t2\n", 0.0,
         "mtrim\t5\nbegin\nm\nmtrim\t-3.00\nend\nmtrim\t2\n"},
        {"begin\r\nm\r\nmtrim\t2\r\nend\r\n", 2.0, "begin\r\nm\r\nmtrim\t-3.00\r\nend\r\n"},
        {"begin\r\nm\r\nv\t1\t0\r\n  end\r\n", 0.0,
         "begin\r\nm\r\nv\t1\t0\r\nmtrim\t-3.00\r\n  end\r\n"},
        {"\xEF\xBB\xBFm\nmtrim\t1", 1.0, "\xEF\xBB\xBFm\nmtrim\t-3.00"},
        {"begin\nm\nv\t1\t0", 0.0, "begin\nm\nv\t1\t0\nmtrim\t-3.00\n"},
        {"begin\nm\tend\n", 0.0, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(tarvex::masterTrimOf(row.text), row.fileTrim);
        const auto out = tarvex::withMasterTrim(row.text, -3.0);
        EXPECT_EQ(out.value_or(""), row.afterMinus3);
        if (out) {
            EXPECT_EQ(tarvex::masterTrimOf(*out), -3.0);
        }
    }
    // Two decimals, rounded, and never a negative zero.
    const std::string base = "begin\nm\nmtrim\t1\nend\n";
    EXPECT_EQ(tarvex::withMasterTrim(base, 4.286).value(), "begin\nm\nmtrim\t4.29\nend\n");
    EXPECT_EQ(tarvex::withMasterTrim(base, -0.001).value(), "begin\nm\nmtrim\t0.00\nend\n");
}

namespace {

// The last loudness a report's Normalize line names, and its number of passes.
void readNormalizeLine(const std::string& stats, int& passes, double& last) {
    const std::size_t at = stats.find("\nNormalize\t");
    ASSERT_NE(at, std::string::npos) << stats;
    const std::string line = stats.substr(at + 1, stats.find('\n', at + 1) - at - 1);
    passes = std::atoi(line.c_str() + line.find(" in ") + 4);
    last = std::atof(line.c_str() + line.rfind(", ") + 2);
}

} // namespace

TEST(Normalize, ReachesTheTargetAndItsFaderCopyRendersTheSameMix) {
    Session s;
    s.wav("a.wav", layout(1, SampleFormat::Pcm16), noise(132300, 1, 12000));
    s.wav("b.wav", layout(1, SampleFormat::Pcm16), noise(132300, 2, 4000));
    s.text("tracks.txt", "begin\n1 a.wav +\n2 b.wav +\nend\n");
    s.text("prefs.txt", kQuietPrefs);
    s.text("faders.txt",
           unityFaders("norm", 2, "comp\t1\t-20\t10\t100\t4\nlim\tM\t-1\n") + "mtrim\t-6\n");
    const RunResult run = s.runApart({"--normalize", "-7", "--ceiling", "-3"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    int passes = 0;
    double last = 0.0;
    readNormalizeLine(readText(s.file("stats_norm.txt")), passes, last);
    EXPECT_GE(passes, 2);
    EXPECT_LE(passes, 4);
    EXPECT_NEAR(last, -7.0, 0.1);
    EXPECT_NE(readText(s.file("stats_norm.txt")).find("is above the ceiling of -3.0 dBTP"),
              std::string::npos);
    EXPECT_NE(run.err.find("The true peak of norm.wav is "), std::string::npos) << run.err;
    EXPECT_EQ(listDirectory(s.dir.path().string()).size(), 8u); // no pass left a file behind

    const std::vector<uint8_t> mix = readBytes(s.file("norm.wav"));
    s.text("again.txt", readText(s.file("faders_norm.txt")));
    ASSERT_EQ(s.run({"tracks.txt", "again.txt"}).status, 0);
    EXPECT_EQ(readBytes(s.file("norm.wav")), mix);
}

TEST(Normalize, AMixThatCannotReachTheTargetIsKeptAndSaidSo) {
    const struct {
        int32_t amplitude; // of the one track, 16-bit steps
        const char* report;
        const char* err;
    } rows[] = {
        {0, "too quiet or too short to measure; kept as pass 1 rendered it with mtrim +0.00 dB",
         "quiet.wav is too quiet or too short to measure"},
        {300, "(mtrim +12.03 dB, held where a channel level reaches +12 dB)",
         "quiet.wav reached -27.36 LUFS, not the -6.0 LUFS asked for"},
    };
    for (const auto& row : rows) {
        Session s;
        s.wav("a.wav", layout(1, SampleFormat::Pcm16), noise(44100, 1, row.amplitude));
        s.text("tracks.txt", "begin\n1 a.wav +\nend\n");
        s.text("prefs.txt", kQuietPrefs);
        s.text("faders.txt", unityFaders("quiet", 1));
        const RunResult run = s.runApart({"--normalize", "-6"});
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_NE(run.err.find(row.err), std::string::npos) << run.err;
        EXPECT_NE(readText(s.file("stats_quiet.txt")).find(row.report), std::string::npos);
    }
}
