// Conversions between level ratios and decibels.
#pragma once

namespace tarvex {

// x × 10^(dB/20), the power taken in double, returned in single precision.
float dBtoRatio(double dB, double x);

// -20 × log10(ref / raw) when raw > 0, else `floor`.
double rawToDb(double raw, double ref, double floor);

} // namespace tarvex
