// The fader file's lines against the table of codes.
#include "driver/fader_line_check.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "driver/channel_field.h"
#include "driver/fader_codes.h"
#include "driver/text_fields.h"

namespace tarvex {

namespace {

// Longest piece of a line quoted in a message.
constexpr std::size_t kMaxQuoted = 60;

// One line cut into fields as the readers cut it, and as it was written.
struct LineFields {
    std::vector<std::string> joined;       // the fields with their spaces removed
    std::vector<std::string_view> fields;  // views of `joined`, as the readers see them
    std::vector<std::string_view> written; // the same fields as written, ends trimmed
    bool ended = false;                    // the line holds the token "end"
};

std::string_view trimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// A field emptied by removing its spaces disappears, as a run of tabs does;
// the fields end before a token "end".
LineFields cutLine(std::string_view line) {
    LineFields out;
    std::size_t start = 0;
    while (start <= line.size()) {
        std::size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) tab = line.size();
        const std::string_view piece = line.substr(start, tab - start);
        std::string joined(piece);
        std::erase(joined, ' ');
        if (joined == "end") {
            out.ended = true;
            break;
        }
        if (!joined.empty()) {
            out.joined.push_back(std::move(joined));
            out.written.push_back(trimSpaces(piece));
        }
        start = tab + 1;
    }
    for (const std::string& f : out.joined)
        out.fields.emplace_back(f);
    return out;
}

std::string quoted(std::string_view text) {
    if (text.size() <= kMaxQuoted) return std::string(text);
    return std::string(text.substr(0, kMaxQuoted)) + "...";
}

// Two words of letters or digits apart: what was meant as two fields ("-6 3"),
// unlike a sign apart from its number ("- 6").
bool holdsInnerSpace(std::string_view field) {
    int words = 0;
    bool inWord = false;
    bool counted = false;
    for (const char c : field) {
        if (c == ' ') {
            inWord = false;
            continue;
        }
        if (!inWord) counted = false;
        inWord = true;
        if (!counted && std::isalnum(static_cast<unsigned char>(c)) != 0) {
            counted = true;
            ++words;
        }
    }
    return words >= 2;
}

// The whole field is a number as the decimal conversion reads one.
bool isDecimal(std::string_view field) {
    const std::string text(field);
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return end != text.c_str() && end == text.c_str() + text.size();
}

bool isWhole(std::string_view field) {
    const std::string text(field);
    char* end = nullptr;
    std::strtoll(text.c_str(), &end, 10);
    return end != text.c_str() && end == text.c_str() + text.size();
}

// What the run reads from a field of that kind.
std::string readAs(std::string_view field, FieldKind kind) {
    char text[48];
    if (kind == FieldKind::Whole)
        std::snprintf(text, sizeof text, "%d", static_cast<int>(parseInt(field)));
    else if (kind == FieldKind::Long)
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(parseLong(field)));
    else
        std::snprintf(text, sizeof text, "%g", parseDouble(field));
    return text;
}

// What the line check needs of the preferences.
struct CheckContext {
    bool tempoMode;     // `t` lines give bar, beat and tick
    int32_t timeFields; // fields of a `t` line, 1 to 3
};

// The preferences as the later stages will settle them: tempo mode from the
// first `tempo`, the time field count from the last `tfields` with a value
// (3 when it is not 1 to 3).
CheckContext contextOf(const PreferenceLines& prefs) {
    CheckContext c{false, 3};
    PrefsHit hit;
    c.tempoMode = prefs.first("tempo", hit);
    for (const PrefsHit& h : prefs.find("tfields")) {
        if (prefs.valueCount(h) == 0) continue;
        const int32_t v = parseInt(prefs.value(h, 0));
        c.timeFields = (v >= 1 && v <= 3) ? v : 3;
    }
    return c;
}

// The fields a code's reader takes, the time fields settled.
struct FieldPlan {
    std::array<FieldSpec, 4> fields{};
    std::size_t count = 0;
    std::size_t required = 0;
};

FieldPlan planOf(const FaderCode& code, const CheckContext& c) {
    FieldPlan plan;
    if (code.count != FieldCount::TimeFields) {
        plan.fields = code.fields;
        plan.count = code.listed;
        plan.required = code.required;
        return plan;
    }
    static constexpr std::array<std::array<const char*, 3>, 3> kClock = {
        {{"seconds"}, {"minutes", "seconds"}, {"minutes", "seconds", "milliseconds"}}};
    static constexpr std::array<const char*, 3> kMusical = {"bar", "beat", "tick"};
    plan.count = static_cast<std::size_t>(c.timeFields);
    plan.required = plan.count;
    for (std::size_t k = 0; k < plan.count; ++k)
        plan.fields[k] = {FieldKind::Decimal,
                          c.tempoMode ? kMusical[k] : kClock[plan.count - 1][k]};
    return plan;
}

