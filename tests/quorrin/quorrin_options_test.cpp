// quorrin's options: help and version before the banner, an unknown option
// refused, and a fader file whose name begins with "-" reached after "--"
// with its time-field count still in second place.
#include <gtest/gtest.h>

#include "quorrin_runner.h"

TEST(QuorrinOptions, HelpVersionAndUnknownOptions) {
    TempDir dir;
    const RunResult help = runQuorrin(dir, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: quorrin [options] [--] [file [time-fields]]\n", 0), 0u)
        << help.out;
    EXPECT_NE(help.out.find("-h, --help"), std::string::npos);

    const RunResult version = runQuorrin(dir, {"-V"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "quorrin 1.0\n");

    // Before, "-x" was taken as a file name and reported as not found (status 1).
    const RunResult bad = runQuorrin(dir, {"-x"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err.rfind("quorrin: unknown option '-x'\nUsage: quorrin", 0), 0u) << bad.err;
}

TEST(QuorrinOptions, DashedFileNameAfterDoubleDashKeepsTheFieldCount) {
    TempDir dir;
    writeText(dir.file("-cues.txt"), "begin\nmix\nt\t75\nv\t1\t-6\nend\n");
    const RunResult r = runQuorrin(dir, {"--", "-cues.txt", "1"}, "cf 3 ps x\n");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    // Read with one time field (75 s), printed with three: 1 min 15 s.
    EXPECT_NE(r.out.find("t\t1\t15\t0\n"), std::string::npos) << r.out;
}
