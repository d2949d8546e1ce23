// Effect-line reader. Each per-strip code is read through `ParamsFromBuffer`
// into a scratch table (136 rows of up to 8 values), then every addressed
// row is limited and converted into `EffectSettings`. The reverb lines and
// the order lines have their own scans. Only the first field of a line can
// name a code, so an order line never reads as the effect line it orders.
#include "driver/effect_lines.h"

#include <array>
#include <cmath>
#include <memory>
#include <string_view>
#include <vector>

#include "core/console.h"
#include "core/saturate.h"
#include "driver/channel_field.h"
#include "driver/effect_limits.h"
#include "effects/filter_design.h"

namespace tarvex {

namespace {

// Highest reverb input corner as a fraction of the sample rate.
constexpr double kHighestCornerOfRate = 0.45;

constexpr int kScratchWidth = 8;
constexpr double kDefaultRate = 44100.0;
// Channel full scale: thresholds are worked out at this scale first.
constexpr double kChannelFullScale = 8388608.0;
// From the channel scale (2^23) to the bus scale (2^31) of the master and
// submixes; a threshold there is t x 256 - 1 so that 0 dB is 2147483647.
constexpr int64_t kBusScaleFactor = 256;
constexpr double kMinLevelDb = -144.0;
constexpr double kMaxSendDb = 12.02;
// Corner limits of the reverb input filters, Hz.
constexpr double kRevHighPassMin = 20.0;
constexpr double kRevHighPassMax = 12000.0;
constexpr double kRevLowPassMin = 500.0;
constexpr double kRevLowPassMax = 16000.0;

// Fader-file codes, indexed by EffectCode.
constexpr std::array<std::string_view, kFxCodeCount> kCodeNames = {
    "hp",  "band1", "band2", "band3", "band4", "hshelf", "lshelf",
    "rms", "nlc",   "comp",  "lim",   "rev",   "trev"};

bool atBusScale(int entry) {
    return entry == kMasterSlot || entry >= groupSlot(1);
}

int32_t thresholdOf(double value, bool percentMode, int entry) {
    CheckThresh(value, percentMode);
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
        CheckSndRtn(value);
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
           EffectSettings& fx)
        : text_(text), file_(file), rate_(rate), percent_(percent), fx_(fx),
          table_(static_cast<std::size_t>(kStripEntries) * kScratchWidth) {}

    void dynamics();
    void nlcAndLimiter();
    void filters(int32_t verbosity);
    void sends();
    void returns();
    void tap(const KeywordText& prefs);
    void room();
    void orderLines();
    void derivedFlags();

