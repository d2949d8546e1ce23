// Control-file text helpers: framing, keyword lookup, effect-line table.
#include "driver/text_fields.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/console.h"

using namespace tarvex;

TEST(FrameAfterBegin, TakesBeginOnlyAsAWholeWord) {
    // A file name or mix name that merely contains the letters is not the marker.
    EXPECT_EQ(frameAfterBegin("1 beginning.wav +\n2 b.wav +\n").text,
              "1 beginning.wav +\n2 b.wav +\n");
    EXPECT_EQ(frameAfterBegin("beginner\nv\t1\t0\n").text, "beginner\nv\t1\t0\n");

    const FramedText framed = frameAfterBegin("# notes\nbegin\nmix\nend\n");
    EXPECT_EQ(framed.text, "\nmix\nend\n");
    EXPECT_EQ(framed.firstLine, 2);
    // Text after "begin" on its own line is skipped with the line.
    EXPECT_EQ(frameAfterBegin("begin here\nx\n").text, "\nx\n");
    EXPECT_EQ(frameAfterBegin("begin").text, "");
}

TEST(TextHelpers, LinesSeparatorsAndNumbers) {
    const auto lines = pointToLines("a\nb\n");
    ASSERT_EQ(lines.size(), 3u); // two newlines, a last empty line
    EXPECT_EQ(lines[2], "");

    EXPECT_EQ(parseInt("12abc"), 12);
    EXPECT_EQ(parseInt("abc"), 0);
    EXPECT_EQ(parseInt("99999999999"), 2147483647);
    EXPECT_EQ(parseInt("-99999999999"), -2147483647 - 1);
    EXPECT_DOUBLE_EQ(parseDouble("-6.5dB"), -6.5);
    EXPECT_EQ(dropCarriageReturns("a\r\nb\r"), "a\nb\r");
}

TEST(KeywordText, FindsWholeTokensUpToEnd) {
    const KeywordText text(
        "\ntempo\nverbo\t3\nmixdir\t/tmp/my mixes/\t\nx\tverbo\t1\nend\nverbo\t9\n", 1);
    // A keyword is seen even as the very first word after the begin line.
    KeywordHit hit;
    EXPECT_TRUE(text.first("tempo", hit));
    EXPECT_EQ(text.fileLine(hit), 2);
    // Keywords count anywhere on a line; nothing after "end" is read.
    const auto hits = text.find("verbo");
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(text.value(hits[1], 0), "1");
    ASSERT_TRUE(text.first("mixdir", hit));
    EXPECT_EQ(text.restOfLine(hit), "/tmp/my mixes/");
    EXPECT_FALSE(text.first("temp", hit));
    EXPECT_EQ(text.value(hits[0], 5), "");
}

TEST(readEffectRows, FillsRowsForChannelsGroupsAndMaster) {
    std::vector<double> table(136 * 4, -1.0);
    int anyMaster = 0, codeMaster = 0;
    // A mix named "electric" must not end the scan before the effect lines.
    const KeywordText text(
        "\nelectric\nhp\tG\t2\t120\t0.7\nhp\t3\t80\t1.5\nhp\tM\t40\t2\nend\nhp\t4\t1\t1\n", 1);
    readEffectRows(text, "hp", table, 4, 3, anyMaster, codeMaster, "faders.txt");
    EXPECT_EQ(table[129 * 4 + 0], 1.0);
    EXPECT_EQ(table[129 * 4 + 1], 120.0);
    EXPECT_EQ(table[129 * 4 + 2], 0.7);
    EXPECT_EQ(table[3 * 4 + 2], 1.5);
    EXPECT_EQ(table[0 * 4 + 1], 40.0);
    EXPECT_EQ(anyMaster, 1);
    EXPECT_EQ(codeMaster, 1);
    EXPECT_EQ(table[4 * 4 + 0], 0.0); // after "end"
    EXPECT_EQ(table[5 * 4 + 3], 0.0); // the whole table was cleared
}
