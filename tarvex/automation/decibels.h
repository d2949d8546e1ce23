// Conversions between level ratios and decibels.
#pragma once

namespace tarvex {

// x × 10^(dB/20), the power taken in double, returned in single precision.
float dBtoRatio(double dB, double x);

// -20 × log10(ref / raw) into `out` when raw > 0, else `floor`.
void RawTodB(double raw, double& out, double ref, double floor);

} // namespace tarvex
