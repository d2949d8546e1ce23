// Stopping a render on SIGINT, SIGTERM or SIGHUP.
//
// For the length of a run the three signals only raise a flag; the run looks
// at it between its stages and before each block of the mix, and stops there
// without putting any of its files in place (see output_files.h). The status
// is then 128 plus the signal's number, as a shell gives for a program the
// signal ended.
//
// TARVEX_TEST_PAUSE_AT makes the run wait at one check until a signal comes,
// so that tests can stop it at a point of their choosing: "files" (control
// files and track headers read), "headers" (output headers written), a block
// number (0 is the first block of the mix), "mix" (mix loop done) or
// "reports" (every file written, none yet in place).
#pragma once

#include <csignal>
#include <cstdint>
#include <string>

#include "core/console.h"
#include "core/stop_check.h"

namespace tarvex {

// The stop of a run on a signal.
struct SignalStop : RunStopped {
    explicit SignalStop(int s) : RunStopped(128 + s), signal(s) {}
    int signal;
};

// "SIGTERM" for SIGTERM, and so on for the signals that stop a run.
std::string signalName(int signal);

class StopSignals {
  public:
    // Installs the handlers; the earlier ones come back with `release`.
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Puts the earlier handlers back: from now on a signal acts as before.
    void release();
    // The signal caught so far, 0 for none.
    int caught() const;
    // Throws SignalStop when a signal was caught; `stage` names the check.
    void check(const char* stage) const;
    // The check the mix loop makes before each block.
    StopCheck blockCheck() const;

  private:
    struct sigaction earlier_[3]{};
    bool installed_ = false;
    std::string waitStage_;  // test only: the named check that waits
    int64_t waitBlock_ = -1; // test only: the block that waits
};

} // namespace tarvex
