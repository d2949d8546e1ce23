// velmont's options: help and version answer without asking anything, and a
// refused option or answer stops before the dialogue; none writes a file. The
// answers given as options write the template the dialogue writes for the
// same answers, and an existing file is replaced only with --force.
#include "option_answers.h"

TEST(VelmontOptions, HelpVersionAndRefusedOptionsWriteNothing) {
    // clang-format off
    expectOptionAnswers(
        VELMONT_EXE, "1\n2\n-6\n1\n1\n",
        {{{"-h"}, 0, "Usage: velmont [options]\n", ""},
         {{"--version"}, 0, "velmont 1.03.1\n", ""},
         {{"--colour"}, 2, "", "velmont: unknown option '--colour'\nUsage: velmont"},
         {{"--level", "-6"}, 2, "", "velmont: --channels is needed when the answers are given as options\n"},
         {{"--channels", "128"}, 2, "", "velmont: --channels '128' is not a number from 1 to 127\n"},
         {{"--channels=2x"}, 2, "", "velmont: --channels '2x' is not a number from 1 to 127\n"},
         {{"--channels", "2", "--model", "4"}, 2, "", "velmont: --model '4' is not 1, 2 or 3\n"},
         {{"--channels", "2", "--level", " -6"}, 2, "", "velmont: --level ' -6' is not a number\n"},
         {{"--channels", "2", "--effects", "hp,,lim"}, 2, "", "velmont: --effects 'hp,,lim' is not all, none or a list"},
         {{"--channels", "2", "--values", "typed"}, 2, "", "velmont: --values 'typed': only the starting values"}});
    // clang-format on
}

TEST(VelmontOptions, AnswersAsOptionsWriteTheDialoguesTemplate) {
    using Args = std::vector<std::string>;
    // The effects are asked in the order hp, band1, band2, hshelf, lshelf, comp,
    // rms, nlc, lim, rev, trev.
    // clang-format off
    const std::pair<Args, const char*> rows[] = {
        {{"--model", "1", "--channels", "2", "--level", "-6", "--effects", "all", "--values", "default"}, "1\n2\n-6\n1\n1\n"},
        {{"--channels", "3"}, "1\n3\n0\n3\n"},
        {{"--model=2", "--channels=3", "--level=-6.5", "--effects=hp,comp,lim"}, "2\n3\n-6.5\n2\n1\n2\n2\n2\n2\n1\n2\n2\n1\n2\n2\n1\n"},
        {{"--model", "3", "--channels", "4", "--level", "2.5e0", "--effects", "none"}, "3\n4\n2.5e0\n3\n"},
        {{"--model", "3", "--channels", "2", "--effects", "all"}, "3\n2\n0\n1\n1\n"},
        {{"--model", "3", "--channels", "1", "--effects", "trev,lshelf,band2,rms,nlc,rev,hshelf,band1"}, "3\n1\n0\n2\n2\n1\n1\n1\n1\n2\n1\n1\n2\n1\n1\n1\n"},
        {{"--model", "2", "--channels", "127", "--level", "-144", "--effects", "all"}, "2\n127\n-144\n1\n1\n"},
    };
    // clang-format on
    for (const auto& [options, answers] : rows) {
        TempDir dir;
        Args args = options;
        args.insert(args.end(), {"-o", "options.txt"});
        const RunResult written = runProgram(VELMONT_EXE, args, dir.path().string());
        EXPECT_EQ(written.status, 0) << written.out;
        EXPECT_EQ(written.out, "") << options[0];
        ASSERT_EQ(runProgram(VELMONT_EXE, {}, dir.path().string(), answers).status, 0) << answers;
        EXPECT_EQ(readText(dir.file("options.txt")), readText(dir.file("faders.txt"))) << answers;
    }
}

TEST(VelmontOptions, AnExistingFileIsReplacedOnlyWithForce) {
    TempDir dir;
    writeText(dir.file("faders.txt"), "mine\n");
    const RunResult refused = runProgram(VELMONT_EXE, {"--channels", "2"}, dir.path().string());
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out,
              "velmont: faders.txt exists; --force replaces it. Nothing was written.\n");
    EXPECT_EQ(readText(dir.file("faders.txt")), "mine\n");
    EXPECT_EQ(runProgram(VELMONT_EXE, {"--channels", "2", "--force"}, dir.path().string()).status,
              0);
    EXPECT_EQ(readText(dir.file("faders.txt")).substr(0, 12), "MixFilename\n");
}
