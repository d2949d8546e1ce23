#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs the whole test
# suite. Every finding stops the program that made it (-fno-sanitize-recover=all), the programs
# started by the end-to-end tests included.
#
#   scripts/sanitizer-tests.sh [build-dir]    (default: build-asan)
#
# A sanitizer stop exits with status 86, which no program here uses, so a program under test
# that stops this way fails the exact status check of its test. AddressSanitizer and leak
# reports also go to log files, and any log left after the run fails this script. (GCC's
# UndefinedBehaviorSanitizer runtime ignores log_path next to AddressSanitizer; its reports go
# to standard error, which the end-to-end tests capture with the output of the program.)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-asan}
logs=$PWD/$build/sanitizer-logs

# float-cast-overflow is not part of "undefined" in GCC, but it matters most here: a double
# converted to an integer out of range gives INT_MIN on x86 and a saturated value on ARM.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug \
    -DTARVEX_SANITIZE=address,undefined,float-cast-overflow
cmake --build "$build" -j2

rm -rf "$logs"
mkdir -p "$logs"
export ASAN_OPTIONS="exitcode=86:log_path=$logs/report:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1"
export UBSAN_OPTIONS="exitcode=86:halt_on_error=1:print_stacktrace=1"

status=0
ctest --test-dir "$build" --output-on-failure -j2 || status=$?

if compgen -G "$logs/report*" >/dev/null; then
    echo "sanitizer-tests: sanitizer reports:" >&2
    for report in "$logs"/report*; do
        echo "==== $report" >&2
        cat "$report" >&2
    done
    exit 1
fi
exit "$status"
