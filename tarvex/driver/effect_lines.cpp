// Effect-line reader. Each per-strip code is read through `readEffectRows`
// into a scratch table (136 rows of up to 8 values), then every addressed
// row is limited and converted into `EffectSettings`. The reverb lines and
// the order lines have their own scans. Only the first field of a line can
// name a code, so an order line never reads as the effect line it orders.
#include "driver/effect_lines.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <string_view>
#include <vector>

#include "core/console.h"
#include "core/diagnostics.h"
#include "core/saturate.h"
#include "core/scales.h"
#include "driver/channel_field.h"
#include "driver/effect_limits.h"
#include "effects/discrete_reverb.h"
#include "effects/filter_design.h"
#include "effects/strip_effects.h"

namespace tarvex {

namespace {

// Highest reverb input corner as a fraction of the sample rate.
constexpr double kHighestCornerOfRate = 0.45;

constexpr int kScratchWidth = 8;
// Channel full scale: thresholds are worked out at this scale first.
// From the channel scale (2^23) to the bus scale (2^31) of the master and
// submixes; a threshold there is t x 256 - 1 so that 0 dB is 2147483647.
constexpr int64_t kBusScaleFactor = 256;
constexpr double kMaxSendDb = 12.02;
// Corner limits of the reverb input filters, Hz.
constexpr double kRevHighPassMin = 20.0;
constexpr double kRevHighPassMax = 12000.0;
constexpr double kRevLowPassMin = 500.0;
constexpr double kRevLowPassMax = 16000.0;

// The fader-file code of an effect.
std::string_view codeName(int code) {
    return kEffectKinds[static_cast<std::size_t>(code)].name;
}

// Warnings about lines, dropped when the caller keeps no diagnostics.
struct LineNotes {
    Diagnostics* sink;
    const std::string& file;
    template <typename... Args> void warning(int32_t line, const char* fmt, Args... args) const {
        if (line > 0) MaybeDiagnostics{sink}.warning(file, line, fmt, args...);
    }
    // A value the limits changed: "ratio 80 is above 50 (50 used)". `unit`
    // starts with its space, or is "".
    void limited(int32_t line, const char* what, double written, double used,
                 const char* unit) const {
        if (written == used) return;
        warning(line, "%s %g%s is %s %g%s (%g%s used)", what, written, unit,
                written > used ? "above" : "below", used, unit, used, unit);
    }
};

bool atBusScale(int entry) {
    return entry == kMasterSlot || entry >= groupSlot(1);
}

int32_t thresholdOf(double value, bool percentMode, int entry) {
    limitThreshold(value, percentMode);
    const double scaled = percentMode ? value / 100.0 * kChannelFullScale
                                      : std::pow(10.0, value / 20.0) * kChannelFullScale;
    const int32_t t = truncToInt32(scaled);
    if (!atBusScale(entry)) return t;
    return clampToInt32(static_cast<int64_t>(t) * kBusScaleFactor - 1);
}

// A send or return level as a linear gain 0..1.
float levelGain(double value, bool percentMode) {
    float gain = 0.0f;
    if (percentMode) {
        gain = static_cast<float>(value / 100.0);
    } else {
        limitSendLevel(value);
        gain = static_cast<float>(std::pow(10.0, value / 20.0));
    }
    if (gain > 1.0f) gain = 1.0f;
    if (gain < 0.0f) gain = 0.0f;
    return gain;
}

// A time in milliseconds as a number of samples.
int64_t samplesOf(double millis, double rate) {
    return truncToSamples(rate / 1000.0 * millis);
}

class Reader {
  public:
    Reader(const KeywordText& text, const std::string& file, double rate, bool percent,
           EffectSettings& fx, Diagnostics* diagnostics)
        : text_(text), file_(file), rate_(rate), percent_(percent), fx_(fx),
          table_(static_cast<std::size_t>(kStripEntries) * kScratchWidth), notes_{diagnostics,
                                                                                  file} {}

    void dynamics();
    void nlcAndLimiter();
    void filters(int32_t verbosity);
    void sends();
    void returns();
    void tap(int32_t tapSignal);
    void room();
    void orderLines();
    void derivedFlags();
    void unheardSends();

