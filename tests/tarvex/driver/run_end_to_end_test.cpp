// Whole runs of the built tarvex in temporary session folders: exact sums,
// start offsets, preview windows, prompts, reports and the
// refusals that protect the user's files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tarvex_session.h"
#include "test_support.h"

namespace fs = std::filesystem;

using namespace tarvex_test;

TEST(EndToEnd, StereoSumAtUnityIsExactAndMatchesSox) {
    Session s;
    const auto a = noise(2 * 30000, 1, 12000);
    const auto b = noise(2 * 20000, 2, 12000);
    s.wav("a.wav", layout(2, SampleFormat::Pcm16), a);
    s.wav("b.wav", layout(2, SampleFormat::Pcm16), b);
    s.text("tracks.txt", "begin\n1 a.wav +\n2 b.wav +\nend\n");
    s.text("prefs.txt", kQuietPrefs);
    s.text("faders.txt", unityFaders("sum", 2));
    const RunResult r = s.run();
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Done!  Created the file: sum.wav"), std::string::npos);

    const Wav mix = readMix(s.file("sum.wav"));
    EXPECT_EQ(mix.channels, 2);
    EXPECT_EQ(mix.bits, 16);
    EXPECT_EQ(mix.dataSize, 30000u * 4);
    EXPECT_EQ(mix.riffSize, mix.dataSize + 36);
    ASSERT_EQ(mix.samples.size(), a.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        ASSERT_EQ(mix.samples[i], a[i] + (i < b.size() ? b[i] : 0)) << i;

    if (std::system("command -v sox >/dev/null 2>&1") != 0) GTEST_SKIP() << "sox is not installed";
    const RunResult sox = runProgram(
        "/bin/sh", {"-c", "sox -D -m -v 1 a.wav -v 1 b.wav -b 16 peer.wav"}, s.dir.path().string());
    ASSERT_EQ(sox.status, 0) << sox.out;
    const Wav peer = readMix(s.file("peer.wav"));
    EXPECT_EQ(peer.samples, mix.samples);
}

TEST(EndToEnd, LateStartAndPreviewMatchTheFullRender) {
    Session s;
    const auto a = noise(150000, 3, 9000);
    const auto b = noise(140000, 4, 9000);
    s.wav("a.wav", layout(1, SampleFormat::Pcm16), a);
    s.wav("b.wav", layout(1, SampleFormat::Pcm16), b);
    s.text("tracks.txt", "begin\n1 a.wav +\n2 b.wav +\nend\n");
    s.text("prefs.txt", kQuietPrefs);
    s.text("faders.txt", unityFaders("late", 2, "tstamp\t2\t0\t0\t500\nsstamp\t2\t50\n"));
    RunResult r = s.run();
    ASSERT_EQ(r.status, 0) << r.out;
    const int64_t start = 22050 + 50;
    const Wav full = readMix(s.file("late.wav"));
    ASSERT_EQ(full.samples.size(), 2u * static_cast<std::size_t>(start + 140000));
    for (int64_t f = 0; f < start + 140000; ++f) {
        const int32_t expect = (f < 150000 ? a[f] : 0) + (f >= start ? b[f - start] : 0);
        ASSERT_EQ(full.samples[2 * f], expect) << f;
        ASSERT_EQ(full.samples[2 * f + 1], expect) << f;
    }

    // A preview of 1.5 s from 1.2 s crosses a block boundary and the late start.
    s.text("prefs.txt", "begin\nverbo\t1\ndither\t0\noutbits\t16\npre\ton\nsfields\t1\nstart\t1.2\n"
                        "length\t1.5\npan\t0\nend\n");
    r = s.run();
    ASSERT_EQ(r.status, 0) << r.out;
    const Wav preview = readMix(s.file("preview.wav"));
    const std::size_t from = 2 * 52920, count = 2 * 66150;
    ASSERT_EQ(preview.samples.size(), count);
    EXPECT_TRUE(std::equal(preview.samples.begin(), preview.samples.end(),
                           full.samples.begin() + static_cast<std::ptrdiff_t>(from)));
}

TEST(EndToEnd, MonoFoldVerbosityZeroAndBackupDirectory) {
    Session s;
    s.wav("l.wav", layout(2, SampleFormat::Pcm16), {1000, 3000, -2000, -2000, 32767, 32767});
    fs::create_directory(s.dir.path() / "old");
    s.text("tracks.txt", "begin\n1 l.wav +\nend\n");
    s.text("prefs.txt", "begin\nverbo\t0\ndither\t0\noutbits\t16\nmono\t0\n"
                        "bakdir\told/\nlaunch\ttouch launched.flag\nend\n");
    s.text("faders.txt", unityFaders("fold", 1));
    const RunResult r = s.run();
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    const Wav mix = readMix(s.file("fold.wav"));
    EXPECT_EQ(mix.channels, 1);
    EXPECT_EQ(mix.samples, (std::vector<int32_t>{4000, -4000, 32767}));
    EXPECT_TRUE(s.exists("old/stats_fold.txt"));
    EXPECT_EQ(readText(s.file("old/faders_fold.txt")), "\nfold\nt\t0\t0\t0\nv\t1\t0\nend\n");
    EXPECT_TRUE(s.exists("launched.flag"));
    const std::string stats = readText(s.file("old/stats_fold.txt"));
    EXPECT_EQ(stats.rfind("Processing time = ", 0) == std::string::npos, true);
    EXPECT_NE(stats.find("\nProcessing time = "), std::string::npos);
}

TEST(EndToEnd, MissingControlFiles) {
    Session s;
    RunResult r = s.run();
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(
        r.out.find("tracks.txt file was not found.\nCreate the file and run again.\nExiting..."),
        std::string::npos);
    EXPECT_NE(r.out.find("\nWarning: prefs.txt file was not found...\n...created one for you."),
              std::string::npos);

    s.wav("a.wav", layout(1, SampleFormat::Pcm16), {100, 200});
    s.text("tracks.txt", "begin\n1 a.wav +\n2 a.wav +\n3 a.wav -\nend\n");
    r = s.run({}, "-6\n");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(readText(s.file("prefs.txt")),
              "begin\npre\toff\nstart\t0\t0\t0\nlength\t0\noutbits\t24\n\nend\n");
    EXPECT_NE(
        r.out.find("faders.txt file was not found\nEnter the default fader value or -999 to exit."),
        std::string::npos);
    EXPECT_EQ(readText(s.file("faders.txt")),
              "begin\ntest_mix\n\nt\t0\t0\t0\nv\t1\t-6.0\nv\t2\t-6.0\nv\t3\t-6.0\nend\n");
    EXPECT_TRUE(s.exists("test_mix.wav"));

    // A fader file named otherwise that is missing is a misspelt name: no prompt, no template,
    // no mix, in a render as in a check.
    std::remove(s.file("test_mix.wav").c_str());
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"tracks.txt", "other.txt"},
          {"--check", "tracks.txt", "other.txt"}}) {
        r = s.run(args, "0\n");
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.out.find("Counted 3 tracks\nother.txt file was not found.\nA template is made "
                             "only for a missing "
                             "faders.txt: check the name given on the command line.\nExiting...\n"),
                  std::string::npos)
            << r.out;
    }
    EXPECT_FALSE(s.exists("test_mix.wav"));
    EXPECT_EQ(readText(s.file("faders.txt")),
              "begin\ntest_mix\n\nt\t0\t0\t0\nv\t1\t-6.0\nv\t2\t-6.0\nv\t3\t-6.0\nend\n");
}

