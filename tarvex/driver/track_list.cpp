// Track list reader.
#include "driver/track_list.h"

#include "core/console.h"
#include "driver/preference_lines.h"
#include "driver/text_fields.h"

namespace tarvex {

namespace {

// The fields from `first` on, as one text with a single separator between them.
std::string joinFields(const std::vector<std::string_view>& fields, std::size_t first, char sep) {
    std::string out;
    for (std::size_t k = first; k < fields.size(); ++k) {
        if (k > first) out.push_back(sep);
        out.append(fields[k]);
    }
    return out;
}

// Blanks at either end of a line.
std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// A label that is a channel number other than the line's own.
bool labelNamesOtherChannel(std::string_view label, int channel) {
    if (label.empty() || label.size() > 3) return false;
    int n = 0;
    for (const char ch : label) {
        if (ch < '0' || ch > '9') return false;
        n = n * 10 + (ch - '0');
    }
    return n != channel;
}

} // namespace

std::string readTrackListFile(const std::string& path) {
    std::string raw;
    if (!readWholeFile(path, raw))
        stopRun(2, "%s file was not found.\nCreate the file and run again.\nExiting...\n",
                path.c_str());
    return raw;
}

void countTracks(MixSession& s, const TrackListLines& list) {
    // The layout warnings count the "begin" line as line 1.
    if (s.settings.prefs.verbosity > 1) {
        if (!s.settings.prefs.trackListTab)
            for (const int line : list.tabLines)
                warn("\n>>>  Warning: Tab found on line %i of tracks file:\n",
                     line - list.firstLine + 1);
        if (s.settings.prefs.trackListTab)
            for (const int line : list.doubleSpaceLines)
                warn("\n>>>  Warning: Extra space found on line %i of tracks file.\n",
                     line - list.firstLine + 1);
    }

    Diagnostics& d = s.diagnostics;
    const std::vector<TrackLine>& lines = list.channels;
    if (!list.afterBegin.empty())
        d.warning(list.fileName, list.firstLine, "'%s' after 'begin' on its line is not read",
                  shownText(list.afterBegin).c_str());
    if (lines.empty()) {
        d.error(list.fileName, 0, "no line names a track");
        stopRun(2, "%s names no track (one line per channel: label, file name, + or ++).\n",
                list.fileName.c_str());
    }
    for (const TrackLine& line : lines)
        if (line.length > kMaxTrackLine) {
            d.error(list.fileName, line.fileLine, "the line is %zu characters long, over %zu",
                    line.length, kMaxTrackLine);
            stopRun(2, "%s line %d is longer than %zu characters; shorten the file name.\n",
                    list.fileName.c_str(), line.fileLine, kMaxTrackLine);
        }
    if (lines.size() > static_cast<std::size_t>(kMaxChannels)) {
        d.error(list.fileName, lines[kMaxChannels].fileLine,
                "this line would name channel %d; a mix has at most %d", kMaxChannels + 1,
                kMaxChannels);
        stopRun(2, "%s lists %zu tracks; at most %d can be mixed.\n", list.fileName.c_str(),
                lines.size(), kMaxChannels);
    }
    // Only a line that is exactly "end", and not the first one, closes the list.
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view text = list.text(lines[i]);
        if (i == 0 && text == "end")
            d.warning(list.fileName, lines[i].fileLine,
                      "'end' as the first line names channel 1 (the list goes on)");
        else if (text != "end" && trimmed(text) == "end")
            d.warning(list.fileName, lines[i].fileLine,
                      "'%s' is not exactly 'end' (it names channel %zu, the list goes on)",
                      shownText(text).c_str(), i + 1);
    }
    s.settings.tracks.channelCount = static_cast<int32_t>(lines.size());
    if (s.settings.prefs.verbosity == 2) {
        if (s.settings.tracks.channelCount == 1)
            warn("Counted 1 track\n");
        else
            warn("Counted %i tracks\n", s.settings.tracks.channelCount);
    }
}

