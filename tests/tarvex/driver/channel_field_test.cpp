// Channel-field reader: one row per shape of the field.
#include "driver/channel_field.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "driver/text_fields.h"

using namespace tarvex;

TEST(ChannelField, ReadsEveryShapeOfTheField) {
    // The fields after the keyword, and what the reader made of them: kind, "G"
    // (- none, G a field of its own, Gn joined), number, slot, fields taken, "held".
    const char* const rows[][2] = {
        {"M\t-6", "master - 0 0 1"},
        {"3\t-6", "channel - 3 3 1"},
        {"-0", "channel - 0 0 1"},
        {"3abc", "channel - 3 3 1"},
        {"135", "channel - 135 135 1"},
        {"136", "channel - 136 135 1 held"},
        {"99999999999999999999", "channel - 9223372036854775807 135 1 held"},
        {"G\t2\t-6", "submix G 2 129 2"},
        {"G\t8", "submix G 8 135 2"},
        {"G\t9", "submix G 9 135 2 held"},
        {"G\t9223372036854775807", "submix G 9223372036854775807 135 2 held"},
        {"G3\t-6", "submix Gn 3 130 1"},
        {"G\tM\t-6", "master G 0 0 2"},
        {"GM", "text Gn 0 127 1"},
        {"G\tx", "text G 0 127 2"},
        {"Mx", "text - 0 0 1"},
        {"-1", "negative - -1 -1 1"},
        {"G\t-1", "negative G -1 -1 2"},
        {"", "missing - 0 -1 0"},
        {"G", "missing G 0 -1 1"},
    };
    const char* const kinds[] = {"master", "channel", "submix", "missing", "negative", "text"};
    const char* const marks[] = {"-", "G", "Gn"};
    for (const auto& row : rows) {
        const KeywordText text(std::string("v\t") + row[0] + "\n", 1);
        const ChannelField f = readChannelField(text.fields(0), 1);
        char read[96];
        std::snprintf(read, sizeof read, "%s %s %lld %d %zu%s", kinds[static_cast<int>(f.kind)],
                      marks[static_cast<int>(f.group)], static_cast<long long>(f.number), f.slot,
                      f.used, f.limited ? " held" : "");
        EXPECT_STREQ(read, row[1]) << row[0];
    }
}
