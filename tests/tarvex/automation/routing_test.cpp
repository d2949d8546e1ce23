// Routing lists, feeder mutes, pan law gains and delay panning.
#include "automation/routing.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/console.h"

using namespace tarvex;

TEST(Routing, ListsAndFeederMutes) {
    RouteTable route{};
    testing::internal::CaptureStdout();
    routeBusList("3,4,,200,0", 2, route);
    std::array<int32_t, kEntrySlots> assign{};
    routeVcaList("1,2,200,136", 3, assign);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(route[3][2] + route[4][2], 2);
    EXPECT_EQ(out, "Channel assigned to sub 2 is out of range!\nChannel assigned to sub 2 is out "
                   "of range!\nChannel assigned to VCA 3 is out of range!\n");
    EXPECT_EQ(assign[1], 3);
    EXPECT_EQ(assign[136], 3);

    // Channels 3 and 4 feed only a muted submix: they are switched off.
    route[1][0] = route[2][0] = 1;
    std::array<int32_t, 9> buses{1, 0, 0};
    std::array<int32_t, kEntrySlots> on{};
    on.fill(1);
    checkFeederMutes(buses, route, on, 9, 5);
    EXPECT_EQ(on[1] + on[2], 2);
    EXPECT_EQ(on[3] + on[4], 0);
}

TEST(Routing, PanLawGains) {
    PanRouting r;
    SlotSettings s;
    std::array<int32_t, kEntrySlots> mono{};
    mono[1] = mono[2] = mono[3] = 1;
    s.pan[2] = 50;
    s.pan[3] = -100;
    s.pan[4] = 50;    // stereo
    s.pan[130] = -40; // group
    r.panLaw = panLawOf(false, 0.0);
    ASSERT_TRUE(setUpPanning(r, s, 4, mono, 44100));
    EXPECT_FLOAT_EQ(r.panLeft[1], 0.7079458f);
    EXPECT_FLOAT_EQ(r.panRight[1], 0.7079458f);
    EXPECT_FLOAT_EQ(r.panLeft[2], 0.3539729f);
    EXPECT_NEAR(r.panRight[2], 0.8413951f, 1e-6f);
    EXPECT_FLOAT_EQ(r.panLeft[3], 1.0f);
    EXPECT_FLOAT_EQ(r.panRight[3], 0.0f);
    EXPECT_FLOAT_EQ(r.panLeft[4], 0.5f);
    EXPECT_FLOAT_EQ(r.panRight[4], 1.0f);
    EXPECT_FLOAT_EQ(r.panRight[130], 0.6f);
    EXPECT_EQ(panLawOf(true, 7.0), 3.0f);
    EXPECT_EQ(panLawOf(true, -1.0), 3.0f);

    // A `dp` value takes over the pan; a stereo channel is not delayed.
    s.delayPan[1] = 50;
    s.delayPan[4] = 30;
    ASSERT_TRUE(setUpPanning(r, s, 4, mono, 44100));
    EXPECT_EQ(r.delayPanned[1], 1);
    EXPECT_EQ(r.delay[1], 13);
    EXPECT_FLOAT_EQ(r.panLeft[1], 1.0f);
    EXPECT_EQ(r.delayPanned[4], 0);
    EXPECT_FLOAT_EQ(r.panLeft[4], 1.0f);

    // Delay pan needs a history long enough for the rate.
    s.delayPan[1] = 100;
    EXPECT_FALSE(setUpPanning(r, s, 4, mono, 500000));
}

TEST(DelayPan, FarSideRepeatsTheSignalLateAcrossBlocks) {
    std::array<int32_t, kDelayHistory> histL{}, histR{};
    std::vector<int32_t> song(600);
    for (std::size_t i = 0; i < song.size(); ++i)
        song[i] = static_cast<int32_t>(i + 1);
    std::vector<int32_t> left(300), right(300), outL, outR;
    for (int block = 0; block < 2; ++block) {
        const std::vector<int32_t> x(song.begin() + block * 300, song.begin() + block * 300 + 300);
        delayPanChannel(0, 300, 50, 13, x, histL, histR, left, right, 300 - 256);
        outL.insert(outL.end(), left.begin(), left.end());
        outR.insert(outR.end(), right.begin(), right.end());
    }
    for (std::size_t i = 0; i < song.size(); ++i) {
        ASSERT_EQ(outR[i], song[i]) << i;
        ASSERT_EQ(outL[i], i >= 13 ? song[i - 13] : 0) << i;
    }

    // Left pans delay the right side; hard pans silence the far side.
    std::array<int32_t, kDelayHistory> hl{}, hr{};
    std::vector<int32_t> x{5, 6, 7, 8}, l(4), r(4);
    delayPanChannel(0, 4, -50, -2, x, hl, hr, l, r, 4);
    EXPECT_EQ(l, x);
    EXPECT_EQ(r, (std::vector<int32_t>{0, 0, 5, 6}));
    delayPanChannel(1, 4, 100, 27, x, hl, hr, l, r, 4);
    EXPECT_EQ(r[3], 8);
    EXPECT_EQ(l[3], 0);
}
