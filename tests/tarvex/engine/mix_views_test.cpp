// The optional views of a mix: the level lanes of the picture, the overs list
// with its cues, the loudness block with its target, and the picture's file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>

#include "automation/level_automation.h"
#include "automation/level_tables.h"
#include "engine/plot_svg.h"
#include "tarvex_session.h"

using namespace tarvex_test;

namespace {

int32_t levelOf(double dB) {
    return static_cast<int32_t>(std::pow(10.0, dB / 20.0) * tarvex::kUnityLevel);
}

double dBAt(const std::vector<tarvex::LevelPoint>& curve, int64_t position) {
    for (const tarvex::LevelPoint& p : curve)
        if (p.position == position) return p.dB;
    ADD_FAILURE() << "no point at " << position;
    return 999.0;
}

bool python3Available() {
    return std::system("python3 -c 'import xml.dom.minidom' >/dev/null 2>&1") == 0;
}

} // namespace

TEST(MixViews, LanesFollowShapedRampsAndVcas) {
    auto au = std::make_unique<tarvex::AutomationScript>();
    tarvex::EntryTable& v = au->volume;
    constexpr int kSlot = 1;
    v.levels[v.at(0, kSlot)] = levelOf(0.0);
    v.levels[v.at(1, kSlot)] = levelOf(-20.0);
    v.times[v.at(1, kSlot)] = 1000;
    v.ramps[v.at(1, kSlot)] = 1000;
    v.shapes[v.at(1, kSlot)] = 2.0f;
    v.count[kSlot] = 2;
    const auto curve = tarvex::levelCurve(*au, kSlot, 0, 4000, 0);
    EXPECT_NEAR(dBAt(curve, 0), 0.0, 1e-6);
    EXPECT_NEAR(dBAt(curve, 1000), 0.0, 1e-6);  // the ramp has not begun
    EXPECT_NEAR(dBAt(curve, 1500), -5.0, 0.01); // shape 2: -20 × 0.5²
    EXPECT_NEAR(dBAt(curve, 2000), -20.0, 0.01);
    EXPECT_NEAR(dBAt(curve, 4000), -20.0, 0.01);
    EXPECT_LE(curve.size(), 2u + 2u * (tarvex::kPointsPerRamp + 1u));

    // On VCA 2 at -6 dB the whole lane moves down by 6 dB.
    au->routing.vcaAssign[kSlot] = 2;
    au->routing.vcaFlags[2] = 1;
    au->vca.levels[au->vca.at(0, 2)] = levelOf(-6.0);
    au->vca.count[2] = 1;
    const auto withVca = tarvex::levelCurve(*au, kSlot, 0, 4000, 0);
    EXPECT_NEAR(dBAt(withVca, 1500), -11.0, 0.01);
    // A submix without level entries passes at unity.
    const auto group = tarvex::levelCurve(*au, 128, 0, 4000, 0);
    ASSERT_FALSE(group.empty());
    for (const auto& p : group)
        EXPECT_EQ(p.dB, 0.0);
}

// A cue earlier than the one before it in its slot is never reached, nor is any later cue of
// the slot; a render that starts past them settles where the automation's seek settles.
TEST(MixViews, LanesPlayOnlyTheCuesTheRenderReaches) {
    auto au = std::make_unique<tarvex::AutomationScript>();
    tarvex::EntryTable& v = au->volume;
    constexpr int kSlot = 3;
    const double dBs[] = {0.0, -6.0, -30.0, -12.0};
    const int64_t times[] = {0, 1000, 500, 3000};
    for (int e = 0; e < 4; ++e) {
        v.levels[v.at(e, kSlot)] = levelOf(dBs[e]);
        v.times[v.at(e, kSlot)] = times[e];
    }
    v.count[kSlot] = 4;
    struct Row {
        int64_t from, at;
        double dB;
    };
    for (const Row& row : {Row{0, 0, 0.0}, Row{0, 1001, -6.0}, Row{0, 4000, -6.0},
                           Row{2000, 2000, -30.0}, Row{2000, 3001, -12.0}}) {
        const auto curve = tarvex::levelCurve(*au, kSlot, row.from, 4000, row.from);
        EXPECT_NEAR(dBAt(curve, row.at), row.dB, 0.01) << row.from << " " << row.at;
    }
    const tarvex::PlayedEntries fromStart = tarvex::playedEntries(v, kSlot, 0);
    EXPECT_EQ(fromStart.end, 2);
}