// How the fields of one line fall on its code's plan.
struct FieldWalk {
    bool channelUnclear = false; // a lone "G", or a slot that is no number: the channel's
                                 // own matter, named where it is read, not a count
    std::size_t missingFrom = 0; // first planned field the line lacks (count when none)
    std::vector<std::size_t> at; // line field index of each planned field present
    std::size_t extraFrom = 0;   // first line field no reader takes
};

// `fields[0]` is the code.
FieldWalk walkFields(const FieldPlan& plan, std::span<const std::string_view> fields) {
    FieldWalk walk;
    std::size_t k = 1;
    std::size_t j = 0;
    for (; j < plan.count && k < fields.size(); ++j) {
        walk.at.push_back(k);
        if (plan.fields[j].kind == FieldKind::Slot && !isWhole(fields[k])) {
            walk.channelUnclear = true;
            return walk;
        }
        if (plan.fields[j].kind != FieldKind::Channel) {
            ++k;
            continue;
        }
        const ChannelField channel = readChannelField(fields, k);
        if (channel.kind == ChannelKind::Missing) {
            walk.channelUnclear = true;
            return walk;
        }
        k += channel.used;
    }
    walk.missingFrom = j;
    walk.extraFrom = k;
    return walk;
}

// The line field that a reader taking every field of its code, or the
// timeline pass, reads the line from when its first field is no code.
std::optional<std::size_t> readFromLater(const LineFields& line, const CheckContext& c) {
    for (std::size_t k = 1; k < line.fields.size(); ++k) {
        const FaderCode* code = faderCodeNamed(line.fields[k]);
        if (code == nullptr || code->reach == CodeReach::LineStart) continue;
        if (code->tempoOnly && !c.tempoMode) continue;
        const FieldPlan plan = planOf(*code, c);
        const FieldWalk walk =
            walkFields(plan, std::span<const std::string_view>(line.fields).subspan(k));
        if (code->missingStops || (!walk.channelUnclear && walk.missingFrom >= plan.required))
            return k;
    }
    return std::nullopt;
}

// "level", "minutes and seconds": the planned fields from `from` on.
std::string namesFrom(const FieldPlan& plan, std::size_t from, std::size_t to) {
    std::string names;
    for (std::size_t j = from; j < to; ++j) {
        if (!names.empty()) names += j + 1 == to ? " and " : ", ";
        names += plan.fields[j].name;
    }
    return names;
}

class LineCheck {
  public:
    LineCheck(MixSession& s, const CheckContext& context)
        : d_(s.diagnostics), file_(s.settings.tracks.fadersPath), c_(context) {}

    void check(const LineFields& line, int32_t fileLine) {
        line_ = fileLine;
        const std::string_view first = line.fields[0];
        // A line switched off with '(' is meant to be passed by every reader.
        if (first[0] == '(') {
            if (const auto k = readFromLater(line, c_))
                d_.warning(file_, line_,
                           "'(' does not switch off this line: it is read from its field '%s'",
                           quoted(line.fields[*k]).c_str());
            return;
        }
        const FaderCode* code = faderCodeOfLine(line.fields);
        if (code == nullptr) {
            unknownCode(line);
            return;
        }
        if (code->count == FieldCount::EffectLine) {
            spacedEffectField(line);
            return;
        }
        // Outside tempo mode no reader takes a tempo map line.
        if (code->tempoOnly && !c_.tempoMode) return;
        fields(*code, line);
    }

  private:
    void unknownCode(const LineFields& line) {
        if (const auto k = readFromLater(line, c_)) {
            d_.warning(file_, line_,
                       "unknown code '%s' (skipped; the line is read from its field '%s')",
                       quoted(line.written[0]).c_str(), quoted(line.fields[*k]).c_str());
            return;
        }
        // "v 1 -6" reads as the one field "v1-6", which no reader takes.
        const std::string_view written = line.written[0];
        const std::string_view word = written.substr(0, written.find(' '));
        if (holdsInnerSpace(written) && faderCodeOfLine(std::span(&word, 1)) != nullptr) {
            d_.warning(file_, line_, "fields separated by spaces, not tabs: '%s' (line ignored)",
                       quoted(written).c_str());
            return;
        }
        // Headings and column titles, as the template writer puts above its
        // lines, hold no number: they are notes, not misspelt codes.
        if (std::none_of(line.fields.begin(), line.fields.end(), isDecimal)) return;
        d_.warning(file_, line_, "unknown code '%s' (line ignored)", quoted(written).c_str());
    }

