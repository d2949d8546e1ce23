// Strip limiter: one pass, no memory.
#include "effects/limiter.h"

#include <cassert>

#include "effects/compressors.h"

namespace tarvex {

namespace {

inline double limit(double x, double knee) {
    double a = magnitudeOf(x);
    if (a > knee) a = knee + (a - knee) * kLimiterSlope;
    return polarityOf(x) * a;
}

} // namespace

void Limiter::process(int32_t count, std::span<double> left, std::span<double> right) const {
    assert(blockFits(count, left, right));
    const double knee = settings_.threshold * kLimiterKnee;
    double* L = left.data();
    double* R = right.data();
    for (int32_t i = 0; i < count; ++i) {
        L[i] = limit(L[i], knee);
        R[i] = limit(R[i], knee);
    }
}

} // namespace tarvex
