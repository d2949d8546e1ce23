// Preferences: render window, output settings and their corrections.
#include "driver/preferences.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "core/console.h"

using namespace tarvex;

namespace {

// A session whose song is 60 s at 44100 Hz, and the lines of its prefs body.
struct Prefs {
    std::unique_ptr<MixSession> session;
    PreferenceLines lines;
    MixSession* operator->() const { return session.get(); }
    MixSession& operator*() const { return *session; }
};

Prefs sessionWith(const std::string& body) {
    Prefs p{std::make_unique<MixSession>(), readPreferenceLines("\n" + body, "prefs.txt")};
    p->settings.tracks.sampleRate = 44100;
    p->settings.tracks.songLength = 44100 * 60;
    return p;
}

// What the preferences print as they are loaded and checked; `status` is the
// exit status they end with, or 0.
std::string checkedOutput(Prefs& p, int* status = nullptr) {
    testing::internal::CaptureStdout();
    try {
        loadPreferences(*p, p.lines);
        checkPreferences(*p, p.lines);
    } catch (const RunStopped& e) {
        if (status != nullptr) *status = e.status;
    }
    return testing::internal::GetCapturedStdout();
}

} // namespace

// One row per preferences body, for a song of 60 s at 44100 Hz: the exit
// status, render window and file ("status" alone after a stop) and the end of
// what is printed.
TEST(Preferences, RenderWindow) {
    const struct {
        const char *body, *window, *printedEnd;
    } rows[] = {
        {"xin\t0\t30\t0\nend\n", "0 1323000 1323000", "not specified.\n"},
        {"xfields\t1\nxin\t10\nxout\t20\nhead\t1\ntail\t2\n", "0 485100 308700", ""},
        // A head of one sample or less, or of the whole song, is ignored.
        {"head\t0.00002\ntail\t60\n", "0 0 2646000", ""},
        {"xin\t2\t0\t0\n", "2", "Head or tail set incorrectly in preferences!\n"},
        {"xin\t0\t20\t0\nxout\t0\t10\t0\n", "2", "incorrectly in preferences!\n"},
        // The song's end is still accepted as a preview start.
        {"pre\ton\nsfields\t1\nstart\t60\nlength\t1.5\n", "0 2646000 66150 preview.wav",
         "...\nRunning in Preview Mode\n"},
        {"pre\ton\nsfields\t1\nstart\t60.0001\n", "2", "exceeds song length\n"},
        {"pre\ton\nstart\t0\t-1\t0\n", "2", "is less than zero.\n"},
        {"pre\ton\nlength\t-1\n", "2", "incorrectly in preferences!\n"},
        {"pre\toff\n", "0 0 2646000", "Checking Preferences...\n"},
        {"outbits\t24\n", "0 0 2646000", "...\nPreview mode not specified.\n"},
        {"mixdir\tout/\npre\ton\n", "0 0 2646000 out/preview.wav", "Running in Preview Mode\n"},
    };
    for (const auto& row : rows) {
        auto s = sessionWith(row.body);
        int status = 0;
        const std::string out = checkedOutput(s, &status);
        char window[64];
        std::snprintf(window, sizeof window, "%d", status);
        if (status == 0)
            std::snprintf(window, sizeof window, "0 %lld %lld%s%s",
                          static_cast<long long>(s->settings.prefs.renderStart),
                          static_cast<long long>(s->settings.prefs.renderLength),
                          s->settings.fader.outputPath.empty() ? "" : " ",
                          s->settings.fader.outputPath.c_str());
        EXPECT_EQ(std::string(window), row.window) << row.body;
        EXPECT_TRUE(out.ends_with(row.printedEnd)) << row.body << out;
    }
}

TEST(Preferences, TimeFieldsAreExactDoubleArithmetic) {
    // A fused multiply-add would round this to 29106 and shift a whole mix.
    EXPECT_EQ(timeFieldsToSamples(0.01, 0.06, 0.0, 44100), 29105);
    EXPECT_EQ(timeFieldsToSamples(0.0, 1.0, 500.0, 44100), 66150);
}

