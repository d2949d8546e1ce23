#!/usr/bin/env bash
# How much of the programs the whole test suite runs, and how much of the project is tests.
#
#   scripts/coverage.sh          builds in build-coverage with --coverage -O0, runs every test and
#                                prints the line, function and branch coverage of tarvex/,
#                                velmont/ and quorrin/, then the test share
#   scripts/coverage.sh --share  prints the test share only
#
# The test share counts the non-blank lines of .cpp, .h, .py and .sh files: tests are the files
# under tests/ or named *_test.* or test_*, code is every other .cpp and .h file outside tests/
# and bench/. The share is tests / (tests + code). Needs gcovr (scripts/install-dependencies
# --checks installs it).
set -euo pipefail
cd "$(dirname "$0")/.."

test_share() {
    local files
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        files=$(git ls-files -- '*.cpp' '*.h' '*.py' '*.sh')
    else
        files=$(find . -path ./build\* -prune -o -type f \( -name '*.cpp' -o -name '*.h' \
            -o -name '*.py' -o -name '*.sh' \) -print | sed 's|^\./||')
    fi
    local tests=0 code=0 path base n
    for path in $files; do
        base=${path##*/}
        n=$(grep -c '[^[:space:]]' "$path" || true)
        if [[ $path == tests/* || $base == *_test.* || $base == test_* ]]; then
            tests=$((tests + n))
        elif [[ ($path == *.cpp || $path == *.h) && $path != bench/* ]]; then
            code=$((code + n))
        fi
    done
    awk -v t="$tests" -v c="$code" \
        'BEGIN { printf "test share: %.1f %% (%d test lines, %d code lines)\n", 100 * t / (t + c), t, c }'
}

if [ "${1:-}" = --share ]; then
    test_share
    exit 0
fi

command -v gcovr >/dev/null || {
    echo "coverage.sh: gcovr is missing; scripts/install-dependencies --checks installs it" >&2
    exit 1
}
build=${COVERAGE_BUILD:-build-coverage}
cmake -S . -B "$build" -DTARVEX_BUILD_TESTS=ON -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="--coverage -O0" -DCMAKE_EXE_LINKER_FLAGS="--coverage" >/dev/null
cmake --build "$build" -j2 >/dev/null
find "$build" -name '*.gcda' -delete
# A test that limits the file size of its program can fail here only because the coverage data
# is written at exit: it is named, and the figures still count what ran.
ctest --test-dir "$build" -j2 >"$build/ctest.log" 2>&1 ||
    sed -n '/tests FAILED:/,$p' "$build/ctest.log" | grep -E '^[[:space:]]+[0-9]+ - ' >&2 || true
# The per-file table goes to a file in the build folder: gcovr replaces the file it is given,
# so naming /dev/null there would turn the device into a plain file.
gcovr --root . --object-directory "$build" --filter 'tarvex/' --filter 'velmont/' \
    --filter 'quorrin/' --gcov-ignore-parse-errors --exclude-throw-branches \
    --exclude-unreachable-branches --print-summary --output "$build/coverage.txt" "$build" \
    2>"$build/gcovr.log" |
    grep -E '^(lines|functions|branches):'
test_share