  private:
    // Reads every line of one code into the scratch table; `values` is the
    // number of values after the channel field.
    void readCode(EffectCode code, int values) {
        readEffectRows(text_, codeName(code), table_, kScratchWidth, values + 1, fx_.masterFxOn,
                       fx_.masterEffectFlag[code], file_, notes_.sink, lines_);
        code_ = code;
    }
    // The file line that set an entry of the code read last; 0 for entry 0
    // when no line of the code addressed "M", which has no effect at all.
    int32_t lineOf(int entry) const {
        if (entry == kMasterSlot && fx_.masterEffectFlag[code_] == 0) return 0;
        return lines_[static_cast<std::size_t>(entry)];
    }
    // lineOf(entry) when that line gave value `column` (1 the first after the
    // channel field), else 0: a missing value is named once, as missing.
    int32_t valueLine(int entry, int column) const {
        const int32_t line = lineOf(entry);
        for (std::size_t l = 0; line != 0 && l < text_.lineCount(); ++l) {
            if (text_.fileLineOf(l) != line) continue;
            const auto& fields = text_.fields(l);
            const std::size_t used = readChannelField(fields, 1).used;
            return fields.size() > used + static_cast<std::size_t>(column) ? line : 0;
        }
        return 0;
    }
    // The threshold of a line, its limit named.
    int32_t threshold(int entry) const {
        double used = row(entry)[1];
        limitThreshold(used, percent_);
        notes_.limited(valueLine(entry, 1), "threshold", row(entry)[1], used,
                       percent_ ? " percent" : " dB");
        return thresholdOf(row(entry)[1], percent_, entry);
    }
    double ratio(int entry, int column) const {
        const double used = clampRatio(row(entry)[column]);
        notes_.limited(valueLine(entry, column), "ratio", row(entry)[column], used, "");
        return used;
    }
    double frequency(int entry) const {
        const double used = clampFilterFrequency(row(entry)[1], rate_);
        notes_.limited(valueLine(entry, 1), "frequency", row(entry)[1], used, " Hz");
        return used;
    }
    // A send or return level, its limit named: above 0 dB the gain is held at 1.
    float level(int32_t line, const char* what, double written) const {
        double used = written;
        if (percent_) {
            used = std::clamp(written, 0.0, 100.0);
        } else {
            limitSendLevel(used);
            used = std::min(used, 0.0);
        }
        notes_.limited(line, what, written, used, percent_ ? " percent" : " dB");
        return levelGain(written, percent_);
    }
    // Every line of `keyword` but the last one is not used.
    void reportRepeats(const std::vector<KeywordHit>& hits, std::string_view keyword) const;
    // The strips' effect `code` runs at entry in the chain.
    bool chained(int code, int entry) const;
    // Whether the reverb a room line shapes runs; when it does not, says so.
    bool reverbRuns(int32_t line, std::string_view keyword) const;
    bool addressed(int entry) const { return row(entry)[0] == 1.0; }
    const double* row(int entry) const {
        return table_.data() + static_cast<std::size_t>(entry) * kScratchWidth;
    }
    void linearCompressor(EffectCode code, PerEntry<CompressorSettings>& settings);
    using BiquadDesign = BiquadCoefs (*)(double, double, double, double);
    // A bell or shelf line (frequency, gain, Q), limited, and its coefficients.
    BiquadSettings biquadOf(int entry, BiquadDesign design) const;
    void shelf(EffectCode code, PerEntry<BiquadSettings>& settings, BiquadDesign design);
    void send(EffectCode code, PerEntry<int32_t>& on, PerEntry<float>& level);
    // The lines that start with `keyword`, in file order.
    std::vector<KeywordHit> linesOf(std::string_view keyword) const;
    // The first `count` values of a line after its keyword; a missing one is
    // 0 and is reported.
    std::array<double, 3> values(const KeywordHit& hit, std::string_view keyword,
                                 std::size_t count) const;
    void inputFilter(std::string_view keyword, ReverbInputFilter& filter, double low, double high,
                     const char* name, BiquadCoefs (*design)(double, double));

