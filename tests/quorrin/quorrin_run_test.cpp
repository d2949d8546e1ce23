// End-to-end runs of the built program in a fresh directory: commands on
// standard input, printed text and saved files compared byte for byte, and
// saved files mixed by tarvex.
#include "test_support.h"

#include "quorrin_runner.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const std::string kFaders = "test_mix\n\nt\t0\t0\t0\nv\t1\t-6\nv\t2\t-3\n"
                            "t\t1\t15\t500\nv\t1\t0\nrmp\t2\nv\tM\t-1\nend\n";

std::string menu(const char* first, const char* last) {
    return std::string("\nFirst time at ") + first + "\nLast time at  " + last +
           "\n\n'nt' to nudge times\n'st' to scale times\n'av' to adjust volumes\n"
           "'ps' to print to screen\n'pf' to print to file\n"
           "'cf' to change number of time fields\n'co' to change ordering mode\n'x' to exit\n";
}

size_t count(const std::string& text, const std::string& part) {
    size_t found = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++found;
    return found;
}

const std::string kBanner = "\nQuorrin 1.0  by the Tarvex toolset team\n";

} // namespace

TEST(QuorrinRun, EditsPrintsAndSavesInBothOrderings) {
    TempDir dir;
    writeText(dir.file("faders.txt"), kFaders);
    auto run = runQuorrin(dir, {}, "nt 1 ps co s cf 2 av -1.5 st 2 pf out.txt x\n");
    std::string byTimes = "test_mix\n\n\nt\t0\t1\t0\nv\t1\t-6.00\nv\t2\t-3.00\n"
                          "\nt\t1\t16\t500\nv\t1\t0.00\nrmp\t2.000\nv\tM\t-1.00\n";
    std::string byChannels = "test_mix\n\n\nt\t0\t2.000\nv\t1\t-7.50\n\n"
                             "\nt\t2\t33.000\nv\t1\t-1.50\nrmp\t4.000\n\n"
                             "\nt\t0\t2.000\nv\t2\t-4.50\n\n\nt\t2\t33.000\nv\tM\t-2.50\n\n";
    std::string expected =
        kBanner + "\nEntries:\nch 1:  2\nch 2:  1\nch M:  1\n" + menu("0.000", "75.500") +
        "Enter nudge amount in seconds\n" + menu("1.000", "76.500") + "\n" + byTimes + "\n" +
        menu("1.000", "76.500") +
        "Currently ordered by times\nEnter 's' to switch to ordering by channels\n"
        "Enter 'k' to keep ordering by times\n" +
        menu("1.000", "76.500") + "Currently using 3 time fields\nEnter new value (1-3)\n" +
        menu("1.000", "76.500") + "Enter change in dB\n" + menu("1.000", "76.500") +
        "Enter scale factor (0.001 to 1000)\n" + menu("2.000", "153.000") +
        "Enter filename\nWrite complete\n" + menu("2.000", "153.000");
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(readText(dir.file("out.txt")), byChannels);
    EXPECT_EQ(readText(dir.file("faders.txt")), kFaders);
}

TEST(QuorrinRun, MissingFileGivesHelpAndStatus1) {
    TempDir dir;
    auto run = runQuorrin(dir, {"none.txt"}, "");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.substr(0, kBanner.size() + 24), kBanner + "File none.txt not found\n");
    EXPECT_NE(run.out.find("\nHelp:\n"), std::string::npos);
}

TEST(QuorrinRun, FieldModesFromTheSecondArgument) {
    TempDir dir;
    writeText(dir.file("one.txt"), "m\nt\t90.25\nv\t4\t-2\n");
    auto one = runQuorrin(dir, {"one.txt", "1"}, "ps x");
    EXPECT_NE(one.out.find("\nm\n\n\nt\t90.250\nv\t4\t-2.00\n\n"), std::string::npos);
    writeText(dir.file("three.txt"), "m\nt\t1\t30\t250\nv\t4\t-2\n");
    for (const char* mode : {"5", "0"}) {
        auto three = runQuorrin(dir, {"three.txt", mode}, "cf 9 ps x");
        EXPECT_NE(three.out.find("\nm\n\n\nt\t1\t30\t250\nv\t4\t-2.00\n\n"), std::string::npos);
    }
}

TEST(QuorrinRun, EndOfInputEndsTheProgram) {
    TempDir dir;
    writeText(dir.file("faders.txt"), kFaders);
    EXPECT_EQ(runQuorrin(dir, {}, "ps").status, 0);
    for (const char* input : {"nt", "pf", "co", "cf"}) {
        auto run = runQuorrin(dir, {}, input);
        EXPECT_EQ(run.status, 1) << input;
        EXPECT_NE(run.out.find("Input ended at a prompt; the command was not carried out.\n"),
                  std::string::npos);
    }
}

