// Parser tests: which cues a fader text yields in each time-field mode, and
// how lines that do not fit the table are reported and skipped.
#include "quorrin/fader_loader.h"

#include <gtest/gtest.h>

using namespace quorrin;

namespace {

CueTable parse(const std::string& text, int32_t fields, std::vector<std::string>& messages) {
    return parseFaderText(text, fields, "f.txt", messages);
}

} // namespace

TEST(FaderLoader, ReadsCuesInEachTimeFieldMode) {
    std::vector<std::string> messages;
    CueTable three = parse("mix\npan\t1\t0\nt\t1\t15\t500\nv\t3\t-6\nv\tM\t-1.5\nv\tG\t2\t-3\n"
                           "rmp\t2\nt\t0\t2\t0\nv\t3\t0\n",
                           3, messages);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(three.header, "mix");
    ASSERT_EQ(three.slots[3].size(), 2u);
    EXPECT_FLOAT_EQ(three.slots[3][0].time, 75.5f);
    EXPECT_FLOAT_EQ(three.slots[3][0].level, -6.0f);
    EXPECT_FLOAT_EQ(three.slots[3][1].time, 2.0f);
    ASSERT_EQ(three.slots[kMasterSlot].size(), 1u);
    EXPECT_FLOAT_EQ(three.slots[kMasterSlot][0].level, -1.5f);
    ASSERT_EQ(three.slots[groupSlot(2)].size(), 1u);
    EXPECT_FLOAT_EQ(three.slots[groupSlot(2)][0].level, -3.0f);
    // The ramp goes to the entry of the last "v" line, the submix here.
    EXPECT_FLOAT_EQ(three.slots[groupSlot(2)][0].ramp, 2.0f);
    EXPECT_FLOAT_EQ(three.slots[3][0].ramp, 0.0f);

    EXPECT_FLOAT_EQ(parse("m\nt\t1\t15.5\nv\t1\t0\n", 2, messages).slots[1][0].time, 75.5f);
    EXPECT_FLOAT_EQ(parse("m\nt\t90\nv\t1\t0\n", 1, messages).slots[1][0].time, 90.0f);
    EXPECT_TRUE(messages.empty());
}

TEST(FaderLoader, ShortTimeLineKeepsTheNextLineAndWarnsOnce) {
    std::vector<std::string> messages;
    CueTable table = parse("m\nt\t90\nv\t1\t-2\nt\t100\nv\t2\t0\n", 3, messages);
    ASSERT_EQ(table.slots[1].size(), 1u);
    EXPECT_FLOAT_EQ(table.slots[1][0].time, 5400.0f);
    EXPECT_FLOAT_EQ(table.slots[1][0].level, -2.0f);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "f.txt line 2: found 1 time fields where 3 are read; times may be "
                           "wrong (the second argument sets the count)");
}

TEST(FaderLoader, EntriesOutsideTheTableAreSkippedByLine) {
    std::vector<std::string> messages;
    CueTable table =
        parse("m\nv\t200\t0\nrmp\t1\nv\t-1\t0\nv\tX\t0\nv\tG\t9\t0\nv\t5\t-4\n", 3, messages);
    std::vector<std::string> expected = {
        "f.txt line 2: channel 200 is outside 0 to 127; entry skipped",
        "f.txt line 4: channel -1 is outside 0 to 127; entry skipped",
        "f.txt line 5: X is not a channel number; entry skipped",
        "f.txt line 6: submix G9 is outside G1 to G8; entry skipped",
    };
    EXPECT_EQ(messages, expected);
    size_t total = 0;
    for (const auto& slot : table.slots)
        total += slot.size();
    EXPECT_EQ(total, 1u);
    EXPECT_FLOAT_EQ(table.slots[5][0].level, -4.0f);
}

TEST(FaderLoader, A513thEntryAndItsRampAreSkipped) {
    std::string text = "m\n";
    for (int i = 0; i < 512; ++i)
        text += "v\t7\t-1\n";
    text += "v\t7\t-9\nrmp\t3\n";
    std::vector<std::string> messages;
    CueTable table = parse(text, 3, messages);
    ASSERT_EQ(table.slots[7].size(), 512u);
    EXPECT_FLOAT_EQ(table.slots[7].back().level, -1.0f);
    EXPECT_FLOAT_EQ(table.slots[7].back().ramp, 0.0f);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "f.txt line 514: the channel already holds 512 entries; entry skipped");
}

TEST(FaderLoader, RampBeforeAnyVolumeLineAttachesToNothing) {
    std::vector<std::string> messages;
    CueTable table = parse("m\nrmp\t2\nv\t1\t0\n", 3, messages);
    EXPECT_EQ(messages,
              std::vector<std::string>{"f.txt line 2: rmp line before any v line; ignored"});
    EXPECT_FLOAT_EQ(table.slots[1][0].ramp, 0.0f);
}

TEST(FaderLoader, BeginKeepsTheMixNameLine) {
    std::vector<std::string> messages;
    CueTable named =
        parse("notes\r\nbegin\r\n\r\nsong one\r\nt\t0\t0\t0\r\nv\t1\t0\r\n", 3, messages);
    EXPECT_EQ(named.header, "notes");
    EXPECT_TRUE(named.nameLine.empty());

    CueTable begun = parse("begin\n\nsong one\nt\t0\t1\t0\nv\t1\t-3\n", 3, messages);
    EXPECT_EQ(begun.header, "begin");
    EXPECT_EQ(begun.nameLine, "song one");
    EXPECT_FLOAT_EQ(begun.slots[1][0].time, 1.0f);

    CueTable bare = parse("begin\nt\t0\t1\t0\nv\t1\t-3\n", 3, messages);
    EXPECT_TRUE(bare.nameLine.empty());
    EXPECT_FLOAT_EQ(bare.slots[1][0].time, 1.0f);
    EXPECT_TRUE(messages.empty());
}
