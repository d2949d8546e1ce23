// Routing lines of the fader file.
#include "driver/routing_lines.h"

#include <cstdlib>
#include <string>

#include "automation/routing.h"
#include "core/console.h"
#include "driver/text_fields.h"

namespace tarvex {

namespace {

// A bus or VCA number read as an unsigned integer: a minus sign makes it huge.
uint64_t unsignedNumber(std::string_view field) {
    const std::string text(field);
    return std::strtoull(text.c_str(), nullptr, 10);
}

// A number written with a minus sign that the unsigned reading wraps into
// range ("-18446744073709551615" is 1).
bool wrapsIntoRange(std::string_view field, uint64_t number, uint64_t low, uint64_t high) {
    return field.find('-') != std::string_view::npos && number >= low && number <= high;
}

// Names every item of a channel list outside `low` to `high`; the list reader
// skips them. Items are read as the list reader reads them.
void noteListItems(MixSession& s, int32_t line, std::string_view list, long long low,
                   long long high, const char* what) {
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = list.find(',', start);
        const std::size_t end = comma == std::string_view::npos ? list.size() : comma;
        if (end > start) {
            const std::string item(list.substr(start, end - start));
            const long long n = std::strtoll(item.c_str(), nullptr, 10);
            if (n < low || n > high)
                s.diagnostics.warning(s.settings.tracks.fadersPath, line,
                                      "channel '%s' in the list of %s is out of range (%lld to "
                                      "%lld): it is left out",
                                      item.c_str(), what, low, high);
        }
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
}

} // namespace

void readRoutingLines(MixSession& s, const FaderLines& fader) {
    const KeywordText& text = fader.fields();
    RoutingTable& r = s.settings.routing;
    PanRouting& pr = s.settings.automation.routing;
    for (auto& row : r.route)
        row.fill(0);
    r.busFlags.fill(0);

    // The last `sub` line of a bus gives its list.
    std::array<std::string, kBusCount> lists;
    std::array<int32_t, kBusCount> listLines{};
    for (const KeywordHit& hit : text.find("sub")) {
        const uint64_t bus = unsignedNumber(text.value(hit, 0));
        if (text.valueCount(hit) == 0 || bus >= kBusCount) {
            warn("Submix number out of range!\n");
            // A line without its number is the field check's to name.
            if (text.valueCount(hit) > 0)
                s.diagnostics.warning(s.settings.tracks.fadersPath, text.fileLine(hit),
                                      "submix '%s' is not 1 to 8 (line ignored)",
                                      std::string(text.value(hit, 0)).c_str());
            continue;
        }
        if (wrapsIntoRange(text.value(hit, 0), bus, 0, kBusCount - 1))
            s.diagnostics.warning(
                s.settings.tracks.fadersPath, text.fileLine(hit), "submix '%s' is read as %llu",
                std::string(text.value(hit, 0)).c_str(), static_cast<unsigned long long>(bus));
        if (listLines[bus] != 0)
            s.diagnostics.warning(s.settings.tracks.fadersPath, listLines[bus],
                                  "sub list of submix %llu is replaced by the one on line %d "
                                  "(line ignored)",
                                  static_cast<unsigned long long>(bus), text.fileLine(hit));
        listLines[bus] = text.fileLine(hit);
        r.busFlags[bus] = 1;
        lists[bus] = std::string(text.value(hit, 1));
    }
    for (int bus = 0; bus < kBusCount; ++bus)
        if (r.busFlags[bus] != 0) {
            const std::string what = "submix " + std::to_string(bus);
            noteListItems(s, listLines[bus], lists[bus], 1, kMaxChannels, what.c_str());
            routeBusList(lists[bus], bus, r.route);
        }
    for (int c = 0; c <= kMaxChannels; ++c) {
        bool toSubmix = false;
        for (int bus = 1; bus < kBusCount; ++bus)
            if (r.route[c][bus] != 0) toSubmix = true;
        if (!toSubmix) r.route[c][0] = 1;
    }
    r.busFlags[0] = 1;

    auto noteSubmix = [&](const KeywordHit& hit, int32_t k) {
        // A line without its number is the field check's to name.
        if (text.valueCount(hit) > 0 && (k < 1 || k > kSubmixCount))
            s.diagnostics.warning(s.settings.tracks.fadersPath, text.fileLine(hit),
                                  "submix '%s' is not 1 to 8 (line ignored)",
                                  std::string(text.value(hit, 0)).c_str());
    };
    for (const KeywordHit& hit : text.find("submu")) {
        const int32_t k = parseInt(text.value(hit, 0));
        noteSubmix(hit, k);
        if (k >= 1 && k <= kSubmixCount) r.busFlags[k] = 0;
    }
    pr.soloFlags.fill(0);
    bool anySolo = false;
    for (const KeywordHit& hit : text.find("subso")) {
        const int32_t k = parseInt(text.value(hit, 0));
        noteSubmix(hit, k);
        if (k >= 1 && k <= kSubmixCount) {
            pr.soloFlags[k] = 1;
            anySolo = true;
        }
    }
    if (anySolo) {
        r.busFlags[0] = 0;
        for (int k = 1; k <= kSubmixCount; ++k)
            if (pr.soloFlags[k] == 0) r.busFlags[k] = 0;
    }
    checkFeederMutes(r.busFlags, r.route, s.settings.tracks.channelOn, kBusCount,
                     s.settings.tracks.channelCount + 1);

    pr.vcaFlags.fill(0);
    pr.anyVca = 0;
    pr.vcaAssign.fill(0);
    std::array<std::string, kVcaSlots> vcaLists;
    std::array<int32_t, kVcaSlots> vcaListLines{};
    for (const KeywordHit& hit : text.find("VCA:")) {
        const uint64_t vca = unsignedNumber(text.value(hit, 0));
        if (text.valueCount(hit) == 0 || vca < 1 || vca > 8) {
            warn("VCA fader out of range!\n");
            // A line without its number is the field check's to name.
            if (text.valueCount(hit) > 0)
                s.diagnostics.warning(s.settings.tracks.fadersPath, text.fileLine(hit),
                                      "VCA '%s' is not 1 to 8 (line ignored)",
                                      std::string(text.value(hit, 0)).c_str());
            continue;
        }
        if (wrapsIntoRange(text.value(hit, 0), vca, 1, 8))
            s.diagnostics.warning(
                s.settings.tracks.fadersPath, text.fileLine(hit), "VCA '%s' is read as %llu",
                std::string(text.value(hit, 0)).c_str(), static_cast<unsigned long long>(vca));
        if (vcaListLines[vca] != 0)
            s.diagnostics.warning(s.settings.tracks.fadersPath, vcaListLines[vca],
                                  "VCA: list of VCA %llu is replaced by the one on line %d (line "
                                  "ignored)",
                                  static_cast<unsigned long long>(vca), text.fileLine(hit));
        vcaListLines[vca] = text.fileLine(hit);
        pr.vcaFlags[vca] = 1;
        pr.anyVca = 1;
        vcaLists[vca] = std::string(text.value(hit, 1));
    }
    for (int vca = 1; vca < kVcaSlots; ++vca)
        if (pr.vcaFlags[vca] != 0) {
            const std::string what = "VCA " + std::to_string(vca);
            noteListItems(s, vcaListLines[vca], vcaLists[vca], 0, kEntrySlots - 1, what.c_str());
            routeVcaList(vcaLists[vca], vca, pr.vcaAssign);
        }
}

void setUpPanGains(MixSession& s) {
    PanRouting& pr = s.settings.automation.routing;
    pr.panLaw = s.settings.prefs.panLaw;
    std::array<int32_t, kSlotCount> mono{};
    for (int c = 1; c <= s.settings.tracks.channelCount; ++c)
        mono[c] = s.settings.tracks.wavChannels[c] == 1 ? 1 : 0;
    if (!setUpPanning(pr, s.settings.automation.slots, s.settings.tracks.channelCount, mono,
                      s.settings.tracks.sampleRate))
        stopRun(2,
                "A sample rate of %u Hz needs a delay-pan delay of %d samples or more; delay "
                "panning works up to about 408000 Hz.\n",
                s.settings.tracks.sampleRate, kDelayHistory);
}

} // namespace tarvex
