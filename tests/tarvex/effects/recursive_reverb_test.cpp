// Recursive reverb: room geometry, first echoes, block boundaries, refusals,
// and agreement with a plain sample-by-sample rendering of the room.
#include "effects/recursive_reverb.h"

#include "stop_message.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/console.h"
#include "core/saturate.h"
#include "core/slot_layout.h"
#include "effects/room_geometry.h"

using namespace tarvex;

namespace {

using tarvex_test::stopMessage;

using Echoes = std::map<int32_t, int32_t>;

// The return buffers as the mix loop owns and rotates them.
struct Returns {
    std::vector<int32_t> nextL = std::vector<int32_t>(kMaxBlockFrames), nextR = nextL, curL = nextL,
                         curR = nextL;
    void rotate() {
        curL.swap(nextL);
        curR.swap(nextR);
        std::fill(nextL.begin(), nextL.end(), 0);
        std::fill(nextR.begin(), nextR.end(), 0);
    }
};

struct Room {
    float feet = 75.0f, p1 = 37.0f, p2 = 39.0f, p3 = 43.0f, width = 50.0f;
};

// Nonzero entries of buf[from .. to), by index.
Echoes nonzero(const std::vector<int32_t>& buf, int32_t from, int32_t to) {
    Echoes found;
    for (int32_t i = from; i < to; ++i)
        if (buf[i] != 0) found[i] = buf[i];
    return found;
}

// The room written out one addition after another in the order it is
// described; it shares only the delays and width factor the reverb fixed.
struct PlainRoom {
    using Tables = std::vector<std::vector<int32_t>>;
    Tables surf = Tables(6, std::vector<int32_t>(kMaxBlockFrames)), spill = surf;
    void block(const RecursiveReverbMemory& m, int32_t n, const std::vector<double>& sL,
               const std::vector<double>& sR, Returns& r) {
        const int32_t d[6] = {m.d1, m.d2, m.d3, m.d4, m.d5, m.d6};
        const int32_t dp[6][6] = {
            {0, m.d12, m.d13, m.d14, m.d15, m.d16}, {m.d12, 0, m.d23, m.d24, m.d25, m.d26},
            {m.d13, m.d23, 0, m.d34, m.d35, m.d36}, {m.d14, m.d24, m.d34, 0, m.d45, m.d46},
            {m.d15, m.d25, m.d35, m.d45, 0, m.d56}, {m.d16, m.d26, m.d36, m.d46, m.d56, 0}};
        for (int k = 0; k < 6; ++k)
            for (int32_t i = 0; i < n; ++i) {
                surf[k][i] = truncToInt32(spill[k][i] + (k < 2 || k == 4 ? sL[i] : sR[i]));
                spill[k][i] = 0;
            }
        for (int32_t i = 0; i < n; ++i) {
            int32_t v[6];
            for (int j = 0; j < 6; ++j)
                v[j] = truncToInt32(surf[j][i] * 0.16666666666666666);
            for (int j = 0; j < 6; ++j)
                for (int k = 0; k < 6; ++k) {
                    if (k == j) continue;
                    const int32_t t = i + dp[j][k];
                    int32_t& c = t < n ? surf[k][t] : spill[k][t - n];
                    c = saturatingAdd(c, v[j]);
                }
        }
        const double w = m.Width;
        const double gL[6] = {0.25 * w, 0.25, 0.0, 0.25, 0.25 * w, 0.25};
        const double gR[6] = {0.25, 0.0, 0.25, 0.25 * w, 0.25, 0.25 * w};
        for (int32_t i = 0; i < n; ++i)
            for (int k = 0; k < 6; ++k) {
                const int32_t t = i + d[k];
                int32_t& cl = t < n ? r.curL[t] : r.nextL[t - n];
                if (k != 2) cl = truncToInt32(cl + gL[k] * surf[k][i]);
                int32_t& cr = t < n ? r.curR[t] : r.nextR[t - n];
                if (k != 1) cr = truncToInt32(cr + gR[k] * surf[k][i]);
            }
    }
};

class RecurseReverbTest : public testing::Test {
  protected:
    void SetUp() override { m.init(); }
    void run(int32_t n, Room room = {}) {
        RecurseReverb(m, n, 44100.0, sendL, sendR, room.feet, room.p1, room.p2, room.p3, room.width,
                      r.nextL, r.nextR, r.curL, r.curR);
    }
    RecursiveReverbMemory m;
    Returns r;
    std::vector<double> sendL = std::vector<double>(kMaxBlockFrames), sendR = sendL;
};

// Until the first recirculated echo (after 2000 samples) each return holds
// only the surfaces' own echoes: a quarter of the send, W/4 from the far
// side's surfaces, W = 0.5 at width 50, 1 at width 0, 0 at width 100.
TEST_F(RecurseReverbTest, RoomOf75FeetAndItsFirstEchoes) {
    EXPECT_EQ(samplesPerFoot(44100.0), 39.02655029296875f);
    for (auto [width, far] : {std::pair{50.0f, 125000}, {0.0f, 250000}, {100.0f, 0}}) {
        for (std::vector<double>* send : {&sendL, &sendR}) {
            m = RecursiveReverbMemory{};
            m.init();
            r = Returns{};
            (*send)[0] = 1000000.0;
            run(8192, {75.0f, 37.0f, 39.0f, 43.0f, width});
            (*send)[0] = 0.0;
            EXPECT_EQ(std::vector<int32_t>({m.d1, m.d2, m.d3, m.d4, m.d5, m.d6}),
                      std::vector<int32_t>({1844, 1046, 1386, 1082, 741, 1159}));
            EXPECT_EQ(m.d13, 2306);
            EXPECT_EQ(m.longestPair, 2306);
            // Surfaces 1, 2, 5 from the left send, 3, 4, 6 from the right.
            Echoes left{{741, far}, {1046, 250000}, {1844, far}};
            Echoes right{{741, 250000}, {1844, 250000}};
            if (send == &sendR) {
                left = {{1082, 250000}, {1159, 250000}};
                right = {{1082, far}, {1159, far}, {1386, 250000}};
            }
            std::erase_if(left, [](auto& e) { return e.second == 0; });
            std::erase_if(right, [](auto& e) { return e.second == 0; });
            EXPECT_EQ(nonzero(r.curL, 0, 2000), left) << width;
            EXPECT_EQ(nonzero(r.curR, 0, 2000), right) << width;
        }
    }
}

TEST_F(RecurseReverbTest, EchoesPastTheBlockArriveInTheNextBlock) {
    sendL[2900] = 1000000.0;
    run(3000);
    EXPECT_TRUE(nonzero(r.curL, 0, 3000).empty());
    EXPECT_EQ(nonzero(r.nextL, 0, 1900), (Echoes{{641, 125000}, {946, 250000}, {1744, 125000}}));
    // The sixth that surface 2 passes to surface 5 waits in the spill and is
    // heard in the next block.
    sendL[2900] = 0.0;
    r.rotate();
    run(3000);
    EXPECT_EQ(r.curL[641], 125000);
    EXPECT_EQ(r.curR[2900 + m.d25 + m.d5 - 3000], truncToInt32(0.25 * (1000000 / 6)));
}

TEST_F(RecurseReverbTest, RefusalsEndTheRunWithStatusOne) {
    EXPECT_EQ(stopMessage([&] { run(2306); }), "Please reduce room size in reverb!\n");
    EXPECT_EQ(m.setUp, 0);
    EXPECT_EQ(stopMessage([&] { run(4096, {-1.0f}); }), "Illegal value for reverb room size\n");
    // A position is checked before the size; one past the far wall is refused too.
    for (float bad : {-0.5f, 100.5f})
        EXPECT_EQ(stopMessage([&] {
                      run(4096, {-1.0f, 50.0f, bad});
                  }),
                  "Illegal value for reverb position parameter\n");
    EXPECT_NE(stopMessage([&] { run(kMaxBlockFrames + 1); }).find("does not fit"),
              std::string::npos);
    RecursiveReverbMemory unallocated;
    EXPECT_NE(stopMessage([&] {
                  RecurseReverb(unallocated, 4096, 44100.0, sendL, sendR, 75, 37, 39, 43, 50,
                                r.nextL, r.nextR, r.curL, r.curR);
              }).find("not allocated"),
              std::string::npos);
    run(2307);
    EXPECT_EQ(m.setUp, 1);
}

// Truncation toward zero at every step lets the tail die into exact zeros.
TEST_F(RecurseReverbTest, TailEndsInExactZeros) {
    sendL[0] = 2147483647.0;
    sendR[5] = -2147483648.0;
    run(8192);
    std::fill(sendL.begin(), sendL.end(), 0.0);
    std::fill(sendR.begin(), sendR.end(), 0.0);
    auto silent = [&] {
        return nonzero(r.curL, 0, 8192).empty() && nonzero(r.curR, 0, 8192).empty();
    };
    int blocks = 0;
    for (; blocks < 1000 && !silent(); ++blocks) {
        r.rotate();
        run(8192);
    }
    ASSERT_LT(blocks, 1000);
    for (int extra = 0; extra < 3; ++extra) {
        r.rotate();
        run(8192);
        EXPECT_TRUE(silent());
    }
}

// Random sends, some beyond the 32-bit range so that the surfaces saturate,
// through blocks of many lengths, the last two shorter than the longest
// delay. The second and third rooms put the listener on walls, where some
// delays are 0 and several are equal.
TEST_F(RecurseReverbTest, MatchesPlainRenderingBitForBit) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> level(-3.0e9, 3.0e9);
    for (Room room : {Room{}, Room{40, 0, 100, 0, 0}, Room{120, 100, 0, 50, 100}}) {
        m = RecursiveReverbMemory{};
        m.init();
        PlainRoom plain;
        Returns slow;
        r = Returns{};
        for (int32_t n : {9000, kMaxBlockFrames, 4000, 1500, 333}) {
            for (int32_t i = 0; i < n; ++i) {
                sendL[i] = level(rng) * (i % 7 == 0 ? 1.0 : 0.01);
                sendR[i] = level(rng) * (i % 5 == 0 ? 1.0 : 0.01);
            }
            run(n, room);
            plain.block(m, n, sendL, sendR, slow);
            ASSERT_TRUE(r.curL == slow.curL && r.curR == slow.curR) << n;
            ASSERT_TRUE(r.nextL == slow.nextL && r.nextR == slow.nextR) << n;
            ASSERT_EQ(m.spill3, plain.spill[2]) << n;
            r.rotate();
            slow.rotate();
        }
    }
}

} // namespace
