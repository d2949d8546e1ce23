// Strip and reverb-input filters. The `Denormal` adjustment is folded into
// each filter's one pass over the block: it is a per-sample rule applied
// before the sample is read, so doing it sample by sample gives the same
// numbers as a separate pass first, and the block is walked only once.
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

// One block of the biquad with history h and seed flag `flag`. The first
// two samples the history ever receives pass unchanged and seed it: the
// first as x[-1] = y[-1], then the second as x[-1] = y[-1] with the first
// moved to x[-2] = y[-2]. In one block these are its samples 0 and 1; should
// a first block hold a single sample, the next block's sample 0 is the second.
void runBiquad(int32_t count, double* L, double* R, double b0, double b1, double b2, double a1,
               double a2, BiquadHistory& h, int32_t& flag) {
    int32_t i = 0;
    if (flag == kBiquadUnseeded && i < count) {
        L[i] = lift(L[i]);
        R[i] = lift(R[i]);
        h.in2L = h.out2L = 0.0;
        h.in2R = h.out2R = 0.0;
        h.in1L = h.out1L = L[i];
        h.in1R = h.out1R = R[i];
        flag = kBiquadHalfSeeded;
        ++i;
    }
    if (flag == kBiquadHalfSeeded && i < count) {
        L[i] = lift(L[i]);
        R[i] = lift(R[i]);
        h.in2L = h.out2L = h.in1L;
        h.in2R = h.out2R = h.in1R;
        h.in1L = h.out1L = L[i];
        h.in1R = h.out1R = R[i];
        flag = kBiquadRunning;
        ++i;
    }
    double x1L = h.in1L, x2L = h.in2L, y1L = h.out1L, y2L = h.out2L;
    double x1R = h.in1R, x2R = h.in2R, y1R = h.out1R, y2R = h.out2R;
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
    h.in1L = x1L, h.in2L = x2L, h.out1L = y1L, h.out2L = y2L;
    h.in1R = x1R, h.in2R = x2R, h.out1R = y1R, h.out2R = y2R;
}

} // namespace

void Denormal(std::span<double> left, std::span<double> right, int32_t count) {
    assert(fitsBlock(count, left, right));
    double* L = left.data();
    double* R = right.data();
    for (int32_t i = 0; i < count; ++i) {
        L[i] = lift(L[i]);
        R[i] = lift(R[i]);
    }
}

void HPF(int32_t count, int64_t /*blockStart*/, int entry, std::span<double> left,
         std::span<double> right, double a, double b, FilterMemory& memory) {
    assert(entry >= 0 && entry < kStripEntries);
    assert(fitsBlock(count, left, right));
    if (count <= 0) return;
    const auto e = static_cast<std::size_t>(entry);
    double* L = left.data();
    double* R = right.data();
    HpfHistory& h = memory.hpf[e];
    int32_t i = 0;
    if (memory.hpInit[e] == 0) {
        L[0] = lift(L[0]);
        R[0] = lift(R[0]);
        h.OldXL = h.OldYL = L[0];
        h.OldXR = h.OldYR = h.NewYR = R[0];
        memory.hpInit[e] = 1;
        i = 1;
    }
    double xL = h.OldXL, yL = h.OldYL, xR = h.OldXR, yR = h.OldYR;
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
    h.OldXL = xL, h.OldYL = yL, h.OldXR = xR, h.OldYR = yR, h.NewYR = yR;
}

void EQ(int32_t count, int64_t /*blockStart*/, int entry, int slot, std::span<double> left,
        std::span<double> right, double b0, double b1, double b2, double a1, double a2,
        FilterMemory& memory) {
    assert(entry >= 0 && entry < kStripEntries);
    assert(slot >= 0 && slot < kEqSlots);
    assert(fitsBlock(count, left, right));
    const auto e = static_cast<std::size_t>(entry);
    const auto s = static_cast<std::size_t>(slot);
    runBiquad(count, left.data(), right.data(), b0, b1, b2, a1, a2, memory.eq[e * kEqSlots + s],
              memory.eqInit[s][e]);
}

void Rev_EQ(int32_t count, int64_t /*blockStart*/, int slot, std::span<double> left,
            std::span<double> right, double b0, double b1, double b2, double a1, double a2,
            FilterMemory& memory) {
    assert(slot >= 0 && slot < kRevEqSlots);
    assert(fitsBlock(count, left, right));
    const auto s = static_cast<std::size_t>(slot);
    runBiquad(count, left.data(), right.data(), b0, b1, b2, a1, a2, memory.rev[s],
              memory.revEqInit[s]);
}

} // namespace tarvex
