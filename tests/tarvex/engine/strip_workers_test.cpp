// Channel strips on worker threads render exactly what one thread renders:
// effects, automation, submixes, both reverbs, delay panning, a late start
// and a channel that ends early, over several blocks.
#include <gtest/gtest.h>

#include <sstream>

#include "tarvex_session.h"

using namespace tarvex_test;

namespace {

constexpr std::size_t kFrames = 131072 * 2 + 5000; // three blocks, the last one short

void busySession(Session& s) {
    s.wav("a.wav", layout(2, SampleFormat::Pcm16), noise(2 * kFrames, 1, 9000));
    s.wav("b.wav", layout(1, SampleFormat::Pcm24), noise(kFrames, 2, 3000000));
    s.wav("c.wav", layout(2, SampleFormat::Pcm24), noise(2 * (kFrames / 3), 3, 2000000));
    s.wav("d.wav", layout(1, SampleFormat::Pcm16), noise(kFrames - 1000, 4, 12000));
    s.wav("e.wav", layout(2, SampleFormat::Pcm16), noise(2 * kFrames, 5, 20000));
    s.text("tracks.txt", "begin\n1 a.wav +\n2 b.wav +\n3 c.wav +\n4 d.wav +\n5 e.wav +\nend\n");
    s.text("faders.txt", "begin\nbusy\ntstamp\t4\t0\t1\t0\nsub\t1\t1,2\nsub\t2\t3,4\n"
                         "VCA:\t1\t5\ndp\t2\t40\np\t4\t-60\n"
                         "t\t0\t0\t0\nv\tM\t-3\nv\tG\t1\t0\nv\tG\t2\t-2\nvca\t1\t0\n"
                         "v\t1\t-3\nv\t2\t-1\nv\t3\t0\nv\t4\t-6\nv\t5\t-2\n"
                         "t\t0\t2\t0\nv\t1\t-20\nrmp\t2\nshape\t0.5\nvca\t1\t-12\nrmp\t1\n"
                         "t\t0\t4\t0\nv\tG\t2\t-12\nrmp\t1\n"
                         "hp\t1\t80\nband1\t2\t1000\t6\t1\nhshelf\t3\t5000\t-4\t0.7\n"
                         "rms\t1\t-20\t5\t100\t3\ncomp\t5\t-10\t1\t50\t4\nnlc\t3\t-25\t500\t3\n"
                         "lim\t4\t-6\ncomp\tG\t1\t-15\t5\t100\t2\nlim\tM\t-1\nfxg\t2\t3\n"
                         "rev\t1\t-6\nrev\tG\t2\t-10\ntrev\t5\t-6\nrtn\t-6\t40\ntrtn\t-9\t30\t4\n"
                         "rhp\t100\nrlp\t8000\nend\n");
}

struct Render {
    std::vector<uint8_t> mix, tap;
    std::string report;
};

Render renderWith(Session& s, int threads) {
    s.text("prefs.txt",
           "begin\nverbo\t1\ndither\t0\ntap\trtn\nthreads\t" + std::to_string(threads) + "\nend\n");
    const RunResult r = s.run();
    EXPECT_EQ(r.status, 0) << r.out;
    Render out{readBytes(s.file("busy.wav")), readBytes(s.file("rtnTap.wav")),
               readText(s.file("stats_busy.txt"))};
    // The processing time is the one line that may differ.
    out.report = out.report.substr(0, out.report.find("Processing time"));
    return out;
}

} // namespace

TEST(StripWorkers, AnyNumberOfWorkersRendersTheSameBytes) {
    Session s;
    busySession(s);
    const Render one = renderWith(s, 1);
    ASSERT_GT(one.mix.size(), 44u + 6 * kFrames - 1);
    for (int threads : {2, 5}) {
        SCOPED_TRACE(threads);
        const Render many = renderWith(s, threads);
        EXPECT_TRUE(many.mix == one.mix);
        EXPECT_TRUE(many.tap == one.tap);
        EXPECT_EQ(many.report, one.report);
    }
}

TEST(StripWorkers, MoreChannelsThanFinishedBlockBuffersWaitTheirTurn) {
    // Forty channels, more than the finished blocks kept at once, so later
    // channels wait for earlier ones to be mixed; plain channels beside
    // channels with effects, over two blocks.
    Session s;
    constexpr std::size_t kShort = 131072 + 3000;
    std::ostringstream tracks, faders;
    tracks << "begin\n";
    faders << "begin\nmany\nt\t0\t0\t0\n";
    for (int c = 1; c <= 40; ++c) {
        std::string name = std::to_string(c);
        name.insert(0, 1, 't');
        name += ".wav";
        s.wav(name, layout(1, SampleFormat::Pcm16), noise(kShort, static_cast<uint32_t>(c), 900));
        tracks << c << ' ' << name << " +\n";
        faders << "v\t" << c << "\t-" << c % 7 << '\n';
        if (c % 5 == 0) faders << "hp\t" << c << "\t120\n";
    }
    tracks << "end\n";
    faders << "t\t0\t2\t0\nv\t3\t-30\nrmp\t1\nend\n";
    s.text("tracks.txt", tracks.str());
    s.text("faders.txt", faders.str());
    auto render = [&](int threads) {
        s.text("prefs.txt",
               "begin\nverbo\t1\ndither\t0\nthreads\t" + std::to_string(threads) + "\nend\n");
        const RunResult r = s.run();
        EXPECT_EQ(r.status, 0) << r.out;
        return readBytes(s.file("many.wav"));
    };
    const std::vector<uint8_t> one = render(1);
    ASSERT_GT(one.size(), 44u + 6 * kShort - 1);
    for (int threads : {2, 3}) {
        SCOPED_TRACE(threads);
        EXPECT_TRUE(render(threads) == one);
    }
}
