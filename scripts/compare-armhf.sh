#!/usr/bin/env bash
# Renders the same sessions with the native tarvex and with armhf builds of tarvex under
# qemu-arm, and requires byte-identical results: every file a run writes (mix or preview WAV,
# fader copy), the statistics report and the console output, apart from the "Processing time"
# line. Any difference fails the script.
#
#   scripts/compare-armhf.sh
#
# Two armhf builds take part: one for the Debian armhf baseline (ARMv7, VFPv3-D16, no fused
# multiply-add) and one for a Cortex-A7 with VFPv4 and NEON, whose FPU has fused multiply-add;
# boards of both kinds exist, and both must render exactly what the native build renders.
#
# Environment: NATIVE_BUILD (default build-native-cmp), ARMHF_BUILD (default build-armhf) and
# ARMHF_VFPV4_BUILD (default build-armhf-vfpv4) are the build directories; each is configured
# without tests when it has no cache yet, and only the programs used here are built in it.
# KEEP=1 keeps the work directory.
#
# BASELINE_BUILD=DIR compares the native build with another native build instead of the ARM
# builds: DIR is an existing build of an earlier commit (a git worktree of it, say), so that a
# change meant to keep every output can show that it does, console text included (what the
# earlier build lacks on standard error, the diagnostics about control files, is shown).
#
# The input tracks are made once, natively, and every build reads the same files: the demo
# tracks of make_demo_tracks (16-bit, 24-bit and float, mono and stereo, one of them starting
# late) and two tracks from sox that the demo lacks (24-bit stereo in the extensible format,
# float stereo). The sessions cover 24-bit, 16-bit and mono output without dither, dither with a
# fixed seed (the standard library's noise must repeat on every build), a preview, a
# cut-in/cut-out window, tempo mode with delay-pan, names outside ASCII, overloads that
# saturate, and a preview of samples that lie beyond 2 GiB in a 3 GiB input. The cue editor
# quorrin is compared on one fader file too.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
root=$PWD

triple=arm-linux-gnueabihf
export QEMU_LD_PREFIX=/usr/$triple
# The target's own libraries first: with Debian's multiarch armhf libraries also installed (for
# libebur128), the cross loader would otherwise pair itself with another build of libc and fail
# as soon as a program starts a thread or a child.
export QEMU_SET_ENV=LD_LIBRARY_PATH=/usr/$triple/lib
toolchain=$root/cmake/armhf-toolchain.cmake

fail() { echo "compare-armhf: $*" >&2; exit 1; }
command -v qemu-arm >/dev/null || fail "no qemu-arm (Debian: qemu-user)"
command -v sox >/dev/null || fail "no sox (Debian: sox)"

# --- Builds -------------------------------------------------------------------------------------
# The sides: their build directories and how their programs are started.
sides=(native armhf armhf-vfpv4)
declare -A build_dir=(
    [native]=${NATIVE_BUILD:-build-native-cmp}
    [armhf]=${ARMHF_BUILD:-build-armhf}
    [armhf-vfpv4]=${ARMHF_VFPV4_BUILD:-build-armhf-vfpv4})
declare -A launcher=([native]="" [armhf]=qemu-arm [armhf-vfpv4]=qemu-arm)
if [ -n "${BASELINE_BUILD:-}" ]; then
    sides=(native baseline)
    build_dir[baseline]=$(cd "$BASELINE_BUILD" && pwd)
    launcher[baseline]=""
fi

for side in "${sides[@]}"; do
    dir=${build_dir[$side]}
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        case $side in
        native) cmake -S . -B "$dir" -DTARVEX_BUILD_TESTS=OFF ;;
        armhf) cmake -S . -B "$dir" -DTARVEX_BUILD_TESTS=OFF -DCMAKE_TOOLCHAIN_FILE="$toolchain" ;;
        armhf-vfpv4)
            cmake -S . -B "$dir" -DTARVEX_BUILD_TESTS=OFF -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
                "-DCMAKE_CXX_FLAGS=-mcpu=cortex-a7 -mfpu=neon-vfpv4 -Wno-psabi"
            ;;
        esac
    fi
    cmake --build "$dir" -j2 --target tarvex quorrin make_demo_tracks
