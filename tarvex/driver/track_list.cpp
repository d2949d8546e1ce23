// Track list reader.
#include "driver/track_list.h"

#include "core/console.h"
#include "driver/text_fields.h"

namespace tarvex {

namespace {

struct ListLine {
    std::string_view text; // the line without its newline
    int fileLine;          // line number in the file
};

// The non-empty lines that name channels: the first always counts, the rest
// up to a line that is exactly "end".
std::vector<ListLine> channelLines(std::string_view text, int firstLine) {
    std::vector<ListLine> out;
    const auto lines = pointToLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].empty()) continue;
        if (!out.empty() && lines[i] == "end") break;
        out.push_back({lines[i], firstLine + static_cast<int>(i)});
    }
    return out;
}

} // namespace

void countTracks(MixSession& s, std::string& listText, int& firstLine) {
    std::string raw;
    if (!readWholeFile(s.tracks.tracksPath, raw))
        stopRun(2, "tracks.txt file was not found.\nCreate the file and run again.\nExiting...\n");
    FramedText framed = frameAfterBegin(dropCarriageReturns(raw));
    listText = std::move(framed.text);
    firstLine = framed.firstLine;

    if (s.prefs.verbosity > 1) {
        const auto lines = pointToLines(listText);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const int n = static_cast<int>(i) + 1;
            if (!s.prefs.trackListTab && lines[i].find('\t') != std::string_view::npos)
                warn("\n>>>  Warning: Tab found on line %i of tracks file:\n", n);
            if (s.prefs.trackListTab && lines[i].find("  ") != std::string_view::npos)
                warn("\n>>>  Warning: Extra space found on line %i of tracks file.\n", n);
        }
    }

    const auto lines = channelLines(listText, firstLine);
    if (lines.empty())
        stopRun(2, "%s names no track (one line per channel: label, file name, + or ++).\n",
                s.tracks.tracksPath.c_str());
    for (const ListLine& line : lines)
        if (line.text.size() > kMaxTrackLine)
            stopRun(2, "%s line %d is longer than %zu characters; shorten the file name.\n",
                    s.tracks.tracksPath.c_str(), line.fileLine, kMaxTrackLine);
    if (lines.size() > static_cast<std::size_t>(kMaxChannels))
        stopRun(2, "%s lists %zu tracks; at most %d can be mixed.\n", s.tracks.tracksPath.c_str(),
                lines.size(), kMaxChannels);
    // A list with no line at all still counts its first (empty) line as channel 1.
    s.tracks.channelCount = lines.empty() ? 1 : static_cast<int32_t>(lines.size());
    if (s.prefs.verbosity == 2) {
        if (s.tracks.channelCount == 1)
            warn("Counted 1 track\n");
        else
            warn("Counted %i tracks\n", s.tracks.channelCount);
    }
}

void readTrackList(MixSession& s, const std::string& listText, int firstLine) {
    const char sep = s.prefs.trackListTab ? '\t' : ' ';
    std::string text = listText;
    RemoveExtraString(text, std::string(1, sep));
    const auto lines = channelLines(text, firstLine);

    s.tracks.trackNames.assign(static_cast<std::size_t>(kMaxChannels) + 1, std::string());
    const int mode = s.prefs.trackListMode;
    bool anySolo = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int channel = static_cast<int>(i) + 1;
        std::string_view line = lines[i].text;
        if (mode == 0) {
            s.tracks.trackNames[i] = std::string(line);
            s.tracks.channelOn[channel] = 1;
            continue;
        }
        if (mode != 1) {
            // The label field is not used.
            const std::size_t cut = line.find(sep);
            line = cut == std::string_view::npos ? std::string_view() : line.substr(cut + 1);
        }
        const std::size_t cut = line.find(sep);
        if (cut == std::string_view::npos) {
            s.tracks.trackNames[i] = std::string(line);
            warn("%s line %d: no status (\"+\" or \"++\") after the file name; channel %d stays "
                 "off.\n",
                 s.tracks.tracksPath.c_str(), lines[i].fileLine, channel);
            continue;
        }
        s.tracks.trackNames[i] = std::string(line.substr(0, cut));
        const std::string_view status = line.substr(cut + 1);
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