void readTrackList(MixSession& s, const TrackListLines& list) {
    Diagnostics& d = s.diagnostics;
    const char sep = s.settings.prefs.trackListTab ? '\t' : ' ';
    s.settings.tracks.trackNames.assign(static_cast<std::size_t>(kMaxChannels) + 1, std::string());
    const int mode = s.settings.prefs.trackListMode;
    bool anySolo = false;
    for (std::size_t i = 0; i < list.channels.size(); ++i) {
        const int channel = static_cast<int>(i) + 1;
        const TrackLine& line = list.channels[i];
        s.settings.tracks.listLine[channel] = line.fileLine;
        const auto fields = list.fields(line, sep);
        const std::string_view text = list.text(line);
        // Lines switched off on purpose, and the lines named by countTracks,
        // are not named again.
        const bool quiet = text.front() == '(' || trimmed(text) == "end";
        // A tab in a space-separated list joins the fields it stands between.
        const bool tabSlip = sep == ' ' && text.find('\t') != std::string_view::npos;
        const auto nameTab = [&](const char* outcome) {
            const std::string& read = s.settings.tracks.trackNames[i];
            d.warning(list.fileName, line.fileLine,
                      "tab in '%s', but this list separates its fields by spaces (no tlist=tab in "
                      "%s): %s%s%s, channel %d %s",
                      shownText(text).c_str(), s.settings.tracks.prefsPath.c_str(),
                      read.empty() ? "the line reads as one field" : "file name read as '",
                      shownText(read).c_str(), read.empty() ? "" : "'", channel, outcome);
        };
        // Runs of the separator count as one, in the file name too.
        if (mode == 0) {
            s.settings.tracks.trackNames[i] = joinFields(fields, 0, sep);
            s.settings.tracks.channelOn[channel] = 1;
            if (quiet) continue;
            if (tabSlip)
                nameTab("on");
            else if (s.settings.tracks.trackNames[i] != text)
                d.warning(list.fileName, line.fileLine,
                          "runs of separators in '%s' count as one (file name '%s' used)",
                          shownText(text).c_str(),
                          shownText(s.settings.tracks.trackNames[i]).c_str());
            continue;
        }
        // The label field is not used.
        const std::size_t name = mode != 1 ? 1 : 0;
        if (fields.size() <= name + 1) {
            if (name < fields.size()) s.settings.tracks.trackNames[i] = std::string(fields[name]);
            warn("%s line %d: no status (\"+\" or \"++\") after the file name; channel %d stays "
                 "off.\n",
                 list.fileName.c_str(), line.fileLine, channel);
            if (quiet) continue;
            if (tabSlip)
                nameTab("stays off");
            else if (sep == '\t' && text.find('\t') == std::string_view::npos &&
                     text.find(' ') != std::string_view::npos)
                d.warning(list.fileName, line.fileLine,
                          "no tab in '%s', but this list separates its fields by tabs (tlist=tab "
                          "in %s): channel %d stays off",
                          shownText(text).c_str(), s.settings.tracks.prefsPath.c_str(), channel);
            else
                d.warning(list.fileName, line.fileLine,
                          "no status ('+' or '++') after the file name in '%s' (channel %d stays "
                          "off)",
                          shownText(text).c_str(), channel);
            continue;
        }
        s.settings.tracks.trackNames[i] = std::string(fields[name]);
        // Everything after the file name is the status, further fields too.
        const std::string status = joinFields(fields, name + 1, sep);
        const bool on = status == "+" || status == "++";
        if (on) s.settings.tracks.channelOn[channel] = 1;
        if (status == "++") {
            s.settings.tracks.soloFlags[channel] = 1;
            anySolo = true;
        }
        if (quiet) continue;
        if (tabSlip)
            nameTab(on ? "on" : "stays off");
        else if (!on && status != "-")
            d.warning(list.fileName, line.fileLine,
                      "status '%s' is not '+' or '++' (channel %d stays off)",
                      shownText(status).c_str(), channel);
        else if (name == 1 && labelNamesOtherChannel(fields[0], channel))
            d.warning(list.fileName, line.fileLine,
                      "label '%s' on the line of channel %d (the line's place decides the "
                      "channel, not its label)",
                      std::string(fields[0]).c_str(), channel);
    }
    if (anySolo)
        for (int c = 1; c <= kMaxChannels; ++c)
            s.settings.tracks.channelOn[c] = s.settings.tracks.soloFlags[c];
}

} // namespace tarvex
