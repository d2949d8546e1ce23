// Sample scales, levels and fallbacks of the mix, shared by every layer.
//
// Channel samples run at 2^23 full scale from decoding to the end of their
// effects; the fader moves them to the 2^31 bus scale, on which the buses,
// the master and the reverb sends run. Levels are integers with 2^27 as unity
// gain. Each scale comes as the double the arithmetic uses and, where
// integer code compares against it, as an integer twin of the same value.
#pragma once

#include <cstdint>

namespace tarvex {

constexpr double kChannelFullScale = 8388608.0;   // 2^23, decoded channel samples
constexpr int32_t kChannelFullScaleInt = 8388608; // the same as an integer
constexpr double kUnityLevel = 134217728.0;       // 2^27, level of 0 dB
constexpr double kBusFullScale = 2147483648.0;    // 2^31, buses, master and sends
constexpr double kFloorDb = -144.0;               // dB given for silence
constexpr double kFallbackRate = 44100.0;         // Hz, when no channel gives a rate
constexpr uint32_t kFallbackRateHz = 44100;       // the same as an integer

// The song's rate, or the fallback when no channel gave one.
constexpr double rateOrFallback(uint32_t rate) {
    return rate != 0 ? static_cast<double>(rate) : kFallbackRate;
}

// Full scale of an output sample: 2^15 for 16-bit output, else 2^23.
constexpr double outputFullScale(int32_t bits) {
    return bits == 16 ? 32768.0 : 8388608.0;
}
// Largest and smallest output sample of a bit depth (16, else 24).
constexpr int32_t outputHigh(int32_t bits) {
    return bits == 16 ? 32767 : 8388607;
}
constexpr int32_t outputLow(int32_t bits) {
    return bits == 16 ? -32768 : -8388608;
}
// Shift from the bus scale down to an output sample (16 for 16-bit output,
// else 8), and one output step at bus scale (2^shift).
constexpr int outputShift(int32_t bits) {
    return bits == 16 ? 16 : 8;
}
constexpr int32_t outputStep(int32_t bits) {
    return bits == 16 ? 65536 : 256;
}

} // namespace tarvex