done
# Each ARM side must really be built for its FPU, or the comparison proves less than it claims.
fp_arch() { "$triple-readelf" -A "$root/${build_dir[$1]}/tarvex/tarvex" | sed -n 's/.*Tag_FP_arch: //p'; }
if [ -z "${BASELINE_BUILD:-}" ]; then
    [ "$(fp_arch armhf)" = VFPv3-D16 ] || fail "armhf build: FPU $(fp_arch armhf), expected VFPv3-D16"
    [ "$(fp_arch armhf-vfpv4)" = VFPv4 ] || fail "armhf-vfpv4 build: FPU $(fp_arch armhf-vfpv4), expected VFPv4"
fi

# Runs program <name> of a side with the remaining arguments.
run_on() { # side, program, args...
    local side=$1 program=$2
    shift 2
    local path=${build_dir[$side]}/$program
    [ "${path:0:1}" = / ] || path=$root/$path
    if [ -n "${launcher[$side]}" ]; then
        "${launcher[$side]}" "$path" "$@"
    else
        "$path" "$@"
    fi
}

work=$(mktemp -d "${TMPDIR:-/tmp}/compare-armhf.XXXXXX")
if [ "${KEEP:-0}" = 1 ]; then
    echo "compare-armhf: work directory $work"
else
    trap 'rm -rf "$work"' EXIT
fi

mismatches=0
mismatch() { # what, message
    echo "MISMATCH [$1]: $2" >&2
    mismatches=$((mismatches + 1))
}

# --- Input tracks -------------------------------------------------------------------------------
tracks=$work/tracks
mkdir -p "$tracks"
run_on native examples/demo/make_demo_tracks "$tracks" >/dev/null
# 24-bit stereo (sox writes it in the extensible format) and 32-bit float stereo, both shorter
# than the song so that they end inside a block.
sox -R -D -n -r 44100 -b 24 -c 2 "$tracks/strings24.wav" \
    synth 17.3 sine 220 sine 331 tremolo 3 40 fade 0.2 17.3 0.5 gain -14
sox -R -D -n -r 44100 -e floating-point -b 32 -c 2 "$tracks/air.wav" \
    synth 21 pinknoise pinknoise gain -26 highpass 900

