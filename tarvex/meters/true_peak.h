// True peak of the output through libebur128, measured only where it can
// still rise.
//
// The library finds the true peak with a polyphase interpolator: every
// interpolated value is a weighted sum of the last few samples (the
// filter's support), so it can never exceed the largest magnitude among
// them times the largest sum of weight magnitudes of one phase (the gain
// bound). Both figures are read from the library itself when the meter
// opens: the support from an impulse, the gain bound from every pattern of
// full-scale signs over the support (the worst input of each phase is one of
// them). A stretch of samples whose bound stays at or below the peak found
// so far cannot change the result and is not handed to the library; the
// stretches that are handed in get the samples before them first, so the
// interpolator's memory holds what it would hold had it seen everything,
// and the values read back are the ones a full measurement computes. The
// figure is therefore the library's own true peak of the whole output, at a
// small part of the cost for programme material.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace tarvex {

class TruePeakMeter {
  public:
    TruePeakMeter() = default;
    ~TruePeakMeter();
    TruePeakMeter(const TruePeakMeter&) = delete;
    TruePeakMeter& operator=(const TruePeakMeter&) = delete;

    // Sets the meter up for `channels` (1 or 2) interleaved sides at `rate`
    // Hz; false when the library refuses the rate.
    bool open(uint32_t rate, int32_t channels);

    // Measures the next `n` frames (interleaved, full scale at 2^31).
    void add(const int32_t* frames, int64_t n);

    // The true peak of side `channel` so far as a ratio to full scale: the
    // largest interpolated value or sample, as the library gives it.
    double peak(int32_t channel) const;
    // The largest sample of side `channel` so far, as a ratio to full scale.
    double samplePeak(int32_t channel) const;

    // Samples handed to the library so far, both sides and context included
    // (for tests and benchmarks: the saving is the rest).
    int64_t samplesMeasured() const { return measured_; }
    // The interpolator's support in samples and its gain bound.
    int32_t support() const { return support_; }
    double gainBound() const { return gainBound_; }

  private:
    struct Library; // the library's state for one side, kept out of this header

    // What one side keeps between blocks.
    struct Side {
        Library* library = nullptr;
        double peak = 0.0;            // largest value read back from the library
        uint32_t samplePeak = 0;      // largest magnitude seen
        uint32_t tailMagnitude = 0;   // largest magnitude of the last support - 1 samples
        std::vector<int32_t> history; // the last support - 1 samples seen
        int64_t fedTo = 0;            // the library has every sample before this one it needs
    };

    void addSide(Side& side, const int32_t* frames, int64_t n);
    void measureRun(Side& side, const int32_t* frames, int64_t start, int64_t end);
    void keepHistory(Side& side, const int32_t* frames, int64_t n);
    void close();

    std::array<Side, 2> sides_;
    int32_t channels_ = 2;
    int32_t support_ = 1;      // samples an interpolated value depends on
    double gainBound_ = 1.0;   // largest output for inputs of magnitude 1, with a margin
    int64_t chunk_ = 12;       // samples decided together; at least support - 1
    std::vector<int32_t> run_; // one side's samples of a stretch, with the context before it
    int64_t seen_ = 0;         // frames seen before the block being measured
    int64_t measured_ = 0;
};

} // namespace tarvex
