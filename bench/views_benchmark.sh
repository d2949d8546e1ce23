#!/usr/bin/env bash
# What the loudness meter, the picture and the overs list cost a render.
#
#   bench/views_benchmark.sh [build-dir] [tracks] [seconds] [rounds] [modes...]
#
# Uses the sessions of bench/session_benchmark.sh (default modes: plain, the
# script's own default, then unity and full) and times each render without
# and with `--loudness --plot --overs`, alternating the two for `rounds`
# rounds (default 5): median whole-process wall time, the speed ratio
# (without / with) and the growth of the peak memory. Needs sox and GNU time.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
tracks=${2:-16}
seconds=${3:-300}
rounds=${4:-5}
shift $(($# < 4 ? $# : 4))
modes=("$@")
[ ${#modes[@]} -gt 0 ] || modes=(plain unity full)
here=$(cd "$(dirname "$0")" && pwd)
exe=$build/tarvex/tarvex
work=${BENCH_DIR:-/tmp/tarvex-bench-pcm-$tracks-$seconds}
export BENCH_DIR=$work
command -v /usr/bin/time >/dev/null || { echo "views_benchmark: GNU time is missing" >&2; exit 1; }

median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

printf '%s tracks x %s s, stereo 24-bit 48 kHz, %s rounds (median wall time)\n' "$tracks" "$seconds" "$rounds"
printf '%-8s %9s %9s %7s %14s\n' session without with ratio "memory +KiB"
for mode in "${modes[@]}"; do
    BENCH_PREPARE_ONLY=1 "$here/session_benchmark.sh" "$build" "$tracks" "$seconds" "$mode"
    (
        cd "$work"
        cp faders.txt "faders_$mode.txt"
        plain=() views=() plainMem=0 viewsMem=0
        for _ in $(seq 1 "$rounds"); do
            /usr/bin/time -f '%e %M' -o time.txt "$exe" tracks.txt "faders_$mode.txt" > /dev/null 2>&1
            read -r t m < time.txt
            plain+=("$t")
            plainMem=$m
            /usr/bin/time -f '%e %M' -o time.txt "$exe" --loudness --plot views.svg --overs \
                tracks.txt "faders_$mode.txt" > /dev/null 2>&1
            read -r t m < time.txt
            views+=("$t")
            viewsMem=$m
        done
        a=$(echo "${plain[*]}" | median)
        b=$(echo "${views[*]}" | median)
        printf '%-8s %8.2fs %8.2fs %7.3f %14d\n' "$mode" "$a" "$b" \
            "$(awk -v a="$a" -v b="$b" 'BEGIN { print a / b }')" $((viewsMem - plainMem))
    )
done