TEST(MixViews, OversAreListedWithTheirCuesAndMarkedInThePlot) {
    Session s;
    std::vector<int32_t> track(132300, 1000); // 3 s: two blocks
    for (int i = 1000; i < 1003; ++i)
        track[i] = 32767;
    for (int i = 131070; i < 131074; ++i) // across the block edge
        track[i] = -32768;
    s.wav("a.wav", layout(1, SampleFormat::Pcm16), track);
    s.text("tracks.txt", "begin\n1 a.wav +\nend\n");
    s.text("prefs.txt", kQuietPrefs);
    s.text("faders.txt", "begin\nm\nt\t0\t0\t0\nv\t1\t0\nv\tM\t0\nt\t0\t2\t0\nv\t1\t0\nend\n");
    RunResult r = s.run({"--overs", "--plot", "plot.svg"});
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string stats = readText(s.file("stats_m.txt"));
    const char* const expected =
        "\nOvers (time, sample, length, the cue before it)\n"
        "Out L\t0:00.022\tsample 1000\t3 samples\tcue t 0:00.000\tmaster 0.0 dB\n"
        "Out R\t0:00.022\tsample 1000\t3 samples\tcue t 0:00.000\tmaster 0.0 dB\n"
        "Channel 1 at fader\t0:02.972\tsample 131070\t4 samples\tcue t 0:02.000\tmaster 0.0 dB\n"
        "Master at bus sum\t0:02.972\tsample 131070\t4 samples\tcue t 0:02.000\tmaster 0.0 dB\n"
        "Master at fader\t0:02.972\tsample 131070\t4 samples\tcue t 0:02.000\tmaster 0.0 dB\n"
        "Out L\t0:02.972\tsample 131070\t4 samples\tcue t 0:02.000\tmaster 0.0 dB\n"
        "Out R\t0:02.972\tsample 131070\t4 samples\tcue t 0:02.000\tmaster 0.0 dB\n";
    EXPECT_NE(stats.find(expected), std::string::npos) << stats;

    const std::string svg = readText(s.file("plot.svg"));
    // Columns of 132300 / 1200 samples from x = 170: samples 1000 and 131070
    // fall in columns 9 and 1188.
    EXPECT_NE(svg.find("<line class=\"over\" x1=\"179.5\""), std::string::npos);
    EXPECT_NE(svg.find("<line class=\"over\" x1=\"1358.5\""), std::string::npos);
    std::size_t overs = 0;
    for (std::size_t at = svg.find("class=\"over\""); at != std::string::npos;
         at = svg.find("class=\"over\"", at + 1))
        ++overs;
    EXPECT_EQ(overs, 4u); // two columns on each side
    EXPECT_NE(svg.find("data-slot=\"1\""), std::string::npos);
    EXPECT_NE(svg.find("data-slot=\"0\""), std::string::npos);
    if (python3Available()) {
        const std::string check = "python3 -c 'import sys, xml.dom.minidom as m; "
                                  "m.parse(sys.argv[1])' '" +
                                  s.file("plot.svg") + "'";
        EXPECT_EQ(std::system(check.c_str()), 0) << "the plot is not well-formed XML";
    }

    // Without the options the report has neither block and no plot is made.
    std::remove(s.file("plot.svg").c_str());
    r = s.run();
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(readText(s.file("stats_m.txt")).find("Overs"), std::string::npos);
    EXPECT_FALSE(s.exists("plot.svg"));
}

// Full scale inside the console is listed where it happens, even when the master brings the
// output back below it.
TEST(MixViews, OversInsideTheConsoleNameTheirStage) {
    Session s;
    s.wav("a.wav", layout(1, SampleFormat::Pcm16), std::vector<int32_t>(44100, 20000));
    s.wav("b.wav", layout(1, SampleFormat::Pcm16), std::vector<int32_t>(44100, 20000));
    s.text("tracks.txt", "begin\n1 a.wav +\n2 b.wav +\nend\n");
    s.text("prefs.txt", kQuietPrefs);
    s.text("faders.txt", "begin\nm\nsub\t1\t1,2\nVCA:\t1\t1\nt\t0\t0\t0\nv\t1\t12\nv\t2\t0\n"
                         "vca\t1\t0\nv\tG\t1\t-12\nv\tM\t-6\nend\n");
    const RunResult r = s.run({"--overs"});
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string stats = readText(s.file("stats_m.txt"));
    for (const char* stage : {"Channel 1 at fader with VCA 1", "Submix 1 at bus sum"})
        EXPECT_NE(stats.find(std::string(stage) + "\t0:00.000\tsample 0\t44100 samples\tcue t "
                                                  "0:00.000\tmaster -6.0 dB\n"),
                  std::string::npos)
            << stage << "\n"
            << stats;
    EXPECT_EQ(stats.find("\nOut"), std::string::npos) << stats;
    EXPECT_EQ(stats.find("Channel 2"), std::string::npos) << stats;
}

