// Ranges of the effect values read from the fader file. The limits print
// nothing; the effect-line reader names each value they change. Each limit
// tests its lower bound first unless it says otherwise; the order matters
// where one value can fail both tests, and "nan" fails neither and comes
// back unchanged.
#pragma once

#include <cstdint>

namespace tarvex {

// Compressor attack in samples: 1 to trunc(2 x rate).
int64_t clampAttack(int64_t samples, double rate);

// Compressor release in samples: 10 to trunc(5 x rate).
int64_t clampRelease(int64_t samples, double rate);

// Compressor ratio (x:1): 1 to 50.
double clampRatio(double ratio);

// High-pass, band and shelf frequency in Hz: at most rate / 2 (tested first),
// then at least 1.
double clampFilterFrequency(double hz, double rate);

// Band and shelf gain: -15 to 15 dB.
double clampEqGain(double dB);

// Band and shelf Q: 0.01 to 100.
double clampEqQ(double q);

// Reverb position percentage: 0 to 100.
float clampReverbPosition(float percent);

} // namespace tarvex
