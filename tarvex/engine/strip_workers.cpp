// Worker threads for the channel strips.
#include "engine/strip_workers.h"

#include <algorithm>

#include "core/thread_priority.h"

#include "engine/channel_strip.h"
#include "engine/mix_views.h"

namespace tarvex {

namespace {

constexpr int32_t kMaxWorkers = 64;
// A stereo frame of 32-bit float samples is the widest input frame.
constexpr std::size_t kMaxInputFrameBytes = 8;
// Finished channel blocks that may wait to be mixed: at least two per worker
// (one being processed, one waiting for its turn), and up to one per channel
// so that the workers can run a whole block's strips while the loop's thread
// finishes the block before, but no more than this many (a megabyte each).
constexpr std::size_t kMinOutputsPerWorker = 2;
constexpr std::size_t kMaxOutputs = 32;

void allocate(StripWorkspace& w) {
    const auto frames = static_cast<std::size_t>(kMaxBlockFrames);
    w.raw.assign(frames * kMaxInputFrameBytes, 0);
    w.monoIn.assign(frames, 0);
    w.workL.assign(frames, 0.0);
    w.workR.assign(frames, 0.0);
}

void allocate(StripOutput& out) {
    const auto frames = static_cast<std::size_t>(kMaxBlockFrames);
    out.left.assign(frames, 0);
    out.right.assign(frames, 0);
}

} // namespace

int32_t stripWorkerCount(int32_t threads) {
    if (threads > 0) return threads < kMaxWorkers ? threads : kMaxWorkers;
    const unsigned cores = std::thread::hardware_concurrency();
    if (cores == 0) return 1;
    return cores < static_cast<unsigned>(kMaxWorkers) ? static_cast<int32_t>(cores) : kMaxWorkers;
}

StripWorkers::StripWorkers(int32_t workers, int32_t channels, MixState& state) {
    const std::size_t count = workers > 1 ? static_cast<std::size_t>(workers) : 1;
    state.workspaces.resize(count);
    for (StripWorkspace& w : state.workspaces)
        allocate(w);
    const std::size_t outputs =
        count == 1
            ? 1
            : std::max(count * kMinOutputsPerWorker,
                       std::min(static_cast<std::size_t>(std::max(channels, 0)), kMaxOutputs));
    state.stripOutputs.resize(outputs);
    for (StripOutput& out : state.stripOutputs)
        allocate(out);
    strips_ = state.strips;
    workspaces_ = state.workspaces;
    outputs_ = state.stripOutputs;
    if (count == 1) return;
    threads_.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        threads_.emplace_back([this, i] { work(i); });
}

StripWorkers::~StripWorkers() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

void StripWorkers::startBlock(const MixSettings& settings, std::span<const int> channels,
                              int64_t pos, int32_t n, int32_t savePosition,
                              std::span<const double> vcaGains) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        settings_ = &settings;
        channels_.assign(channels.begin(), channels.end());
        done_.assign(channels_.size(), 0);
        next_ = mixed_ = 0;
        pos_ = pos;
        n_ = n;
        savePosition_ = savePosition;
        vcaGains_ = vcaGains;
        failed_ = false;
        failure_ = nullptr;
    }
    wake_.notify_all();
}

void StripWorkers::mixBlock(const MixSettings& settings, MixState& state) {
    if (threads_.empty()) {
        StripWorkspace& w = workspaces_.front();
        StripOutput& out = outputs_.front();
        w.bind(out);
        for (int c : channels_) {
            processChannel(settings, strips_[static_cast<std::size_t>(c)], w, c, pos_, n_,
                           savePosition_, vcaGains_);
            observeChannelFader(state, out, c, pos_, n_);
            mixChannel(settings, state, out, c, n_);
        }
        return;
    }
    const std::size_t jobs = channels_.size();
    const std::size_t slots = outputs_.size();
    for (std::size_t j = 0; j < jobs; ++j) {
        int c = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            finished_.wait(lock, [&] { return done_[j] != 0 || failed_; });
            if (failed_) break;
            c = channels_[j];
        }
        observeChannelFader(state, outputs_[j % slots], c, pos_, n_);
        mixChannel(settings, state, outputs_[j % slots], c, n_);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            mixed_ = j + 1;
        }
        wake_.notify_all();
    }
    std::unique_lock<std::mutex> lock(mutex_);
    // No strip may still be running when the block ends, or when a failure
    // leaves this loop early.
    next_ = jobs;
    finished_.wait(lock, [&] { return running_ == 0; });
    if (failure_) std::rethrow_exception(failure_);
}

void StripWorkers::work(std::size_t worker) {
    yieldToLoopThread();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        auto slots = [&] { return settings_ != nullptr ? outputs_.size() : 0; };
        wake_.wait(lock, [&] {
            return stop_ || (!failed_ && next_ < channels_.size() && next_ < mixed_ + slots());
        });
        if (stop_) return;
        const std::size_t j = next_++;
        ++running_;
        const MixSettings& settings = *settings_;
        StripWorkspace& w = workspaces_[worker];
        w.bind(outputs_[j % slots()]);
        const int c = channels_[j];
        ChannelState& channel = strips_[static_cast<std::size_t>(c)];
        const int64_t pos = pos_;
        const int32_t n = n_;
        const int32_t savePosition = savePosition_;
        const std::span<const double> vcaGains = vcaGains_;
        lock.unlock();
        std::exception_ptr failure;
        try {
            processChannel(settings, channel, w, c, pos, n, savePosition, vcaGains);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        --running_;
        if (failure) {
            failed_ = true;
            if (!failure_) failure_ = failure;
        } else {
            done_[j] = 1;
        }
        finished_.notify_all();
    }
}

} // namespace tarvex
