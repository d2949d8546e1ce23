// Control-file text helpers: framing, keyword lookup, numbers, the effect-line table.
#include "driver/text_fields.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "common/file_text.h"
#include "core/console.h"
#include "core/diagnostics.h"
#include "core/slot_layout.h"
#include "driver/channel_field.h"

namespace tarvex {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

bool readWholeFile(const std::string& path, std::string& out) {
    toolset::FileText file = toolset::readFileText(path, kMaxControlFileBytes);
    switch (file.status) {
    case toolset::FileText::Status::read:
        out = std::move(file.text);
        return true;
    case toolset::FileText::Status::missing:
        return false;
    case toolset::FileText::Status::tooLarge:
        if (file.size >= 0)
            stopRun(2, "%s is %lld bytes long; a control file may hold at most %lld bytes.\n",
                    path.c_str(), static_cast<long long>(file.size),
                    static_cast<long long>(kMaxControlFileBytes));
        stopRun(2, "%s holds more than %lld bytes; a control file may hold no more.\n",
                path.c_str(), static_cast<long long>(kMaxControlFileBytes));
    case toolset::FileText::Status::unopenable:
    case toolset::FileText::Status::directory:
    case toolset::FileText::Status::readError:
        break;
    }
    stopRun(2, "%s cannot be read: %s\n", path.c_str(), std::strerror(file.error));
}

std::string dropCarriageReturns(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out.push_back(text[i]);
    }
    return out;
}

FramedText frameAfterBegin(std::string_view text) {
    // A byte-order mark, as some editors write at the start of a text file,
    // is not part of the first line.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    // "begin" counts only as a whole word: a file name such as beginning.wav or
    // a mix called beginner must never hide the lines before it.
    std::size_t at = 0;
    while ((at = text.find("begin", at)) != std::string_view::npos) {
        const bool startOk = at == 0 || isBlank(text[at - 1]);
        const std::size_t after = at + 5;
        const bool endOk = after >= text.size() || isBlank(text[after]);
        if (startOk && endOk) break;
        ++at;
    }
    if (at == std::string_view::npos) return {std::string(text), 1};
    int line = 1;
    for (std::size_t i = 0; i < at; ++i)
        if (text[i] == '\n') ++line;
    const std::size_t nl = text.find('\n', at);
    if (nl == std::string_view::npos) return {std::string(), line};
    return {std::string(text.substr(nl)), line};
}

int64_t parseLong(std::string_view text) {
    std::string copy(text);
    errno = 0;
    const long long v = std::strtoll(copy.c_str(), nullptr, 10);
    return static_cast<int64_t>(v);
}

int32_t parseInt(std::string_view text) {
    const int64_t v = parseLong(text);
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

double parseDouble(std::string_view text) {
    std::string copy(text);
    return std::strtod(copy.c_str(), nullptr);
}

double parseFieldNumber(std::string_view text) {
    const double v = parseDouble(text);
    // The decimal conversion reads "nan" as a number; it is text, so 0.
    return std::isnan(v) ? 0.0 : v;
}

std::vector<std::string_view> pointToLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            lines.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    lines.push_back(text.substr(start));
    return lines;
}

KeywordText::KeywordText(std::string text, int firstLine)
    : text_(dropCarriageReturns(text)), firstLine_(firstLine) {
    std::string_view all(text_);
    for (std::string_view raw : pointToLines(all)) {
        Line line{raw, {}, {}};
        bool ended = false;
        std::size_t start = 0;
        for (std::size_t i = 0; i <= raw.size(); ++i) {
            if (i < raw.size() && raw[i] != '\t') continue;
            if (i > start) {
                std::string_view field = raw.substr(start, i - start);
                // Everything from the token "end" on is outside the file's body.
                if (field == "end") {
                    ended = true;
                    break;
                }
                line.fields.push_back(field);
                line.ends.push_back(i);
            }
            start = i + 1;
        }
        lines_.push_back(std::move(line));
        if (ended) break;
    }
}