// One row per body: mono, its gain, output bits, dither bits, percent, tempo,
// ramp speed, pan law and tap signal as taken (corrected where out of range), and the end of what
// is printed.
TEST(Preferences, OutputSettingsAndCorrections) {
    const struct {
        const char *body, *settings, *printedEnd;
    } rows[] = {
        // "tempo" is seen as the first word after "begin".
        {"tempo\nmono\t0\noutbits\t32\ndither\t9\n", "1 1 24 1 0 1 0 3 0",
         "Dither is set out of range (0-8)\n"},
        {"mono\t-24\noutbits\t16\ndither\t0\nv=percent\ndbps\t3.5\npan\t0\ntap\trtn\ntap\tx\n",
         "1 0.5 16 0 1 0 3.5 0 2", "Faders using percent.\n"},
        {"mono\t-6\npan\t6.1\npan\t1\ntap\trtn\ntap\trev\n", "1 0.50118721 24 1 0 0 0 3 1", ""},
        {"dither\t0\ndither\npan\nend\npan\t2\n", "0 1 24 0 0 0 0 3 0",
         "prefs.txt line 3: \"dither\" needs 1 value on its line; ignored.\n"},
    };
    for (const auto& row : rows) {
        auto s = sessionWith(row.body);
        const std::string out = checkedOutput(s);
        const PrefsSettings& p = s->settings.prefs;
        char settings[80];
        std::snprintf(settings, sizeof settings, "%d %.8g %d %d %d %d %g %g %d", p.monoOut,
                      p.monoGain, p.outBits, p.ditherBits, p.percentMode, p.tempoMode, p.rampSpeed,
                      p.panLaw, p.tapSignal);
        EXPECT_EQ(std::string(settings), row.settings) << row.body;
        EXPECT_TRUE(out.ends_with(row.printedEnd)) << row.body << out;
    }
    // A long command is kept whole.
    auto s = sessionWith("launch\t" + std::string(300, 'x') + "\n");
    checkedOutput(s);
    EXPECT_EQ(s->settings.prefs.launchCommand, std::string(300, 'x'));
}

TEST(Preferences, AutomationOffset) {
    auto s = sessionWith("xin\t0\t1\t0\noffset\txlink\n");
    checkedOutput(s);
    testing::internal::CaptureStdout();
    readAutomationOffset(*s, s.lines);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Automation offset by 44100 samples.\n");
    EXPECT_EQ(s->settings.prefs.automationOffset, 44100);

    s = sessionWith("offset\t0\t0\t500\n");
    checkedOutput(s);
    testing::internal::CaptureStdout();
    readAutomationOffset(*s, s.lines);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(s->settings.prefs.automationOffset, 22050);
}

// What the split file keeps: every occurrence of a keyword with its file line
// and the rest of its line, the lines that no stage reads and the lines with
// two tabs (t) or a tab before a space (s) in a row.
TEST(PreferenceLines, KeepsEveryOccurrenceWithItsFileLine) {
    const struct {
        const char *text, *keyword, *kept;
    } rows[] = {
        {"x\nbegin\nverbo\t1\n\nverbo\t2\nend\nverbo\t3\n", "verbo", "3:1|5:2|unused slips "},
        {"begin\r\nmixdir\tmy dir/\t\tx\r\n", "mixdir", "2:my dir/\t\tx|unused slips 2t "},
        {"begin\noutbit\t16\nverbo 1\npre\ton\tend\tverbo\t3\n", "verbo", "unused 2 3 slips "},
        {"verbo\ndither\tverbo\t 2\nbeginning\n", "verbo", "1:|2: 2|unused 3 slips 2s "},
        {"\xEF\xBB\xBF\tbegin\tverbo\t2\nverbo\t1\r\r\n", "verbo", "2:1|unused slips "},
    };
    for (const auto& row : rows) {
        const PreferenceLines p = readPreferenceLines(row.text, "p.txt");
        std::string kept;
        for (const PrefsHit& hit : p.find(row.keyword))
            kept += std::to_string(p.fileLine(hit)) + ":" + std::string(p.restOfLine(hit)) + "|";
        kept += "unused ";
        for (std::size_t line : p.unusedLines())
            kept += std::to_string(p.lines[line].fileLine) + " ";
        kept += "slips ";
        for (const PrefsLayoutSlip& x : p.slips)
            kept +=
                std::to_string(x.fileLine) + (x.doubleTab ? "t " : "") + (x.tabSpace ? "s " : "");
        EXPECT_EQ(kept, row.kept) << row.text;
    }
}