TEST(QuorrinRun, NonNumberAnswersChangeNothing) {
    TempDir dir;
    writeText(dir.file("faders.txt"), kFaders);
    auto run = runQuorrin(dir, {}, "nt abc st 2x av nan cf two x");
    EXPECT_EQ(run.status, 0);
    for (const char* word : {"'abc'", "'2x'", "'nan'", "'two'"})
        EXPECT_NE(run.out.find(std::string(word) + " is not a number; nothing was changed.\n"),
                  std::string::npos);
    // Every menu after the refused answers still shows the times as loaded.
    EXPECT_EQ(count(run.out, "Last time at  "), 5u);
    EXPECT_EQ(count(run.out, "First time at 0.000\nLast time at  75.500\n"), 5u);
}

TEST(QuorrinRun, OverwritePromptAndProtectedFiles) {
    TempDir dir;
    writeText(dir.file("faders.txt"), kFaders);
    writeText(dir.file("old.txt"), "keep");
    auto run = runQuorrin(dir, {}, "pf old.txt k pf faders.txt pf no/such.txt pf old.txt o x");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("The file already exists!\n"
                           "Type 'o' to overwrite or any other key to cancel\n" +
                           menu("0.000", "75.500")),
              std::string::npos);
    EXPECT_NE(run.out.find("faders.txt is the file that was loaded and is kept as it is; "
                           "save under a new name\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("Could not write no/such.txt: No such file or directory\n"),
              std::string::npos);
    EXPECT_EQ(readText(dir.file("faders.txt")), kFaders);
    EXPECT_EQ(readText(dir.file("old.txt")).substr(0, 10), "test_mix\n\n");
}

TEST(QuorrinRun, BeginFileKeepsItsNameAndFaultyLinesAreNamed) {
    TempDir dir;
    writeText(dir.file("in.txt"),
              "begin\nsong\n\nrmp\t1\nt\t0\t0\t0\nv\t130\t0\nv\tG\t3\t-2\nend\n");
    auto run = runQuorrin(dir, {"in.txt"}, "pf out.txt x");
    EXPECT_NE(run.out.find(kBanner +
                           "in.txt line 4: rmp line before any v line; ignored\n"
                           "in.txt line 6: channel 130 is outside 0 to 127; entry skipped\n"
                           "\nEntries:\nch G3:  1\n"),
              std::string::npos);
    EXPECT_EQ(readText(dir.file("out.txt")), "begin\nsong\n\n\nt\t0\t0\t0\nv\tG\t3\t-2.00\n");
}

// A saved file is meant for tarvex: in either ordering it must load without a layout warning,
// keep the mix name of the file it came from and, with the cues only rewritten, give exactly the
// mix the original gives.
TEST(QuorrinRun, SavedFilesMixInTarvexLikeTheOriginal) {
    const std::string original = "begin\nsong\n\nt\t0\t0\t0\nv\t1\t-6\nv\t2\t-3\nv\tM\t-1\n"
                                 "t\t0\t0\t40\nv\t1\t-12\nrmp\t0.02\nt\t0\t0\t70\nv\t2\t0\nend\n";
    for (const char* ordering : {"", "co s "}) {
        SCOPED_TRACE(*ordering ? "ordered by channels" : "ordered by times");
        TempDir dir;
        writeSessionInputs(dir, 2, 4410);
        writeText(dir.file("original.txt"), original);
        const RunResult first = runProgram(TARVEX_EXE, {"tracks.txt", "original.txt"}, dir.path());
        ASSERT_EQ(first.status, 0) << first.out;
        const std::vector<uint8_t> expected = readBytes(dir.file("song.wav"));
        std::filesystem::remove(dir.file("song.wav"));

        const RunResult edit =
            runQuorrin(dir, {"original.txt"}, std::string(ordering) + "pf saved.txt x");
        ASSERT_EQ(edit.status, 0) << edit.out;
        ASSERT_NE(edit.out.find("Write complete\n"), std::string::npos) << edit.out;
        const RunResult mix = runProgram(TARVEX_EXE, {"tracks.txt", "saved.txt"}, dir.path());
        EXPECT_EQ(mix.status, 0) << mix.out;
        EXPECT_EQ(linesContaining(mix.out, ">>>  Warning"), std::vector<std::string>{})
            << readText(dir.file("saved.txt"));
        ASSERT_TRUE(std::filesystem::exists(dir.file("song.wav")))
            << "no mix named after the name line\n"
            << mix.out;
        EXPECT_TRUE(readBytes(dir.file("song.wav")) == expected)
            << "the saved cues mix differently:\n"
            << readText(dir.file("saved.txt"));
    }
}