std::vector<KeywordHit> KeywordText::find(std::string_view keyword) const {
    std::vector<KeywordHit> hits;
    for (std::size_t l = 0; l < lines_.size(); ++l)
        for (std::size_t f = 0; f < lines_[l].fields.size(); ++f)
            if (lines_[l].fields[f] == keyword) hits.push_back({l, f});
    return hits;
}

bool KeywordText::first(std::string_view keyword, KeywordHit& hit) const {
    for (std::size_t l = 0; l < lines_.size(); ++l)
        for (std::size_t f = 0; f < lines_[l].fields.size(); ++f)
            if (lines_[l].fields[f] == keyword) {
                hit = {l, f};
                return true;
            }
    return false;
}

bool KeywordText::last(std::string_view keyword, KeywordHit& hit) const {
    const auto hits = find(keyword);
    if (hits.empty()) return false;
    hit = hits.back();
    return true;
}

std::size_t KeywordText::valueCount(const KeywordHit& hit) const {
    return lines_[hit.line].fields.size() - hit.field - 1;
}

std::string_view KeywordText::value(const KeywordHit& hit, std::size_t k) const {
    const auto& fields = lines_[hit.line].fields;
    const std::size_t at = hit.field + 1 + k;
    return at < fields.size() ? fields[at] : std::string_view();
}

std::string_view KeywordText::restOfLine(const KeywordHit& hit) const {
    const Line& line = lines_[hit.line];
    std::size_t at = line.ends[hit.field];
    while (at < line.raw.size() && line.raw[at] == '\t')
        ++at;
    // The line's kept fields end before a token "end", if the line holds one.
    const std::size_t stop = line.ends.back();
    if (at >= stop) return {};
    return line.raw.substr(at, stop - at);
}

