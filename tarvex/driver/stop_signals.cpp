// Signal handlers of a run; see stop_signals.h.
#include "driver/stop_signals.h"

#include <cstdlib>

namespace tarvex {

namespace {

constexpr int kStopSignals[3] = {SIGINT, SIGTERM, SIGHUP};

// The one piece of state outside the run's objects: a signal handler reaches
// nothing else. It holds the first stop signal caught during a run.
CaughtSignal gCaughtSignal{0};

extern "C" void onStopSignal(int signal) {
    int none = 0;
    gCaughtSignal.compare_exchange_strong(none, signal, std::memory_order_relaxed);
}

} // namespace

std::string signalName(int signal) {
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "signal " + std::to_string(signal);
    }
}

StopSignals::StopSignals() {
    gCaughtSignal.store(0, std::memory_order_relaxed);
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a question waiting for an answer on the terminal gives
    // way to the signal instead of holding the run until a line is typed.
    action.sa_flags = 0;
    for (int i = 0; i < 3; ++i)
        sigaction(kStopSignals[i], &action, &earlier_[i]);
    installed_ = true;
    if (const char* at = std::getenv("TARVEX_TEST_PAUSE_AT")) {
        char* end = nullptr;
        const long long block = std::strtoll(at, &end, 10);
        if (end != at && *end == '\0')
            waitBlock_ = block;
        else
            waitStage_ = at;
    }
}

StopSignals::~StopSignals() {
    release();
}

void StopSignals::release() {
    if (!installed_) return;
    for (int i = 0; i < 3; ++i)
        sigaction(kStopSignals[i], &earlier_[i], nullptr);
    installed_ = false;
}

int StopSignals::caught() const {
    return gCaughtSignal.load(std::memory_order_relaxed);
}

void StopSignals::check(const char* stage) const {
    if (!waitStage_.empty() && waitStage_ == stage) waitForStopSignal(gCaughtSignal, stage);
    if (const int signal = caught(); signal != 0) throw SignalStop(signal);
}

StopCheck StopSignals::blockCheck() const {
    return {&gCaughtSignal, waitBlock_};
}

} // namespace tarvex
