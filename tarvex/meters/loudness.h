// Loudness of the output as written, after EBU R128 / ITU-R BS.1770.
//
// The output samples (after dither and division, 16- or 24-bit steps) go to
// libebur128, which gives the integrated loudness, the loudness range and
// the true peak of each side (the latter through `TruePeakMeter`, which
// hands the library only the stretches that can raise it). The largest
// momentary (400 ms) and short-term (3 s) loudness are followed here from
// the energy of every 100 ms stretch (read back from the library at each 100
// ms boundary), so both maxima are taken at the 10 Hz rate the standard asks
// for without re-reading seconds of audio each time. The library runs on a
// thread of the meter's own, one block behind the mix loop (at a slightly
// lower priority), which only copies each block into one of two buffers; so
// the measurement overlaps the next block's mixing. Everything is allocated
// by `open`; `addBlock` runs in the mix loop and allocates nothing.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "meters/true_peak.h"

namespace tarvex {

// Loudness figures of a finished run. Levels that have no value (silence, or
// too little audio for the window) are -infinity.
struct LoudnessResult {
    double integrated = 0.0;   // LUFS
    double range = 0.0;        // LU
    double momentaryMax = 0.0; // LUFS, 400 ms window
    double shortTermMax = 0.0; // LUFS, 3 s window
    double truePeakL = 0.0;    // dBTP; the one side of mono output
    double truePeakR = 0.0;    // dBTP; equal to truePeakL for mono output
    double samplePeakL = 0.0;  // dBFS, for comparison with the true peak
    double samplePeakR = 0.0;  // dBFS
};

class LoudnessMeter {
  public:
    LoudnessMeter() = default;
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // Sets the meter up for `channels` (1 or 2) sides at `rate` Hz, samples
    // of `bits` (16 or 24) and blocks of up to `maxFrames`. A mono output is
    // measured as played on both loudspeakers. Returns false with `error`
    // filled when the library refuses the format.
    bool open(uint32_t rate, int32_t channels, int32_t bits, int32_t maxFrames, std::string& error);
    bool isOpen() const { return state_ != nullptr; }

    // Measures one block of output samples; `right` is ignored for mono.
    // Runs in the mix loop.
    void addBlock(std::span<const int32_t> left, std::span<const int32_t> right, int32_t n);

    // The figures so far, once every block handed in has been measured.
    LoudnessResult result();

  private:
    void closeHop();
    void measure(const int32_t* frames, int64_t n);
    void work();
    void stop();

    struct Library; // the library's state, kept out of this header
    Library* state_ = nullptr;
    TruePeakMeter truePeak_;
    int32_t channels_ = 2;
    int32_t shift_ = 8;                               // output steps to 32-bit full scale
    int64_t hopFrames_ = 4410;                        // frames in 100 ms
    int64_t inHop_ = 0;                               // frames of the open 100 ms stretch
    std::array<std::vector<int32_t>, 2> interleaved_; // two blocks, frames interleaved, 2^31 scale
    std::array<int32_t, 2> frames_{};                 // frames in each buffer
    std::thread worker_;                              // feeds the library
    std::mutex mutex_;
    std::condition_variable changed_; // a block was handed in or measured
    int64_t handedIn_ = 0;            // blocks handed in; block k uses buffer k % 2
    int64_t measured_ = 0;            // blocks measured
    bool stopping_ = false;
    std::array<double, 30> hopEnergy_{}; // energy of the last 30 stretches (a ring)
    int64_t hops_ = 0;                   // stretches closed so far
    double momentaryMax_ = 0.0;          // largest 400 ms energy, 0 = none yet
    double shortTermMax_ = 0.0;          // largest 3 s energy
    bool momentarySeen_ = false;         // a full 400 ms window was measured
    bool shortTermSeen_ = false;         // a full 3 s window was measured
};

// The loudness of an energy (mean square after K-weighting, summed over the
// channels): -0.691 + 10 log10(energy); -infinity for 0.
double loudnessOfEnergy(double energy);

} // namespace tarvex
