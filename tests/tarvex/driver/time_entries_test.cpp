// Timeline reading: time lines, level lines, ramps, trims and the tempo map.
#include "driver/time_entries.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "core/console.h"
#include "driver/tempo_map.h"

using namespace tarvex;

namespace {

struct Read {
    std::unique_ptr<MixSession> s = std::make_unique<MixSession>();
    std::string out;
    int status = 0;
    int32_t level(int slot, int n) const {
        return s->settings.automation.volume.levels[s->settings.automation.volume.at(n, slot)];
    }
    int64_t time(int slot, int n) const {
        return s->settings.automation.volume.times[s->settings.automation.volume.at(n, slot)];
    }
    int64_t ramp(int slot, int n) const {
        return s->settings.automation.volume.ramps[s->settings.automation.volume.at(n, slot)];
    }
};

Read readScript(const std::string& body, const std::string& prefs = "",
                int64_t song = 44100 * 600) {
    Read r;
    const FaderLines fader("begin\nmix\n" + body);
    const PreferenceLines prefsLines = readPreferenceLines("begin\n" + prefs, "prefs.txt");
    r.s->settings.prefs.tempoMode = prefs.find("tempo") != std::string::npos;
    r.s->settings.prefs.percentMode = prefs.find("v=percent") != std::string::npos;
    r.s->settings.tracks.sampleRate = 44100;
    r.s->settings.tracks.songLength = song;
    r.s->settings.tracks.channelCount = 4;
    testing::internal::CaptureStdout();
    try {
        buildTempoMap(*r.s, fader);
        readTimeEntries(*r.s, fader, prefsLines);
    } catch (const RunStopped& e) {
        r.status = e.status;
    }
    r.out = testing::internal::GetCapturedStdout();
    return r;
}

bool has(const Read& r, const std::string& text) {
    return r.out.find(text) != std::string::npos;
}

} // namespace

