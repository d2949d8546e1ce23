// Everything the template dialogue settles: the layout model, the channel
// count, the default fader value, which effect groups to write and the values
// their lines carry. Plain values, filled in by the dialogue and read by the
// text builder; nothing here touches the console or the disk.
#pragma once

#include <cstdint>

namespace velmont {

// Frequencies in Hz, gains in dB, Q as centre frequency over bandwidth.
struct EqValues {
    float freq;
    float gain;
    float q;
};

// Thresholds in dB, attack and release in milliseconds, ratio as x:1.
struct CompressorValues {
    float thresh;
    float attack;
    float release;
    float ratio;
};

struct NlcValues {
    float thresh; // dB
    float window; // samples
    float ratio;  // x:1
};

struct ReturnValues {
    float level; // dB
    float size;  // room length in feet
};

struct TapReturnValues {
    float level; // dB
    float size;  // room length in feet
    float taps;  // number of taps
};

// The values an effect line carries unless the user types new ones.
struct EffectValues {
    float hpFreq = 100;                          // high-pass corner, Hz
    EqValues lshelf = {180, 0, 1};               // low shelf
    EqValues band1 = {1000, 0, 1};               // bell band 1
    EqValues band2 = {500, 0, 1};                // bell band 2
    EqValues hshelf = {12000, 0, 1};             // high shelf
    CompressorValues comp = {-9, 10, 200, 1.5f}; // peak-sensing compressor
    CompressorValues rms = {-12, 10, 200, 1.5f}; // RMS-sensing compressor
    NlcValues nlc = {-12, 200, 3};               // non-linear compressor
    float limThresh = -4;                        // limiter threshold, dB
    ReturnValues rtn = {-12, 75};                // recursive reverb return
    TapReturnValues trtn = {-12, 75, 3};         // discrete (tap) reverb return
};

// One flag per effect kind; a kind is written only when its flag is on.
struct EffectFlags {
    bool hp = false;
    bool band1 = false;
    bool band2 = false;
    bool hshelf = false;
    bool lshelf = false;
    bool comp = false;
    bool rms = false;
    bool nlc = false;
    bool lim = false;
    bool rev = false;  // recursive reverb: per-channel send and the return
    bool trev = false; // discrete reverb: per-channel send and the return
};

// Answers to the dialogue. Only the comparisons the builder makes give them
// meaning: models other than 1 to 3 write no channel material, and an effects
// choice of 3 is the only one that drops the model-3 channel headings.
struct TemplateSettings {
    int32_t model = 0;         // 1 strip style, 2 by data type, 3 effects by channel
    int32_t channelCount = 0;  // not range-checked; 0 or less writes no channels
    float faderDefault = 0;    // dB, written on every v line
    int32_t effectsChoice = 3; // 1 all, 2 chosen, 3 (or other) none, 4 write nothing
    int32_t valuesChoice = 1;  // 2 means the values were typed in
    EffectFlags on;
    EffectValues values;
};

} // namespace velmont
