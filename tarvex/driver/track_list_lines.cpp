// Track list splitter.
#include "driver/track_list_lines.h"

#include <utility>

#include "driver/preference_lines.h"
#include "driver/text_fields.h"

namespace tarvex {

std::vector<std::string_view> TrackListLines::fields(const TrackLine& line, char separator) const {
    const std::string_view all = text(line);
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (std::size_t at = 0; at <= all.size(); ++at) {
        if (at < all.size() && all[at] != separator) continue;
        out.push_back(all.substr(start, at - start));
        while (at + 1 < all.size() && all[at + 1] == separator)
            ++at;
        start = at + 1;
    }
    return out;
}

TrackListLines readTrackListLines(std::string_view fileText, std::string fileName) {
    TrackListLines out;
    out.fileName = std::move(fileName);
    FramedText framed = frameAfterBegin(dropCarriageReturns(fileText));
    out.body = std::move(framed.text);
    out.firstLine = framed.firstLine;
    out.afterBegin = textAfterBegin(fileText, out.body);

    const std::string_view body(out.body);
    const auto lines = pointToLines(body);
    bool ended = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const int fileLine = out.firstLine + static_cast<int>(i);
        if (line.find('\t') != std::string_view::npos) out.tabLines.push_back(fileLine);
        if (line.find("  ") != std::string_view::npos) out.doubleSpaceLines.push_back(fileLine);
        if (ended || line.empty()) continue;
        if (!out.channels.empty() && line == "end") {
            ended = true;
            continue;
        }
        out.channels.push_back(
            {fileLine, static_cast<std::size_t>(line.data() - body.data()), line.size()});
    }
    return out;
}

} // namespace tarvex
