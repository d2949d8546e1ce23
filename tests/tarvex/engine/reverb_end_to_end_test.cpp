// Whole renders through the reverbs: sends from channels and submixes, both
// reverbs adding into one return, master inserts, the tap file in both modes
// and its guard, the report's send lines and the room checks of a run.
#include <gtest/gtest.h>

#include "tarvex_session.h"

using namespace tarvex_test;

namespace {

const char* const kPrefs24 = "begin\nverbo\t1\ndither\t0\noutbits\t24\nend\n";

// Two stereo 16-bit tracks of noise, `frames` long, and 24-bit prefs.
void twoTracks(Session& s, std::size_t frames = 20000, const std::string& prefs = kPrefs24) {
    s.wav("a.wav", layout(2, SampleFormat::Pcm16), noise(2 * frames, 3, 4000));
    s.wav("b.wav", layout(2, SampleFormat::Pcm16), noise(2 * frames, 9, 4000));
    s.text("tracks.txt", "begin\n1 a.wav +\n2 b.wav +\nend\n");
    s.text("prefs.txt", prefs);
}

std::vector<int32_t> render(Session& s, const std::string& lines, RunResult* result = nullptr) {
    s.text("faders.txt", unityFaders("m", 2, lines));
    RunResult r = s.run();
    EXPECT_EQ(r.status, 0) << r.out;
    if (result != nullptr) *result = r;
    return readMix(s.file("m.wav")).samples;
}

std::vector<int64_t> minus(const std::vector<int32_t>& a, const std::vector<int32_t>& b) {
    std::vector<int64_t> d(a.size());
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        d[i] = static_cast<int64_t>(a[i]) - b[i];
    return d;
}

bool anyNonZero(const std::vector<int64_t>& v) {
    for (int64_t x : v)
        if (x != 0) return true;
    return false;
}

} // namespace

TEST(ReverbRender, BothSendReverbsAddIntoOneReturn) {
    Session s;
    twoTracks(s);
    const std::vector<int32_t> dry = render(s, "");
    const std::string rooms = "rtn\t-3\t40\ntrtn\t-3\t40\t3\n";
    RunResult r;
    const auto wetRev = minus(render(s, rooms + "rev\t1\t-6\n", &r), dry);
    EXPECT_NE(r.out.find("\nRev\tL  "), std::string::npos) << r.out;
    const auto wetTrev = minus(render(s, rooms + "trev\t2\t-6\n", &r), dry);
    EXPECT_NE(r.out.find("\nTrev\tL  "), std::string::npos) << r.out;
    const auto wetBoth = minus(render(s, rooms + "rev\t1\t-6\ntrev\t2\t-6\n"), dry);
    ASSERT_TRUE(anyNonZero(wetRev));
    ASSERT_TRUE(anyNonZero(wetTrev));
    // Nothing arrives before the shortest echo: the sends are silent there.
    const int64_t firstEcho = 2 * 390; // the ceiling of a 40-foot room is 395 samples away
    for (int64_t i = 0; i < firstEcho; ++i)
        ASSERT_EQ(wetBoth[static_cast<std::size_t>(i)], 0) << i;
    // The returns add at bus scale; each output sample loses at most one step
    // to the division by 256.
    for (std::size_t i = 0; i < wetBoth.size(); ++i)
        ASSERT_LE(std::llabs(wetBoth[i] - wetRev[i] - wetTrev[i]), 2) << i;
}

TEST(ReverbRender, SubmixSendsReachTheReverb) {
    Session s;
    twoTracks(s);
    const std::vector<int32_t> dry = render(s, "sub\t1\t2\n");
    EXPECT_TRUE(anyNonZero(minus(render(s, "sub\t1\t2\nrtn\t0\t30\nrev\tG\t1\t0\n"), dry)));
    EXPECT_TRUE(anyNonZero(minus(render(s, "sub\t1\t2\ntrtn\t0\t30\t2\ntrev\tG\t1\t0\n"), dry)));
    // A send without its return line feeds nothing.
    EXPECT_EQ(render(s, "sub\t1\t2\nrev\tG\t1\t0\ntrev\t1\t0\n"), dry);
}

TEST(ReverbRender, MasterInsertTakesTheMasterAndSilencesTheSends) {
    Session s;
    twoTracks(s);
    const std::vector<int32_t> dry = render(s, "");
    RunResult r;
    const std::vector<int32_t> insert = render(s, "rtn\t-6\t40\nrev\tM\t0\n", &r);
    EXPECT_TRUE(anyNonZero(minus(insert, dry)));
    EXPECT_NE(r.out.find("\nRev\tL  "), std::string::npos) << r.out;
    // With the recursive reverb an insert, a channel's tap send does nothing
    // and the tap reverb does not run.
    EXPECT_EQ(render(s, "rtn\t-6\t40\nrev\tM\t0\ntrtn\t0\t40\t2\ntrev\t1\t0\n"), insert);

    // An insert without its return line hears silence: a warning names the
    // missing line, the mix is dry and the tap file of the send is silent.
    s.text("prefs.txt", "begin\nverbo\t1\ndither\t0\noutbits\t24\ntap\trev\nend\n");
    const std::vector<int32_t> noReturn = render(s, "rev\tM\t0\n", &r);
    EXPECT_NE(r.out.find("faders.txt: \"rev M\" has no \"rtn\" line"), std::string::npos) << r.out;
    EXPECT_EQ(noReturn, dry);
    const Wav tap = readMix(s.file("revTap.wav"));
    ASSERT_EQ(tap.samples.size(), dry.size());
    for (int32_t v : tap.samples)
        ASSERT_EQ(v, 0);
}