  private:
    // Reads every line of one code into the scratch table; `values` is the
    // number of values after the channel field.
    void readCode(EffectCode code, int values) {
        ParamsFromBuffer(text_, kCodeNames[code], table_, kScratchWidth, values + 1, fx_.masterFxOn,
                         fx_.masterEffectFlag[code], file_);
    }
    bool addressed(int entry) const { return row(entry)[0] == 1.0; }
    const double* row(int entry) const {
        return table_.data() + static_cast<std::size_t>(entry) * kScratchWidth;
    }
    void linearCompressor(EffectCode code, PerEntry<int32_t>& on, PerEntry<int32_t>& thresh,
                          PerEntry<int32_t>& attack, PerEntry<int32_t>& release,
                          PerEntry<double>& ratio);
    using BiquadDesign = BiquadCoefs (*)(double, double, double, double);
    // The coefficients of a bell or shelf line (frequency, gain, Q), limited first.
    BiquadCoefs biquadOf(int entry, BiquadDesign design) const;
    void shelf(EffectCode code, PerEntry<int32_t>& on, PerEntry<BiquadCoefs>& coef,
               BiquadDesign design);
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
};

void Reader::linearCompressor(EffectCode code, PerEntry<int32_t>& on, PerEntry<int32_t>& thresh,
                              PerEntry<int32_t>& attack, PerEntry<int32_t>& release,
                              PerEntry<double>& ratio) {
    readCode(code, 4);
    for (int e = 0; e < kStripEntries; ++e) {
        if (!addressed(e)) continue;
        const double* r = row(e);
        on[e] = 1;
        thresh[e] = thresholdOf(r[1], percent_, e);
        attack[e] = clampToInt32(clampAttack(samplesOf(r[2], rate_), rate_));
        release[e] = clampToInt32(clampRelease(samplesOf(r[3], rate_), rate_));
        ratio[e] = clampRatio(r[4]);
    }
}

void Reader::dynamics() {
    linearCompressor(kFxComp, fx_.compOn, fx_.compThresh, fx_.compAttack, fx_.compRelease,
                     fx_.compRatio);
    linearCompressor(kFxRms, fx_.rmsOn, fx_.rmsThresh, fx_.rmsAttack, fx_.rmsRelease, fx_.rmsRatio);
}

void Reader::nlcAndLimiter() {
    readCode(kFxNlc, 3);
    for (int e = 0; e < kStripEntries; ++e) {
        if (!addressed(e)) continue;
        fx_.nlcOn[e] = 1;
        fx_.nlcThresh[e] = thresholdOf(row(e)[1], percent_, e);
        fx_.nlcWindow[e] = truncToSamples(row(e)[2]);
        fx_.nlcRatio[e] = clampRatio(row(e)[3]);
    }
    readCode(kFxLim, 1);
    for (int e = 0; e < kStripEntries; ++e) {
        if (!addressed(e)) continue;
        fx_.limOn[e] = 1;
        fx_.limThresh[e] = thresholdOf(row(e)[1], percent_, e);
    }
}

BiquadCoefs Reader::biquadOf(int e, BiquadDesign design) const {
    const double freq = clampFilterFrequency(row(e)[1], rate_);
    const double gain = clampEqGain(row(e)[2]);
    const double q = clampEqQ(row(e)[3]);
    return design(gain, freq, rate_, q);
}

void Reader::shelf(EffectCode code, PerEntry<int32_t>& on, PerEntry<BiquadCoefs>& coef,
                   BiquadDesign design) {
    readCode(code, 3);
    for (int e = 0; e < kStripEntries; ++e) {
        if (!addressed(e)) continue;
        on[e] = 1;
        coef[e] = biquadOf(e, design);
    }
}

void Reader::filters(int32_t verbosity) {
    if (verbosity == 3) warn("\tReading high pass filter settings...\n");
    readCode(kFxHp, 1);
    for (int e = 0; e < kStripEntries; ++e) {
        if (!addressed(e)) continue;
        const HighPassCoefs c = designHighPass(clampFilterFrequency(row(e)[1], rate_), rate_);
        fx_.hpOn[e] = 1;
        fx_.hpPole[e] = c.pole;
        fx_.hpGain[e] = c.gain;
    }
    // No band has been read yet and the biquads' first-call flags live in the
    // strip memory, which starts cleared, so a high-pass line resets nothing.

    if (verbosity == 3) warn("\tReading band 1-4 EQ settings...\n");
    for (int band = 1; band <= 4; ++band) {
        const auto code = static_cast<EffectCode>(kFxBand1 + band - 1);
        readCode(code, 3);
        for (int e = 0; e < kStripEntries; ++e) {
            if (!addressed(e)) continue;
            fx_.bandOn[e][band] = 1;
            fx_.bandCoef[e][band] = biquadOf(e, designBell);
        }
    }

    if (verbosity == 3) warn("\tReading high and low shelf EQ settings...\n");
    shelf(kFxHshelf, fx_.hshelfOn, fx_.hshelfCoef, designHighShelf);
    shelf(kFxLshelf, fx_.lshelfOn, fx_.lshelfCoef, designLowShelf);
}

void Reader::send(EffectCode code, PerEntry<int32_t>& on, PerEntry<float>& level) {
    readCode(code, 1);
    for (int e = 0; e < kStripEntries; ++e) {
        if (!addressed(e)) continue;
        on[e] = 1;
        level[e] = levelGain(row(e)[1], percent_);
    }
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
    if (given < count)
        warn("%s line %d: this %.*s line is missing %zu value%s; taken as 0.\n", file_.c_str(),
             text_.fileLine(hit), static_cast<int>(keyword.size()), keyword.data(), count - given,
             count - given == 1 ? "" : "s");
    return v;
}

void Reader::returns() {
    // The level is needed; a room without its size keeps the 75-foot default
    // and a tap reverb without its tap count runs one tap.
    auto optional = [&](const KeywordHit& hit, std::size_t k, double fallback) {
        return text_.valueCount(hit) > k ? parseFieldNumber(text_.value(hit, k)) : fallback;
    };
    for (const KeywordHit& hit : linesOf("rtn")) {
        const auto v = values(hit, "rtn", 1);
        fx_.rtnOn = 1;
        fx_.rtnLevel = levelGain(v[0], percent_);
        fx_.rtnSize = static_cast<float>(optional(hit, 1, kDefaultRoomFeet));
    }
    for (const KeywordHit& hit : linesOf("trtn")) {
        const auto v = values(hit, "trtn", 1);
        fx_.trtnOn = 1;
        fx_.trtnLevel = levelGain(v[0], percent_);
        fx_.trtnSize = static_cast<float>(optional(hit, 1, kDefaultRoomFeet));
        // The number of taps is a whole number; the reverb holds it to its range.
        fx_.trtnTaps = text_.valueCount(hit) > 2 ? clampToInt32(parseLong(text_.value(hit, 2))) : 1;
    }
    fx_.recursiveActive = fx_.rtnOn != 0 || fx_.masterEffectFlag[kFxRev] != 0 ? 1 : 0;
    fx_.tapActive = fx_.trtnOn != 0 || fx_.masterEffectFlag[kFxTrev] != 0 ? 1 : 0;
    fx_.revInsert = fx_.masterEffectFlag[kFxRev];
    fx_.trevInsert = fx_.masterEffectFlag[kFxTrev];
}

void Reader::tap(const KeywordText& prefs) {
    // A tap file carries a signal of the recursive reverb, so without that
    // reverb the preference has nothing to write.
    if (fx_.recursiveActive == 0) return;
    for (const KeywordHit& hit : prefs.find("tap")) {
        const std::string_view which = prefs.value(hit, 0);
        if (which == "rev") fx_.tapMode = 1;
        if (which == "rtn") fx_.tapMode = 2;
    }
}

void Reader::inputFilter(std::string_view keyword, ReverbInputFilter& filter, double low,
                         double high, const char* name, BiquadCoefs (*design)(double, double)) {
    for (const KeywordHit& hit : linesOf(keyword)) {
        double corner = values(hit, keyword, 1)[0];
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
    }
}

void Reader::room() {
    for (const KeywordHit& hit : linesOf("pos")) {
        const auto v = values(hit, "pos", 3);
        for (std::size_t k = 0; k < 3; ++k)
            fx_.revPos[k] = clampReverbPosition(static_cast<float>(v[k]));
    }
    for (const KeywordHit& hit : linesOf("width"))
        fx_.revWidth = static_cast<float>(values(hit, "width", 1)[0]);
    inputFilter("rhp", fx_.revHighPass, kRevHighPassMin, kRevHighPassMax, "high pass",
                designReverbHighPass);
    inputFilter("rlp", fx_.revLowPass, kRevLowPassMin, kRevLowPassMax, "low pass",
                designReverbLowPass);
}

void Reader::orderLines() {
    std::vector<std::string_view> tok;
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
            if (!tok.empty() && tok[0] == kCodeNames[c]) code = c;
        if (code < 0) continue;

        const int line = text_.fileLineOf(l);
        const ChannelField channel = readChannelField(tok, 1);
        const bool named = channel.kind != ChannelKind::Missing;
        const std::size_t at = 1 + channel.used;
        if (!named || at >= tok.size()) {
            warn("%s line %d: this order line gives no %s; line ignored.\n", file_.c_str(), line,
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
            continue;
        }
        fx_.fxOrder[code][entry] = parseInt(tok[at]);
    }
}

void Reader::derivedFlags() {
    for (int k = 1; k <= kSubmixCount; ++k) {
        const int e = groupSlot(k);
        // A compressor counts while its state is 1, its value after reading.
        const bool on = fx_.hpOn[e] != 0 || fx_.bandOn[e][1] != 0 || fx_.bandOn[e][2] != 0 ||
                        fx_.bandOn[e][3] != 0 || fx_.bandOn[e][4] != 0 || fx_.hshelfOn[e] != 0 ||
                        fx_.lshelfOn[e] != 0 || fx_.compOn[e] == 1 || fx_.rmsOn[e] == 1 ||
                        fx_.nlcOn[e] != 0 || fx_.limOn[e] != 0;
        fx_.submixFxOn[k] = on ? 1 : 0;
    }
}

} // namespace