TEST(EndToEnd, OutputsNeverOverwriteInputs) {
    Session s;
    s.wav("kick.wav", layout(1, SampleFormat::Pcm16), {100, 200, 300});
    const auto before = readBytes(s.file("kick.wav"));
    s.text("tracks.txt", "begin\n1 kick.wav +\nend\n");
    s.text("prefs.txt", kQuietPrefs);
    s.text("faders.txt", "begin\nkick\nend\n");
    RunResult r = s.run();
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("The mix file kick.wav would overwrite the track of channel 1 kick.wav"),
              std::string::npos);
    EXPECT_EQ(readBytes(s.file("kick.wav")), before);
    EXPECT_FALSE(s.exists("stats_kick.txt"));

    // The fader copy must not land on the fader file named on the command line.
    s.text("faders_song.txt", "begin\nsong\nend\n");
    r = s.run({"tracks.txt", "faders_song.txt"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(readText(s.file("faders_song.txt")), "begin\nsong\nend\n");
    EXPECT_FALSE(s.exists("song.wav"));
}

TEST(EndToEnd, FailuresAreNeverReportedAsSuccess) {
    Session s;
    s.wav("a.wav", layout(1, SampleFormat::Pcm16, 44100), {1, 2, 3});
    s.wav("b.wav", layout(1, SampleFormat::Pcm16, 48000), {1, 2, 3});
    s.text("tracks.txt", "begin\n1 a.wav +\n2 b.wav +\nend\n");
    s.text("prefs.txt", "begin\nverbo\t1\nmixdir\tno/such/dir/\nend\n");
    s.text("faders.txt", "begin\nm\nend\n");
    RunResult r = s.run();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(
        r.out.find("The sample rate appears to be 44100\nThe file assigned to channel 2 has a "
                   "different rate!"),
        std::string::npos);

    s.text("tracks.txt", "begin\n1 a.wav +\nend\n");
    r = s.run();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("no/such/dir/m.wav"), std::string::npos);
    EXPECT_NE(r.out.find("No such file or directory"), std::string::npos);
    EXPECT_EQ(r.out.find("Done!"), std::string::npos);

    // A start offset that makes the song too long for a WAV file is refused
    // before anything is written.
    s.text("prefs.txt", kQuietPrefs);
    s.text("faders.txt", "begin\nm\ntstamp\t1\t0\t30000\t0\nend\n");
    r = s.run();
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("too long for one WAV file"), std::string::npos);
    EXPECT_FALSE(s.exists("m.wav"));
}

