// quorrin's options: help, version and refused options before the banner; a
// fader file whose name begins with "-" reached after "--"; the operations
// from the command line, written as the menu's 'pf' writes the cue list or
// into the fader file itself with every other byte kept; and a nudged file
// that tarvex renders with every cue moved by exactly the nudge.
#include <gtest/gtest.h>

#include <filesystem>

#include "option_answers.h"
#include "quorrin_runner.h"

TEST(QuorrinOptions, HelpVersionAndRefusedOptions) {
    // clang-format off
    expectOptionAnswers(
        QUORRIN_EXE, "",
        {{{"--help"}, 0, "Usage: quorrin [options] [--] [file [time-fields]]\n", ""},
         {{"-V"}, 0, "quorrin 1.0\n", ""},
         {{"-x"}, 2, "", "quorrin: unknown option '-x'\nUsage: quorrin"},
         {{"--nudge", "1s"}, 2, "", "quorrin: --nudge '1s' is not a number\nUsage: quorrin"},
         {{"--adjust=inf"}, 2, "", "quorrin: --adjust 'inf' is not a number\nUsage: quorrin"},
         {{"--scale", "1001"}, 2, "", "quorrin: --scale '1001' is not a factor from 0.001 to 1000\n"},
         {{"--fields", "4"}, 2, "", "quorrin: --fields '4' is not 1, 2 or 3\nUsage: quorrin"},
         {{"--backup", "-o", "-"}, 2, "", "quorrin: --backup goes with --in-place\nUsage: quorrin"},
         {{"--in-place", "--by-channel"}, 2, "", "quorrin: --in-place keeps the file's own lines"},
         {{"--nudge", "1", "none.txt"}, 1, "", "quorrin: cannot read none.txt: no such file\n"},
         {{"--in-place", "--nudge", "1", "."}, 1, "", "quorrin: . is not a plain file; nothing"}});
    // clang-format on
}

TEST(QuorrinOptions, DashedFileNameAfterDoubleDashKeepsTheFieldCount) {
    TempDir dir;
    writeText(dir.file("-cues.txt"), "begin\nmix\nt\t75\nv\t1\t-6\nend\n");
    const RunResult r = runQuorrin(dir, {"--", "-cues.txt", "1"}, "cf 3 ps x\n");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    // Read with one time field (75 s), printed with three: 1 min 15 s.
    EXPECT_NE(r.out.find("t\t1\t15\t0\n"), std::string::npos) << r.out;
}

// The options write what the menu's 'pf' writes after the same edits.
TEST(QuorrinOptions, CueListAsTheMenuSavesIt) {
    const std::string faders = "begin\nsong\nt\t0\t0\t0\nv\t1\t-6\nv\tM\t-1\n"
                               "t\t1\t15\t500\nv\t1\t0\nrmp\t2\nv\tG\t2\t-3\nend\n";
    const std::pair<const char*, std::vector<std::string>> rows[] = {
        {"nt 1.5 st 2 av -3", {"--nudge", "1.5", "--scale", "2", "--adjust", "-3"}},
        {"st 0.5 nt -2 co s cf 1", {"--scale=0.5", "--nudge=-2", "--by-channel", "--fields", "1"}},
        {"cf 2", {"--fields", "2", "--by-time"}},
    };
    for (const auto& [commands, options] : rows) {
        TempDir dir;
        writeText(dir.file("faders.txt"), faders);
        ASSERT_EQ(runQuorrin(dir, {}, std::string(commands) + " pf menu.txt x").status, 0);
        std::vector<std::string> toFile = options;
        toFile.insert(toFile.end(), {"-o", "options.txt"});
        const RunResult written = runQuorrin(dir, toFile);
        EXPECT_EQ(written.status, 0) << written.err;
        EXPECT_EQ(written.out + written.err, "") << commands;
        EXPECT_EQ(readText(dir.file("options.txt")), readText(dir.file("menu.txt"))) << commands;
        const RunResult printed = runQuorrin(dir, options);
        EXPECT_EQ(printed.out, readText(dir.file("menu.txt"))) << commands;
        EXPECT_EQ(readText(dir.file("faders.txt")), faders);
    }
}

