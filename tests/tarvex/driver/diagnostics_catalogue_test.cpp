// What a run says about control-file lines it does not use as written: one row per case, the
// file that differs from a plain session, the diagnostic on standard error and the status;
// then the same with --strict (a warning stops the run before a file is written) and --check
// (which ends with the count).
#include <gtest/gtest.h>

#include "tarvex_session.h"

using namespace tarvex_test;

namespace {

constexpr const char* kTracks = "begin\n1 a.wav +\n2 b.wav +\nend\n";
constexpr const char* kFaders = "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nend\n";

struct Row {
    const char* file;       // the control file that differs from the plain session
    const char* text;       // its whole text
    const char* diagnostic; // what standard error must hold
    int status;             // exit status without --strict
};

// Two channels of one second: a mono and a stereo 16-bit track.
void plainSession(Session& s) {
    s.wav("a.wav", layout(1, SampleFormat::Pcm16), noise(44100, 1, 3000));
    s.wav("b.wav", layout(2, SampleFormat::Pcm16), noise(88200, 2, 3000));
    s.text("tracks.txt", kTracks);
    s.text("prefs.txt", kQuietPrefs);
    s.text("faders.txt", kFaders);
}

const Row kCatalogue[] = {
    // WAV files
    {"tracks.txt", "begin\n1 a.wav +\n2 c.wav +\nend\n",
     "tracks.txt:3: error: c.wav is at 48000 Hz, a.wav (channel 1) at 44100 Hz: every track must "
     "have one rate",
     1},
    {"tracks.txt", "begin\n1 a.wav +\n2 none.wav +\nend\n",
     "tracks.txt:3: warning: none.wav cannot be used: No such file or directory (channel 2 stays "
     "silent)",
     0},
    // faders.txt: cues and routing
    {"faders.txt",
     "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nt\t0\t0\t500\nv\t1\t-"
     "3\nt\t0\t0\t200\nv\t1\t-6\nend\n",
     "faders.txt:10: warning: cue at 0:00.200 is earlier than the cue before it for channel 1 at "
     "0:00.500 (it never plays, nor does any later cue of channel 1)",
     0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nv\t2\t-3\nend\n",
     "faders.txt:7: warning: cue at 0:00.000 is at the same time as the cue before it for channel "
     "2 (it never plays, nor does any later cue of channel 2)",
     0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nt\t0\t2\t0\nend\n",
     "faders.txt:7: error: time 0:02.000 is after the end of the song at 0:01.000", 2},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nt\t0\t-1\t0\nend\n",
     "faders.txt:7: error: time -0:01.000 is before the start of the song", 2},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nt\t0\t0\nend\n",
     "faders.txt:7: error: t has 2 time fields where 3 are needed", 2},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ninc\t5\nend\n",
     "faders.txt:7: warning: inc moves the time to 0:05.000, after the end of the song at 0:01.000 "
     "(a cue there never plays)",
     0},
    {"prefs.txt", "begin\nverbo\t1\ndither\t0\noutbits\t16\npan\t0\ntempo\nend\n",
     "faders.txt: error: no tmap line: tempo mode needs a tempo map", 2},
    {"prefs.txt", "begin\nverbo\t1\ndither\t0\noutbits\t16\npan\t0\ntfields\t7\nend\n",
     "prefs.txt:6: warning: tfields '7' is not 1, 2 or 3 (3 used)", 0},
    {"faders.txt",
     "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nt\t0\t0\t500\nv\t1\t-3\nrmp\t3\nend\n",
     "faders.txt:9: warning: ramp of 3 s for channel 1 runs past the end of the song at 0:01.000 "
     "(cut to 0.5 s)",
     0},
    {"faders.txt",
     "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nt\t0\t0\t200\nv\t1\t-10\nrmp\t0."
     "5\nt\t0\t0\t400\nv\t1\t-3\nend\n",
     "faders.txt:9: warning: ramp of 0.5 s for channel 1 is cut to 0.2 s by the next cue at "
     "0:00.400",
     0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nrmp\t1\nend\n",
     "faders.txt:7: warning: ramp under the first cue of the master is not used (that cue sets the "
     "level at once)",
     0},
    {"faders.txt",
     "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nt\t0\t0\t500\nv\t1\t-3\nrmp\t-1\nend\n",
     "faders.txt:9: warning: ramp of -1 s is below zero (no ramp used)", 0},
    {"faders.txt", "begin\nm\nofs\t1\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nend\n",
     "faders.txt:3: warning: ofs follows no level line (line ignored)", 0},
    {"faders.txt",
     "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nt\t0\t0\t500\nshape\t2\nend\n",
     "faders.txt:8: warning: shape follows no level line of its cue: it changes the cue of the "
     "master at 0:00.000",
     0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nshape\t20\nend\n",
     "faders.txt:7: warning: shape '20' is not 0.125 to 8 (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nv\t200\t-6\nend\n",
     "faders.txt:7: warning: channel 200 is out of range (1 to 127, G 1 to 8, or M): submix 8 used",
     0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nv\tG\t-6\t0\nend\n",
     "faders.txt:7: warning: submix -6 is out of range (1 to 8): channel 121 used", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\np\t5\t10\nend\n",
     "faders.txt:7: warning: channel 5 has no track (the line has no effect)", 0},
    {"faders.txt",
     "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nt\t0\t0\t500\nv\t1\t20\nend\n",
     "faders.txt:8: warning: level '20' is above +12.02 dB (+12.02 dB used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\np\t1\t150\nend\n",
     "faders.txt:7: warning: pan 150 is not -100 to 100 (0 used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ntrim\t2\t20\nend\n",
     "faders.txt:5: warning: level of channel 2 comes to +14.00 dB with its trims and scale (above "
     "+12 dB: silence used)",
     0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\np\tG3\t10\nend\n",
     "faders.txt:7: warning: channel 'G3' is not a channel (1 to 127, G 1 to 8, or M): the master "
     "used",
     0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nfxg\t0\t3\nend\n",
     "faders.txt:7: warning: channel 0 is out of range (1 to 127, G 1 to 8, or M): the master used "
     "(it counts only beside a 'fxg M' line)",
     0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\npol\t3abc\t-1\nend\n",
     "faders.txt:7: warning: channel '3abc' is read as 3: channel 3 used", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\npol\t1\t3\nend\n",
     "faders.txt:7: warning: polarity '3' is not 1 or -1 (1 used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nvca\t9\t0\nend\n",
     "faders.txt:7: warning: VCA '9' is not 1 to 8 (the line has no effect)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ntrim\t1\nend\n",
     "faders.txt:7: warning: trim has no value (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ntrim\t1\t30\nend\n",
     "faders.txt:7: warning: trim '30' is above +24 dB (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nfxg\t1\nend\n",
     "faders.txt:7: warning: fxg has no value (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nfxg\t1\t30\nend\n",
     "faders.txt:7: warning: effects gain '30' is above +24 dB (0 dB used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nscale\t-1\nend\n",
     "faders.txt:7: warning: scale '-1' is below 0 (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nmtrim\t30\nend\n",
     "faders.txt:7: warning: mtrim '30' is above +24 dB (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ndp\t1\t20\nend\n",
     "faders.txt:7: warning: dp is not used: with pan law 0 every mono channel is delay-panned by "
     "its p value",
     0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ndp\tG\t2\t10\nend\n",
     "faders.txt:7: warning: dp channel 'G' names no track channel (the line has no effect)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ndp\t1\t200\nend\n",
     "faders.txt:7: warning: delay pan '200' is not -100 to 100 (no delay pan used)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\ndp\t-3\t20\nend\n",
     "faders.txt:7: warning: dp channel -3 is out of range (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nsub\t9\t1\nend\n",
     "faders.txt:7: warning: submix '9' is not 1 to 8 (line ignored)", 0},
    {"faders.txt",
     "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nsub\t-18446744073709551615\t1\nend\n",
     "faders.txt:7: warning: submix '-18446744073709551615' is read as 1", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nsub\t1\t1\nsub\t1\t2\nend\n",
     "faders.txt:7: warning: sub list of submix 1 is replaced by the one on line 8 (line ignored)",
     0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nsub\t1\t1,200\nend\n",
     "faders.txt:7: warning: channel '200' in the list of submix 1 is out of range (1 to 127): it "
     "is left out",
     0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nsubmu\t0\nend\n",
     "faders.txt:7: warning: submix '0' is not 1 to 8 (line ignored)", 0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nVCA:\t0\t1\nend\n",
     "faders.txt:7: warning: VCA '0' is not 1 to 8 (line ignored)", 0},
    {"faders.txt",
     "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nVCA:\t-18446744073709551614\t1\nend\n",
     "faders.txt:7: warning: VCA '-18446744073709551614' is read as 2", 0},
    {"faders.txt",
     "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nVCA:\t1\t1\nVCA:\t1\t2\nend\n",
     "faders.txt:7: warning: VCA: list of VCA 1 is replaced by the one on line 8 (line ignored)",
     0},
    {"faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\t2\t-6\nv\tM\t0\nVCA:\t1\t1,140\nend\n",
     "faders.txt:7: warning: channel '140' in the list of VCA 1 is out of range (0 to 136): it is "
     "left out",
     0},
};

} // namespace

