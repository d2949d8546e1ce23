// The channel field of a fader-file line: "M" the master, "G" then n submix n
// (slot 127 + n), or a channel number. The reader only says what the field
// addresses; each kind of line decides what it does with an odd field and
// prints its own messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarvex {

// What a channel field names.
enum class ChannelKind : uint8_t {
    Master,     // "M"
    Channel,    // a number 0 or above
    Submix,     // "G" then a number 0 or above
    Missing,    // the line ends where the field (or the number after "G") should be
    Negative,   // a number below 0, with or without "G"
    NotANumber, // text that starts with no number; it reads as 0
};

// How a submix number was marked.
enum class GroupMark : uint8_t {
    None,     // no "G"
    Separate, // "G" as a field of its own, the number in the next one
    Joined,   // "G" and the number in one field, as in "G3"
};

struct ChannelField {
    ChannelKind kind = ChannelKind::Missing;
    GroupMark group = GroupMark::None;
    int64_t number = 0;   // the number as the decimal conversion reads it (0 for text)
    int32_t slot = -1;    // slot 0..135 addressed, -1 for a missing or negative number
    std::size_t used = 0; // fields taken, the "G" field included
    bool limited = false; // the number lay beyond slot 135 and the slot was held there
};

// Reads the channel field that starts at fields[at]. Text reads as 0, so it
// addresses slot 0, or slot 127 after "G"; "M" after a separate "G" is still
// the master. Prints nothing.
ChannelField readChannelField(std::span<const std::string_view> fields, std::size_t at);

// Prints the message of a channel number held at slot 135.
void warnChannelOutOfRange();

// The channel field as written, its fields joined by a space ("G 3"), for
// diagnostics; "" when it takes no field.
std::string channelFieldText(std::span<const std::string_view> fields, std::size_t at,
                             std::size_t used);

// The strip a slot is, for diagnostics: "the master", "channel 5", "submix 3".
std::string stripNameOf(int32_t slot);

} // namespace tarvex
