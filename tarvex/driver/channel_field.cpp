// Channel-field reader shared by the level, pan, trim, effect and order lines.
#include "driver/channel_field.h"

#include <cstdlib>
#include <string>

#include "core/console.h"
#include "core/slot_layout.h"

namespace tarvex {

namespace {

constexpr int64_t kLastStrip = kStripEntries - 1;

} // namespace

ChannelField readChannelField(std::span<const std::string_view> fields, std::size_t at) {
    ChannelField f;
    if (at >= fields.size()) return f;
    std::string_view digits = fields[at];
    f.used = 1;
    if (digits == "M") {
        f.kind = ChannelKind::Master;
        f.slot = kMasterSlot;
        return f;
    }
    if (!digits.empty() && digits[0] == 'G') {
        if (digits.size() > 1) {
            f.group = GroupMark::Joined;
            digits.remove_prefix(1);
        } else {
            f.group = GroupMark::Separate;
            if (at + 1 >= fields.size()) return f;
            digits = fields[at + 1];
            f.used = 2;
            if (digits == "M") {
                f.kind = ChannelKind::Master;
                f.slot = kMasterSlot;
                return f;
            }
        }
    }
    const int64_t base = f.group == GroupMark::None ? 0 : groupSlot(0);
    const std::string copy(digits);
    char* end = nullptr;
    f.number = std::strtoll(copy.c_str(), &end, 10);
    if (end == copy.c_str()) {
        f.kind = ChannelKind::NotANumber;
        f.slot = static_cast<int32_t>(base);
        return f;
    }
    if (f.number < 0) {
        f.kind = ChannelKind::Negative;
        return f;
    }
    f.kind = f.group == GroupMark::None ? ChannelKind::Channel : ChannelKind::Submix;
    // Compared before the sum, so that a huge number cannot wrap it.
    f.limited = f.number > kLastStrip - base;
    f.slot = static_cast<int32_t>(f.limited ? kLastStrip : base + f.number);
    return f;
}

void warnChannelOutOfRange() {
    warn(">>Channel number out of range or not specified!\n");
}

std::string channelFieldText(std::span<const std::string_view> fields, std::size_t at,
                             std::size_t used) {
    std::string text;
    for (std::size_t k = at; k < at + used && k < fields.size(); ++k) {
        if (k > at) text += ' ';
        text += fields[k];
    }
    return text;
}

std::string stripNameOf(int32_t slot) {
    if (slot == kMasterSlot) return "the master";
    if (slot > kMaxChannels) return "submix " + std::to_string(slot - groupSlot(0));
    return "channel " + std::to_string(slot);
}

} // namespace tarvex
