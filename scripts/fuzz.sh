#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz and runs one of them.
#
#   scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]
#
# TARGET is one of: wav_input track_list preferences fader_file velmont_answers quorrin_loader
# The run starts from fuzz/corpus/TARGET and fuzz/regressions/TARGET, with the format's tokens
# from fuzz/dictionaries/TARGET.dict; new inputs that add
# coverage go to build-fuzz/corpus/TARGET (copy small, useful ones into fuzz/corpus by hand),
# and every crash, hang or leak is written to build-fuzz/findings/TARGET/. Store each finding
# in fuzz/regressions/TARGET once its reader is mended: the test suite replays that folder.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 2 ]; then
    echo "usage: $0 TARGET SECONDS [libFuzzer options...]" >&2
    exit 2
fi
target=$1
seconds=$2
shift 2
build=${FUZZ_BUILD:-build-fuzz}

cmake -S . -B "$build" -DCMAKE_CXX_COMPILER="${CLANGXX:-clang++}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVEX_BUILD_FUZZ=ON -DTARVEX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target "fuzz_$target"

work=$build/corpus/$target
findings=$build/findings/$target
mkdir -p "$work" "$findings" "fuzz/corpus/$target" "fuzz/regressions/$target"
dict=()
[ -f "fuzz/dictionaries/$target.dict" ] && dict=(-dict="fuzz/dictionaries/$target.dict")
# Each input gets 10 s and 2 GiB; anything slower or bigger counts as a finding.
"$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=1048576 -artifact_prefix="$findings/" -print_final_stats=1 "${dict[@]}" "$@" \
    "$work" "fuzz/corpus/$target" "fuzz/regressions/$target"
