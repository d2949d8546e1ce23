// Track list: counting, layouts, solo, and the limits of a list.
#include "driver/track_list.h"

#include <gtest/gtest.h>

#include <memory>

#include "core/console.h"

using namespace tarvex;

namespace {

struct ListRun {
    std::unique_ptr<MixSession> s = std::make_unique<MixSession>();
    std::string out;
    int status = 0;
};

ListRun readList(const std::string& text, int mode = 2, bool tab = false) {
    ListRun run;
    run.s->prefs.trackListMode = mode;
    run.s->prefs.trackListTab = tab;
    const TrackListLines list = readTrackListLines(text, "tracks.txt");
    testing::internal::CaptureStdout();
    try {
        countTracks(*run.s, list);
        readTrackList(*run.s, list);
    } catch (const RunStopped& e) {
        run.status = e.status;
    }
    run.out = testing::internal::GetCapturedStdout();
    return run;
}

} // namespace

TEST(TrackList, CountsLinesUpToEnd) {
    auto run = readList("begin\n1 a.wav +\n\n2 b.wav +\n3 c.wav +\nend\n4 d.wav +\n");
    EXPECT_EQ(run.s->tracks.channelCount, 3);
    EXPECT_NE(run.out.find("Counted 3 tracks\n"), std::string::npos);
    EXPECT_EQ(readList("a.wav\nb.wav\n", 0).s->tracks.channelCount, 2);
    run = readList("begin\nend\n");
    EXPECT_EQ(run.s->tracks.channelCount, 1);
    EXPECT_NE(run.out.find("Counted 1 track\n"), std::string::npos);
    // No begin line, and a file name holding the letters: every line is kept.
    run = readList("1 intro.wav +\n2 beginning.wav +\n");
    EXPECT_EQ(run.s->tracks.channelCount, 2);
    EXPECT_EQ(run.s->tracks.trackNames[0], "intro.wav");
}

TEST(TrackList, LayoutsStatusAndSolo) {
    // The line's place decides the channel, not its label.
    auto run = readList("begin\n3  kick.wav  +\n1 snare.wav -\n2 hat.wav +\nend\n");
    EXPECT_EQ(run.s->tracks.trackNames[0], "kick.wav");
    EXPECT_EQ(run.s->tracks.channelOn[1], 1);
    EXPECT_EQ(run.s->tracks.channelOn[2], 0);
    EXPECT_EQ(run.s->tracks.channelOn[3], 1);

    run = readList("begin\n1 a.wav +\n2 b.wav ++\n3 c.wav +\n4 d.wav ++\nend\n");
    EXPECT_EQ(run.s->tracks.channelOn[1], 0);
    EXPECT_EQ(run.s->tracks.channelOn[2], 1);
    EXPECT_EQ(run.s->tracks.channelOn[3], 0);
    EXPECT_EQ(run.s->tracks.channelOn[4], 1);

    run = readList("begin\na.wav\t+\nmy song.wav\t\t+\nend\n", 1, true);
    EXPECT_EQ(run.s->tracks.trackNames[1], "my song.wav");
    EXPECT_EQ(run.s->tracks.channelOn[2], 1);

    run = readList("a.wav +\nb.wav\n", 0);
    EXPECT_EQ(run.s->tracks.trackNames[0], "a.wav +");
    EXPECT_EQ(run.s->tracks.channelOn[1] + run.s->tracks.channelOn[2], 2);
}

TEST(TrackList, LayoutWarningsAtNormalVerbosity) {
    MixSession s;
    auto run = readList("begin\n1\tkick.wav +\nend\n");
    EXPECT_NE(run.out.find("\n>>>  Warning: Tab found on line 2 of tracks file:\n"),
              std::string::npos);
    run = readList("begin\nkick.wav  +\n", 1, true);
    EXPECT_NE(run.out.find("\n>>>  Warning: Extra space found on line 2 of tracks file.\n"),
              std::string::npos);
}

TEST(TrackList, RefusesWhatItCannotHold) {
    auto run = readList("begin\n1 a.wav +\n2 b.wav\nend\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.s->tracks.channelOn[2], 0);
    EXPECT_NE(run.out.find("tracks.txt line 3: no status"), std::string::npos);

    std::string many = "begin\n";
    for (int i = 1; i <= 128; ++i)
        many += std::to_string(i) + " t.wav +\n";
    run = readList(many);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("lists 128 tracks; at most 127 can be mixed"), std::string::npos);

    run = readList("begin\n1 " + std::string(260, 'a') + ".wav +\n");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.out.find("line 2 is longer than 255 characters"), std::string::npos);

    testing::internal::CaptureStdout();
    EXPECT_THROW(readTrackListFile("/nonexistent/tracks.txt"), RunStopped);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "tracks.txt file was not found.\nCreate the file and run again.\nExiting...\n");
}

TEST(TrackList, WavPathIsPlainConcatenation) {
    auto run = readList("begin\n1 kick.wav +\n");
    run.s->prefs.wavDirSet = true;
    run.s->prefs.wavDir = "takes";
    EXPECT_EQ(wavPathOf(*run.s, 1), "takeskick.wav");
}
