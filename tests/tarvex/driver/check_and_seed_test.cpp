// Whole runs of the built tarvex for its options: help, version and refused
// options; --check, which prints the render plan, writes nothing and stops
// where and how the render would; the dither seed, which makes renders repeat
// byte for byte; and the worker count with its preference.
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "option_answers.h"
#include "tarvex_session.h"
#include "test_support.h"

using namespace tarvex_test;

namespace {

const std::string kPlanFaders = "begin\nplan_mix\n"
                                "tstamp\t2\t0\t0\t500\n"
                                "sub\t1\t2\nVCA:\t1\t1\n"
                                "t\t0\t0\t0\nv\tM\t0\nv\t1\t-6\nv\tG\t1\t-3\nvca\t1\t0\nv\t2\t-2\n"
                                "t\t0\t1\t0\nv\t1\t-12\nrmp\t0.5\nshape\t2\n"
                                "hp\t1\t300\nband2\t2\t2500\t4\t1.2\nlshelf\t2\t100\t3\t0.7\n"
                                "comp\tG\t1\t-18\t5\t120\t3\nlim\tM\t-1\nend\n";
const std::string kPlanPrefs =
    "begin\nverbo\t1\ndither\t0\noutbits\t16\nlaunch\ttouch launched\nend\n";

// Two mono 16-bit tracks of 2 s at 44100 Hz; the fader file starts the
// second one 0.5 s late.
void writePlanSession(Session& s, const std::string& faders = kPlanFaders,
                      const std::string& prefs = kPlanPrefs) {
    s.wav("a.wav", layout(1, SampleFormat::Pcm16), noise(88200, 1, 9000));
    s.wav("b.wav", layout(1, SampleFormat::Pcm16), noise(88200, 2, 9000));
    s.text("tracks.txt", "begin\n1 a.wav +\n2 b.wav +\nend\n");
    if (!prefs.empty()) s.text("prefs.txt", prefs);
    if (!faders.empty()) s.text("faders.txt", faders);
}

// True when one line of `text` holds every part.
bool hasLineWith(const std::string& text, std::initializer_list<std::string> parts) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        bool all = true;
        for (const std::string& part : parts)
            all = all && line.find(part) != std::string::npos;
        if (all) return true;
        start = end + 1;
    }
    return false;
}

std::string lastLine(const std::string& text) {
    std::size_t end = text.find_last_not_of('\n');
    if (end == std::string::npos) return "";
    const std::size_t start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1,
                       end - (start == std::string::npos ? 0 : start + 1) + 1);
}

} // namespace

TEST(TarvexOptions, HelpVersionAndRefusedOptions) {
    // Nothing is read or written: not even a prefs.txt is created.
    expectOptionAnswers(TARVEX_EXE, "",
                        {{{"--help"}, 0, "Usage: tarvex ", ""},
                         {{"-V"}, 0, "tarvex 1.164 (w20e)\n", ""},
                         {{"--bogus"}, 2, "", "tarvex: unknown option '--bogus'\nUsage: tarvex "}});
}

