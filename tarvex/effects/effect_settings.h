// Effect settings of every strip, as read from the fader file.
//
// The reader fills these tables once, before the first block; the strips and
// reverbs only read them. Entries are strip entries (`fxEntry`): 0 the
// master, 1..127 the input channels, 128..135 the submixes 1..8. Channels are
// processed at 2^23 full scale, the master and submixes at 2^31, so the
// thresholds of entry 0 and 128..135 are stored at bus scale (x 256 - 1).
// Times are in samples, gains are linear, frequencies in Hz.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/scales.h"
#include "core/slot_layout.h"

namespace tarvex {

// The strip effects in their fixed order within one chain position, followed
// by the two reverb sends. The index also names the effect's master flag.
enum EffectCode : int {
    kFxHp = 0,
    kFxBand1,
    kFxBand2,
    kFxBand3,
    kFxBand4,
    kFxHshelf,
    kFxLshelf,
    kFxRms,
    kFxNlc,
    kFxComp,
    kFxLim,
    kFxRev,
    kFxTrev,
    kFxCodeCount
};
// Effects that take a chain position (all but the sends).
constexpr int kChainEffects = 11;
// Chain positions run 1..11; a position outside takes the effect out.
constexpr int kChainPositions = 11;
// Room length of both reverbs when their return line gives none, feet.
constexpr float kDefaultRoomFeet = 75.0f;
// Threshold every entry starts with: full scale at channel level, 2^23.
constexpr int32_t kDefaultThreshold = kChannelFullScaleInt;

// What a set-up step before the first block reports: nothing when it
// succeeded, else the message the run ends with (status 1).
struct SetUpResult {
    std::string message;
    bool ok() const { return message.empty(); }
};

// Coefficients of one direct-form biquad (a0 normalised to 1).
struct BiquadCoefs {
    double b0 = 0.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
};

// The two coefficients of the one-pole high-pass.
struct HighPassCoefs {
    double pole = 0.0; // feedback coefficient a = (rate - 4f) / rate (0 at f = rate/4)
    double gain = 0.0; // input-difference coefficient b = RC / (RC + 1/rate), RC = 1/(2 pi f)
};

// Each processor's settings keep the values as written (after limiting) beside
// what was worked out from them for the block loop.

// One-pole high-pass ("hp").
struct HighPassSettings {
    int32_t on = 0;         // 1 when a line addressed the entry
    double frequency = 0.0; // corner, Hz
    HighPassCoefs coef;
};

// A band ("band1".."band4") or a shelf ("hshelf", "lshelf").
struct BiquadSettings {
    int32_t on = 0;
    double frequency = 0.0; // centre or corner, Hz
    double gainDb = 0.0;    // dB
    double q = 0.0;         // quality factor
    BiquadCoefs coef;
};

// One of the two reverb input filters ("rhp", "rlp").
struct ReverbInputFilter {
    int32_t on = 0;      // 1 when its line is present
    double corner = 0.0; // corner frequency, Hz, after limiting
    BiquadCoefs coef;    // Q of 1
};

// A linear compressor ("comp" peak-sensing, "rms" RMS-sensing).
struct CompressorSettings {
    int32_t on = 0;
    int32_t threshold = kDefaultThreshold; // sample units at the strip's scale
    int32_t attack = 0;                    // samples, 1 .. 2 x rate (441)
    int32_t release = 0;                   // samples, 10 .. 5 x rate (4410)
    double ratio = 0.0;                    // x:1, 1 .. 50 (4.0)
};

// The non-linear compressor ("nlc").
struct NonlinearSettings {
    int32_t on = 0;
    int32_t threshold = kDefaultThreshold;
    int64_t window = 0; // minimum interval, samples (not limited)
    double ratio = 0.0;
};

// The limiter ("lim").
struct LimiterSettings {
    int32_t on = 0;
    int32_t threshold = kDefaultThreshold;
};

template <typename T> using PerEntry = std::array<T, kStripEntries>;

// Bands per strip.
constexpr int kBands = 4;

struct EffectSettings {
    PerEntry<CompressorSettings> comp{};
    PerEntry<CompressorSettings> rms{};
    PerEntry<NonlinearSettings> nlc{};
    PerEntry<LimiterSettings> lim{};
    PerEntry<HighPassSettings> hp{};
    std::array<std::array<BiquadSettings, kBands>, kStripEntries> band{}; // [entry][band - 1]
    PerEntry<BiquadSettings> hshelf{};
    PerEntry<BiquadSettings> lshelf{};
    // Reverb sends ("rev" to the recursive reverb, "trev" to the tap reverb).
    PerEntry<int32_t> revSendOn{};
    PerEntry<float> revSend{}; // linear gain 0 .. 1
    PerEntry<int32_t> trevSendOn{};
    PerEntry<float> trevSend{};
    // Reverb returns and rooms.
    int32_t rtnOn = 0;                 // an "rtn" line is present
    float rtnLevel = 0.0f;             // linear gain 0 .. 1
    float rtnSize = kDefaultRoomFeet;  // room length, feet
    int32_t trtnOn = 0;                // a "trtn" line is present
    float trtnLevel = 0.0f;            // linear gain 0 .. 1
    float trtnSize = kDefaultRoomFeet; // room length, feet
    int32_t trtnTaps = 1;              // taps asked for (the reverb limits it to 1 .. 11)
    std::array<float, 3> revPos{37.0f, 39.0f, 43.0f}; // position, percent
    float revWidth = 50.0f;                           // width, 0 .. 100 (not limited here)
    ReverbInputFilter revHighPass;                    // "rhp"
    ReverbInputFilter revLowPass;                     // "rlp"
    int32_t tapMode = 0; // 0 none, 1 the send to revTap.wav, 2 the return to rtnTap.wav
    // Chain position of each strip effect, [EffectCode][entry]; default 11.
    std::array<PerEntry<int32_t>, kChainEffects> fxOrder{};
    // Master flags.
    int32_t masterFxOn = 0;                               // any effect line addressed "M"
    std::array<int32_t, kFxCodeCount> masterEffectFlag{}; // per code, addressed "M"

    // Derived once after reading.
    std::array<int32_t, kSubmixCount + 1> submixFxOn{}; // submix k has a strip effect on
    int32_t recursiveActive = 0; // "rtn" present or the master sends to "rev"
    int32_t tapActive = 0;       // "trtn" present or the master sends to "trev"
    int32_t revInsert = 0;       // the recursive reverb is a master insert ("rev M")
    int32_t trevInsert = 0;      // the tap reverb is a master insert ("trev M")

    EffectSettings() {
        for (auto& order : fxOrder)
            order.fill(kChainPositions);
    }
};

} // namespace tarvex
