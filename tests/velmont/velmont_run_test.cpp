// End-to-end runs of the built program in a fresh directory, answers on
// standard input: whole templates and dialogue transcripts against golden
// files, templates that tarvex mixes, and the ways a run can fail without
// harming an existing faders.txt.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>

#include "test_support.h"

namespace {

const std::string kGolden = VELMONT_GOLDEN_DIR;
const std::string kOldMix = "MixFilename\n\nt\t0\t0\t0\nv\t1\t-2.0\n\nend\n";

// Model 1, two channels, all effects with their starting values.
const std::string kModel1Answers = "1\n2\n-6\n1\n1\n";
// Model 2, three channels, effects chosen one by one (7 counts as no), typed
// values (three of them on one line).
const std::string kModel2Answers = "2\n3\n0\n2\n1\n2\n1\n1\n2\n1\n7\n1\n2\n1\n2\n2\n"
                                   "80\n432.3\n-2.5\n0.7\n10000 1.5 0.8\n-18\n5\n150\n4\n"
                                   "-20\n4.41e2\n2.5\n-15\n60\n";
// Model 3, two channels, all effects, every value typed.
const std::string kModel3Answers = "3\n2\n-10.5\n1\n2\n90\n150\n2\n0.9\n1234.6\n-3\n1.2\n432.3\n"
                                   "4\n0.5\n9000\n-1\n0.75\n-10\n2\n100\n3\n-14\n20\n300\n2\n"
                                   "-16\n400\n2.5\n-1\n-8\n50\n-6\n90\n5\n";
const std::string kConfirmation =
    "The fader file has been created!\nRemove parenthesis around codes to activate effects.\n";

using Names = std::vector<std::string>;

RunResult runVelmont(const TempDir& dir, const std::string& input,
                     std::optional<uint64_t> sizeLimit = std::nullopt) {
    RunOptions options;
    options.stdinText = input;
    options.separateStderr = true;
    options.fileSizeLimit = sizeLimit;
    return runProgram(VELMONT_EXE, {}, dir.path(), options);
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(VelmontRun, WritesEachLayoutAsTheGoldenFiles) {
    struct Case {
        const std::string& answers;
        const char* golden;
        const char* transcript;
    };
    const Case cases[] = {
        {kModel1Answers, "model1_all_defaults", nullptr},
        {kModel2Answers, "model2_chosen_typed", "model2_chosen_typed_dialogue"},
        {kModel3Answers, "model3_all_typed", "model3_all_typed_dialogue"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        writeText(dir.file("faders.txt"), kOldMix);
        const RunResult run = runVelmont(dir, c.answers);
        EXPECT_EQ(run.status, 0) << c.golden << "\n" << run.err;
        EXPECT_EQ(run.err, "") << c.golden;
        EXPECT_EQ(readText(dir.file("faders.txt")), readText(kGolden + "/" + c.golden + ".txt"))
            << c.golden;
        EXPECT_EQ(listDirectory(dir.path()), Names{"faders.txt"})
            << "no temporary file may be left behind";
        EXPECT_TRUE(endsWith(run.out, kConfirmation)) << c.golden;
        if (c.transcript != nullptr) {
            EXPECT_EQ(run.out, readText(kGolden + "/" + c.transcript + ".txt")) << c.transcript;
        }
    }
}

// What velmont writes is meant to be mixed: every layout, with all, some or no effect groups,
// must render in tarvex without a layout warning, and as the parenthesised effect lines are
// inert (and the reverb sends go nowhere without an active return), the mix must be the one that
// the bare fader levels give.
TEST(VelmontRun, EveryLayoutIsAFaderFileTarvexMixes) {
    struct Case {
        const char* what;
        const std::string& answers;
        int32_t channels;
        const char* level; // the default fader value answered
    };
    const std::string model1Plain = "1\n3\n-6\n3\n";
    const std::string model2Plain = "2\n3\n-6\n3\n";
    const std::string model3Plain = "3\n3\n-6\n3\n";
    const Case cases[] = {
        {"model 1, all effects", kModel1Answers, 2, "-6"},
        {"model 2, chosen effects", kModel2Answers, 3, "0"},
        {"model 3, all effects", kModel3Answers, 2, "-10.5"},
        {"model 1, no effects", model1Plain, 3, "-6"},
        {"model 2, no effects", model2Plain, 3, "-6"},
        {"model 3, no effects", model3Plain, 3, "-6"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        ASSERT_EQ(runVelmont(dir, c.answers).status, 0);
        writeSessionInputs(dir, c.channels, 4410);
        const RunResult mix = runProgram(TARVEX_EXE, {}, dir.path());
        EXPECT_EQ(mix.status, 0) << mix.out;
        EXPECT_EQ(linesContaining(mix.out, ">>>  Warning"), Names{}) << mix.out;

        std::string bare = "begin\nbare\n\nt\t0\t0\t0\n";
        for (int32_t ch = 1; ch <= c.channels; ++ch)
            bare += "v\t" + std::to_string(ch) + "\t" + c.level + "\n";
        writeText(dir.file("bare.txt"), bare + "end\n");
        const RunResult reference = runProgram(TARVEX_EXE, {"tracks.txt", "bare.txt"}, dir.path());
        ASSERT_EQ(reference.status, 0) << reference.out;
        // The mix is named after velmont's first line.
        const std::vector<uint8_t> rendered = readBytes(dir.file("MixFilename.wav"));
        EXPECT_GT(rendered.size(), 44u);
        EXPECT_TRUE(rendered == readBytes(dir.file("bare.wav"))) << "the template changes the mix";
    }
}

TEST(VelmontRun, ReplacingAFileKeepsItsPermissions) {
    TempDir dir;
    writeText(dir.file("faders.txt"), kOldMix);
    ASSERT_EQ(chmod(dir.file("faders.txt").c_str(), 0640), 0);
    ASSERT_EQ(runVelmont(dir, kModel1Answers).status, 0);
    struct stat info;
    ASSERT_EQ(stat(dir.file("faders.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

// Each row: the answers, faders.txt before the run (nullptr: no file, kDir: a
// directory), a limit on the size of written files, then the exit status,
// standard error, the end of standard output and faders.txt afterwards
// (kWritten: a new template).
TEST(VelmontRun, StopsAndFailuresKeepTheOldFile) {
    const char* const kDir = "<directory>";
    const char* const kWritten = "<written>";
    const char* const old = kOldMix.c_str();
    const std::string notChanged = "; faders.txt was not changed.\n";
    const std::string channels = "velmont: the answer ";
    const std::string isDir = "velmont: cannot open faders.txt for writing: Is a directory\n";
    const struct {
        const char* answers;
        const char* before;
        std::optional<uint64_t> sizeLimit;
        int status;
        std::string err;
        const char* outEnd;
        const char* after;
    } rows[] = {
        // clang-format off
        {"4\n", old, {}, 1, "", "4. Exit.\nExiting\n", old},
        // An effects answer of 4 writes nothing, but leaves an empty file where there was none.
        {"1\n8\n0\n4\n", old, {}, 0, "", "3. Don't add effects\n", old},
        {"1\n8\n0\n4\n", nullptr, {}, 0, "", "3. Don't add effects\n", ""},
        {"1\ntwo\n-6\n3\n", nullptr, {}, 2, channels + "\"two\" to \"Number of channels (1-127)?\" is not a number" + notChanged, "(1-127)?\n", nullptr},
        // More channels than tarvex mixes would only grow the template without bound.
        {"1\n1000000000\n-6\n3\n", old, {}, 2, channels + "1000000000 to \"Number of channels (1-127)?\" is more than 127 channels" + notChanged, "(1-127)?\n", old},
        {"1\n127\n-6\n3\n", old, {}, 0, "", kConfirmation.c_str(), kWritten},
        {"1\n2\n0\n3\n", kDir, {}, 2, isDir, "3. Don't add effects\n", kDir},
        {"1\n2\n0\n4\n", kDir, {}, 2, isDir, "3. Don't add effects\n", kDir},
        // A file-size limit makes the write fail part-way, as a full disk would.
        {"2\n127\n0\n1\n1\n", old, 4096, 2, "velmont: cannot write faders.txt: File too large; the existing file was left as it was\n", "or enter new values (2)?\n", old},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.answers);
        TempDir dir;
        if (row.before == kDir) {
            ASSERT_EQ(mkdir(dir.file("faders.txt").c_str(), 0755), 0);
        } else if (row.before != nullptr) {
            writeText(dir.file("faders.txt"), row.before);
        }
        const RunResult run = runVelmont(dir, row.answers, row.sizeLimit);
        EXPECT_EQ(run.status, row.status);
        EXPECT_EQ(run.err, row.err);
        EXPECT_TRUE(endsWith(run.out, row.outEnd)) << run.out;
        EXPECT_EQ(listDirectory(dir.path()), row.after == nullptr ? Names{} : Names{"faders.txt"});
        if (row.after != nullptr && row.after != kDir && row.after != kWritten) {
            EXPECT_EQ(readText(dir.file("faders.txt")), row.after);
        }
    }
}

// Cutting the answers off after any number of them must stop the run with a
// message and leave the old file exactly as it was.
TEST(VelmontRun, InputEndingAtAnyQuestionStopsAndKeepsTheOldFile) {
    for (const std::string* answers : {&kModel2Answers, &kModel3Answers}) {
        size_t cut = 0;
        int questions = 0;
        while ((cut = answers->find_first_of(" \n", cut + 1)) != std::string::npos &&
               cut + 1 < answers->size()) {
            ++questions;
            TempDir dir;
            writeText(dir.file("faders.txt"), kOldMix);
            const RunResult run = runVelmont(dir, answers->substr(0, cut + 1));
            EXPECT_EQ(run.status, 2) << "after answer " << questions;
            EXPECT_NE(run.err.find("input ended before the question"), std::string::npos)
                << run.err;
            EXPECT_NE(run.err.find("faders.txt was not changed"), std::string::npos) << run.err;
            EXPECT_EQ(readText(dir.file("faders.txt")), kOldMix);
            EXPECT_EQ(listDirectory(dir.path()), Names{"faders.txt"});
        }
        EXPECT_GT(questions, 15);
    }
}

} // namespace
