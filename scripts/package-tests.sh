#!/usr/bin/env bash
# Builds the Debian packages for amd64 (native build) and armhf (cross build), checks what they
# hold, installs the amd64 package into a scratch root and renders the demo session with the
# installed tarvex; the installed armhf tarvex (under qemu-arm) must render the same session
# byte for byte, dither included, with a fixed seed.
#
#   scripts/package-tests.sh [native-build-dir [armhf-build-dir]]
#                            (defaults: build-pkg, build-pkg-armhf)
#
# Needs dpkg-deb, cmake/cpack and Debian's crossbuild-essential-armhf and qemu-user. KEEP=1 keeps
# the work directory.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
root=$PWD
native=${1:-build-pkg}
armhf=${2:-build-pkg-armhf}
triple=arm-linux-gnueabihf
export QEMU_LD_PREFIX=/usr/$triple
# The target's own libraries first: with Debian's multiarch armhf libraries also installed (for
# libebur128), the cross loader would otherwise pair itself with another build of libc and fail
# as soon as a program starts a thread or a child.
export QEMU_SET_ENV=LD_LIBRARY_PATH=/usr/$triple/lib

fail() { echo "package-tests: $*" >&2; exit 1; }
command -v dpkg-deb >/dev/null || fail "no dpkg-deb"
command -v "$triple-g++" >/dev/null || fail "no $triple-g++ (Debian: crossbuild-essential-armhf)"
command -v qemu-arm >/dev/null || fail "no qemu-arm (Debian: qemu-user)"

work=$(mktemp -d "${TMPDIR:-/tmp}/package-tests.XXXXXX")
if [ "${KEEP:-0}" = 1 ]; then
    echo "package-tests: work directory $work"
else
    trap 'rm -rf "$work"' EXIT
fi

# --- Packages -----------------------------------------------------------------------------------
build_package() { # build dir, extra cmake arguments...
    local dir=$1
    shift
    cmake -S . -B "$dir" -DTARVEX_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    cmake --build "$dir" -j2
    rm -f "$dir"/tarvex_*.deb
    (cd "$dir" && cpack -G DEB >/dev/null)
}
build_package "$native"
build_package "$armhf" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/armhf-toolchain.cmake"

expected='./usr/bin/quorrin
./usr/bin/tarvex
./usr/bin/velmont
./usr/share/man/man1/quorrin.1
./usr/share/man/man1/tarvex.1
./usr/share/man/man1/velmont.1'

check_package() { # build dir, architecture; prints the package path
    local dir=$1 arch=$2 deb
    deb=$(ls "$dir"/tarvex_*_"$arch".deb 2>/dev/null) || fail "no $arch package in $dir"
    [ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "$deb: architecture is not $arch"
    [ "$(dpkg-deb -f "$deb" Package)" = tarvex ] || fail "$deb: package is not named tarvex"
    local files
    files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
    [ "$files" = "$expected" ] || fail "$deb holds:
$files
expected:
$expected"
    dpkg-deb -c "$deb" | awk '$1 !~ /^d/ && $6 ~ /usr\/bin\// && $1 != "-rwxr-xr-x" {exit 1}' ||
        fail "$deb: a program is not executable"
    echo "$deb"
}
deb_amd64=$(check_package "$native" amd64)
deb_armhf=$(check_package "$armhf" armhf)
echo "package-tests: contents of $(basename "$deb_amd64") and $(basename "$deb_armhf") as expected"

# The armhf package must hold ARM programs, not host ones.
dpkg-deb -x "$deb_armhf" "$work/root-armhf"
for program in tarvex velmont quorrin; do
    header=$("$triple-readelf" -h "$work/root-armhf/usr/bin/$program")
    grep -q 'Machine:[[:space:]]*ARM' <<<"$header" && grep -q 'hard-float ABI' <<<"$header" ||
        fail "armhf package: $program is not a hard-float ARM program"
done

# --- The installed programs ---------------------------------------------------------------------
dpkg-deb -x "$deb_amd64" "$work/root"
bin=$work/root/usr/bin
# Every library the programs load must come from a package the package depends on.
depends=$(dpkg-deb -f "$deb_amd64" Depends)
for lib in $(ldd "$bin/tarvex" "$bin/velmont" "$bin/quorrin" | awk '/=>/ {print $3}' | sort -u); do
    owner=$(dpkg -S "$lib" 2>/dev/null || dpkg -S "$(readlink -f "$lib")" 2>/dev/null) ||
        fail "no package owns $lib"
    owner=${owner%%:*}
    case ", $depends, " in
    *", $owner, "*) ;;
    *) fail "Depends ($depends) lacks $owner ($lib)" ;;
    esac
done
for program in tarvex velmont quorrin; do
    "$bin/$program" --version | grep -q "^$program " || fail "installed $program --version"
    "$bin/$program" --help | grep -q "^Usage: $program" || fail "installed $program --help"
done
if command -v man >/dev/null; then
    sh man/check-man-pages.sh "$work/root/usr/share/man/man1" || fail "installed manual pages"
fi

# The demo session, with the tracks that make_demo_tracks writes; a fixed seed so that the
# native and the ARM render must agree exactly.
session() { # directory
    mkdir -p "$1"
    cp examples/demo/tracks.txt examples/demo/faders.txt "$1/"
    printf 'begin\nverbo\t1\noutbits\t24\ndither\t1\nseed\t2024\npre\toff\nend\n' >"$1/prefs.txt"
    "$native/examples/demo/make_demo_tracks" "$1" >/dev/null
}
session "$work/demo"
before=$(cd "$work/demo" && ls)
(cd "$work/demo" && "$bin/tarvex" --check >"$work/check.txt") || fail "tarvex --check on the demo failed"
[ "$(cd "$work/demo" && ls)" = "$before" ] || fail "tarvex --check wrote a file"
grep -q '^Check only: no file was written\.$' "$work/check.txt" || fail "no check verdict"

(cd "$work/demo" && "$bin/tarvex" >"$work/render.txt") || fail "the installed tarvex failed on the demo"
[ -s "$work/demo/demo_mix.wav" ] || fail "no demo_mix.wav"
grep -q '^Dither seed = 2024$' "$work/demo/stats_demo_mix.txt" || fail "the report names no seed"
echo "package-tests: the installed tarvex rendered the demo"

session "$work/demo-armhf"
(cd "$work/demo-armhf" && qemu-arm "$work/root-armhf/usr/bin/tarvex" >/dev/null) ||
    fail "the installed armhf tarvex failed on the demo"
cmp "$work/demo/demo_mix.wav" "$work/demo-armhf/demo_mix.wav" ||
    fail "the armhf package renders the demo differently"
echo "package-tests: the armhf package renders the demo byte for byte alike"
