// Decibel helpers shared by the automation, the mono fold and the reports.
#include "automation/decibels.h"

#include <cmath>

namespace tarvex {

float dBtoRatio(double dB, double x) {
    return static_cast<float>(x * std::pow(10.0, dB / 20.0));
}

double rawToDb(double raw, double ref, double floor) {
    // Adding 0.0 turns the -0.0 of a full-scale value into 0.0, so a peak
    // exactly at the reference reads "0.00".
    return raw > 0.0 ? -20.0 * std::log10(ref / raw) + 0.0 : floor;
}

} // namespace tarvex