    const KeywordText& text_;
    const std::string& file_;
    double rate_;
    bool percent_;
    EffectSettings& fx_;
    std::vector<double> table_;
    LineNotes notes_;
    EffectCode code_ = kFxHp;
    std::array<int32_t, kStripEntries> lines_{};
    std::array<int32_t, kStripEntries> revLines_{};
    std::array<int32_t, kStripEntries> trevLines_{};
};

void Reader::linearCompressor(EffectCode code, PerEntry<CompressorSettings>& settings) {
    readCode(code, 4);
    for (int e = 0; e < kStripEntries; ++e) {
        if (!addressed(e)) continue;
        const double* r = row(e);
        CompressorSettings& c = settings[static_cast<std::size_t>(e)];
        c.on = 1;
        c.threshold = threshold(e);
        const int64_t attackSamples = samplesOf(r[2], rate_);
        const int64_t attackUsed = clampAttack(attackSamples, rate_);
        if (attackUsed != attackSamples)
            notes_.limited(valueLine(e, 2), "attack", r[2],
                           static_cast<double>(attackUsed) * 1000.0 / rate_, " ms");
        c.attack = clampToInt32(attackUsed);
        const int64_t releaseSamples = samplesOf(r[3], rate_);
        const int64_t releaseUsed = clampRelease(releaseSamples, rate_);
        if (releaseUsed != releaseSamples)
            notes_.limited(valueLine(e, 3), "release", r[3],
                           static_cast<double>(releaseUsed) * 1000.0 / rate_, " ms");
        c.release = clampToInt32(releaseUsed);
        c.ratio = ratio(e, 4);
    }
}

void Reader::dynamics() {
    linearCompressor(kFxComp, fx_.comp);
    linearCompressor(kFxRms, fx_.rms);
}

void Reader::nlcAndLimiter() {
    readCode(kFxNlc, 3);
    for (int e = 0; e < kStripEntries; ++e) {
        if (!addressed(e)) continue;
        NonlinearSettings& c = fx_.nlc[static_cast<std::size_t>(e)];
        c.on = 1;
        c.threshold = threshold(e);
        c.window = truncToSamples(row(e)[2]);
        c.ratio = ratio(e, 3);
    }
    readCode(kFxLim, 1);
    for (int e = 0; e < kStripEntries; ++e) {
        if (!addressed(e)) continue;
        LimiterSettings& c = fx_.lim[static_cast<std::size_t>(e)];
        c.on = 1;
        c.threshold = threshold(e);
    }
}

BiquadSettings Reader::biquadOf(int e, BiquadDesign design) const {
    BiquadSettings b;
    b.on = 1;
    b.frequency = frequency(e);
    b.gainDb = clampEqGain(row(e)[2]);
    notes_.limited(valueLine(e, 2), "gain", row(e)[2], b.gainDb, " dB");
    b.q = clampEqQ(row(e)[3]);
    notes_.limited(valueLine(e, 3), "Q", row(e)[3], b.q, "");
    b.coef = design(b.gainDb, b.frequency, rate_, b.q);
    return b;
}

void Reader::shelf(EffectCode code, PerEntry<BiquadSettings>& settings, BiquadDesign design) {
    readCode(code, 3);
    for (int e = 0; e < kStripEntries; ++e)
        if (addressed(e)) settings[static_cast<std::size_t>(e)] = biquadOf(e, design);
}

void Reader::filters(int32_t verbosity) {
    if (verbosity == 3) warn("\tReading high pass filter settings...\n");
    readCode(kFxHp, 1);
    for (int e = 0; e < kStripEntries; ++e) {
        if (!addressed(e)) continue;
        HighPassSettings& hp = fx_.hp[static_cast<std::size_t>(e)];
        hp.on = 1;
        hp.frequency = frequency(e);
        hp.coef = designHighPass(hp.frequency, rate_);
    }
    // No band has been read yet and the biquads' first-call flags live in the
    // strip memory, which starts cleared, so a high-pass line resets nothing.

    if (verbosity == 3) warn("\tReading band 1-4 EQ settings...\n");
    for (int band = 1; band <= 4; ++band) {
        const auto code = static_cast<EffectCode>(kFxBand1 + band - 1);
        readCode(code, 3);
        for (int e = 0; e < kStripEntries; ++e) {
            if (!addressed(e)) continue;
            fx_.band[static_cast<std::size_t>(e)][static_cast<std::size_t>(band - 1)] =
                biquadOf(e, designBell);
        }
    }

    if (verbosity == 3) warn("\tReading high and low shelf EQ settings...\n");
    shelf(kFxHshelf, fx_.hshelf, designHighShelf);
    shelf(kFxLshelf, fx_.lshelf, designLowShelf);
}

void Reader::send(EffectCode code, PerEntry<int32_t>& on, PerEntry<float>& level) {
    readCode(code, 1);
    // A send without its return line has no level to limit: that is said
    // once the returns have been read.
    const bool returned = !linesOf(code == kFxRev ? "rtn" : "trtn").empty();
    for (int e = 0; e < kStripEntries; ++e) {
        if (!addressed(e)) continue;
        on[e] = 1;
        level[e] = this->level(returned ? valueLine(e, 1) : 0, "send level", row(e)[1]);
    }
    if (code == kFxRev) revLines_ = lines_;
    if (code == kFxTrev) trevLines_ = lines_;
}

void Reader::sends() {
    send(kFxRev, fx_.revSendOn, fx_.revSend);
    send(kFxTrev, fx_.trevSendOn, fx_.trevSend);
}

std::vector<KeywordHit> Reader::linesOf(std::string_view keyword) const {
    std::vector<KeywordHit> hits = text_.find(keyword);
    std::erase_if(hits, [](const KeywordHit& h) { return h.field != 0; });
    return hits;
}

std::array<double, 3> Reader::values(const KeywordHit& hit, std::string_view keyword,
                                     std::size_t count) const {
    std::array<double, 3> v{};
    for (std::size_t k = 0; k < count && k < v.size(); ++k)
        v[k] = parseFieldNumber(text_.value(hit, k));
    const std::size_t given = text_.valueCount(hit);
    if (given < count) {
        warn("%s line %d: this %.*s line is missing %zu value%s; taken as 0.\n", file_.c_str(),
             text_.fileLine(hit), static_cast<int>(keyword.size()), keyword.data(), count - given,
             count - given == 1 ? "" : "s");
        notes_.warning(text_.fileLine(hit), "'%.*s' line is missing %zu value%s (taken as 0)",
                       static_cast<int>(keyword.size()), keyword.data(), count - given,
                       count - given == 1 ? "" : "s");
    }
    return v;
}

void Reader::reportRepeats(const std::vector<KeywordHit>& hits, std::string_view keyword) const {
    for (std::size_t k = 0; k + 1 < hits.size(); ++k)
        notes_.warning(text_.fileLine(hits[k]), "'%.*s' is given again on line %d (line ignored)",
                       static_cast<int>(keyword.size()), keyword.data(),
                       text_.fileLine(hits.back()));
}

void Reader::returns() {
    // The level is needed; a room without its size keeps the 75-foot default
    // and a tap reverb without its tap count runs one tap.
    auto optional = [&](const KeywordHit& hit, std::size_t k, double fallback) {
        return text_.valueCount(hit) > k ? parseFieldNumber(text_.value(hit, k)) : fallback;
    };
    // The last line of each return counts.
    const std::vector<KeywordHit> rtn = linesOf("rtn");
    for (const KeywordHit& hit : rtn) {
        const auto v = values(hit, "rtn", 1);
        fx_.rtnOn = 1;
        fx_.rtnLevel = hit.line == rtn.back().line
                           ? level(text_.fileLine(hit), "return level", v[0])
                           : levelGain(v[0], percent_);
        fx_.rtnSize = static_cast<float>(optional(hit, 1, kDefaultRoomFeet));
    }
    reportRepeats(rtn, "rtn");
    const std::vector<KeywordHit> trtn = linesOf("trtn");
    for (const KeywordHit& hit : trtn) {
        const auto v = values(hit, "trtn", 1);
        const bool last = hit.line == trtn.back().line;
        fx_.trtnOn = 1;
        fx_.trtnLevel =
            last ? level(text_.fileLine(hit), "return level", v[0]) : levelGain(v[0], percent_);
        fx_.trtnSize = static_cast<float>(optional(hit, 1, kDefaultRoomFeet));
        // The number of taps is a whole number; the reverb holds it to its range.
        fx_.trtnTaps = text_.valueCount(hit) > 2 ? clampToInt32(parseLong(text_.value(hit, 2))) : 1;
        if (last && text_.valueCount(hit) > 2)
            notes_.limited(text_.fileLine(hit), "tap count", fx_.trtnTaps,
                           std::clamp(fx_.trtnTaps, int32_t{1}, kMaxTaps), "");
    }
    reportRepeats(trtn, "trtn");
    fx_.recursiveActive = fx_.rtnOn != 0 || fx_.masterEffectFlag[kFxRev] != 0 ? 1 : 0;
    fx_.tapActive = fx_.trtnOn != 0 || fx_.masterEffectFlag[kFxTrev] != 0 ? 1 : 0;
    fx_.revInsert = fx_.masterEffectFlag[kFxRev];
    fx_.trevInsert = fx_.masterEffectFlag[kFxTrev];
}

// Sends that reach no reverb, and returns that no send reaches.
void Reader::unheardSends() {
    struct Reverb {
        const char* send;
        const char* ret;
        int32_t retOn;
        const PerEntry<int32_t>& sendOn;
        const std::array<int32_t, kStripEntries>& lines;
    };
    const Reverb reverbs[] = {{"rev", "rtn", fx_.rtnOn, fx_.revSendOn, revLines_},
                              {"trev", "trtn", fx_.trtnOn, fx_.trevSendOn, trevLines_}};
    for (const Reverb& r : reverbs) {
        const auto code = r.send[0] == 't' ? kFxTrev : kFxRev;
        bool anySend = fx_.masterEffectFlag[code] != 0;
        for (int e = 1; e < kStripEntries; ++e) {
            if (r.sendOn[e] == 0) continue;
            anySend = true;
            if (r.retOn == 0)
                notes_.warning(r.lines[static_cast<std::size_t>(e)],
                               "'%s' send has no '%s' line to return it (line has no effect)",
                               r.send, r.ret);
        }
        // A master insert without its return line has a return level of 0.
        if (fx_.masterEffectFlag[code] != 0 && r.retOn == 0)
            notes_.warning(r.lines[kMasterSlot],
                           "'%s M' has no '%s' line, so the reverb's return level is 0 and it "
                           "receives silence",
                           r.send, r.ret);
        if (r.retOn != 0 && !anySend) {
            const std::vector<KeywordHit> hits = linesOf(r.ret);
            notes_.warning(text_.fileLine(hits.back()),
                           "'%s' line has no '%s' send to return (the reverb receives silence)",
                           r.ret, r.send);
        }
    }
}

void Reader::tap(int32_t tapSignal) {
    // A tap file carries a signal of the recursive reverb, so without that
    // reverb the preference has nothing to write.
    if (fx_.recursiveActive != 0) fx_.tapMode = tapSignal;
}

void Reader::inputFilter(std::string_view keyword, ReverbInputFilter& filter, double low,
                         double high, const char* name, BiquadCoefs (*design)(double, double)) {
    const std::vector<KeywordHit> hits = linesOf(keyword);
    for (const KeywordHit& hit : hits) {
        const double written = values(hit, keyword, 1)[0];
        double corner = written;
        if (corner > high) {
            corner = high;
            warn("Resetting reverb %s to %.0f Hz\n", name, high);
        }
        if (corner < low) {
            corner = low;
            warn("Resetting reverb %s to %.0f Hz\n", name, low);
        }
        // At low sample rates the fixed upper limits lie at or past half the
        // rate, where the biquad would be unstable and blow the reverb up.
        const double stable = std::trunc(kHighestCornerOfRate * rate_);
        if (corner > stable) {
            corner = stable;
            warn("Resetting reverb %s to %.0f Hz\n", name, stable);
        }
        filter.on = 1;
        filter.corner = corner;
        filter.coef = design(corner, rate_);
        if (hit.line == hits.back().line && reverbRuns(text_.fileLine(hit), keyword) &&
            text_.valueCount(hit) > 0)
            notes_.limited(text_.fileLine(hit), (std::string("reverb ") + name).c_str(), written,
                           corner, " Hz");
    }
    reportRepeats(hits, keyword);
}

bool Reader::reverbRuns(int32_t line, std::string_view keyword) const {
    const bool recursive = fx_.recursiveActive != 0;
    const bool runs = keyword == "width" ? recursive : recursive || fx_.tapActive != 0;
    if (!runs)
        notes_.warning(line, "'%.*s' line has no effect: no %sreverb runs",
                       static_cast<int>(keyword.size()), keyword.data(),
                       keyword == "width" ? "recursive " : "");
    return runs;
}

void Reader::room() {
    static constexpr const char* kPositionNames[] = {
        "reverb position (length)", "reverb position (height)", "reverb position (width)"};
    const std::vector<KeywordHit> pos = linesOf("pos");
    for (const KeywordHit& hit : pos) {
        const auto v = values(hit, "pos", 3);
        const bool report = hit.line == pos.back().line && reverbRuns(text_.fileLine(hit), "pos");
        for (std::size_t k = 0; k < 3; ++k) {
            fx_.revPos[k] = clampReverbPosition(static_cast<float>(v[k]));
            if (report)
                notes_.limited(text_.fileLine(hit), kPositionNames[k], v[k],
                               std::clamp(v[k], 0.0, 100.0), " percent");
        }
    }
    reportRepeats(pos, "pos");
    const std::vector<KeywordHit> width = linesOf("width");
    for (const KeywordHit& hit : width) {
        fx_.revWidth = static_cast<float>(values(hit, "width", 1)[0]);
        // The recursive reverb holds the width to 0 .. 100.
        if (hit.line == width.back().line && reverbRuns(text_.fileLine(hit), "width"))
            notes_.limited(text_.fileLine(hit), "reverb width", fx_.revWidth,
                           std::clamp(static_cast<double>(fx_.revWidth), 0.0, 100.0), " percent");
    }
    reportRepeats(width, "width");
    inputFilter("rhp", fx_.revHighPass, kRevHighPassMin, kRevHighPassMax, "high pass",
                designReverbHighPass);
    inputFilter("rlp", fx_.revLowPass, kRevLowPassMin, kRevLowPassMax, "low pass",
                designReverbLowPass);
}

bool Reader::chained(int code, int entry) const {
    // The master takes only effects whose line addressed "M", and its limiter
    // runs after its reverb inserts, outside the positions.
    if (entry == kMasterSlot && (fx_.masterEffectFlag[code] == 0 || code == kFxLim)) return false;
    return code < kChainEffects && kEffectKinds[static_cast<std::size_t>(code)].isOn(fx_, entry);
}

void Reader::orderLines() {
    std::vector<std::string_view> tok;
    // The line that set each position last, and its position as written.
    struct Setting {
        int32_t line = 0;
        std::string_view position;
        bool channelNamed = false; // its channel field has had its diagnostic
    };
    std::vector<std::array<Setting, kStripEntries>> set(kChainEffects);
    for (std::size_t l = 0; l < text_.lineCount(); ++l) {
        const auto& fields = text_.fields(l);
        if (fields.empty() || fields[0][0] != 'o') continue;
        // The first field also ends at a colon: "order:hp" reads as "order" "hp".
        tok.clear();
        const std::size_t colon = fields[0].find(':');
        if (colon != std::string_view::npos && colon + 1 < fields[0].size())
            tok.push_back(fields[0].substr(colon + 1));
        tok.insert(tok.end(), fields.begin() + 1, fields.end());
        // Header lines such as "offset" or "outbits" name no effect and pass.
        int code = -1;
        for (int c = 0; c < kChainEffects; ++c)
            if (!tok.empty() && tok[0] == codeName(c)) code = c;
        if (code < 0) continue;

        const int line = text_.fileLineOf(l);
        const ChannelField channel = readChannelField(tok, 1);
        const std::string written = channelFieldText(tok, 1, channel.used);
        const bool named = channel.kind != ChannelKind::Missing;
        const std::size_t at = 1 + channel.used;
        if (!named || at >= tok.size()) {
            warn("%s line %d: this order line gives no %s; line ignored.\n", file_.c_str(), line,
                 named ? "position" : "channel");
            notes_.warning(line, "order line gives no %s (line ignored)",
                           named ? "position" : "channel");
            continue;
        }
        // Text reads as 0, the master, so any field starting with "M" names
        // it; after "G" an "M" is text too, so entry 127. A number beyond the
        // strips is refused rather than held at the last one.
        int32_t entry = channel.slot;
        if (channel.kind == ChannelKind::Master && channel.group != GroupMark::None)
            entry = groupSlot(0);
        if (channel.limited) entry = -1;
        if (entry < 0) {
            warn("%s line %d: this order line addresses no strip (0 to 135); line ignored.\n",
                 file_.c_str(), line);
            notes_.warning(line, "channel '%s' addresses no strip, 0 to 135 (line ignored)",
                           written.c_str());
            continue;
        }
        bool channelNamed = true;
        if (channel.kind == ChannelKind::NotANumber && channel.group == GroupMark::None)
            notes_.warning(line, "channel '%s' is not 'M' but reads as the master",
                           written.c_str());
        else if (channel.group != GroupMark::None && entry <= kMaxChannels)
            notes_.warning(line, "channel '%s' names no submix 1 to 8 (%s used)", written.c_str(),
                           stripNameOf(entry).c_str());
        else if (channel.group == GroupMark::None && entry > kMaxChannels)
            notes_.warning(line, "channel %s is past the last input channel, 127 (%s used)",
                           written.c_str(), stripNameOf(entry).c_str());
        else
            channelNamed = false;
        fx_.fxOrder[code][entry] = parseInt(tok[at]);
        Setting& last = set[static_cast<std::size_t>(code)][static_cast<std::size_t>(entry)];
        if (last.line != 0)
            notes_.warning(last.line,
                           "order of '%s' for %s is given again on line %d (line ignored)",
                           codeName(code).data(), stripNameOf(entry).c_str(), line);
        last = {line, tok[at], channelNamed};
    }
    // What the last order line of each effect and strip does.
    for (int code = 0; code < kChainEffects; ++code)
        for (int e = 0; e < kStripEntries; ++e) {
            const Setting& last = set[static_cast<std::size_t>(code)][static_cast<std::size_t>(e)];
            if (last.line == 0) continue;
            const std::string strip = stripNameOf(e);
            const int32_t position = fx_.fxOrder[code][e];
            // A strip the channel field landed on by mistake is named once.
            if (!chained(code, e) && !last.channelNamed)
                notes_.warning(last.line, "%s has no '%s' in its chain (line has no effect)",
                               strip.c_str(), codeName(code).data());
            else if (position < 1 || position > kChainPositions)
                notes_.warning(last.line,
                               "order position '%.*s' is not 1 to %d ('%s' of %s switched off)",
                               static_cast<int>(last.position.size()), last.position.data(),
                               kChainPositions, codeName(code).data(), strip.c_str());
        }
}

void Reader::derivedFlags() {
    for (int k = 1; k <= kSubmixCount; ++k) {
        const int e = groupSlot(k);
        bool on = false;
        for (int code = 0; code < kChainEffects; ++code)
            on = on || kEffectKinds[static_cast<std::size_t>(code)].isOn(fx_, e);
        fx_.submixFxOn[k] = on ? 1 : 0;
    }
}

} // namespace

void limitThreshold(double& value, bool percentMode) {
    if (percentMode) {
        if (value > 100.0) value = 100.0;
        if (value < 0.0) value = 0.0;
    } else {
        if (value > 0.0) value = 0.0;
        if (value < kFloorDb) value = kFloorDb;
    }
}

void limitSendLevel(double& value) {
    if (value > kMaxSendDb) value = kMaxSendDb;
    if (value < kFloorDb) value = kFloorDb;
}

void readEffectSettings(const KeywordText& faderText, const std::string& faderFileName, double rate,
                        bool percentMode, int32_t verbosity, int32_t tapSignal, EffectSettings& fx,
                        Diagnostics* diagnostics) {
    // The settings are large for a small board's stack; start from a heap copy.
    fx = *std::make_unique<EffectSettings>();
    if (!(rate > 0.0)) rate = kFallbackRate;
    if (verbosity > 1) warn("Reading effect settings...\n");
    Reader r(faderText, faderFileName, rate, percentMode, fx, diagnostics);

    if (verbosity == 3) warn("\tReading peak compressor settings...\n");
    r.dynamics();
    if (verbosity == 3) warn("\tReading NLC compressor settings...\n");
    r.nlcAndLimiter();
    r.filters(verbosity);
    if (verbosity == 3) warn("\tReading reverb settings...\n");
    r.sends();
    r.returns();
    r.tap(tapSignal);
    r.room();
    r.orderLines();
    r.derivedFlags();
    r.unheardSends();
}

} // namespace tarvex
