// Preferences: render window, output settings and their corrections.
#include "driver/preferences.h"

#include <gtest/gtest.h>

#include <memory>

#include "core/console.h"

using namespace tarvex;

namespace {

// A session whose song is `song` samples at 44100 Hz with the given prefs body.
std::unique_ptr<MixSession> sessionWith(const std::string& body, int64_t song = 44100 * 60) {
    auto s = std::make_unique<MixSession>();
    s->prefs.prefsText = "\n" + body;
    s->tracks.sampleRate = 44100;
    s->tracks.songLength = song;
    return s;
}

PreferenceLines linesOf(const MixSession& s) {
    return readPreferenceLines(s.prefs.prefsText, s.tracks.prefsPath);
}

int stopStatus(MixSession& s) {
    testing::internal::CaptureStdout();
    int status = 0;
    try {
        checkPreferences(s, linesOf(s));
    } catch (const RunStopped& e) {
        status = e.status;
    }
    testing::internal::GetCapturedStdout();
    return status;
}

std::string checkedOutput(MixSession& s) {
    testing::internal::CaptureStdout();
    checkPreferences(s, linesOf(s));
    return testing::internal::GetCapturedStdout();
}

} // namespace

TEST(Preferences, FullRenderWindow) {
    auto s = sessionWith("xin\t0\t30\t0\nend\n");
    checkedOutput(*s);
    EXPECT_EQ(s->prefs.renderStart, 1323000);
    EXPECT_EQ(s->prefs.renderLength, 44100 * 60 - 1323000);

    s = sessionWith("xfields\t1\nxin\t10\nxout\t20\nhead\t1\ntail\t2\n");
    checkedOutput(*s);
    EXPECT_EQ(s->prefs.renderStart, 441000 + 44100);
    EXPECT_EQ(s->prefs.renderLength, 441000 - 44100 - 88200);

    // A head of one sample or less, or of the whole song, is ignored.
    s = sessionWith("head\t0.00002\ntail\t60\n");
    checkedOutput(*s);
    EXPECT_EQ(s->prefs.renderStart, 0);
    EXPECT_EQ(s->prefs.renderLength, 44100 * 60);

    s = sessionWith("xin\t2\t0\t0\n");
    EXPECT_EQ(stopStatus(*s), 2); // starts past the song's end
    s = sessionWith("xin\t0\t20\t0\nxout\t0\t10\t0\n");
    EXPECT_EQ(stopStatus(*s), 2); // negative length
}

TEST(Preferences, TimeFieldsAreExactDoubleArithmetic) {
    // A fused multiply-add would round this to 29106 and shift a whole mix.
    EXPECT_EQ(timeFieldsToSamples(0.01, 0.06, 0.0, 44100), 29105);
    EXPECT_EQ(timeFieldsToSamples(0.0, 1.0, 500.0, 44100), 66150);
}

TEST(Preferences, PreviewWindow) {
    auto s = sessionWith("pre\ton\nsfields\t1\nstart\t60\nlength\t1.5\n");
    const std::string out = checkedOutput(*s);
    EXPECT_TRUE(s->prefs.previewMode);
    EXPECT_EQ(s->prefs.renderStart, 44100 * 60); // the song's end is still accepted
    EXPECT_EQ(s->prefs.renderLength, 66150);
    EXPECT_EQ(s->fader.outputPath, "preview.wav");
    EXPECT_NE(out.find("Running in Preview Mode\n"), std::string::npos);

    s = sessionWith("pre\ton\nsfields\t1\nstart\t60.0001\n");
    EXPECT_EQ(stopStatus(*s), 2);
    s = sessionWith("pre\ton\nstart\t0\t-1\t0\n");
    EXPECT_EQ(stopStatus(*s), 2);
    s = sessionWith("pre\ton\nlength\t-1\n");
    EXPECT_EQ(stopStatus(*s), 2);

    s = sessionWith("mixdir\tout/\npre\ton\n");
    s->prefs.mixDirSet = true;
    s->prefs.mixDir = "out/";
    checkedOutput(*s);
    EXPECT_EQ(s->fader.outputPath, "out/preview.wav");

    s = sessionWith("pre\toff\n");
    EXPECT_EQ(checkedOutput(*s).find("Preview mode not specified."), std::string::npos);
    s = sessionWith("outbits\t24\n");
    EXPECT_NE(checkedOutput(*s).find("Preview mode not specified.\n"), std::string::npos);
}

TEST(Preferences, OutputSettingsAndCorrections) {
    auto s = sessionWith("tempo\nmono\t0\noutbits\t32\ndither\t9\n");
    const std::string out = checkedOutput(*s);
    EXPECT_TRUE(s->prefs.tempoMode); // seen as the first word after "begin"
    EXPECT_TRUE(s->prefs.monoOut);
    EXPECT_EQ(s->prefs.monoGain, 1.0);
    EXPECT_EQ(s->prefs.outBits, 24);
    EXPECT_EQ(s->prefs.ditherBits, 1);
    EXPECT_NE(out.find("Dither is set out of range (0-8)"), std::string::npos);

    s = sessionWith("mono\t-24\noutbits\t16\ndither\t0\nv=percent\ndbps\t3.5\n");
    checkedOutput(*s);
    EXPECT_EQ(s->prefs.monoGain, 0.5);
    EXPECT_EQ(s->prefs.outBits, 16);
    EXPECT_EQ(s->prefs.ditherBits, 0);
    EXPECT_TRUE(s->prefs.percentMode);
    EXPECT_EQ(s->prefs.rampSpeed, 3.5f);

    s = sessionWith("mono\t-6\n");
    checkedOutput(*s);
    EXPECT_FLOAT_EQ(static_cast<float>(s->prefs.monoGain), 0.50118723f);

    // A long command is kept whole.
    const std::string command(300, 'x');
    s = sessionWith("launch\t" + command + "\n");
    checkedOutput(*s);
    EXPECT_EQ(s->prefs.launchCommand, command);
}

TEST(Preferences, KeywordWithoutValueIsReportedAndIgnored) {
    auto s = sessionWith("dither\t0\ndither\nend\n");
    s->tracks.prefsPath = "p.txt";
    const std::string out = checkedOutput(*s);
    EXPECT_EQ(s->prefs.ditherBits, 0);
    EXPECT_NE(out.find("p.txt line 3: \"dither\" needs 1 value on its line; ignored."),
              std::string::npos);
}

TEST(Preferences, AutomationOffset) {
    auto s = sessionWith("xin\t0\t1\t0\noffset\txlink\n");
    checkedOutput(*s);
    testing::internal::CaptureStdout();
    readAutomationOffset(*s, linesOf(*s));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Automation offset by 44100 samples.\n");
    EXPECT_EQ(s->prefs.automationOffset, 44100);

    s = sessionWith("offset\t0\t0\t500\n");
    checkedOutput(*s);
    testing::internal::CaptureStdout();
    readAutomationOffset(*s, linesOf(*s));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(s->prefs.automationOffset, 22050);
}
