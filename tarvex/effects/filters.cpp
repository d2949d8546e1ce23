// Strip and reverb-input filters. The raising of tiny magnitudes is folded
// into each filter's one pass over the block: it is a per-sample rule applied
// before the sample is read, so the block is walked only once.
#include "effects/filters.h"

#include <cassert>

namespace tarvex {

namespace {

// A block of `count` samples fits both buffers.
[[maybe_unused]] bool fitsBlock(int32_t count, std::span<double> left, std::span<double> right) {
    return count <= 0 || (static_cast<std::size_t>(count) <= left.size() &&
                          static_cast<std::size_t>(count) <= right.size());
}

inline double lift(double x) {
    if (x >= 0.0) return x < kDenormalFloor ? kDenormalFloor : x;
    return x > -kDenormalFloor ? -kDenormalFloor : x;
}

} // namespace

void HighPass::setUp(const HighPassSettings& settings) {
    *this = HighPass{};
    coef_ = settings.coef;
}

void HighPass::process(int32_t count, std::span<double> left, std::span<double> right) {
    assert(fitsBlock(count, left, right));
    if (count <= 0) return;
    double* L = left.data();
    double* R = right.data();
    int32_t i = 0;
    if (!seeded_) {
        L[0] = lift(L[0]);
        R[0] = lift(R[0]);
        lastInL_ = lastOutL_ = L[0];
        lastInR_ = lastOutR_ = R[0];
        seeded_ = true;
        i = 1;
    }
    const double a = coef_.pole;
    const double b = coef_.gain;
    double xL = lastInL_, yL = lastOutL_, xR = lastInR_, yR = lastOutR_;
    for (; i < count; ++i) {
        const double inL = lift(L[i]);
        const double inR = lift(R[i]);
        yL = a * yL + b * (inL - xL);
        yR = a * yR + b * (inR - xR);
        xL = inL;
        xR = inR;
        L[i] = yL;
        R[i] = yR;
    }
    lastInL_ = xL, lastOutL_ = yL, lastInR_ = xR, lastOutR_ = yR;
}

void Biquad::setUp(const BiquadCoefs& coef) {
    *this = Biquad{};
    coef_ = coef;
}

// The first two samples the filter ever receives pass unchanged and seed it:
// the first as x[-1] = y[-1], then the second as x[-1] = y[-1] with the first
// moved to x[-2] = y[-2]. In one block these are its samples 0 and 1; should
// a first block hold a single sample, the next block's sample 0 is the second.
void Biquad::process(int32_t count, std::span<double> left, std::span<double> right) {
    assert(fitsBlock(count, left, right));
    double* L = left.data();
    double* R = right.data();
    int32_t i = 0;
    if (seeding_ == Seeding::none && i < count) {
        L[i] = lift(L[i]);
        R[i] = lift(R[i]);
        in2L_ = out2L_ = 0.0;
        in2R_ = out2R_ = 0.0;
        in1L_ = out1L_ = L[i];
        in1R_ = out1R_ = R[i];
        seeding_ = Seeding::half;
        ++i;
    }
    if (seeding_ == Seeding::half && i < count) {
        L[i] = lift(L[i]);
        R[i] = lift(R[i]);
        in2L_ = out2L_ = in1L_;
        in2R_ = out2R_ = in1R_;
        in1L_ = out1L_ = L[i];
        in1R_ = out1R_ = R[i];
        seeding_ = Seeding::done;
        ++i;
    }
    const double b0 = coef_.b0, b1 = coef_.b1, b2 = coef_.b2, a1 = coef_.a1, a2 = coef_.a2;
    double x1L = in1L_, x2L = in2L_, y1L = out1L_, y2L = out2L_;
    double x1R = in1R_, x2R = in2R_, y1R = out1R_, y2R = out2R_;
    for (; i < count; ++i) {
        const double xL = lift(L[i]);
        const double xR = lift(R[i]);
        const double yL = b0 * xL + b1 * x1L + b2 * x2L - a1 * y1L - a2 * y2L;
        const double yR = b0 * xR + b1 * x1R + b2 * x2R - a1 * y1R - a2 * y2R;
        x2L = x1L;
        x1L = xL;
        y2L = y1L;
        y1L = yL;
        x2R = x1R;
        x1R = xR;
        y2R = y1R;
        y1R = yR;
        L[i] = yL;
        R[i] = yR;
    }
    in1L_ = x1L, in2L_ = x2L, out1L_ = y1L, out2L_ = y2L;
    in1R_ = x1R, in2R_ = x2R, out1R_ = y1R, out2R_ = y2R;
}

} // namespace tarvex
