// Writer and edit tests: time lines in each field mode, both orderings
// compared as whole texts, and the searches the time ordering relies on.
#include "quorrin/cue_edits.h"
#include "quorrin/cue_writer.h"

#include <gtest/gtest.h>

using namespace quorrin;

namespace {

CueTable sample() {
    CueTable table;
    table.header = "mix";
    table.slots[2] = {{0.0f, -6.0f, 0.0f}, {75.5f, 0.0f, 1.5f}};
    table.slots[1] = {{75.5f, -3.25f, 0.0f}};
    table.slots[groupSlot(1)] = {{0.0f, -2.0f, 0.0f}};
    table.slots[kMasterSlot] = {{-1.0f, 1.0f, 0.0f}, {-0.5f, 0.0f, 0.0f}};
    return table;
}

} // namespace

TEST(CueWriter, TimeLinesInEachFieldMode) {
    EXPECT_EQ(timeLine(75.5f, 3), "\nt\t1\t15\t500\n");
    EXPECT_EQ(timeLine(75.5f, 2), "\nt\t1\t15.500\n");
    EXPECT_EQ(timeLine(75.5f, 1), "\nt\t75.500\n");
    EXPECT_EQ(timeLine(59.25f, 3), "\nt\t0\t59\t250\n");
    EXPECT_EQ(timeLine(-0.5f, 3), "\nt\t0\t0\t-500\n");
    EXPECT_EQ(timeLine(-0.5f, 2), "\nt\t0\t-0.500\n");
}

TEST(CueWriter, OrderedByChannelsGivesEachEntryItsTimeLine) {
    EXPECT_EQ(formatByChannels(sample(), 3), "mix\n\n"
                                             "\nt\t1\t15\t500\nv\t1\t-3.25\n\n"
                                             "\nt\t0\t0\t0\nv\t2\t-6.00\n\n"
                                             "\nt\t1\t15\t500\nv\t2\t0.00\nrmp\t1.500\n\n"
                                             "\nt\t0\t0\t0\nv\tG\t1\t-2.00\n\n"
                                             "\nt\t0\t-1\t0\nv\tM\t1.00\n\n"
                                             "\nt\t0\t0\t-500\nv\tM\t0.00\n\n");
}

TEST(CueWriter, OrderedByTimesGroupsEntriesAndDropsMinusOneSecond) {
    EXPECT_EQ(formatByTimes(sample(), 1), "mix\n\n"
                                          "\nt\t-0.500\nv\tM\t0.00\n"
                                          "\nt\t0.000\nv\t2\t-6.00\nv\tG\t1\t-2.00\n"
                                          "\nt\t75.500\nv\t1\t-3.25\nv\t2\t0.00\nrmp\t1.500\n");
    CueTable empty;
    empty.header = "begin";
    empty.nameLine = "song";
    EXPECT_EQ(formatByTimes(empty, 3), "begin\nsong\n\n");
}

TEST(CueEdits, SearchesAndScaling) {
    CueTable table = sample();
    EXPECT_FLOAT_EQ(latestTime(table), 75.5f);
    EXPECT_FLOAT_EQ(earliestTime(table, latestTime(table)), -1.0f);
    EXPECT_FLOAT_EQ(latestTime(CueTable{}), 0.0f);
    EXPECT_FALSE(scaleTimes(table, 1001.0f));
    EXPECT_FALSE(scaleTimes(table, 0.0f));
    ASSERT_TRUE(scaleTimes(table, 1000.0f));
    EXPECT_FLOAT_EQ(table.slots[2][1].ramp, 1500.0f);
    // Times far apart (here 75500 s after 0) are still found in turn.
    EXPECT_EQ(nextTimeAfter(table, 0.0f), 75500.0f);
    EXPECT_EQ(nextTimeAfter(table, 75500.0f), std::nullopt);
}
