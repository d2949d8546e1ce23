// What a stage printed when it ended the run, for the reverb tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/console.h"

namespace tarvex_test {

// Runs f, which must end the run with status 1; returns what it printed.
template <class F> std::string stopMessage(F f) {
    testing::internal::CaptureStdout();
    int status = 0;
    try {
        f();
    } catch (const tarvex::RunStopped& stop) {
        status = stop.status;
    }
    EXPECT_EQ(status, 1);
    return testing::internal::GetCapturedStdout();
}

} // namespace tarvex_test
