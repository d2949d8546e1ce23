// Track list reader.
#include "driver/track_list.h"

#include "core/console.h"
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

} // namespace

std::string readTrackListFile(const std::string& path) {
    std::string raw;
    if (!readWholeFile(path, raw))
        stopRun(2, "tracks.txt file was not found.\nCreate the file and run again.\nExiting...\n");
    return raw;
}

void countTracks(MixSession& s, const TrackListLines& list) {
    // The layout warnings count the "begin" line as line 1.
    if (s.prefs.verbosity > 1) {
        if (!s.prefs.trackListTab)
            for (const int line : list.tabLines)
                warn("\n>>>  Warning: Tab found on line %i of tracks file:\n",
                     line - list.firstLine + 1);
        if (s.prefs.trackListTab)
            for (const int line : list.doubleSpaceLines)
                warn("\n>>>  Warning: Extra space found on line %i of tracks file.\n",
                     line - list.firstLine + 1);
    }

    const std::vector<TrackLine>& lines = list.channels;
    if (lines.empty())
        stopRun(2, "%s names no track (one line per channel: label, file name, + or ++).\n",
                list.fileName.c_str());
    for (const TrackLine& line : lines)
        if (line.length > kMaxTrackLine)
            stopRun(2, "%s line %d is longer than %zu characters; shorten the file name.\n",
                    list.fileName.c_str(), line.fileLine, kMaxTrackLine);
    if (lines.size() > static_cast<std::size_t>(kMaxChannels))
        stopRun(2, "%s lists %zu tracks; at most %d can be mixed.\n", list.fileName.c_str(),
                lines.size(), kMaxChannels);
    s.tracks.channelCount = static_cast<int32_t>(lines.size());
    if (s.prefs.verbosity == 2) {
        if (s.tracks.channelCount == 1)
            warn("Counted 1 track\n");
        else
            warn("Counted %i tracks\n", s.tracks.channelCount);
    }
}

void readTrackList(MixSession& s, const TrackListLines& list) {
    const char sep = s.prefs.trackListTab ? '\t' : ' ';
    s.tracks.trackNames.assign(static_cast<std::size_t>(kMaxChannels) + 1, std::string());
    const int mode = s.prefs.trackListMode;
    bool anySolo = false;
    for (std::size_t i = 0; i < list.channels.size(); ++i) {
        const int channel = static_cast<int>(i) + 1;
        s.tracks.listLine[channel] = list.channels[i].fileLine;
        const auto fields = list.fields(list.channels[i], sep);
        // Runs of the separator count as one, in the file name too.
        if (mode == 0) {
            s.tracks.trackNames[i] = joinFields(fields, 0, sep);
            s.tracks.channelOn[channel] = 1;
            continue;
        }
        // The label field is not used.
        const std::size_t name = mode != 1 ? 1 : 0;
        if (fields.size() <= name + 1) {
            if (name < fields.size()) s.tracks.trackNames[i] = std::string(fields[name]);
            warn("%s line %d: no status (\"+\" or \"++\") after the file name; channel %d stays "
                 "off.\n",
                 list.fileName.c_str(), list.channels[i].fileLine, channel);
            continue;
        }
        s.tracks.trackNames[i] = std::string(fields[name]);
        // Everything after the file name is the status, further fields too.
        const std::string status = joinFields(fields, name + 1, sep);
        if (status == "+" || status == "++") s.tracks.channelOn[channel] = 1;
        if (status == "++") {
            s.tracks.soloFlags[channel] = 1;
            anySolo = true;
        }
    }
    if (anySolo)
        for (int c = 1; c <= kMaxChannels; ++c)
            s.tracks.channelOn[c] = s.tracks.soloFlags[c];
}

} // namespace tarvex