TEST(MixViews, LoudnessTargetGivesTheTrimAndWarnsAboutTheTruePeak) {
    Session s;
    std::vector<int32_t> sine(5 * 44100);
    for (std::size_t i = 0; i < sine.size(); ++i)
        sine[i] = static_cast<int32_t>(std::lround(
            32768.0 * std::pow(10.0, -23.0 / 20.0) *
            std::sin(2.0 * std::numbers::pi * 1000.0 * static_cast<double>(i) / 44100.0)));
    s.wav("sine.wav", layout(1, SampleFormat::Pcm16), sine);
    s.text("tracks.txt", "begin\n1 sine.wav +\nend\n");
    s.text("prefs.txt", kQuietPrefs);
    s.text("faders.txt", unityFaders("m", 1));
    RunResult r = s.run({"--loudness-target", "-14"});
    ASSERT_EQ(r.status, 0) << r.out;
    std::string stats = readText(s.file("stats_m.txt"));
    EXPECT_NE(stats.find("Integrated\t-23.0 LUFS\n"), std::string::npos) << stats;
    EXPECT_NE(stats.find("Target\t\t-14.0 LUFS: change mtrim by +9.0 dB\n"), std::string::npos)
        << stats;
    EXPECT_EQ(stats.find("Warning"), std::string::npos);
    // The block follows the processing-time line.
    EXPECT_LT(stats.find("Processing time"), stats.find("Loudness of the output"));

    // The same from prefs.txt; a target of 0 LUFS would push the peak over -1 dBTP.
    s.text("prefs.txt", "begin\nverbo\t1\ndither\t0\noutbits\t16\npan\t0\nloudness\t0\nend\n");
    r = s.run();
    ASSERT_EQ(r.status, 0) << r.out;
    stats = readText(s.file("stats_m.txt"));
    EXPECT_NE(stats.find("change mtrim by +23.0 dB\nWarning: the true peak would then reach"),
              std::string::npos)
        << stats;
    EXPECT_EQ(s.run({"--loudness-target", "loud"}).status, 2);
}

TEST(MixViews, PlotNeverOverwritesAnInputAndFailuresAreNamed) {
    Session s;
    s.wav("a.wav", layout(1, SampleFormat::Pcm16), std::vector<int32_t>(1000, 5));
    s.text("tracks.txt", "begin\n1 a.wav +\nend\n");
    s.text("prefs.txt", kQuietPrefs);
    s.text("faders.txt", unityFaders("m", 1));
    const std::string before = readText(s.file("tracks.txt"));
    // Both are refused before anything is written, a check too, with advice about the plot.
    struct Row {
        std::vector<std::string> args;
        int status;
        const char* message;
    };
    for (const Row& row :
         {Row{{"--plot", "tracks.txt"},
              2,
              "The plot tracks.txt would overwrite the track list tracks.txt; choose another "
              "file for --plot (or plot in prefs.txt).\nNothing was written.\n"},
          Row{{"--plot", "missing/p.svg"},
              1,
              "Could not create the plot missing/p.svg: No such file or directory; choose "
              "another file for --plot (or plot in prefs.txt).\nNothing was written.\n"},
          Row{{"--check", "--plot", "missing/p.svg"}, 1, "Could not create the plot"}}) {
        const RunResult r = s.run(row.args);
        EXPECT_EQ(r.status, row.status) << r.out;
        EXPECT_NE(r.out.find(row.message), std::string::npos) << r.out;
        EXPECT_FALSE(s.exists("m.wav")) << r.out;
    }
    EXPECT_EQ(readText(s.file("tracks.txt")), before);
}
