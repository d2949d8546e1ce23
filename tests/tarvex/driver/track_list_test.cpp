// Track list: counting, layouts, solo, and the limits of a list.
#include "driver/track_list.h"

#include <gtest/gtest.h>

#include <memory>

#include "core/console.h"

using namespace tarvex;

// One row per list: its layout (tlist mode, tab separators), then the exit
// status with the names and on flags (+ or -) of the counted channels, and a
// part of what is printed.
TEST(TrackList, CountsAndReadsEachLayout) {
    std::string many = "begin\n";
    for (int i = 1; i <= 128; ++i)
        many += std::to_string(i) + " t.wav +\n";
    const struct {
        std::string text;
        int mode;
        bool tab;
        const char *outcome, *printed;
    } rows[] = {
        {"begin\n1 a.wav +\n\n2 b.wav +\n3 c.wav +\nend\n4 d.wav +\n", 2, false,
         "0:a.wav|b.wav|c.wav:+++", "Counted 3 tracks\n"},
        {"a.wav +\nb.wav\n", 0, false, "0:a.wav +|b.wav:++", "Counted 2 tracks\n"},
        {"begin\nend\n", 2, false, "0::-", "Counted 1 track\n"},
        // The line's place decides the channel, not its label.
        {"begin\n3  kick.wav  +\n1 snare.wav -\n2 hat.wav +\nend\n", 2, false,
         "0:kick.wav|snare.wav|hat.wav:+-+", ""},
        {"begin\n1 a.wav +\n2 b.wav ++\n3 c.wav +\n4 d.wav ++\nend\n", 2, false,
         "0:a.wav|b.wav|c.wav|d.wav:-+-+", ""},
        {"begin\na.wav\t+\nmy song.wav\t\t+\nend\n", 1, true, "0:a.wav|my song.wav:++", ""},
        {"begin\n1\tkick.wav +\nend\n", 2, false, "0:+:-",
         "\n>>>  Warning: Tab found on line 2 of tracks file:\n"},
        {"begin\nkick.wav  +\n", 1, true, "0:kick.wav  +:-",
         "\n>>>  Warning: Extra space found on line 2 of tracks file.\n"},
        {"begin\n1 a.wav +\n2 b.wav\nend\n", 2, false, "0:a.wav|b.wav:+-",
         "tracks.txt line 3: no status"},
        {many, 2, false, "2::", "lists 128 tracks; at most 127 can be mixed"},
        {"begin\n1 " + std::string(260, 'a') + ".wav +\n", 2, false,
         "2::", "line 2 is longer than 255 characters"},
    };
    for (const auto& row : rows) {
        auto s = std::make_unique<MixSession>();
        s->settings.prefs.trackListMode = row.mode;
        s->settings.prefs.trackListTab = row.tab;
        const TrackListLines list = readTrackListLines(row.text, "tracks.txt");
        int status = 0;
        testing::internal::CaptureStdout();
        try {
            countTracks(*s, list);
            readTrackList(*s, list);
        } catch (const RunStopped& e) {
            status = e.status;
        }
        const std::string out = testing::internal::GetCapturedStdout();
        std::string names, on;
        for (int c = 1; c <= s->settings.tracks.channelCount; ++c) {
            names.append(c > 1 ? "|" : "").append(s->settings.tracks.trackNames[c - 1u]);
            on += s->settings.tracks.channelOn[static_cast<std::size_t>(c)] != 0 ? "+" : "-";
        }
        EXPECT_EQ(std::to_string(status) + ":" + names + ":" + on, row.outcome) << row.text;
        EXPECT_NE(out.find(row.printed), std::string::npos) << row.text;
    }
    testing::internal::CaptureStdout();
    EXPECT_THROW(readTrackListFile("/nonexistent/tracks.txt"), RunStopped);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "/nonexistent/tracks.txt file was not found.\nCreate the file and run again.\n"
              "Exiting...\n");
}

// What the split list keeps: the channel lines with their file lines and
// fields, and the lines (past "end" too) that hold a tab or two spaces.
TEST(TrackListLines, KeepsChannelLinesAndLayoutFacts) {
    const struct {
        const char *text, *kept;
    } rows[] = {
        {"beginning\nbegin\n\n1 a.wav +\nend\n2  b.wav\t+\n", "4:1/a.wav/+/|tabs 6 spaces 6 "},
        {"end\n\nend\n", "1:end/|tabs spaces "},
        {"1  a.wav + \r\n\tend\n", "1:1/a.wav/+//|2:\tend/|tabs 2 spaces 1 "},
        {"begin", "tabs spaces "},
    };
    for (const auto& row : rows) {
        const TrackListLines list = readTrackListLines(row.text, "t.txt");
        std::string kept;
        for (const TrackLine& line : list.channels) {
            kept += std::to_string(line.fileLine) + ":";
            for (std::string_view field : list.fields(line, ' '))
                kept += std::string(field) + "/";
            kept += "|";
        }
        kept += "tabs ";
        for (int line : list.tabLines)
            kept += std::to_string(line) + " ";
        kept += "spaces ";
        for (int line : list.doubleSpaceLines)
            kept += std::to_string(line) + " ";
        EXPECT_EQ(kept, row.kept) << row.text;
    }
}