TEST(TarvexOptions, FileNamesBeginningWithADashFollowTheDoubleDash) {
    Session s;
    writePlanSession(s);
    s.text("-tracks.txt", "begin\n1 a.wav +\nend\n");
    const RunResult r = s.run({"--", "-tracks.txt"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(readMix(s.file("plan_mix.wav")).channels, 2);
    EXPECT_EQ(readMix(s.file("plan_mix.wav")).dataSize, 88200u * 4); // one channel only
}

TEST(TarvexCheck, PrintsTheResolvedPlanAndWritesNothing) {
    Session s;
    writePlanSession(s);
    const auto before = listDirectory(s.dir.path().string());
    const RunResult r = s.runApart({"--check"});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.err, "0 errors, 0 warnings\n");
    EXPECT_EQ(listDirectory(s.dir.path().string()), before);
    const std::string& plan = r.out;

    EXPECT_TRUE(hasLineWith(plan, {"Output plan_mix.wav", "16-bit stereo", "110250 frames"}))
        << plan;
    EXPECT_TRUE(hasLineWith(plan, {"a.wav", "16-bit PCM mono", "88200 frames", "sample 0"}));
    EXPECT_TRUE(hasLineWith(plan, {"b.wav", "starts at sample 22050"}));
    // Cues as song samples, dB, ramps and shapes.
    EXPECT_TRUE(hasLineWith(plan, {"1 ", "sample 0 ", "-6.00 dB"}));
    EXPECT_TRUE(
        hasLineWith(plan, {"1 ", "sample 44100 ", "-12.00 dB", "ramp 22050 (0.500 s)", "shape 2"}));
    EXPECT_TRUE(hasLineWith(plan, {"G 1", "sample 0 ", "-3.00 dB"}));
    EXPECT_TRUE(hasLineWith(plan, {"M ", "sample 0 ", "0.00 dB"}));
    EXPECT_TRUE(hasLineWith(plan, {"VCA 1", "sample 0 ", "0.00 dB"}));
    // Routing and the effects read back to their settings.
    EXPECT_TRUE(hasLineWith(plan, {"submix 1: 2"}));
    EXPECT_TRUE(hasLineWith(plan, {"direct to the master: 1"}));
    EXPECT_TRUE(hasLineWith(plan, {"VCA 1: 1"}));
    EXPECT_TRUE(hasLineWith(plan, {"hp 300.0 Hz"}));
    EXPECT_TRUE(hasLineWith(plan, {"band2 2500.0 Hz +4.00 dB Q 1.2"})) << plan;
    EXPECT_TRUE(hasLineWith(plan, {"lshelf 100.0 Hz +3.00 dB Q 0.7"})) << plan;
    EXPECT_TRUE(hasLineWith(plan, {"G 1", "comp threshold -18.00 dB", "ratio 3.00"}));
    EXPECT_TRUE(hasLineWith(plan, {"M ", "lim threshold -1.00 dB"}));
    // The launch command is named, not run.
    EXPECT_TRUE(hasLineWith(plan, {"would then run through the shell: touch launched"}));
    EXPECT_FALSE(s.exists("launched"));
    EXPECT_EQ(lastLine(plan), "Check only: no file was written.");
}

TEST(TarvexCheck, MissingControlFilesAreNamedNotCreated) {
    Session noPrefs;
    writePlanSession(noPrefs, kPlanFaders, "");
    const RunResult r = noPrefs.run({"--check"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("a render would create prefs.txt"), std::string::npos) << r.out;
    EXPECT_FALSE(noPrefs.exists("prefs.txt"));
    EXPECT_FALSE(noPrefs.exists("plan_mix.wav"));

    // A render would ask for a level; the check does not and stops as a
    // render that gets no answer does.
    Session noFaders;
    writePlanSession(noFaders, "", kPlanPrefs);
    const RunResult f = noFaders.run({"--check"}, "-6\n");
    EXPECT_EQ(f.status, 1) << f.out;
    EXPECT_NE(f.out.find("faders.txt file was not found"), std::string::npos) << f.out;
    EXPECT_FALSE(noFaders.exists("faders.txt"));
}

// Each broken session stops the check with the render's status and message,
// and the check writes nothing even where the render would have.
TEST(TarvexCheck, StopsWhereTheRenderStops) {
    struct Case {
        const char* what;
        int status;
        std::function<void(Session&)> setUp;
    };
    auto faders = [](const std::string& from, const std::string& to) {
        std::string text = kPlanFaders;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const Case cases[] = {
        {"no track list", 2,
         [](Session& s) {
             writePlanSession(s);
             std::filesystem::remove(s.file("tracks.txt"));
         }},
        {"cue after the song", 2,
         [&](Session& s) { writePlanSession(s, faders("t\t0\t1\t0", "t\t0\t9\t0")); }},
        {"cut-in after the song", 2,
         [](Session& s) {
             writePlanSession(s, kPlanFaders, "begin\nverbo\t1\nxin\t0\t5\t0\nend\n");
         }},
        {"tempo mode without a map", 2,
         [](Session& s) { writePlanSession(s, kPlanFaders, "begin\nverbo\t1\ntempo\nend\n"); }},
        {"mix named like an input", 2,
         [&](Session& s) { writePlanSession(s, faders("plan_mix", "a")); }},
        {"sample rates differ", 1,
         [](Session& s) {
             writePlanSession(s);
             s.wav("b.wav", layout(1, SampleFormat::Pcm16, 48000), noise(1000, 3, 9000));
         }},
        {"reverb room larger than the first block", 1,
         [&](Session& s) {
             writePlanSession(s, faders("end\n", "rtn\t0\t4000\nrev\t1\t0\nend\n"));
         }},
        {"mix directory missing", 1,
         [](Session& s) { writePlanSession(s, kPlanFaders, "begin\nmixdir\tnowhere/\nend\n"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Session rendered, checked;
        c.setUp(rendered);
        c.setUp(checked);
        const RunResult render = rendered.run();
        const auto before = listDirectory(checked.dir.path().string());
        const RunResult check = checked.runApart({"--check"});
        EXPECT_EQ(render.status, c.status) << render.out;
        EXPECT_EQ(check.status, c.status) << check.out;
        EXPECT_EQ(lastLine(check.err).rfind("1 error, ", 0), 0u) << check.err;
        // The render may add a line of its own after the message (a partial
        // mix removed); the check's last line is the render's message.
        EXPECT_NE(render.out.find(lastLine(check.out) + "\n"), std::string::npos) << check.out;
        EXPECT_EQ(check.out.find("Plan of the render"), std::string::npos);
        EXPECT_EQ(listDirectory(checked.dir.path().string()), before);
    }
}

TEST(TarvexSeed, SeededRendersRepeatByteForByte) {
    const std::string prefs = "begin\nverbo\t1\ndither\t2\noutbits\t16\n";
    auto render = [&](const std::string& extraPrefs, const std::vector<std::string>& args,
                      std::string* report = nullptr) {
        Session s;
        writePlanSession(s, kPlanFaders, prefs + extraPrefs + "end\n");
        const RunResult r = s.run(args);
        EXPECT_EQ(r.status, 0) << r.out;
        if (report != nullptr) *report = readText(s.file("stats_plan_mix.txt"));
        return readBytes(s.file("plan_mix.wav"));
    };
    std::string seededReport, plainReport;
    const auto first = render("", {"--seed", "42"}, &seededReport);
    ASSERT_GT(first.size(), 44u);
    EXPECT_EQ(render("", {"--seed", "42"}), first);
    EXPECT_NE(render("", {"--seed", "43"}), first);
    // The preference gives the same noise; the option wins over it.
    EXPECT_EQ(render("seed\t42\n", {}), first);
    EXPECT_EQ(render("seed\t43\n", {"--seed=42"}), first);

    EXPECT_NE(seededReport.find("\nDither seed = 42\n"), std::string::npos) << seededReport;
    render("", {}, &plainReport);
    EXPECT_EQ(plainReport.find("Dither seed"), std::string::npos) << plainReport;
}

TEST(TarvexThreads, OptionWinsOverThePreference) {
    auto workersLine = [](const std::string& prefsLine, const std::vector<std::string>& args) {
        Session s;
        writePlanSession(s, kPlanFaders, "begin\nverbo\t1\n" + prefsLine + "end\n");
        std::vector<std::string> all = {"--check"};
        all.insert(all.end(), args.begin(), args.end());
        const RunResult r = s.run(all);
        EXPECT_EQ(r.status, 0) << r.out;
        const std::size_t at = r.out.find("Channel-strip workers: ");
        return at == std::string::npos ? r.out : r.out.substr(at, r.out.find('\n', at) - at);
    };
    EXPECT_EQ(workersLine("", {}), "Channel-strip workers: one per core");
    EXPECT_EQ(workersLine("threads\t3\n", {}), "Channel-strip workers: 3");
    EXPECT_EQ(workersLine("threads\t3\n", {"-j", "5"}), "Channel-strip workers: 5");
    EXPECT_EQ(workersLine("threads\t99\n", {}), "Channel-strip workers: one per core");
}
