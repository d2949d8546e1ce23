#!/usr/bin/env bash
# Cross-builds the three programs and the test suite for the target board (32-bit ARM,
# hard-float: arm-linux-gnueabihf) and runs every test under qemu-arm.
#
#   scripts/armhf-tests.sh [build-dir]        (default: build-armhf)
#
# Needs Debian's crossbuild-essential-armhf, qemu-user and googletest (GoogleTest is compiled
# from /usr/src/googletest for the target; override with GTEST_SOURCE=dir). No binfmt_misc
# registration is needed: ctest starts each test binary through qemu-arm, and the end-to-end
# tests start the programs under test through the wrappers that the build generates
# (cmake/ProgramUnderTest.cmake).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-armhf}
gtest_source=${GTEST_SOURCE:-/usr/src/googletest}
triple=arm-linux-gnueabihf
export QEMU_LD_PREFIX=/usr/$triple
# The target's own libraries first: with Debian's multiarch armhf libraries also installed (for
# libebur128), the cross loader would otherwise pair itself with another build of libc and fail
# as soon as a program starts a thread or a child.
export QEMU_SET_ENV=LD_LIBRARY_PATH=/usr/$triple/lib

fail() { echo "armhf-tests: $*" >&2; exit 1; }
command -v "$triple-g++" >/dev/null || fail "no $triple-g++ (Debian: crossbuild-essential-armhf)"
command -v qemu-arm >/dev/null || fail "no qemu-arm (Debian: qemu-user)"
[ -f "$gtest_source/CMakeLists.txt" ] || fail "no GoogleTest sources in $gtest_source (Debian: googletest)"

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/armhf-toolchain.cmake" \
    -DTARVEX_GTEST_FROM_SOURCE="$gtest_source"
cmake --build "$build" -j2

# A build that silently fell back to the host compiler would pass every test and prove nothing.
for program in tarvex/tarvex velmont/velmont quorrin/quorrin; do
    header=$("$triple-readelf" -h "$build/$program")
    grep -q 'Class:[[:space:]]*ELF32' <<<"$header" && grep -q 'Machine:[[:space:]]*ARM' <<<"$header" &&
        grep -q 'hard-float ABI' <<<"$header" ||
        fail "$build/$program is not a 32-bit hard-float ARM program"
done

ctest --test-dir "$build" --output-on-failure -j2
