// Statistics report text.
#include "engine/report.h"

#include <gtest/gtest.h>

#include <memory>

using namespace tarvex;

namespace {

std::unique_ptr<MixSession> reportSession() {
    auto s = std::make_unique<MixSession>();
    s->settings.tracks.channelCount = 3;
    s->settings.tracks.sampleRate = 44100;
    s->settings.tracks.trackNames = {"kick.wav", "snare.take2.wav", "off.wav"};
    s->state.trackListOn[1] = s->state.trackListOn[2] = 1;
    return s;
}

} // namespace

TEST(Report, PeaksNamesAndOutputLines) {
    auto s = reportSession();
    s->state.strips[1].peakL = 1073741824.0; // half of bus full scale
    s->state.strips[1].peakR = 2147483648.0 * 1.5;
    s->state.meters.outPeakL = 8388607.0;
    s->state.meters.outPeakPosL = 3969000;
    s->state.strips[2].clip = 1;
    s->state.strips[0].clip = 1;
    const std::string text = reportText(*s);
    EXPECT_EQ(text, "Peaks (dB):\n\n"
                    "Ch 1\tL  -6.02\tR  3.52\tkickChannel Over!\n"
                    "Ch 2\tL  -144.00\tR  -144.00\tsnare\n"
                    "\n"
                    "\nRMS\tL  -144.00\tR  -144.00\t(average)\n"
                    "\nPeak Out L = -0.00 dB at 1 min : 30.000 sec\n"
                    "Peak Out R = -144.00 dB at 0 min : 0.000 sec\n"
                    "Channel 2 is clipping after effects processing!\n"
                    "Master channel is clipping after effects processing!\n"
                    "\n");
}

TEST(Report, SixteenBitFullScaleIsNotOverAndSubmixesShow) {
    auto s = reportSession();
    s->settings.output.outBits = 16;
    s->state.meters.outPeakL = 32768.0;
    s->state.meters.outPeakR = 40000.0;
    s->settings.routing.busFlags[3] = 1;
    s->state.strips[groupSlot(3)].peakL = 2147483648.0;
    s->state.meters.rms.sumL = 8388608.0f;
    s->state.meters.rms.countL = 2.0f;
    const std::string text = reportText(*s);
    EXPECT_NE(text.find("\nSub 3\tL  0.00\tR  -144.00\n"), std::string::npos);
    EXPECT_NE(text.find("\nRMS\tL  -6.02\tR  -144.00\t(average)\n"), std::string::npos);
    EXPECT_NE(text.find("Peak Out L = 0.00 dB at 0 min : 0.000 sec\n"), std::string::npos);
    EXPECT_NE(text.find("Peak Out R = 1.73 dB at 0 min : 0.000 secMain Out Right Over\n"),
              std::string::npos);
}

TEST(Report, PathsFollowTheBackupDirectory) {
    auto s = reportSession();
    s->settings.fader.mixName = "song";
    EXPECT_EQ(statsPathOf(*s), "stats_song.txt");
    s->settings.prefs.backupDirSet = true;
    s->settings.prefs.backupDir = "old/";
    EXPECT_EQ(statsPathOf(*s), "old/stats_song.txt");
    EXPECT_EQ(faderCopyPathOf(*s), "old/faders_song.txt");

    float minutes = 0, seconds = 0;
    songTimeOf(44100 * 61 + 22050, 44100, minutes, seconds);
    EXPECT_EQ(minutes, 1.0f);
    EXPECT_NEAR(seconds, 1.5f, 1e-4);
}
