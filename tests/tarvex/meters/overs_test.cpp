// Full-scale stretches across block edges, the log's fixed room, and the
// output envelope's columns.
#include <gtest/gtest.h>

#include <vector>

#include "meters/overs.h"

using namespace tarvex;

TEST(Overs, StretchesRunAcrossBlocksAndTheLogKeepsItsRoom) {
    OversLog log;
    log.reserve(2);
    FullScaleRuns runs{7, 100, -100};
    std::vector<int32_t> a{0, 100, 100, 5, -100};
    std::vector<int32_t> quiet(5, 0);
    runs.scan(a, quiet, 1000, 5, log); // stretch at 1001 (2); one opens at 1004
    std::vector<int32_t> b{-101, 3, 0, 0, 0};
    std::vector<int32_t> c{0, 0, 0, 0, 100};
    runs.scan(b, c, 1005, 5, log); // the open one ends at 1005; another opens at 1009 on side b
    ASSERT_EQ(log.stretches.size(), 2u);
    EXPECT_EQ(log.stretches[0].start, 1001);
    EXPECT_EQ(log.stretches[0].length, 2);
    EXPECT_EQ(log.stretches[0].source, 7);
    EXPECT_EQ(log.stretches[1].start, 1004);
    EXPECT_EQ(log.stretches[1].length, 2);
    runs.finish(log); // no room: counted only
    EXPECT_EQ(log.stretches.size(), 2u);
    EXPECT_EQ(log.dropped, 1);
}

TEST(Overs, EnvelopeColumnsHoldExtremesAndOvers) {
    PeakEnvelope env;
    const int64_t length = PeakEnvelope::kColumns * 10; // ten samples a column
    env.reset(500, length, 2);
    std::vector<int32_t> x(static_cast<std::size_t>(length), 0);
    x[25] = 30;             // column 2
    x[29] = -40;            // column 2
    x[30] = 32767;          // column 3, an over
    x[length - 1] = -32768; // last column, an over
    // In two blocks whose edge falls inside a column.
    env.add(0, std::span<const int32_t>(x).first(27), 500, 27, 32767, -32768);
    env.add(0, std::span<const int32_t>(x).subspan(27), 527, static_cast<int32_t>(length - 27),
            32767, -32768);
    EXPECT_EQ(env.columnOf(525), 2);
    EXPECT_EQ(env.high[2], 30);
    EXPECT_EQ(env.low[2], -40);
    EXPECT_EQ(env.over[2], 0);
    EXPECT_EQ(env.over[3], 1);
    EXPECT_EQ(env.over[PeakEnvelope::kColumns - 1], 1);
    int overs = 0;
    for (uint8_t o : env.over)
        overs += o;
    EXPECT_EQ(overs, 2); // the right side got nothing
}
