// Loudness and true peak of the output through libebur128.
#include "meters/loudness.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <ebur128.h>

#include "core/thread_priority.h"

namespace tarvex {

namespace {

// Stretches in the momentary and short-term windows.
constexpr int64_t kMomentaryHops = 4;
constexpr int64_t kShortTermHops = 30;

double dBOfRatio(double ratio) {
    return ratio > 0.0 ? 20.0 * std::log10(ratio) : -std::numeric_limits<double>::infinity();
}

} // namespace

struct LoudnessMeter::Library {
    ebur128_state* st = nullptr;
    ~Library() {
        if (st != nullptr) ebur128_destroy(&st);
    }
};

double loudnessOfEnergy(double energy) {
    return energy > 0.0 ? -0.691 + 10.0 * std::log10(energy)
                        : -std::numeric_limits<double>::infinity();
}

LoudnessMeter::~LoudnessMeter() {
    stop();
    delete state_;
}

void LoudnessMeter::stop() {
    if (!worker_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

// The meter's thread: measures the blocks in the order they were handed in.
void LoudnessMeter::work() {
    yieldToLoopThread();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || measured_ < handedIn_; });
        if (measured_ == handedIn_) return; // stopping, and nothing left
        const auto k = static_cast<std::size_t>(measured_ % 2);
        lock.unlock();
        measure(interleaved_[k].data(), frames_[k]);
        lock.lock();
        ++measured_;
        changed_.notify_all();
    }
}

bool LoudnessMeter::open(uint32_t rate, int32_t channels, int32_t bits, int32_t maxFrames,
                         std::string& error) {
    static_assert(sizeof(int) == sizeof(int32_t), "the library takes 32-bit int samples");
    stop();
    delete state_;
    state_ = nullptr;
    channels_ = channels == 1 ? 1 : 2;
    shift_ = 32 - bits;
    // The library's own 100 ms window: rate × 100 / 1000 frames.
    hopFrames_ = static_cast<int64_t>(rate) * 100 / 1000;
    if (hopFrames_ < 1) {
        error = "a sample rate of " + std::to_string(rate) + " Hz is too low to measure";
        return false;
    }
    ebur128_state* st = ebur128_init(static_cast<unsigned>(channels_), rate,
                                     EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_M);
    if (st == nullptr || !truePeak_.open(rate, channels_)) {
        if (st != nullptr) ebur128_destroy(&st);
        error = "the loudness meter does not take " + std::to_string(rate) + " Hz audio";
        return false;
    }
    state_ = new Library;
    state_->st = st;
    if (channels_ == 1) ebur128_set_channel(st, 0, EBUR128_DUAL_MONO);
    for (auto& buffer : interleaved_)
        buffer.assign(static_cast<std::size_t>(maxFrames) * static_cast<std::size_t>(channels_), 0);
    handedIn_ = measured_ = 0;
    stopping_ = false;
    inHop_ = 0;
    hops_ = 0;
    hopEnergy_.fill(0.0);
    momentaryMax_ = shortTermMax_ = 0.0;
    momentarySeen_ = shortTermSeen_ = false;
    worker_ = std::thread([this] { work(); });
    return true;
}

// A 100 ms stretch is complete: its energy joins the ring and both windows
// that end here are weighed.
void LoudnessMeter::closeHop() {
    double loudness = 0.0;
    ebur128_loudness_window(state_->st, 100, &loudness);
    const double energy = std::isfinite(loudness) ? std::pow(10.0, (loudness + 0.691) / 10.0) : 0.0;
    hopEnergy_[static_cast<std::size_t>(hops_ % kShortTermHops)] = energy;
    ++hops_;
    auto windowEnergy = [&](int64_t count) {
        double sum = 0.0;
        for (int64_t k = 1; k <= count; ++k)
            sum += hopEnergy_[static_cast<std::size_t>((hops_ - k) % kShortTermHops)];
        return sum / static_cast<double>(count);
    };
    if (hops_ >= kMomentaryHops) {
        momentaryMax_ = std::max(momentaryMax_, windowEnergy(kMomentaryHops));
        momentarySeen_ = true;
    }
    if (hops_ >= kShortTermHops) {
        shortTermMax_ = std::max(shortTermMax_, windowEnergy(kShortTermHops));
        shortTermSeen_ = true;
    }
}

void LoudnessMeter::addBlock(std::span<const int32_t> left, std::span<const int32_t> right,
                             int32_t n) {
    if (state_ == nullptr || n <= 0) return;
    std::unique_lock<std::mutex> lock(mutex_);
    // The buffer of this block held the block before the last one.
    changed_.wait(lock, [&] { return measured_ + 1 >= handedIn_; });
    const auto k = static_cast<std::size_t>(handedIn_ % 2);
    lock.unlock();
    // Output steps are exact at 2^31 scale: a shift of 8 (24-bit) or 16 bits.
    const auto scale = static_cast<int32_t>(int64_t{1} << shift_);
    int32_t* out = interleaved_[k].data();
    if (channels_ == 2) {
        for (int32_t i = 0; i < n; ++i) {
            out[2 * i] = left[i] * scale;
            out[2 * i + 1] = right[i] * scale;
        }
    } else {
        for (int32_t i = 0; i < n; ++i)
            out[i] = left[i] * scale;
    }
    frames_[k] = n;
    lock.lock();
    ++handedIn_;
    lock.unlock();
    changed_.notify_all();
}

void LoudnessMeter::measure(const int32_t* out, int64_t n) {
    truePeak_.add(out, n);
    int64_t done = 0;
    while (done < n) {
        const int64_t take = std::min<int64_t>(n - done, hopFrames_ - inHop_);
        ebur128_add_frames_int(state_->st, out + done * channels_, static_cast<std::size_t>(take));
        done += take;
        inHop_ += take;
        if (inHop_ == hopFrames_) {
            closeHop();
            inHop_ = 0;
        }
    }
}

LoudnessResult LoudnessMeter::result() {
    constexpr double kNone = -std::numeric_limits<double>::infinity();
    LoudnessResult r{kNone, 0.0, kNone, kNone, kNone, kNone, kNone, kNone};
    if (state_ == nullptr) return r;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return measured_ == handedIn_; });
    }
    ebur128_loudness_global(state_->st, &r.integrated);
    if (ebur128_loudness_range(state_->st, &r.range) != EBUR128_SUCCESS) r.range = 0.0;
    if (momentarySeen_) r.momentaryMax = loudnessOfEnergy(momentaryMax_);
    if (shortTermSeen_) r.shortTermMax = loudnessOfEnergy(shortTermMax_);
    r.samplePeakL = dBOfRatio(truePeak_.samplePeak(0));
    r.truePeakL = dBOfRatio(truePeak_.peak(0));
    if (channels_ == 2) {
        r.samplePeakR = dBOfRatio(truePeak_.samplePeak(1));
        r.truePeakR = dBOfRatio(truePeak_.peak(1));
    } else {
        r.truePeakR = r.truePeakL;
        r.samplePeakR = r.samplePeakL;
    }
    return r;
}

} // namespace tarvex
