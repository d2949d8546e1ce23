#!/usr/bin/env bash
# Renders a large generated session and reports the realtime factor and the
# peak memory of tarvex.
#
#   bench/session_benchmark.sh [build-dir] [tracks] [seconds] [unity|plain|strips|full]
#
# Makes <tracks> stereo 24-bit 48 kHz tracks of <seconds> seconds with sox in
# a scratch folder (kept between runs), renders them with dither 0 and prints
# the wall-clock time, the song seconds per wall-clock second and the peak
# resident memory. Needs sox and GNU time.
#
# unity: every channel at 0 dB from the start, nothing else. plain: levels,
# pans and fades only. strips: also a high-pass, two bands and
# an RMS compressor on every channel and a master limiter. full: the strips,
# four submixes with a compressor each, sends to both reverbs and their
# returns with input filters. With BENCH_PREPARE_ONLY=1 the script only
# writes the session (for bench/peer_benchmark.sh) and renders nothing.
# BENCH_ARGS adds options to the render (for example BENCH_ARGS=--stems).
set -euo pipefail
build=${1:-build}
tracks=${2:-16}
seconds=${3:-300}
mix=${4:-plain}
exe=$(cd "$build" && pwd)/tarvex/tarvex
work=${BENCH_DIR:-/tmp/tarvex-bench-pcm-$tracks-$seconds}
mkdir -p "$work"
cd "$work"

{
    echo begin
    for i in $(seq 1 "$tracks"); do
        f=track$i.wav
        if [ ! -f "$f" ]; then
            # Plain PCM headers (not sox's extensible ones), which every peer reads.
            sox -n -r 48000 -b 24 -c 2 -t wavpcm "$f" synth "$seconds" sine $((100 * i)) pinknoise \
                gain -15
        fi
        echo "$i $f +"
    done
    echo end
} > tracks.txt
printf 'begin\nverbo\t1\ndither\t0\noutbits\t24\nend\n' > prefs.txt
# Every channel gets a level, a pan and a fade in and out.
if [ "$mix" = unity ]; then
    {
        printf 'begin\nbench_mix\nt\t0\t0\t0\n'
        for i in $(seq 1 "$tracks"); do printf 'v\t%d\t0\n' "$i"; done
        printf 'end\n'
    } > faders.txt
else
{
    printf 'begin\nbench_mix\nt\t0\t0\t0\n'
    for i in $(seq 1 "$tracks"); do printf 'v\t%d\t-40\np\t%d\t%d\n' "$i" "$i" $((i * 10 % 200 - 100)); done
    printf 't\t0\t5\t0\n'
    for i in $(seq 1 "$tracks"); do printf 'v\t%d\t-6\nrmp\t4\nshape\t0.5\n' "$i"; done
    printf 't\t0\t%d\t0\n' $((seconds - 10))
    for i in $(seq 1 "$tracks"); do printf 'v\t%d\t-60\nrmp\t8\n' "$i"; done
    if [ "$mix" != plain ]; then
        for i in $(seq 1 "$tracks"); do
            printf 'hp\t%d\t40\nband1\t%d\t250\t-3\t1\nband2\t%d\t3000\t2\t0.7\n' "$i" "$i" "$i"
            printf 'rms\t%d\t-20\t10\t150\t3\n' "$i"
        done
        printf 'lim\tM\t-1\n'
    fi
    if [ "$mix" = full ]; then
        for k in 1 2 3 4; do
            list=$(seq -s, "$k" 4 "$tracks")
            printf 'sub\t%d\t%s\ncomp\tG\t%d\t-12\t5\t100\t3\n' "$k" "$list" "$k"
        done
        for i in $(seq 1 "$tracks"); do
            if [ $((i % 2)) -eq 1 ]; then printf 'rev\t%d\t-12\n' "$i"; else printf 'trev\t%d\t-12\n' "$i"; fi
        done
        printf 'rtn\t-6\t60\ntrtn\t-9\t45\t5\nrhp\t150\nrlp\t9000\n'
    fi
    printf 'end\n'
} > faders.txt
fi
[ "${BENCH_PREPARE_ONLY:-0}" = 1 ] && exit 0

# shellcheck disable=SC2086 # the options are split on purpose
/usr/bin/time -v "$exe" ${BENCH_ARGS:-} > run.log 2> time.log
wall=$(grep 'Elapsed (wall clock)' time.log | awk '{print $NF}')
rss=$(grep 'Maximum resident set size' time.log | awk '{print $NF}')
secs=$(echo "$wall" | awk -F: '{ if (NF == 3) print $1 * 3600 + $2 * 60 + $3; else print $1 * 60 + $2 }')
echo "tracks: $tracks x ${seconds}s stereo 24-bit 48 kHz, $mix mix"
echo "wall clock: ${secs}s   realtime factor: $(awk -v s="$seconds" -v w="$secs" 'BEGIN { printf "%.1f", s / w }')"
echo "peak memory: ${rss} KiB"