TEST(ReverbRender, TapFileCarriesTheSendOrTheReturn) {
    Session s;
    twoTracks(s, 20000, "begin\nverbo\t1\ndither\t0\noutbits\t16\ntap\trtn\nend\n");
    // Without the recursive reverb no tap file is made.
    render(s, "trtn\t0\t40\t2\ntrev\t1\t0\n");
    EXPECT_FALSE(s.exists("rtnTap.wav"));

    const std::vector<int32_t> mix = render(s, "rtn\t0\t40\nrev\t1\t0\n");
    const Wav rtn = readMix(s.file("rtnTap.wav"));
    EXPECT_EQ(rtn.channels, 2);
    EXPECT_EQ(rtn.bits, 24);
    EXPECT_EQ(rtn.rate, 44100u);
    EXPECT_EQ(rtn.dataSize, 20000u * 6);
    ASSERT_EQ(rtn.samples.size(), mix.size());
    bool any = false;
    for (int32_t v : rtn.samples)
        any = any || v != 0;
    EXPECT_TRUE(any);

    // The send mode: with the send at 0 dB and the return at 0 dB the tap
    // file holds channel 1 itself at 24-bit scale (16-bit input x 256).
    s.text("prefs.txt", "begin\nverbo\t1\ndither\t0\noutbits\t24\ntap\trev\nend\n");
    render(s, "rtn\t0\t40\nrev\t1\t0\n");
    const Wav send = readMix(s.file("revTap.wav"));
    const std::vector<int32_t> input = noise(2 * 20000, 3, 4000);
    ASSERT_EQ(send.samples.size(), input.size());
    for (std::size_t i = 0; i < input.size(); ++i)
        ASSERT_EQ(send.samples[i], input[i] * 256) << i;
}

TEST(ReverbRender, TapFileNeverOverwritesAnInputOrTheMix) {
    Session s;
    twoTracks(s, 20000, "begin\nverbo\t1\ndither\t0\ntap\trev\nend\n");
    // Channel 2 is listed as revTap.wav: the run is refused before writing.
    s.wav("revTap.wav", layout(2, SampleFormat::Pcm16), noise(2 * 20000, 9, 4000));
    const std::vector<uint8_t> before = readBytes(s.file("revTap.wav"));
    s.text("tracks.txt", "begin\n1 a.wav +\n2 revTap.wav +\nend\n");
    s.text("faders.txt", unityFaders("m", 2, "rtn\t0\t40\nrev\t1\t0\n"));
    RunResult r = s.run();
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_NE(r.out.find("The tap file revTap.wav would overwrite"), std::string::npos) << r.out;
    EXPECT_EQ(readBytes(s.file("revTap.wav")), before);
    EXPECT_FALSE(s.exists("m.wav"));

    // A mix named like the tap file.
    s.text("tracks.txt", "begin\n1 a.wav +\nend\n");
    s.text("faders.txt", unityFaders("revTap", 1, "rtn\t0\t40\nrev\t1\t0\n"));
    std::filesystem::remove(s.file("revTap.wav"));
    r = s.run();
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_NE(r.out.find("would overwrite the mix file"), std::string::npos) << r.out;
}

TEST(ReverbRender, RoomChecksAndAShortLastBlock) {
    Session s;
    // A 1000-frame song cannot hold a 75-foot room's longest delay.
    twoTracks(s, 1000);
    RunResult r;
    s.text("faders.txt", unityFaders("m", 2, "rtn\t0\t75\nrev\t1\t0\n"));
    r = s.run();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Please reduce room size in reverb!"), std::string::npos) << r.out;
    s.text("faders.txt", unityFaders("m", 2, "trtn\t0\t1400\ntrev\t1\t0\n"));
    r = s.run();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("A tap reverb dimension has exceeded the limit"), std::string::npos);

    // A last block shorter than the longest delay: both reverbs carry their
    // tails into it without reaching past any buffer.
    Session t;
    twoTracks(t, 131072 + 100);
    const std::vector<int32_t> out =
        render(t, "rtn\t0\t75\ntrtn\t0\t75\t11\nrev\t1\t0\ntrev\t2\t0\n");
    EXPECT_EQ(out.size(), 2u * (131072 + 100));
}