void readEffectRows(const KeywordText& text, std::string_view code, std::span<double> table,
                    int width, int fieldCount, int& anyMaster, int& codeMaster,
                    const std::string& fileName, Diagnostics* diagnostics,
                    std::span<int32_t> rowLines) {
    const std::size_t rows =
        static_cast<std::size_t>(kStripEntries) * static_cast<std::size_t>(width);
    for (std::size_t i = 0; i < rows && i < table.size(); ++i)
        table[i] = 0.0;
    for (int32_t& l : rowLines)
        l = 0;
    if (width < 1 || table.size() < rows) return;
    const auto codeName = static_cast<int>(code.size());
    const MaybeDiagnostics d{diagnostics};
    std::vector<int32_t> lineOf(kStripEntries, 0);
    // Lines that land on entry 0 without "M": whether the master takes them is
    // known once every line of the code has been read.
    struct Unmarked {
        int32_t line;
        std::string written;
        ChannelField channel;
    };
    std::vector<Unmarked> unmarked;
    // Lines for entry 0 that a later one replaced: earlier line, later line.
    std::vector<std::array<int32_t, 2>> replacedAtZero;
    for (const KeywordHit& hit : text.find(code)) {
        // Only a line that starts with the code is an effect line: an order
        // line such as "order hp 1 3" names the code in its second field.
        if (hit.field != 0) continue;
        const int line = text.fileLine(hit);
        const std::size_t given = text.valueCount(hit);
        const ChannelField channel = readChannelField(text.fields(hit.line), hit.field + 1);
        const std::string written =
            channelFieldText(text.fields(hit.line), hit.field + 1, channel.used);
        std::size_t k = channel.used;
        std::size_t entry = 0;
        if (channel.kind == ChannelKind::Missing) {
            warn("%s line %d: this %.*s line names no channel; line ignored.\n", fileName.c_str(),
                 line, codeName, code.data());
            d.warning(fileName, line, "'%.*s' line names no channel (line ignored)", codeName,
                      code.data());
            continue;
        }
        if (channel.group == GroupMark::Joined) {
            entry = 0; // "G" joined to its number reads as text, so as 0
            unmarked.push_back({line, written, channel});
        } else if (channel.kind == ChannelKind::Master) {
            anyMaster = 1;
            codeMaster = 1;
        } else if (channel.kind == ChannelKind::Negative) {
            // "G -1" would land on channel 126: a minus sign never names a strip.
            warn("%s line %d: the channel of this %.*s line is negative; line ignored.\n",
                 fileName.c_str(), line, codeName, code.data());
            d.warning(fileName, line, "channel '%s' is negative (line ignored)", written.c_str());
            continue;
        } else {
            entry = static_cast<std::size_t>(channel.slot);
            if (channel.limited) {
                warnChannelOutOfRange();
                d.warning(fileName, line, "channel '%s' is beyond the last strip (%s used)",
                          written.c_str(), stripNameOf(channel.slot).c_str());
            } else if (entry == 0) {
                unmarked.push_back({line, written, channel});
            } else if (channel.group != GroupMark::None && entry <= kMaxChannels) {
                d.warning(fileName, line, "channel '%s' names no submix 1 to 8 (%s used)",
                          written.c_str(), stripNameOf(channel.slot).c_str());
            } else if (channel.group == GroupMark::None && entry > kMaxChannels) {
                d.warning(fileName, line,
                          "channel %s is past the last input channel, 127 (%s used)",
                          written.c_str(), stripNameOf(channel.slot).c_str());
            }
        }
        const std::size_t wanted = fieldCount > 1 ? static_cast<std::size_t>(fieldCount - 1) : 0;
        const std::size_t present = given - k;
        if (present < wanted) {
            warn("%s line %d: this %.*s line is missing %zu value%s; taken as 0.\n",
                 fileName.c_str(), line, codeName, code.data(), wanted - present,
                 wanted - present == 1 ? "" : "s");
            d.warning(fileName, line, "'%.*s' line is missing %zu value%s (taken as 0)", codeName,
                      code.data(), wanted - present, wanted - present == 1 ? "" : "s");
        }
        double* row = table.data() + entry * static_cast<std::size_t>(width);
        // The last line for an entry sets all its values.
        if (lineOf[entry] != 0 && entry == 0)
            replacedAtZero.push_back({lineOf[entry], line});
        else if (lineOf[entry] != 0)
            d.warning(fileName, lineOf[entry],
                      "'%.*s' of %s is given again on line %d (line ignored)", codeName,
                      code.data(), stripNameOf(static_cast<int32_t>(entry)).c_str(), line);
        lineOf[entry] = line;
        row[0] = 1.0;
        // Every value comes from this line; a field the line lacks reads as "",
        // which is 0. The last value is the number that starts the rest of the
        // line, which is the next field.
        for (int col = 1; col < fieldCount && col < width; ++col)
            row[col] = parseFieldNumber(text.value(hit, k++));
    }
    // Entry 0 is the master only for a code that some line addressed "M".
    for (const auto& [earlier, later] : replacedAtZero)
        d.warning(fileName, earlier, "'%.*s' of %s is given again on line %d (line ignored)",
                  codeName, code.data(), codeMaster != 0 ? "the master" : "channel 0", later);
    for (const Unmarked& u : unmarked) {
        // A line a later one for entry 0 replaced has been named already.
        if (lineOf[0] != u.line) continue;
        const bool joinedSubmix =
            u.channel.group == GroupMark::Joined && u.channel.kind == ChannelKind::Submix;
        const char* effect = codeMaster != 0 ? "taken as the master's" : "line has no effect";
        if (joinedSubmix)
            d.warning(fileName, u.line,
                      "channel '%s' reads as 0, not as submix %lld: 'G' and its number go in "
                      "fields of their own (%s)",
                      u.written.c_str(), static_cast<long long>(u.channel.number), effect);
        else if (u.channel.kind == ChannelKind::Channel)
            d.warning(fileName, u.line, "channel 0 is not the master, which is 'M' (%s)", effect);
        else
            d.warning(fileName, u.line, "channel '%s' is neither a number nor 'M' (%s)",
                      u.written.c_str(), effect);
    }
    for (std::size_t e = 0; e < rowLines.size() && e < lineOf.size(); ++e)
        rowLines[e] = lineOf[e];
}

} // namespace tarvex
