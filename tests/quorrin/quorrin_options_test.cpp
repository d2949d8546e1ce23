// quorrin's options: help and version before the banner, an unknown option
// refused, and a fader file whose name begins with "-" reached after "--"
// with its time-field count still in second place.
#include <gtest/gtest.h>

#include "option_answers.h"
#include "quorrin_runner.h"

TEST(QuorrinOptions, HelpVersionAndUnknownOptions) {
    expectOptionAnswers(
        QUORRIN_EXE, "",
        {{{"--help"}, 0, "Usage: quorrin [options] [--] [file [time-fields]]\n", ""},
         {{"-V"}, 0, "quorrin 1.0\n", ""},
         {{"-x"}, 2, "", "quorrin: unknown option '-x'\nUsage: quorrin"}});
}

TEST(QuorrinOptions, DashedFileNameAfterDoubleDashKeepsTheFieldCount) {
    TempDir dir;
    writeText(dir.file("-cues.txt"), "begin\nmix\nt\t75\nv\t1\t-6\nend\n");
    const RunResult r = runQuorrin(dir, {"--", "-cues.txt", "1"}, "cf 3 ps x\n");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    // Read with one time field (75 s), printed with three: 1 min 15 s.
    EXPECT_NE(r.out.find("t\t1\t15\t0\n"), std::string::npos) << r.out;
}
