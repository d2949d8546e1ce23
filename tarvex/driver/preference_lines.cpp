// Preferences file splitter.
#include "driver/preference_lines.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "driver/text_fields.h"

namespace tarvex {

namespace {

// Every keyword that some stage looks up in the preferences.
constexpr std::string_view kPrefsKeywords[] = {
    "verbo",     "mixdir", "predir",   "bakdir", "wavdir", "tlist",   "tlist=tab",
    "threads",   "seed",   "loudness", "plot",   "overs",  "sfields", "pre",
    "start",     "length", "xfields",  "xin",    "xout",   "head",    "tail",
    "v=percent", "tempo",  "launch",   "mono",   "dbps",   "dither",  "outbits",
    "offset",    "pan",    "tfields",  "oname",  "tap",    "stems"};

bool isKeyword(std::string_view field) {
    return std::find(std::begin(kPrefsKeywords), std::end(kPrefsKeywords), field) !=
           std::end(kPrefsKeywords);
}

bool isBlankChar(char ch) {
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r';
}

} // namespace

bool isPrefsKeyword(std::string_view field) {
    return isKeyword(field);
}

std::string shownText(std::string_view text) {
    std::string out;
    for (const char ch : text) {
        if (ch == '\t')
            out += "\\t";
        else if (ch == '\r')
            out += "\\r";
        else
            out.push_back(ch);
    }
    return out;
}

std::string textAfterBegin(std::string_view fileText, std::string_view body) {
    const std::string text = dropCarriageReturns(fileText);
    // Framing keeps the whole text (less a byte-order mark) when there is no
    // "begin"; with one, "begin" itself is gone from what it keeps.
    const std::size_t bom = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    if (body.size() + bom >= text.size()) return {};
    const std::string_view head = std::string_view(text).substr(0, text.size() - body.size());
    const std::string_view line =
        head.substr(head.rfind('\n') == std::string_view::npos ? 0 : head.rfind('\n') + 1);
    std::size_t at = 0;
    while ((at = line.find("begin", at)) != std::string_view::npos) {
        const bool startOk = at == 0 || isBlankChar(line[at - 1]);
        const bool endOk = at + 5 >= line.size() || isBlankChar(line[at + 5]);
        if (startOk && endOk) break;
        ++at;
    }
    if (at == std::string_view::npos) return {};
    std::string_view rest = line.substr(at + 5);
    while (!rest.empty() && isBlankChar(rest.front()))
        rest.remove_prefix(1);
    while (!rest.empty() && isBlankChar(rest.back()))
        rest.remove_suffix(1);
    return std::string(rest);
}

std::vector<PrefsHit> PreferenceLines::find(std::string_view keyword) const {
    std::vector<PrefsHit> hits;
    for (std::size_t l = 0; l < lines.size(); ++l)
        for (std::size_t f = 0; f < lines[l].fieldCount(); ++f)
            if (lines[l].field(f) == keyword) hits.push_back({l, f});
    return hits;
}

bool PreferenceLines::first(std::string_view keyword, PrefsHit& hit) const {
    for (std::size_t l = 0; l < lines.size(); ++l)
        for (std::size_t f = 0; f < lines[l].fieldCount(); ++f)
            if (lines[l].field(f) == keyword) {
                hit = {l, f};
                return true;
            }
    return false;
}

bool PreferenceLines::last(std::string_view keyword, PrefsHit& hit) const {
    const auto hits = find(keyword);
    if (hits.empty()) return false;
    hit = hits.back();
    return true;
}

std::size_t PreferenceLines::valueCount(const PrefsHit& hit) const {
    return lines[hit.line].fieldCount() - hit.field - 1;
}

std::string_view PreferenceLines::value(const PrefsHit& hit, std::size_t k) const {
    const PrefsLine& line = lines[hit.line];
    const std::size_t at = hit.field + 1 + k;
    return at < line.fieldCount() ? line.field(at) : std::string_view();
}

std::string_view PreferenceLines::restOfLine(const PrefsHit& hit) const {
    const PrefsLine& line = lines[hit.line];
    std::size_t at = line.ends[hit.field];
    while (at < line.text.size() && line.text[at] == '\t')
        ++at;
    return std::string_view(line.text).substr(std::min(at, line.text.size()));
}

std::vector<std::size_t> PreferenceLines::unusedLines() const {
    std::vector<std::size_t> out;
    for (std::size_t l = 0; l < lines.size(); ++l) {
        const PrefsLine& line = lines[l];
        bool used = false;
        for (std::size_t f = 0; f < line.fieldCount() && !used; ++f)
            used = isKeyword(line.field(f));
        if (line.fieldCount() > 0 && !used) out.push_back(l);
    }
    return out;
}

PreferenceLines readPreferenceLines(std::string_view fileText, std::string fileName) {
    PreferenceLines out;
    out.fileName = std::move(fileName);
    FramedText framed = frameAfterBegin(dropCarriageReturns(fileText));
    out.body = std::move(framed.text);
    out.firstLine = framed.firstLine;
    out.afterBegin = textAfterBegin(fileText, out.body);

    // The layout slips are looked for on every line of the body, past "end"
    // too, before a carriage return left by "CR CR LF" is dropped as well.
    const auto bodyLines = pointToLines(out.body);
    for (std::size_t i = 0; i < bodyLines.size(); ++i) {
        const bool doubleTab = bodyLines[i].find("\t\t") != std::string_view::npos;
        const bool tabSpace = bodyLines[i].find("\t ") != std::string_view::npos;
        if (doubleTab || tabSpace)
            out.slips.push_back({out.firstLine + static_cast<int>(i), doubleTab, tabSpace});
    }

    const std::string text = dropCarriageReturns(out.body);
    const auto rawLines = pointToLines(text);
    for (std::size_t i = 0; i < rawLines.size(); ++i) {
        const std::string_view raw = rawLines[i];
        PrefsLine line;
        line.fileLine = out.firstLine + static_cast<int>(i);
        bool ended = false;
        std::size_t start = 0;
        for (std::size_t at = 0; at <= raw.size(); ++at) {
            if (at < raw.size() && raw[at] != '\t') continue;
            if (at > start) {
                // Everything from the token "end" on is outside the body.
                if (raw.substr(start, at - start) == "end") {
                    ended = true;
                    break;
                }
                line.starts.push_back(start);
                line.ends.push_back(at);
            }
            start = at + 1;
        }
        if (!line.ends.empty()) line.text = std::string(raw.substr(0, line.ends.back()));
        // An "end" after the fields of a line matters when it hides lines
        // that follow.
        if (ended && !line.ends.empty()) {
            bool hides = false;
            for (std::size_t j = i + 1; j < rawLines.size() && !hides; ++j)
                hides = rawLines[j] != "end" &&
                        rawLines[j].find_first_not_of(" \t") != std::string_view::npos;
            if (hides) out.endMidLine = line.fileLine;
        }
        out.lines.push_back(std::move(line));
        if (ended) break;
    }
    return out;
}

} // namespace tarvex
