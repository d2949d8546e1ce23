// Recursive reverb: room geometry, first echoes, block boundaries, refusals,
// and agreement with a plain sample-by-sample rendering of the room.
#include "effects/recursive_reverb.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/saturate.h"
#include "core/slot_layout.h"
#include "effects/room_geometry.h"
#include "reverb_returns.h"

using namespace tarvex;

namespace {

using Echoes = std::map<int32_t, int32_t>;

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
    void block(const RecursiveReverb& m, int32_t n, const std::vector<double>& sL,
               const std::vector<double>& sR, Returns& r) {
        const auto& d = m.surfaceDelays();
        const auto& dp = m.pairDelays();
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
        const double w = m.farSideGain();
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

RecursiveReverbSettings settingsOf(const Room& room) {
    return {room.feet, {room.p1, room.p2, room.p3}, room.width};
}

class RecurseReverbTest : public testing::Test {
  protected:
    // The first block sets the room up.
    void run(int32_t n, Room room = {}) {
        if (!ready) {
            ASSERT_EQ(m.setUp(settingsOf(room), 44100.0, n).message, "");
            ready = true;
        }
        m.process(n, sendL, sendR, r.nextL, r.nextR, r.curL, r.curR);
    }
    void restart() {
        m = RecursiveReverb{};
        ready = false;
        r = Returns{};
    }
    RecursiveReverb m;
    bool ready = false;
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
            restart();
            (*send)[0] = 1000000.0;
            run(8192, {75.0f, 37.0f, 39.0f, 43.0f, width});
            (*send)[0] = 0.0;
            EXPECT_EQ(m.surfaceDelays(),
                      (std::array<int32_t, 6>{1844, 1046, 1386, 1082, 741, 1159}));
            EXPECT_EQ(m.pairDelays()[0][2], 2306); // the longest
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
    EXPECT_EQ(r.curR[2900 + m.pairDelays()[1][4] + m.surfaceDelays()[4] - 3000],
              truncToInt32(0.25 * (1000000 / 6)));
}

// The longest delay (2306 samples at 75 feet) must be shorter than the first
// block; a position is checked before the size.
TEST(RecursiveReverb, SetUpRefusesWhatDoesNotFit) {
    const struct {
        Room room;
        int32_t firstBlock;
        const char* message;
    } cases[] = {
        {{}, 2306, "Please reduce room size in reverb!\n"},
        {{}, 2307, ""},
        {{-1.0f}, 4096, "Illegal value for reverb room size\n"},
        {{-1.0f, 50.0f, -0.5f}, 4096, "Illegal value for reverb position parameter\n"},
        {{-1.0f, 50.0f, 100.5f}, 4096, "Illegal value for reverb position parameter\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RecursiveReverb{}.setUp(settingsOf(c.room), 44100.0, c.firstBlock).message,
                  c.message)
            << c.firstBlock;
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
        restart();
        PlainRoom plain;
        Returns slow;
        for (int32_t n : {9000, kMaxBlockFrames, 4000, 1500, 333}) {
            for (int32_t i = 0; i < n; ++i) {
                sendL[i] = level(rng) * (i % 7 == 0 ? 1.0 : 0.01);
                sendR[i] = level(rng) * (i % 5 == 0 ? 1.0 : 0.01);
            }
            run(n, room);
            plain.block(m, n, sendL, sendR, slow);
            ASSERT_TRUE(r.curL == slow.curL && r.curR == slow.curR) << n;
            ASSERT_TRUE(r.nextL == slow.nextL && r.nextR == slow.nextR) << n;
            r.rotate();
            slow.rotate();
        }
    }
}

} // namespace