TEST(TimeEntries, TimeLinesInEachFieldCount) {
    Read r = readScript("t\t0\t1\t500\nv\t1\t0\n");
    EXPECT_EQ(r.time(1, 0), 66150);
    EXPECT_TRUE(has(r, "Using") == false);
    r = readScript("t\t90\nv\t1\t0\n", "tfields\t1\n");
    EXPECT_EQ(r.time(1, 0), 90 * 44100);
    EXPECT_TRUE(has(r, "Using 1 time field\n"));
    r = readScript("t\t0\t1\t0\nv\t1\t0\n", "tfields\t5\n");
    EXPECT_EQ(r.time(1, 0), 44100);
    EXPECT_TRUE(has(r, "Using 3 time fields\n"));
    // `inc` moves the cursor; `offset` shifts every time.
    r = readScript("t\t0\t1\t0\ninc\t0.5\nv\t1\t0\n");
    EXPECT_EQ(r.time(1, 0), 66150);

    r = readScript("t\t11\t0\t0\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(has(r, "Error:  Time entry 1 exceeds song length\n"));
    r = readScript("t\t0\t0\t0\nt\t0\t-1\t0\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(has(r, "Error:  Time entry 2 is less than zero\n"));
    r = readScript("t\t0\t30\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(has(r, "faders.txt line 3: a t line needs 3 time fields here."));
}

TEST(TimeEntries, LevelLinesAndTheirSlots) {
    Read r = readScript("t\t0\t0\t0\nv\tG\t2\t-6\nv\tM\t0\nv\t1\t0\nv\t1\t12.02\nv\t1\t-144\n"
                        "v\t3\t20\nv\t200\t0\nvca\t9\t-3\npol\t2\t0\npol\t3\t-1\n");
    const SlotSettings& s = r.s->settings.automation.slots;
    EXPECT_EQ(s.groupLevel[129], 1);
    EXPECT_EQ(r.level(129, 0), static_cast<int32_t>(std::pow(10.0, -0.3) * 134217728.0));
    EXPECT_EQ(s.masterLevel, 1);
    EXPECT_EQ(r.level(1, 0), 134217728);
    EXPECT_EQ(r.level(1, 1), 535562158);
    EXPECT_EQ(r.level(1, 2), 8);
    EXPECT_TRUE(has(r, ">> Warning: fader 3 (entry 1) set above 12.02 dB\n"));
    EXPECT_EQ(r.level(3, 0), 535562158);
    // An out-of-range channel is limited to 135 before it is flagged.
    EXPECT_TRUE(has(r, ">>Channel number out of range or not specified!"));
    EXPECT_EQ(s.groupLevel[135], 1);
    EXPECT_EQ(r.s->settings.automation.vca.count[0], 1);
    EXPECT_EQ(s.polarity[2], 1);
    EXPECT_EQ(s.polarity[3], -1);

    r = readScript("t\t0\t0\t0\nv\t1\t50\nv\t2\t500\n", "v=percent\n");
    EXPECT_EQ(r.level(1, 0), 67108864);
    EXPECT_TRUE(has(r, ">> Warning: fader 2 (entry 1) set above 400 percent\n"));
    EXPECT_EQ(r.level(2, 0), 536870912);
}

TEST(TimeEntries, RampsShapesAndDefaults) {
    // A ramp under the first entry of a slot is refused.
    Read r = readScript("t\t0\t0\t0\nv\t1\t0\nrmp\t2\nt\t0\t1\t0\nv\t1\t-20\nshape\t10\n"
                        "t\t0\t1\t100\nv\t1\t-6\nrmp\t2\nshape\t2\nt\t0\t1\t200\nv\t1\t0\n");
    EXPECT_TRUE(has(r, "Error:  A ramp was found under an initial volume entry (channel 1).\nThis "
                       "is for initial volume only.\n"));
    EXPECT_EQ(r.ramp(1, 0), 0);
    // Default ramp at 192 dB/s; a ramp that runs into the next entry is cut.
    EXPECT_EQ(r.ramp(1, 1), 4410);
    EXPECT_EQ(r.ramp(1, 2), 4410);
    EXPECT_EQ(r.s->settings.automation.volume.shapes[r.s->settings.automation.volume.at(1, 1)],
              1.0f);
    EXPECT_EQ(r.s->settings.automation.volume.shapes[r.s->settings.automation.volume.at(2, 1)],
              2.0f);
    EXPECT_EQ(
        r.ramp(1, 3),
        static_cast<int64_t>(
            std::fabs(20.0 * std::log10(static_cast<int32_t>(std::pow(10.0, -0.3) * 134217728.0) /
                                        134217728.0)) *
            44100 / 192));
    EXPECT_EQ(r.s->settings.automation.volume.count[1], 4);

    r = readScript("t\t0\t9\t0\nv\t1\t0\nt\t0\t9\t500\nv\t1\t-6\nrmp\t5\n", "", 44100 * 11);
    EXPECT_TRUE(has(r, "Adjusted volume ramp that exceeded song length (channel 1)\n"));
    EXPECT_EQ(r.ramp(1, 1), 44100 * 11 - static_cast<int64_t>(9.5 * 44100));

    r = readScript("rmp\t1\nt\t0\t0\t0\nv\t1\t0\n", "dbps\t6\n");
    EXPECT_TRUE(has(r, "faders.txt line 3: this rmp line follows no level entry; line ignored."));
}

TEST(TimeEntries, TrimScaleAndLimits) {
    Read r = readScript("t\t0\t0\t0\nv\t1\t6\nv\t2\t0\nscale\t4\ntrim\t2\t-6\ntrim\t3\t30\n"
                        "fxg\tM\t6\nfxg\t1\t40\ndp\t200\t10\ndp\t2\t150\np\t4\t120\n");
    EXPECT_EQ(r.level(1, 0), 0);
    EXPECT_TRUE(has(r, ">> Warning! Volume entry 1 on channel 1 is above +12 dB.  \nEntry reset to "
                       "-144 dB\n"));
    EXPECT_EQ(r.level(2, 0),
              static_cast<int32_t>(static_cast<int32_t>(134217728.0 * std::pow(10.0, -0.3)) * 4.0));
    EXPECT_TRUE(has(r, "Channel 3 volume trim set above 24 dB. Trim bypassed.\n"));
    EXPECT_EQ(r.s->settings.automation.slots.masterEffects, 1);
    EXPECT_NEAR(r.s->settings.automation.slots.fxGain[0], 1.9952623, 1e-6);
    EXPECT_EQ(r.s->settings.automation.slots.fxGain[1], 1.0);
    EXPECT_TRUE(has(r, "dp channel 200 has no slot; line ignored."));
    EXPECT_EQ(r.s->settings.automation.slots.delayPan[2], 0);
    EXPECT_TRUE(has(r, "Pan on channel 4 appears to be set wrong.  Setting to 0.\n"));

    // Negative scale factors would make levels without a dB value: refused.
    r = readScript("t\t0\t0\t0\nv\t1\t0\nscale\t-1\n");
    EXPECT_TRUE(has(r, "Scale function value is set below 0.  Scale bypassed"));
    EXPECT_EQ(r.level(1, 0), 134217728);

    std::string many = "t\t0\t0\t0\n";
    for (int n = 0; n < 513; ++n)
        many += "v\t2\t0\n";
    r = readScript(many);
    EXPECT_EQ(r.s->settings.automation.volume.count[2], 512);
    EXPECT_TRUE(has(r, "line 516: channel 2 already holds 512 entries; this entry is ignored."));
}

TEST(TempoMap, BarsBeatsAndTicks) {
    Read r = readScript("tmap\t120\t4\t8\nt\t1\t3\t240\nv\t1\t0\nt\t2\t1\t0\nv\t1\t-1\n"
                        "t\t9\t1\t0\nv\t1\t-2\n",
                        "tempo\n");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.s->settings.automation.tempoMap[0].length, 705600);
    EXPECT_EQ(r.time(1, 0), 55125);
    EXPECT_EQ(r.time(1, 1), 88200);
    EXPECT_EQ(r.time(1, 2), 705600); // past the map: the last section goes on

    const std::vector<TempoSection> two{{22050.0, 4, 2, 176400}, {44100.0, 3, 4, 529200}};
    EXPECT_EQ(tempoPosition(two, 3, 1, 0, 0), 176400);
    EXPECT_EQ(tempoPosition(two, 4, 2, 0, 0), 352800);
    EXPECT_LT(tempoPosition(two, 0, 1, 0, 0), 0);

    EXPECT_EQ(readScript("t\t1\t1\t0\n", "tempo\n").status, 2);
    EXPECT_EQ(readScript("tmap\t0\t4\t4\n", "tempo\n").status, 2);
    EXPECT_EQ(readScript("tmap\t120\t4\t4\n", "tempo\ntfields\t1\n").status, 2);
    std::string many;
    for (int n = 0; n < 129; ++n)
        many += "tmap\t120\t4\t1\n";
    r = readScript(many, "tempo\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(has(r, "the tempo map holds at most 128 sections"));
}
