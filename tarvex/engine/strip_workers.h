// Channel strips of a block on a small pool of worker threads.
//
// The pool is created once before the first block. For each block the
// workers take the playing channels in channel order, each into a workspace
// of its own (read, decode, effects, fader and pan) and leave the result in
// one of a few finished-block buffers, while the mix loop's thread adds the
// finished channels into the buses and reverb sends strictly in channel
// order, so every sum, its saturation and every later stage see exactly the
// values of a single-threaded run. A channel waits for a free finished-block
// buffer, so memory stays bounded whatever the number of channels (one
// buffer per channel up to a limit). While the loop's thread finishes a
// block (submixes, reverbs, master, output), the workers already run the
// next block's strips, which touch only their channels' own state; the
// workers run at a slightly lower priority than the loop's thread, which
// every block waits for. With one worker no thread is started and every
// channel runs and is mixed on the loop's thread, one after the other.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "session/mix_session.h"

namespace tarvex {

// Workers for a `threads` setting: 0 asks for one per core.
int32_t stripWorkerCount(int32_t threads);

class StripWorkers {
  public:
    // Starts `workers` threads, or none for one worker; allocates the
    // workspaces and finished-block buffers for up to `channels` channels
    // in `state`. The workers keep only these and the strip states.
    StripWorkers(int32_t workers, int32_t channels, MixState& state);
    ~StripWorkers();
    StripWorkers(const StripWorkers&) = delete;
    StripWorkers& operator=(const StripWorkers&) = delete;

    // Hands the channels of the block [pos, pos + n) to the workers, which
    // start on them at once (with one worker nothing runs yet). `vcaGains`
    // holds the block's VCA gains and stays untouched until `mixBlock`
    // returns. Runs in the mix loop.
    void startBlock(const MixSettings& settings, std::span<const int> channels, int64_t pos,
                    int32_t n, int32_t savePosition, std::span<const double> vcaGains);

    // Adds the started block's channels into the buses and sends in channel
    // order as they are finished, and returns once all are mixed. Whatever a
    // strip threw reaches the caller here, once no strip is running. Runs in
    // the mix loop.
    void mixBlock(const MixSettings& settings, MixState& state);

  private:
    void work(std::size_t worker);

    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_;     // workers: a job may be free
    std::condition_variable finished_; // loop thread: a job is done
    // What the strips work on, fixed at construction.
    std::span<ChannelState> strips_;       // by slot
    std::span<StripWorkspace> workspaces_; // by worker
    std::span<StripOutput> outputs_;       // finished-block buffers
    // The block in hand, set by startBlock under the mutex.
    const MixSettings* settings_ = nullptr;
    std::vector<int> channels_; // channels of the block, in order
    std::vector<uint8_t> done_; // per job: processed
    std::size_t next_ = 0;      // next job to hand out
    std::size_t mixed_ = 0;     // jobs mixed so far
    int64_t pos_ = 0;
    int32_t n_ = 0;
    int32_t savePosition_ = 0;
    std::span<const double> vcaGains_; // the block's VCA gains
    std::size_t running_ = 0;          // jobs being processed now
    bool stop_ = false;
    bool failed_ = false;
    std::exception_ptr failure_;
};

} // namespace tarvex