void CheckThresh(double& value, bool percentMode) {
    if (percentMode) {
        if (value > 100.0) value = 100.0;
        if (value < 0.0) value = 0.0;
    } else {
        if (value > 0.0) value = 0.0;
        if (value < kMinLevelDb) value = kMinLevelDb;
    }
}

void CheckSndRtn(double& value) {
    if (value > kMaxSendDb) value = kMaxSendDb;
    if (value < kMinLevelDb) value = kMinLevelDb;
}

void readEffectSettings(const KeywordText& faderText, const std::string& faderFileName, double rate,
                        bool percentMode, int32_t verbosity, const KeywordText& prefsText,
                        EffectSettings& fx) {
    // The settings are large for a small board's stack; start from a heap copy.
    fx = *std::make_unique<EffectSettings>();
    if (!(rate > 0.0)) rate = kDefaultRate;
    if (verbosity > 1) warn("Reading effect settings...\n");
    Reader r(faderText, faderFileName, rate, percentMode, fx);

    if (verbosity == 3) warn("\tReading peak compressor settings...\n");
    r.dynamics();
    if (verbosity == 3) warn("\tReading NLC compressor settings...\n");
    r.nlcAndLimiter();
    r.filters(verbosity);
    if (verbosity == 3) warn("\tReading reverb settings...\n");
    r.sends();
    r.returns();
    r.tap(prefsText);
    r.room();
    r.orderLines();
    r.derivedFlags();
}

} // namespace tarvex
