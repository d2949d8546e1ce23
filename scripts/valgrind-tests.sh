#!/usr/bin/env bash
# Runs the whole test suite under valgrind memcheck: every test program, and
# every program the end-to-end tests start (valgrind follows children), in a
# Debug build of its own. Any memcheck error or definite leak fails the run.
#
#   scripts/valgrind-tests.sh [build-dir]    (default: build-valgrind)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-valgrind}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j2

# Exit status 87 marks a memcheck finding; no program here uses it, so a
# program under test that reports one fails the exact status check of its test.
opts=(--error-exitcode=87 --leak-check=full --errors-for-leak-kinds=definite
      --show-leak-kinds=definite --trace-children=yes
      "--trace-children-skip=/bin/sh,/usr/bin/*,*python*,*sox*" --quiet
      # libc's clean-up at exit flushes stdio buffers, so a test's child whose exec failed
      # would print the parent's buffered output; leave it out.
      --run-libc-freeres=no
      # No gdb server: its shared-memory file would count against the file-size limits that
      # the write-failure tests set, and valgrind's complaint would replace the program's.
      --vgdb=no)
# The 100 MB control files and quorrin's 24 MB one pass their test's time limit under memcheck, and the
# diagnostics catalogue starts tarvex some 260 times; the sanitizer and plain runs cover them.
filter='-*file_of_*_MB*:DiagnosticsCatalogue.EachLineNotUsedAsWrittenIsNamed'

status=0
for exe in "$build"/tests/*/*_tests; do
    echo "==== $exe"
    (cd "$(dirname "$exe")" && valgrind "${opts[@]}" "./$(basename "$exe")" --gtest_brief=1 "--gtest_filter=$filter") ||
        status=1
done
exit "$status"
