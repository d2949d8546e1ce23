// Entries that the text ordered by times cannot hold (at -1 s or earlier,
// after a negative nudge) are named with a count on the screen, both when
// printing and before saving; the text itself does not change.
#include "quorrin/cue_writer.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

using quorrin::CueTable;
using quorrin::Ordering;

CueTable tableWithTimes(std::initializer_list<float> times) {
    CueTable t;
    t.header = "mix";
    int32_t slot = 1;
    for (float time : times)
        t.slots[static_cast<size_t>(slot++)].push_back({time, -6.0f, 0.0f});
    return t;
}

TEST(CueLeftOut, CountsEntriesAtMinusOneSecondOrEarlier) {
    struct Row {
        std::initializer_list<float> times;
        int32_t leftOut;
    };
    const Row rows[] = {
        {{0.0f, 5.0f}, 0},           {{-0.999f, 2.0f}, 0},       {{-1.0f, 2.0f}, 1},
        {{-1.0f, -30.0f, -0.5f}, 2}, {{-2.0f, -3.0f, -4.0f}, 3},
    };
    for (const Row& row : rows) {
        const CueTable t = tableWithTimes(row.times);
        EXPECT_EQ(quorrin::entriesLeftOutByTimes(t), row.leftOut);
        const std::string warning = quorrin::leftOutWarning(t, Ordering::byTimes);
        if (row.leftOut == 0) {
            EXPECT_EQ(warning, "");
        } else {
            EXPECT_NE(warning.find(std::to_string(row.leftOut) +
                                   (row.leftOut == 1 ? " entry" : " entries")),
                      std::string::npos)
                << warning;
        }
        // Ordered by channels every entry is written: nothing to warn about.
        EXPECT_EQ(quorrin::leftOutWarning(t, Ordering::byChannels), "");
    }
}

TEST(CueLeftOut, NudgedCuesAreCountedOnScreenAndBeforeSaving) {
    TempDir dir;
    writeText(dir.file("faders.txt"), "mix\nt\t0\t0\t500\nv\t1\t-6\nt\t0\t1\t0\nv\t2\t-3\n"
                                      "t\t0\t3\t0\nv\t3\t0\nend\n");
    RunOptions options;
    options.stdinText = "nt -2 ps pf saved.txt co s pf chans.txt x\n";
    options.timeoutSeconds = 20;
    const RunResult r = runProgram(QUORRIN_EXE, {}, dir.path().string(), options);
    ASSERT_EQ(r.status, 0) << r.out;

    // The entries at -1.5 s and -1 s are left out, once on the screen and
    // once before the save that orders by times.
    const std::string warning = "Warning: 2 entries at -1 s or earlier are left out";
    size_t first = r.out.find(warning);
    ASSERT_NE(first, std::string::npos) << r.out;
    const size_t second = r.out.find(warning, first + 1);
    ASSERT_NE(second, std::string::npos) << r.out;
    EXPECT_LT(second, r.out.find("Enter filename"));
    EXPECT_EQ(r.out.find(warning, second + 1), std::string::npos)
        << "warned when ordered by channels";

    // The saved text is what it always was: only the entry at 1 s is in it.
    EXPECT_EQ(readText(dir.file("saved.txt")), "mix\n\n\nt\t0\t1\t0\nv\t3\t0.00\n");
    const std::string chans = readText(dir.file("chans.txt"));
    EXPECT_NE(chans.find("v\t1\t-6.00"), std::string::npos) << chans;
    EXPECT_NE(chans.find("v\t2\t-3.00"), std::string::npos) << chans;
}

} // namespace