    // The effect reader counts the fields; a field written as two is read as one.
    void spacedEffectField(const LineFields& line) {
        for (std::size_t k = 1; k < line.fields.size(); ++k)
            if (holdsInnerSpace(line.written[k])) {
                const std::string readAs = "read as '" + quoted(line.fields[k]) + "'";
                d_.warning(file_, line_, "fields separated by spaces, not tabs: '%s' (%s)",
                           quoted(line.written[k]).c_str(), readAs.c_str());
                return;
            }
    }

    void fields(const FaderCode& code, const LineFields& line) {
        const FieldPlan plan = planOf(code, c_);
        const FieldWalk walk = walkFields(plan, line.fields);
        if (walk.channelUnclear) return;
        const std::string name(line.fields[0]);
        const bool dropped = walk.missingFrom < plan.required;
        // A `t` or `tmap` line short of its fields ends the run where it is read.
        if (dropped && code.missingStops) return;

        for (std::size_t j = 0; j < walk.at.size(); ++j) {
            const std::size_t k = walk.at[j];
            if (plan.fields[j].kind == FieldKind::Text || !holdsInnerSpace(line.written[k]))
                continue;
            const std::string outcome =
                dropped ? "line ignored" : "read as '" + quoted(line.fields[k]) + "'";
            d_.warning(file_, line_, "fields separated by spaces, not tabs: '%s' (%s)",
                       quoted(line.written[k]).c_str(), outcome.c_str());
            return;
        }
        if (walk.missingFrom < plan.count) {
            d_.warning(file_, line_, "this %s line lacks its %s (%s)", name.c_str(),
                       namesFrom(plan, walk.missingFrom, plan.count).c_str(),
                       dropped ? "line ignored" : code.withoutOptional);
            return;
        }
        for (std::size_t j = 0; j < walk.at.size(); ++j) {
            const FieldKind kind = plan.fields[j].kind;
            const std::string_view field = line.fields[walk.at[j]];
            if (kind != FieldKind::Decimal && kind != FieldKind::Whole && kind != FieldKind::Long)
                continue;
            const bool number = kind == FieldKind::Decimal ? isDecimal(field) : isWhole(field);
            if (number) continue;
            const bool decimal = kind != FieldKind::Decimal && isDecimal(field);
            const std::string value = readAs(field, kind);
            if (decimal)
                d_.warning(file_, line_,
                           "the %s field of this %s line is not a whole number: '%s' (read as %s)",
                           plan.fields[j].name, name.c_str(), quoted(field).c_str(), value.c_str());
            else
                d_.warning(file_, line_,
                           "the %s field of this %s line is not a number: '%s' (read as %s)",
                           plan.fields[j].name, name.c_str(), quoted(field).c_str(), value.c_str());
            return;
        }
        const std::size_t extra = line.fields.size() - walk.extraFrom;
        if (extra == 1)
            d_.warning(file_, line_, "extra field '%s' after the %s of this %s line (ignored)",
                       quoted(line.written[walk.extraFrom]).c_str(),
                       plan.fields[plan.count - 1].name, name.c_str());
        else if (extra > 1)
            d_.warning(file_, line_,
                       "%zu extra fields from '%s' after the %s of this %s line "
                       "(ignored)",
                       extra, quoted(line.written[walk.extraFrom]).c_str(),
                       plan.fields[plan.count - 1].name, name.c_str());
    }

    Diagnostics& d_;
    const std::string& file_;
    CheckContext c_;
    int32_t line_ = 0;
};

} // namespace

void checkFaderLines(MixSession& s, const FaderLines& fader, const PreferenceLines& prefs) {
    LineCheck check(s, contextOf(prefs));
    bool named = false;
    for (std::size_t i = 0; i < fader.writtenCount(); ++i) {
        const std::string_view written = fader.written(i);
        const LineFields line = cutLine(written);
        // The first line that holds more than spaces names the mix.
        if (!named && written.find_first_not_of(' ') != std::string_view::npos) {
            named = true;
        } else if (!line.fields.empty()) {
            check.check(line, fader.fileLineOf(i));
        }
        if (line.ended) break;
    }
}

} // namespace tarvex