TEST(DiagnosticsCatalogue, EachLineNotUsedAsWrittenIsNamed) {
    for (const Row& row : kCatalogue) {
        SCOPED_TRACE(std::string(row.file) + ":\n" + row.text);
        Session s;
        plainSession(s);
        s.wav("c.wav", layout(1, SampleFormat::Pcm16, 48000), noise(4800, 3, 3000));
        s.text(row.file, row.text);
        const RunResult plain = s.runApart();
        EXPECT_EQ(plain.status, row.status) << plain.out << plain.err;
        EXPECT_NE(plain.err.find(row.diagnostic), std::string::npos) << plain.err;
        EXPECT_EQ(plain.out.find(": warning: "), std::string::npos) << plain.out;

        const bool warning = std::string(row.diagnostic).find(": warning: ") != std::string::npos;
        std::remove(s.file("m.wav").c_str());
        const RunResult strict = s.runApart({"--strict"});
        EXPECT_EQ(strict.status, warning ? 1 : row.status) << strict.err;
        if (warning) {
            EXPECT_NE(strict.err.find(" treated as errors\n"), std::string::npos) << strict.err;
            EXPECT_FALSE(s.exists("m.wav"));
        }
        const RunResult check = s.runApart({"--check"});
        EXPECT_NE(check.err.find(warning ? "0 errors, " : "1 error, "), std::string::npos)
            << check.err;
    }
}

// A line the run does not use changes nothing but standard error: the same mix, report and
// console text as without it.
TEST(DiagnosticsCatalogue, UnusedLinesChangeNothingButStandardError) {
    Session with, without;
    plainSession(with);
    plainSession(without);
    with.text("tracks.txt", "begin\n1 a.wav +\n2 b.wav +\n3 none.wav +\nend\n");
    without.text("tracks.txt", "begin\n1 a.wav +\n2 b.wav +\n3 a.wav -\nend\n");
    const RunResult a = with.runApart({"--seed", "1"});
    const RunResult b = without.runApart({"--seed", "1"});
    ASSERT_EQ(a.status, 0) << a.out << a.err;
    ASSERT_EQ(b.status, 0) << b.out << b.err;
    EXPECT_NE(a.err, "");
    EXPECT_EQ(readBytes(with.file("m.wav")), readBytes(without.file("m.wav")));
    auto withoutTime = [](const std::string& text) {
        return text.substr(0, text.find("Processing time"));
    };
    EXPECT_EQ(withoutTime(readText(with.file("stats_m.txt"))),
              withoutTime(readText(without.file("stats_m.txt"))));
}