// Each row: the fader file, the options before its name, the exit status, the
// file afterwards ("" when it must stay as it was) and the start of standard
// error.
TEST(QuorrinOptions, InPlaceEditsChangeOnlyTheNumbersTheyEdit) {
    const std::string crlf =
        "begin\r\nsong\r\n; t 1\r\n\r\nt\t0\t0\t0\r\nv\t1\t-6\r\npan\t1\t20\r\n"
        "(v\t2\t-3)\r\nt\t1\t15\t500\r\nv\tM\t0\t; loud\r\nrmp\t2\r\nend\r\n";
    const std::string plain = "mix\nt\t0\t2\t0\nv\t3\t-6\nt\t1\t0\t0\nv\t3\t0\nrmp\t0.5\nend\n";
    using Args = std::vector<std::string>;
    struct Row {
        const std::string& input;
        Args options;
        int status;
        std::string expected;
        std::string err;
    };
    // clang-format off
    const Row rows[] = {
        {crlf, {"--nudge", "1.5"}, 0, "begin\r\nsong\r\n; t 1\r\n\r\nt\t0\t1\t500\r\nv\t1\t-6\r\npan\t1\t20\r\n(v\t2\t-3)\r\nt\t1\t17\t0\r\nv\tM\t0\t; loud\r\nrmp\t2\r\nend\r\n", ""},
        {crlf, {"--adjust", "-1.5", "--backup"}, 0, "begin\r\nsong\r\n; t 1\r\n\r\nt\t0\t0\t0\r\nv\t1\t-7.50\r\npan\t1\t20\r\n(v\t2\t-3)\r\nt\t1\t15\t500\r\nv\tM\t-1.50\t; loud\r\nrmp\t2\r\nend\r\n", ""},
        {plain, {"--scale", "2", "--nudge", "1"}, 0, "mix\nt\t0\t5\t0\nv\t3\t-6\nt\t2\t1\t0\nv\t3\t0\nrmp\t1.000\nend\n", ""},
        {plain, {"--nudge", "1", "--scale", "2"}, 0, "mix\nt\t0\t6\t0\nv\t3\t-6\nt\t2\t2\t0\nv\t3\t0\nrmp\t1.000\nend\n", ""},
        {"a note\nt\t0\t0\t5\nbegin\nsong\nt\t0\t0\t0\nv\t1\t-6\n e nd\nt\t0\t0\t0\n", {"--nudge", "1", "--adjust", "1"}, 0, "a note\nt\t0\t0\t5\nbegin\nsong\nt\t0\t1\t0\nv\t1\t-5.00\n e nd\nt\t0\t0\t0\n", ""},
        {plain, {"--fields", "1"}, 0, "mix\nt\t2.000\nv\t3\t-6\nt\t60.000\nv\t3\t0\nrmp\t0.5\nend\n", ""},
        {"m\nt\t75.5\nv\t1\t-6\n", {"--nudge", "-0.25", "--backup"}, 0, "m\nt\t75.250\nv\t1\t-6\n", ""},
        {plain, {"--nudge", "-2.5", "--backup"}, 1, "", "quorrin: f.txt line 2: the time would move to -0.500 s, below zero; nothing was written\n"},
        {"m\nt\t0\t2\nv\t1\t0\n", {"--nudge", "1"}, 1, "", "quorrin: f.txt line 2: found 2 time fields where 3 are read"},
        {"m\nt\t0\tx\t0\nv\t1\t0\n", {"--scale", "2"}, 1, "", "quorrin: f.txt line 2: the time is not written as 3 plain numbers"},
    };
    // clang-format on
    for (const Row& row : rows) {
        TempDir dir;
        writeText(dir.file("f.txt"), row.input);
        Args args = row.options;
        args.insert(args.end(), {"--in-place", "f.txt"});
        if (row.input.find("75.5") != std::string::npos) args.push_back("1"); // one time field
        const RunResult r = runQuorrin(dir, args);
        SCOPED_TRACE(args[0] + " " + args[1]);
        EXPECT_EQ(r.status, row.status) << r.err;
        EXPECT_EQ(r.err.substr(0, row.err.size()), row.err);
        EXPECT_EQ(readText(dir.file("f.txt")), row.expected.empty() ? row.input : row.expected);
        const bool backup = row.status == 0 && args[2] == "--backup";
        EXPECT_EQ(listDirectory(dir.path().string()),
                  (backup ? Args{"f.txt", "f.txt~"} : Args{"f.txt"}));
        if (backup) {
            EXPECT_EQ(readText(dir.file("f.txt~")), row.input);
        }
    }
}