# The demo tracks made by the ARM generators must match the native ones too.
for side in "${sides[@]:1}"; do
    run_on $side examples/demo/make_demo_tracks "$work/tracks-$side" >/dev/null
    for f in "$work/tracks-$side"/*.wav; do
        cmp -s "$f" "$tracks/$(basename "$f")" ||
            mismatch "demo $side" "make_demo_tracks writes a different $(basename "$f")"
    done
done

# --- Sessions -----------------------------------------------------------------------------------
track_list='begin
1 kick.wav +
2 snare.wav +
3 hats.wav +
4 bass.wav +
5 pad.wav +
6 lead.wav +
7 strings24.wav +
8 air.wav +
9 kick.wav +
end
'

# A mix script that moves every kind of level: fractional dB, ramps with shapes, offsets, pans
# under the pan law, polarity, trims, scale, master trim, effects gain, delay pan, a submix with
# its own level, a VCA, and master cues. Channel 9 replays the kick 1234 samples late.
mix_script() { # name
    printf '%s' "begin
$1

tstamp	6	0	4	0
tstamp	7	0	2	500
sstamp	9	1234
sub	1	3,5,8
VCA:	2	1,2,9
t	0	0	0
v	1	-2.3
v	2	-3.7
v	3	-6.1
v	4	-3.3
v	5	-4.5
v	6	-3.0
v	7	-5.25
v	8	-1.5
v	9	-9.9
v	G	1	-1.7
vca	2	0.0
v	M	0.0
p	1	-35
p	2	17
p	4	63
p	5	-20
p	7	40
pol	9	-1
dp	6	-45
trim	2	1.75
fxg	4	2.5
scale	0.93
mtrim	-0.6
t	0	3	250
v	1	-8.5
rmp	1.3
shape	2.5
v	G	1	-4.2
rmp	0.7
t	0	6	0
vca	2	-4.75
rmp	2.2
shape	0.4
v	4	-0.7
ofs	0.125
t	0	9	500
v	3	-12.5
v	M	-2.0
rmp	3
t	0	12	0
v	1	-1.1
v	7	-20
rmp	4.5
shape	3
vca	2	1.5
t	0	15	333
v	2	-30
rmp	0.01
v	5	2.0
t	0	18	0
v	G	1	-144
rmp	5
v	M	-0.25
t	0	21	0
v	6	-7
inc	1.5
v	6	-3
end
"
}

# Channel strips run on two workers, as on the board.
prefs() { # outbits, extra lines
    printf 'begin\nverbo\t2\noutbits\t%s\ndither\t0\npan\t4.5\ndbps\t60\nthreads\t2\n%s\nend\n' \
        "$1" "${2:-}"
}

# Every strip effect on channels, a submix and the master, both reverbs (sent
# from channels and the submix) with their input filters, and a tap file.
effect_lines() {
    printf '%s' "hp	1	60
band1	2	800	5	1.5
band4	3	6000	-6	0.8
hshelf	4	7000	3	0.7
lshelf	5	120	-4	0.7
rms	1	-24	5	120	3
nlc	2	-28	600	4
comp	7	-18	1	80	5
lim	8	-12
order	lim	8	1
comp	G	1	-20	5	100	3
hp	M	25
lim	M	-1
fxg	G	1	2
rev	1	-8
rev	G	1	-12
trev	5	-6
rtn	-4	55
trtn	-7	40	6
pos	30	45	60
width	70
rhp	120
rlp	9000
"
}

new_session() { # name
    local dir=$work/sessions/$1
    mkdir -p "$dir"
    ln -s "$tracks"/*.wav "$dir/"
    printf '%s' "$track_list" >"$dir/tracks.txt"
    mix_script "$1" >"$dir/faders.txt"
    echo "$dir"
}

d=$(new_session effects)
prefs 24 "tap	rtn" >"$d/prefs.txt"
sed -i '/^end$/d' "$d/faders.txt"
{ effect_lines; echo end; } >>"$d/faders.txt"
d=$(new_session stereo24)
prefs 24 >"$d/prefs.txt"
d=$(new_session stereo16)
prefs 16 >"$d/prefs.txt"
d=$(new_session mono24)
prefs 24 "mono	-4.5" >"$d/prefs.txt"
d=$(new_session mono16)
prefs 16 "mono	-3.0" >"$d/prefs.txt"
# Dither from a fixed seed: the noise, and so every output byte, must match on every build.
d=$(new_session dithered)
prefs 16 "dither	3
seed	90125" >"$d/prefs.txt"
d=$(new_session preview)
prefs 16 "pre	on
start	0	7	125
length	6.5" >"$d/prefs.txt"
d=$(new_session window)
prefs 24 "xin	0.01	0.06	0
xout	0	19	250
offset	0	0	250" >"$d/prefs.txt"

# Tempo mode (bars, beats and ticks over a tempo map) with the delay-pan law.
d=$(new_session tempo)
prefs 24 "tempo" >"$d/prefs.txt"
sed -i 's/^pan\t4.5$/pan\t0/' "$d/prefs.txt"
cat >"$d/faders.txt" <<'EOF'
begin
tempo

tstamp	6	0	4	0
tmap	120	4	3
tmap	97.5	3	4
tmap	140	4	20
t	1	1	0
v	M	0
v	1	-3
v	2	-4.5
v	3	-6
v	4	-2.5
v	5	-5
v	6	-4
v	7	-8
v	8	-3.5
v	9	-50
p	1	-80
p	2	55
p	4	-12
p	6	100
p	9	-100
t	2	3	240
v	2	-12
rmp	1.5
t	4	2	100
v	4	-9.75
shape	6
t	7	1	0
v	1	-0.5
v	M	-3
rmp	2.5
t	12	4	479
v	7	-1
t	13	1	0
v	M	-0.5
end
EOF

# Overloads: levels far above full scale saturate, and the report counts the clips.
d=$(new_session loud)
prefs 16 "verbo	3" >"$d/prefs.txt"
cat >"$d/faders.txt" <<'EOF'
begin
loud

tstamp	6	0	4	0
t	0	0	0
v	1	12
v	2	12
v	3	12
v	4	12
v	5	12
v	6	12
v	7	12
v	8	12
v	9	12
v	M	12
fxg	1	15
fxg	M	6
t	0	10	0
v	M	-12
rmp	4
end
EOF

# Names and notes outside ASCII (UTF-8 and a stray Latin-1 byte), where the signedness of plain
# char could change how text is split or compared.
d=$(new_session names)
prefs 16 >"$d/prefs.txt"
ln -s "$tracks/bass.wav" "$d/Bäss_é.wav"
ln -s "$tracks/pad.wav" "$d/$(printf 'pad\xe9.wav')"
{
    printf 'Notes: Größe – überall ½ dB \xff\xfe\x80\tbegin\n'
    sed -e '1d' -e 's/^4 bass.wav +$/4 Bäss_é.wav +/' \
        -e "s/^5 pad.wav +\$/5 $(printf 'pad\xe9.wav') +/" <<<"$track_list"
} >"$d/tracks.txt"
{
    printf 'Mix für Ünïcode \xe9\x80\n'
    mix_script names | sed -e 's/^v\t3\t-6.1$/v\t3\t-6.1\nnote\t\xc3\xa9\xff\t1/'
} >"$d/faders.txt"

# A preview three hours into a 3 GiB input (a sparse file): the samples lie beyond 2 GiB, where
# a 32-bit file offset would wrap. The preview must give back exactly the tone stored there.
le() { # value, bytes: the value little-endian
    local i
    for ((i = 0; i < $2; i++)); do printf "\\x$(printf %02x $((($1 >> (8 * i)) & 255)))"; done
}
big_data=$((3 << 30))      # bytes of 24-bit stereo audio: 536870912 frames, 3 h 22 min
big_at=$((180 * 60 * 44100)) # first frame of the preview: 180 minutes in
sox -R -D -n -r 44100 -b 24 -c 2 -e signed-integer -t raw "$work/tone.raw" \
    synth 2 sine 440 sine 660 gain -6
{
    printf 'RIFF'; le $((36 + big_data)) 4; printf 'WAVEfmt '; le 16 4; le 1 2; le 2 2
    le 44100 4; le $((44100 * 6)) 4; le 6 2; le 24 2; printf 'data'; le $big_data 4
} >"$tracks/long.wav"
truncate -s $((44 + big_data)) "$tracks/long.wav"
dd if="$work/tone.raw" of="$tracks/long.wav" conv=notrunc oflag=seek_bytes \
    seek=$((44 + big_at * 6)) status=none
d=$(new_session beyond2gib)
printf 'begin\n1 long.wav +\nend\n' >"$d/tracks.txt"
printf 'begin\nbeyond2gib\n\nt\t0\t0\t0\nv\t1\t0\nend\n' >"$d/faders.txt"
prefs 24 "pre	on
start	180	0	0
length	2" >"$d/prefs.txt"

# --- Rendering and comparison -------------------------------------------------------------------
# Drops the lines that hold the processing time; everything else must match.
without_time() { grep -a -v 'Processing time' "$1" || true; }

render() { # session, side
    local session=$1 side=$2
    local dir=$work/$side/$session
    mkdir -p "$work/$side"
    cp -a "$work/sessions/$session" "$dir"
    local status=0
    (cd "$dir" && run_on "$side" tarvex/tarvex </dev/null >"$dir.console" 2>"$dir.errors") ||
        status=$?
    echo "$status" >"$dir.status"
}

compare_text() { # what, native file, other file
    if ! diff -u <(without_time "$2") <(without_time "$3") >"$work/diff" 2>&1; then
        mismatch "$1" "$(basename "$2") differs:"
        cat "$work/diff" >&2
    fi
}

for session in $(ls "$work/sessions"); do
    for side in "${sides[@]}"; do
        render "$session" "$side"
    done
    n=$work/native/$session
    [ "$(cat "$n.status")" = 0 ] || mismatch "$session" "native run failed with status $(cat "$n.status")"
    # The tracks are links; every regular file (control files and all that the run wrote) must
    # exist on every side and match.
    outputs=$(cd "$n" && find . -type f | sort)
    grep -q '\.wav$' <<<"$outputs" || mismatch "$session" "no WAV file written"
    grep -q 'stats_.*\.txt$' <<<"$outputs" || mismatch "$session" "no report written"

    for side in "${sides[@]:1}"; do
        a=$work/$side/$session
        what="$session, $side"
        cmp -s "$n.status" "$a.status" ||
            mismatch "$what" "exit status native $(cat "$n.status"), $side $(cat "$a.status")"
        compare_text "$what" "$n.console" "$a.console"
        # Diagnostics on standard error are new against an earlier build: shown, not compared.
        if [ -n "${BASELINE_BUILD:-}" ]; then
            [ -s "$n.errors" ] && sed "s/^/compare-armhf: $session: diagnostic: /" "$n.errors"
        else
            compare_text "$what" "$n.errors" "$a.errors"
        fi
        other=$(cd "$a" && find . -type f | sort)
        [ "$outputs" = "$other" ] ||
            mismatch "$what" "files: native [$(echo $outputs)], $side [$(echo $other)]"
        for f in $outputs; do
            [ -f "$a/$f" ] || continue
            case $f in
            */stats_*.txt)
                compare_text "$what" "$n/$f" "$a/$f"
                grep -aq 'Processing time' "$n/$f" || mismatch "$what" "$f has no processing time line"
                ;;
            *)
                if ! cmp -s "$n/$f" "$a/$f"; then
                    count=$(cmp -l "$n/$f" "$a/$f" 2>/dev/null | wc -l || true)
                    mismatch "$what" "$f differs in $count bytes (sizes: native $(stat -c %s "$n/$f"), $side $(stat -c %s "$a/$f")); first:"
                    cmp -l "$n/$f" "$a/$f" 2>&1 | head -5 >&2 || true
                fi
                ;;
            esac
        done
    done
    if [ "$session" = beyond2gib ]; then
        cmp -s <(tail -c +45 "$n/preview.wav") "$work/tone.raw" ||
            mismatch "$session" "the preview does not give back the samples stored beyond 2 GiB"
    fi
    echo "compare-armhf: $session: $(echo $outputs | wc -w) files compared on ${#sides[@]} builds"
done

# The cue editor's arithmetic on times and levels, and its formatting, must match as well.
quorrin_input='st 1.0731 nt -0.377 av -2.35 ps cf 2 ps cf 1 ps co s ps pf edited.txt x'
for side in "${sides[@]}"; do
    dir=$work/$side/quorrin
    mkdir -p "$dir"
    cp "$work/sessions/stereo24/faders.txt" "$dir/"
    (cd "$dir" && run_on "$side" quorrin/quorrin faders.txt 3 <<<"$quorrin_input" >"$dir.console" 2>&1) ||
        mismatch "quorrin, $side" "run failed"
done
for side in "${sides[@]:1}"; do
    compare_text "quorrin, $side" "$work/native/quorrin.console" "$work/$side/quorrin.console"
    compare_text "quorrin, $side" "$work/native/quorrin/edited.txt" "$work/$side/quorrin/edited.txt"
done
echo "compare-armhf: quorrin: console and saved file compared on ${#sides[@]} builds"

[ "$mismatches" -eq 0 ] || fail "$mismatches mismatches"
echo "compare-armhf: native and armhf results are identical"
