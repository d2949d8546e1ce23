// End-to-end runs of the built program in a fresh directory: commands on
// standard input, printed text and saved files compared byte for byte.
#include "run_program.h"

#include <gtest/gtest.h>

using quorrin_test::runProgram;
using quorrin_test::TempDir;

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
    dir.write("faders.txt", kFaders);
    auto run =
        runProgram(QUORRIN_EXE, {}, dir.path(), "nt 1 ps co s cf 2 av -1.5 st 2 pf out.txt x\n");
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
    EXPECT_EQ(run.output, expected);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(dir.read("out.txt"), byChannels);
    EXPECT_EQ(dir.read("faders.txt"), kFaders);
}

TEST(QuorrinRun, MissingFileGivesHelpAndStatus1) {
    TempDir dir;
    auto run = runProgram(QUORRIN_EXE, {"none.txt"}, dir.path(), "");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output.substr(0, kBanner.size() + 24), kBanner + "File none.txt not found\n");
    EXPECT_NE(run.output.find("\nHelp:\n"), std::string::npos);
}

TEST(QuorrinRun, FieldModesFromTheSecondArgument) {
    TempDir dir;
    dir.write("one.txt", "m\nt\t90.25\nv\t4\t-2\n");
    auto one = runProgram(QUORRIN_EXE, {"one.txt", "1"}, dir.path(), "ps x");
    EXPECT_NE(one.output.find("\nm\n\n\nt\t90.250\nv\t4\t-2.00\n\n"), std::string::npos);
    dir.write("three.txt", "m\nt\t1\t30\t250\nv\t4\t-2\n");
    for (const char* mode : {"5", "0"}) {
        auto three = runProgram(QUORRIN_EXE, {"three.txt", mode}, dir.path(), "cf 9 ps x");
        EXPECT_NE(three.output.find("\nm\n\n\nt\t1\t30\t250\nv\t4\t-2.00\n\n"), std::string::npos);
    }
}

TEST(QuorrinRun, EndOfInputEndsTheProgram) {
    TempDir dir;
    dir.write("faders.txt", kFaders);
    EXPECT_EQ(runProgram(QUORRIN_EXE, {}, dir.path(), "ps").status, 0);
    for (const char* input : {"nt", "pf", "co", "cf"}) {
        auto run = runProgram(QUORRIN_EXE, {}, dir.path(), input);
        EXPECT_EQ(run.status, 1) << input;
        EXPECT_NE(run.output.find("Input ended at a prompt; the command was not carried out.\n"),
                  std::string::npos);
    }
}

TEST(QuorrinRun, NonNumberAnswersChangeNothing) {
    TempDir dir;
    dir.write("faders.txt", kFaders);
    auto run = runProgram(QUORRIN_EXE, {}, dir.path(), "nt abc st 2x av nan cf two x");
    EXPECT_EQ(run.status, 0);
    for (const char* word : {"'abc'", "'2x'", "'nan'", "'two'"})
        EXPECT_NE(run.output.find(std::string(word) + " is not a number; nothing was changed.\n"),
                  std::string::npos);
    // Every menu after the refused answers still shows the times as loaded.
    EXPECT_EQ(count(run.output, "Last time at  "), 5u);
    EXPECT_EQ(count(run.output, "First time at 0.000\nLast time at  75.500\n"), 5u);
}

TEST(QuorrinRun, OverwritePromptAndProtectedFiles) {
    TempDir dir;
    dir.write("faders.txt", kFaders);
    dir.write("old.txt", "keep");
    auto run = runProgram(QUORRIN_EXE, {}, dir.path(),
                          "pf old.txt k pf faders.txt pf no/such.txt pf old.txt o x");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("The file already exists!\n"
                              "Type 'o' to overwrite or any other key to cancel\n" +
                              menu("0.000", "75.500")),
              std::string::npos);
    EXPECT_NE(run.output.find("faders.txt is the file that was loaded and is kept as it is; "
                              "save under a new name\n"),
              std::string::npos);
    EXPECT_NE(run.output.find("Could not write no/such.txt: No such file or directory\n"),
              std::string::npos);
    EXPECT_EQ(dir.read("faders.txt"), kFaders);
    EXPECT_EQ(dir.read("old.txt").substr(0, 10), "test_mix\n\n");
}

TEST(QuorrinRun, BeginFileKeepsItsNameAndFaultyLinesAreNamed) {
    TempDir dir;
    dir.write("in.txt", "begin\nsong\n\nrmp\t1\nt\t0\t0\t0\nv\t130\t0\nv\tG\t3\t-2\nend\n");
    auto run = runProgram(QUORRIN_EXE, {"in.txt"}, dir.path(), "pf out.txt x");
    EXPECT_NE(run.output.find(kBanner +
                              "in.txt line 4: rmp line before any v line; ignored\n"
                              "in.txt line 6: channel 130 is outside 0 to 127; entry skipped\n"
                              "\nEntries:\nch G3:  1\n"),
              std::string::npos);
    EXPECT_EQ(dir.read("out.txt"), "begin\nsong\n\n\nt\t0\t0\t0\nv\tG\t3\t-2.00\n");
}
