// True peak through libebur128, skipping the stretches that cannot raise it.
#include "meters/true_peak.h"
#include "core/scales.h"
#include "meters/metering.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include <ebur128.h>

namespace tarvex {

namespace {

// Longest interpolator support read from the library; a longer one (or none
// found) turns the skipping off.
constexpr int32_t kLongestSupport = 64;
// Supports up to this many samples get their exact gain bound from every
// sign pattern (2^support of them); longer ones a looser sum.
constexpr int32_t kLongestEnumerated = 16;
// Room for the library's single-precision rounding in the bound.
constexpr double kBoundMargin = 1.0 + 1e-4;
// A stretch handed in grows at most this long before its peak is read back,
// so that a loud start soon lets the quieter stretches after it be skipped.
constexpr int64_t kLongestRun = 4096;

struct Probe {
    ebur128_state* st;
    explicit Probe(uint32_t rate) : st(ebur128_init(1, rate, EBUR128_MODE_TRUE_PEAK)) {}
    ~Probe() {
        if (st != nullptr) ebur128_destroy(&st);
    }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;
    double lastPeak() {
        double v = 0.0;
        ebur128_prev_true_peak(st, 0, &v);
        return v;
    }
};

// Reads the interpolator's support and gain bound from the library at
// `rate`. The support is the number of samples after which an impulse no
// longer shows; the response of each step, read one frame per call, is the
// largest weight among the phases there (the impulse's own step reads at
// least its sample, so at most 1 is counted for it). Returns a support of 0
// when none was found.
void readInterpolator(uint32_t rate, int32_t& support, double& bound) {
    support = 0;
    bound = std::numeric_limits<double>::infinity();
    std::vector<float> response;
    {
        Probe probe(rate);
        if (probe.st == nullptr) return;
        const float one = 1.0f;
        const float zero = 0.0f;
        ebur128_add_frames_float(probe.st, &one, 1);
        response.push_back(1.0f);
        int32_t last = 0;
        for (int32_t j = 1; j <= kLongestSupport; ++j) {
            ebur128_add_frames_float(probe.st, &zero, 1);
            const double r = probe.lastPeak();
            response.push_back(static_cast<float>(r));
            if (r > 0.0) last = j;
        }
        if (last == kLongestSupport) return; // the impulse never died away
        support = last + 1;
        response.resize(static_cast<std::size_t>(support));
    }
    if (support > kLongestEnumerated) {
        double sum = 0.0;
        for (float r : response)
            sum += r;
        bound = sum * kBoundMargin;
        return;
    }
    // Every pattern of full-scale signs over the support, each followed by
    // silence so that the next one starts from an empty memory: the largest
    // value read is the largest sum of weight magnitudes of any phase.
    Probe probe(rate);
    if (probe.st == nullptr) {
        support = 0;
        return;
    }
    const auto len = static_cast<std::size_t>(support);
    std::vector<float> frames(2 * len, 0.0f);
    for (uint32_t pattern = 0; pattern < (1u << support); ++pattern) {
        for (std::size_t j = 0; j < len; ++j)
            frames[j] = (pattern >> j) & 1u ? 1.0f : -1.0f;
        ebur128_add_frames_float(probe.st, frames.data(), frames.size());
    }
    double peak = 0.0;
    ebur128_true_peak(probe.st, 0, &peak);
    bound = peak * kBoundMargin;
}

} // namespace

struct TruePeakMeter::Library {
    ebur128_state* st = nullptr;
    ~Library() {
        if (st != nullptr) ebur128_destroy(&st);
    }
};

TruePeakMeter::~TruePeakMeter() {
    close();
}

void TruePeakMeter::close() {
    for (Side& side : sides_) {
        delete side.library;
        side = Side{};
    }
}

bool TruePeakMeter::open(uint32_t rate, int32_t channels) {
    close();
    channels_ = channels == 1 ? 1 : 2;
    readInterpolator(rate, support_, gainBound_);
    if (support_ < 1) support_ = 1; // no bound: every stretch is measured
    chunk_ = std::max<int64_t>(12, support_ - 1);
    for (int32_t c = 0; c < channels_; ++c) {
        Side& side = sides_[static_cast<std::size_t>(c)];
        // Each side alone, so that a quiet side is not measured because the other is loud.
        ebur128_state* st = ebur128_init(1, rate, EBUR128_MODE_TRUE_PEAK);
        if (st == nullptr) {
            close();
            return false;
        }
        side.library = new Library;
        side.library->st = st;
        side.history.assign(static_cast<std::size_t>(support_ - 1), 0);
    }
    run_.assign(static_cast<std::size_t>(kLongestRun + chunk_ + support_), 0);
    seen_ = measured_ = 0;
    return true;
}

double TruePeakMeter::peak(int32_t channel) const {
    const Side& side = sides_[static_cast<std::size_t>(channel)];
    return std::max(side.peak, samplePeak(channel));
}

double TruePeakMeter::samplePeak(int32_t channel) const {
    return static_cast<double>(sides_[static_cast<std::size_t>(channel)].samplePeak) /
           kBusFullScale;
}

// Hands samples [start, end) of the block to the library, after the samples
// before them that its memory lacks; what it computes for those is not
// counted, as their own predecessors may be missing.
void TruePeakMeter::measureRun(Side& side, const int32_t* frames, int64_t start, int64_t end) {
    static_assert(sizeof(int) == sizeof(int32_t), "the library takes 32-bit int samples");
    const int64_t first = seen_ + start;
    const int64_t from = std::max<int64_t>(side.fedTo, first - (support_ - 1));
    const int64_t historyStart = seen_ - (support_ - 1);
    int32_t* out = run_.data();
    for (int64_t g = from; g < first; ++g)
        *out++ = g >= seen_ ? frames[(g - seen_) * channels_]
                            : side.history[static_cast<std::size_t>(g - historyStart)];
    const auto context = static_cast<std::size_t>(first - from);
    if (context > 0) ebur128_add_frames_int(side.library->st, run_.data(), context);
    out = run_.data();
    for (int64_t i = start; i < end; ++i)
        *out++ = frames[i * channels_];
    ebur128_add_frames_int(side.library->st, run_.data(), static_cast<std::size_t>(end - start));
    double v = 0.0;
    ebur128_prev_true_peak(side.library->st, 0, &v);
    side.peak = std::max(side.peak, v);
    side.fedTo = seen_ + end;
    measured_ += static_cast<int64_t>(context) + (end - start);
}

// Keeps the last support - 1 samples seen and their largest magnitude.
void TruePeakMeter::keepHistory(Side& side, const int32_t* frames, int64_t n) {
    const int64_t held = support_ - 1;
    if (held == 0) return;
    std::vector<int32_t>& h = side.history;
    const int64_t kept = std::max<int64_t>(0, held - n);
    std::copy(h.end() - kept, h.end(), h.begin());
    for (int64_t i = kept; i < held; ++i)
        h[static_cast<std::size_t>(i)] = frames[(n - held + i) * channels_];
    side.tailMagnitude = 0;
    for (int32_t v : h)
        side.tailMagnitude = std::max(side.tailMagnitude, magnitudeOf(v));
}

void TruePeakMeter::addSide(Side& side, const int32_t* frames, int64_t n) {
    // Largest magnitude of the support - 1 samples before each stretch: the
    // previous block's tail for the first, then the previous stretch (never
    // shorter than that).
    uint32_t before = side.tailMagnitude;
    uint32_t loudest = side.samplePeak;
    int64_t runStart = -1;
    for (int64_t s = 0; s < n; s += chunk_) {
        const int64_t e = std::min(n, s + chunk_);
        uint32_t m = 0;
        for (int64_t i = s; i < e; ++i)
            m = std::max(m, magnitudeOf(frames[i * channels_]));
        loudest = std::max(loudest, m);
        // Nothing here can pass what the result already holds: the values read
        // back and every sample so far, this stretch's included.
        const double most = gainBound_ * static_cast<double>(std::max(m, before)) / kBusFullScale;
        const double held = std::max(side.peak, static_cast<double>(loudest) / kBusFullScale);
        if (!(most <= held)) {
            if (runStart < 0) {
                runStart = s;
            } else if (s - runStart >= kLongestRun) {
                measureRun(side, frames, runStart, s);
                runStart = s;
            }
        } else if (runStart >= 0) {
            measureRun(side, frames, runStart, s);
            runStart = -1;
        }
        before = m;
    }
    if (runStart >= 0) measureRun(side, frames, runStart, n);
    side.samplePeak = loudest;
    keepHistory(side, frames, n);
}

void TruePeakMeter::add(const int32_t* frames, int64_t n) {
    if (sides_[0].library == nullptr || n <= 0) return;
    for (int32_t c = 0; c < channels_; ++c)
        addSide(sides_[static_cast<std::size_t>(c)], frames + c, n);
    seen_ += n;
}

} // namespace tarvex