// Tracks that change sign on every sample (a new level reaches the audio only
// at a sign change) and keep the same size make the mix the level automation
// itself, so the render of the nudged file is the original's moved by the
// nudge (an even number of frames, which keeps the signs in step). The cue
// times are whole quarters of a second, so that before and after the nudge
// they fall on whole samples and none is truncated to the sample before.
TEST(QuorrinOptions, ANudgedFileRendersWithEveryCueMovedByTheNudge) {
    TempDir dir;
    constexpr uint32_t kFrames = 44100 * 3;
    constexpr size_t kShift = 44100 * 3 / 2; // 1.5 s
    WavLayout mono;
    mono.channels = 1;
    std::vector<int32_t> samples(kFrames, 3000);
    for (size_t i = 1; i < samples.size(); i += 2)
        samples[i] = -3000;
    for (const char* name : {"track1.wav", "track2.wav"})
        ASSERT_TRUE(writeFileBytes(dir.file(name), makeWavBytesFromInts(mono, samples)));
    writeText(dir.file("tracks.txt"), "begin\n1 track1.wav +\n2 track2.wav +\nend\n");
    writeText(dir.file("prefs.txt"), kCheckingPrefs);
    writeText(dir.file("f.txt"), "begin\nsong\nt\t0\t0\t0\nv\t1\t-6\nv\t2\t-40\nv\tM\t0\n"
                                 "t\t0\t0\t250\nv\t1\t-20\nrmp\t0.1\nt\t0\t0\t750\nv\t2\t-3\n"
                                 "v\tM\t-2\nrmp\t0.3\nend\n");
    const auto render = [&dir]() {
        const RunResult mix = runProgram(TARVEX_EXE, {"tracks.txt", "f.txt"}, dir.path());
        EXPECT_EQ(mix.status, 0) << mix.out;
        EXPECT_EQ(linesContaining(mix.out, ">>>  Warning"), std::vector<std::string>{});
        std::vector<uint8_t> wav = readBytes(dir.file("song.wav"));
        const uint32_t frameBytes = readLe16(wav, 32);
        const std::string bytes(wav.begin(), wav.end());
        const size_t data = bytes.find("data") + 8;
        return std::make_pair(std::vector<uint8_t>(wav.begin() + data, wav.end()), frameBytes);
    };
    const auto [before, frameBytes] = render();
    ASSERT_EQ(runQuorrin(dir, {"--nudge", "1.5", "--in-place", "f.txt"}).status, 0);
    const auto [after, sameFrameBytes] = render();
    ASSERT_EQ(frameBytes, sameFrameBytes);
    ASSERT_GT(before.size(), (kShift + 44100) * frameBytes);
    const size_t shifted = kShift * frameBytes;
    const size_t length = std::min(before.size(), after.size() - shifted);
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + static_cast<ptrdiff_t>(length),
                           after.begin() + static_cast<ptrdiff_t>(shifted)));
    EXPECT_FALSE(
        std::equal(before.begin(), before.begin() + static_cast<ptrdiff_t>(length), after.begin()));
}
