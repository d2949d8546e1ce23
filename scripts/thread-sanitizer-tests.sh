#!/usr/bin/env bash
# Builds everything with ThreadSanitizer and runs the whole test suite, so that
# the channel strips on worker threads are checked for data races (the
# end-to-end tests run the programs built the same way). Any report stops the
# program that made it.
#
#   scripts/thread-sanitizer-tests.sh [build-dir]    (default: build-tsan)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-tsan}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DTARVEX_SANITIZE=thread
cmake --build "$build" -j2
# A race report exits with status 66, which no program here uses, so a program
# under test that stops this way fails the exact status check of its test.
export TSAN_OPTIONS="exitcode=66:halt_on_error=1:second_deadlock_stack=1"
ctest --test-dir "$build" --output-on-failure -j2
