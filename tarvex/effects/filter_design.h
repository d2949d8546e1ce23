// Coefficient design of the strip and reverb-input filters.
//
// Turns a corner or centre frequency (Hz), a gain (dB), a Q and the song's
// sample rate (Hz) into the coefficients that `HighPass` and `Biquad` run.
// The builders take values that are already limited by the effect-line reader
// and do no limiting of their own; they run once before the first block,
// never in the mix loop. Biquads are normalised to a0 = 1 and follow
// y = b0 x + b1 x[-1] + b2 x[-2] - a1 y[-1] - a2 y[-2].
#pragma once

#include "effects/effect_settings.h"

namespace tarvex {

// Shared terms of the bell and shelf designs: A = 10^(gain/40) (square root
// of the linear gain), w = 2 pi freq / rate (radians per sample) and
// alpha = sin(w) / (2 Q).
void eqTerms(double gain, double freq, double rate, double Q, double& A, double& w, double& alpha);

// One-pole high-pass with corner `freq` Hz.
HighPassCoefs designHighPass(double freq, double rate);

// Parametric bell: `gain` dB at `freq` Hz, unity far from it; Q sets the width.
BiquadCoefs designBell(double gain, double freq, double rate, double Q);

// High shelf: unity at DC, `gain` dB towards the Nyquist frequency.
BiquadCoefs designHighShelf(double gain, double freq, double rate, double Q);

// Low shelf: `gain` dB at DC, unity towards the Nyquist frequency.
BiquadCoefs designLowShelf(double gain, double freq, double rate, double Q);

// Second-order high-pass and low-pass of the reverb inputs, Q of 1, corner in Hz.
BiquadCoefs designReverbHighPass(double corner, double rate);
BiquadCoefs designReverbLowPass(double corner, double rate);

} // namespace tarvex