TEST(EndToEnd, EmptyPreviewWritesHeaderAndReports) {
    Session s;
    s.wav("a.wav", layout(1, SampleFormat::Pcm16), {1, 2, 3});
    s.text("tracks.txt", "begin\n1 a.wav +\nend\n");
    s.text("prefs.txt", "begin\nverbo\t2\npre\ton\nlength\t0\nend\n");
    s.text("faders.txt", "begin\nm\nend\n");
    const RunResult r = s.run();
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(readBytes(s.file("preview.wav")).size(), 44u);
    EXPECT_EQ(readMix(s.file("preview.wav")).riffSize, 36u);
    EXPECT_TRUE(s.exists("stats_m.txt"));
    EXPECT_NE(r.out.find("Mixing...\n"), std::string::npos);
    EXPECT_EQ(r.out.find("1/4 done"), std::string::npos);
}

TEST(EndToEnd, LoudSumsAndDitherSaturateInsteadOfWrapping) {
    Session s;
    // Two tracks at 0.75 of full scale: the bus sum passes 2^31 and must hold
    // at full scale, never wrap to a negative sample.
    s.wavFloat("a.wav", layout(1, SampleFormat::Float32), std::vector<double>(64, 0.75));
    s.wavFloat("c.wav", layout(1, SampleFormat::Float32), std::vector<double>(64, 0.75));
    s.text("tracks.txt", "begin\n1 a.wav +\n2 c.wav +\nend\n");
    s.text("prefs.txt", "begin\nverbo\t1\ndither\t0\npan\t0\nend\n");
    s.text("faders.txt", unityFaders("loud", 2));
    RunResult r = s.run();
    ASSERT_EQ(r.status, 0) << r.out;
    for (int32_t v : readMix(s.file("loud.wav")).samples)
        ASSERT_EQ(v, 8388607);
    EXPECT_NE(r.out.find("Peak Out L = -0.00 dB"), std::string::npos);

    // Full-scale input with the widest dither stays at the top, never wraps.
    s.wav("f.wav", layout(2, SampleFormat::Pcm16), std::vector<int32_t>(2000, 32767));
    s.wav("g.wav", layout(2, SampleFormat::Pcm16), std::vector<int32_t>(2000, -32768));
    s.text("tracks.txt", "begin\n1 f.wav +\nend\n");
    s.text("prefs.txt", "begin\nverbo\t1\ndither\t8\noutbits\t16\nend\n");
    r = s.run();
    ASSERT_EQ(r.status, 0) << r.out;
    const Wav high = readMix(s.file("loud.wav"));
    ASSERT_EQ(high.samples.size(), 2000u);
    for (int32_t v : high.samples)
        ASSERT_GE(v, 32767 - 128);

    s.text("tracks.txt", "begin\n1 g.wav +\nend\n");
    r = s.run();
    ASSERT_EQ(r.status, 0) << r.out;
    for (int32_t v : readMix(s.file("loud.wav")).samples)
        ASSERT_LE(v, -32768 + 128);
}
