#!/usr/bin/env bash
# Times tarvex beside the tools a user would otherwise pick for the same mix.
#
#   bench/peer_benchmark.sh [build-dir] [tracks] [seconds] [rounds]
#
# Uses the session of bench/session_benchmark.sh (stereo 24-bit 48 kHz tracks
# made with sox, kept between runs) and times, alternating the commands for
# `rounds` rounds (default 3), whole-process wall time and peak memory:
#   - tarvex, plain unity mix, default and one worker;
#   - sox -m, every input at -v 1, no dither;
#   - Ecasound summing all chains (-z:mixmode,sum -b:16384);
#   - tarvex with full strips (high-pass, two bands and an RMS compressor on
#     every channel, four submixes with a compressor each, both reverbs, a
#     master limiter), default and one worker;
#   - Ecasound with a high-pass and a compressor on every chain.
# Prints the median times, realtime factors and ratios, and checks the plain
# tarvex mix against sox -m's sample by sample. Needs sox, ecasound and
# GNU time.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
tracks=${2:-16}
seconds=${3:-300}
rounds=${4:-3}
here=$(cd "$(dirname "$0")" && pwd)
exe=$build/tarvex/tarvex
work=${BENCH_DIR:-/tmp/tarvex-bench-pcm-$tracks-$seconds}
export BENCH_DIR=$work
for tool in sox ecasound /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "peer_benchmark: $tool is missing" >&2; exit 1; }
done

BENCH_PREPARE_ONLY=1 "$here/session_benchmark.sh" "$build" "$tracks" "$seconds" unity
cd "$work"
cp faders.txt faders_unity.txt
BENCH_PREPARE_ONLY=1 "$here/session_benchmark.sh" "$build" "$tracks" "$seconds" full
cp faders.txt faders_full.txt
prefs() { printf 'begin\nverbo\t1\ndither\t0\noutbits\t24\n%bend\n' "$1"; }
prefs '' > prefs_default.txt
prefs 'threads\t1\n' > prefs_one.txt

inputs=()
chains=()
for i in $(seq 1 "$tracks"); do
    inputs+=(-v 1 "track$i.wav")
    chains+=("-a:$i" "-i:track$i.wav")
done
fxchains=()
for i in $(seq 1 "$tracks"); do
    fxchains+=("-a:$i" "-i:track$i.wav" "-efh:40" "-eca:69,0.5,0.25,1")
done
all=$(seq -s, 1 "$tracks")

declare -A cmd=(
    [tarvex]="$exe tracks.txt faders_unity.txt prefs_default.txt"
    [tarvex-1]="$exe tracks.txt faders_unity.txt prefs_one.txt"
    [sox]="sox -m ${inputs[*]} -b 24 -D sox_mix.wav"
    [ecasound]="ecasound -q -z:mixmode,sum -b:16384 ${chains[*]} -a:$all -f:s24_le,2,48000 -o:eca_mix.wav"
    [tarvex-full]="$exe tracks.txt faders_full.txt prefs_default.txt"
    [tarvex-full-1]="$exe tracks.txt faders_full.txt prefs_one.txt"
    [ecasound-fx]="ecasound -q -z:mixmode,sum -b:16384 ${fxchains[*]} -a:$all -f:s24_le,2,48000 -o:eca_fx.wav"
)
order=(tarvex tarvex-1 sox ecasound tarvex-full tarvex-full-1 ecasound-fx)
declare -A times mems
for r in $(seq 1 "$rounds"); do
    for name in "${order[@]}"; do
        # shellcheck disable=SC2086 # the commands are word lists
        /usr/bin/time -f '%e %M' -o time.txt ${cmd[$name]} > /dev/null 2>&1
        read -r t m < time.txt
        times[$name]+="$t "
        mems[$name]=$m
    done
done
median() { tr ' ' '\n' | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

printf '%s tracks x %s s, stereo 24-bit 48 kHz, %s rounds (median wall time)\n' "$tracks" "$seconds" "$rounds"
printf '%-15s %9s %10s %12s\n' command seconds realtime "peak KiB"
declare -A med
for name in "${order[@]}"; do
    med[$name]=$(echo "${times[$name]}" | median)
    printf '%-15s %9.2f %9.1fx %12s\n' "$name" "${med[$name]}" \
        "$(awk -v s="$seconds" -v t="${med[$name]}" 'BEGIN { print s / t }')" "${mems[$name]}"
done
ratio() { awk -v a="${med[$1]}" -v b="${med[$2]}" 'BEGIN { printf "%.2f", a / b }'; }
echo "sox -m / tarvex (plain):             $(ratio sox tarvex)"
echo "sox -m / tarvex, one worker:         $(ratio sox tarvex-1)"
echo "ecasound / tarvex (plain):           $(ratio ecasound tarvex)"
echo "ecasound hp+comp / tarvex full:      $(ratio ecasound-fx tarvex-full)"
echo "tarvex full one worker / default:    $(ratio tarvex-full-1 tarvex-full)"

# The plain mix against sox -m's. Every input is a 24-bit integer and tarvex
# sums them exactly; sox -m rounds its sum, so a sample may differ by one step
# where the exact sum lies far from zero. No sample may differ by more.
${cmd[tarvex]} > /dev/null
sox bench_mix.wav -t raw tarvex.raw
sox sox_mix.wav -t raw sox.raw
python3 - tarvex.raw sox.raw <<'PY'
import sys
a = open(sys.argv[1], "rb").read()
b = open(sys.argv[2], "rb").read()
if len(a) != len(b):
    sys.exit(f"tarvex plain mix has {len(a)} bytes, sox -m's {len(b)}")
def samples(buf):
    return (int.from_bytes(buf[i:i + 3], "little", signed=True) for i in range(0, len(buf), 3))
one = more = 0
for x, y in zip(samples(a), samples(b)):
    d = abs(x - y)
    one += d == 1
    more += d > 1
total = len(a) // 3
print(f"tarvex plain mix against sox -m: {total - one - more} samples equal, {one} one step apart, {more} further")
sys.exit(1 if more else 0)
PY
