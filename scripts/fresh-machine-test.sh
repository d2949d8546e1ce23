#!/usr/bin/env bash
# Checks the README's promise on a new machine: in a minimal Debian bookworm system that holds
# only what a new machine of this kind has (g++, cmake with CTest, GoogleTest and GoogleMock,
# Google Benchmark, pkg-config, git, python3, valgrind, gdb; no package lists), a clone of this
# checkout runs the README's two commands exactly as README.md shows them, each in a system of
# its own:
#   - the first must end with the demo's report and a rendered build/demo/demo_mix.wav,
#   - the second must end with every test passed;
# before the first, a user who is neither root nor has sudo must get one line naming the
# packages and the command, with nothing installed; after each, the set-up run again must
# install nothing and take well under a second.
#
#   scripts/fresh-machine-test.sh
#
# Needs root, debootstrap and the Debian archive. The base system is built once and kept as a
# tarball in $FRESH_MACHINE_CACHE (default: .fresh-machine/ in the checkout, which git and the
# build ignore); later runs take only the set-up and build time. KEEP=1 keeps the work folder.
# The clone is of the committed HEAD: uncommitted changes are not part of the test.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
checkout=$PWD
cache=${FRESH_MACHINE_CACHE:-$checkout/.fresh-machine}
mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
base_packages="g++ cmake libgtest-dev libgmock-dev libbenchmark-dev pkg-config git python3 valgrind gdb"

fail() {
    echo "fresh-machine-test: $*" >&2
    exit 1
}
[ "$(id -u)" -eq 0 ] || fail "needs root (debootstrap, chroot)"
command -v debootstrap >/dev/null || fail "no debootstrap (scripts/install-dependencies --checks)"

work=$(mktemp -d "${TMPDIR:-/tmp}/fresh-machine.XXXXXX")
mounted=()
cleanup() {
    local m
    for m in "${mounted[@]}"; do umount -l "$m" 2>/dev/null || true; done
    if [ "${KEEP:-0}" = 1 ]; then echo "work folder kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# --- The base system, built once ------------------------------------------------------------
key=$(printf '%s %s' "$base_packages" "$mirror" | md5sum | cut -c1-12)
tarball=$cache/bookworm-base-$key.tar
if [ ! -f "$tarball" ]; then
    echo "== building the base system (once; kept in $cache)"
    started=$SECONDS
    base=$work/base
    debootstrap --variant=minbase bookworm "$base" "$mirror" >"$work/debootstrap.log" 2>&1 ||
        { tail -20 "$work/debootstrap.log"; fail "debootstrap failed"; }
    cp /etc/resolv.conf "$base/etc/resolv.conf"
    chroot "$base" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
        sh -c "apt-get update -qq && apt-get install -y -qq --no-install-recommends $base_packages \
            && apt-get clean && rm -rf /var/lib/apt/lists/*" >"$work/base.log" 2>&1 ||
        { tail -20 "$work/base.log"; fail "installing the base packages failed"; }
    mkdir -p "$cache"
    tar -C "$base" --numeric-owner -cf "$tarball.partial" .
    mv "$tarball.partial" "$tarball"
    rm -rf "$base"
    echo "   base system ready in $((SECONDS - started)) s"
fi

# --- One new machine per command --------------------------------------------------------------
new_machine() { # folder: a fresh system from the base, the checkout cloned into /root/tarvex
    local root=$1
    mkdir -p "$root"
    tar -C "$root" -xf "$tarball"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    mount -t proc proc "$root/proc" && mounted+=("$root/proc")
    mount --rbind /dev "$root/dev" && mounted+=("$root/dev")
    git clone -q --no-hardlinks "$checkout" "$root/root/tarvex"
}
in_machine() { # folder, user id, shell command (run in the clone)
    local root=$1 user=$2
    shift 2
    chroot --userspec="$user:$user" "$root" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        /bin/bash -c "cd /root/tarvex && $*" </dev/null
}
has_package() { # folder, package
    chroot "$1" dpkg-query -W -f '${db:Status-Status}' "$2" 2>/dev/null | grep -qx installed
}
setup_again_is_quiet() { # folder, set-up command: installs nothing, well under a second
    local root=$1 command=$2 output started elapsed
    started=$(date +%s%N)
    output=$(in_machine "$root" 0 "$command" 2>&1) || fail "'$command' run again failed: $output"
    elapsed=$((($(date +%s%N) - started) / 1000000))
    [ -z "$output" ] || fail "'$command' run again printed: $output"
    [ "$elapsed" -lt 1000 ] || fail "'$command' run again took $elapsed ms"
    echo "   '$command' run again: nothing installed, $elapsed ms"
}

demo_command=$(scripts/readme-command demo)
tests_command=$(scripts/readme-command tests)
setup_of() { echo "${1%% &&*}"; } # the set-up step that opens a README command

# The demo command, after a user without root or sudo has tried the set-up.
echo "== README command 1: $demo_command"
machine=$work/demo
new_machine "$machine"
chmod -R a+rX "$machine/root"
output=$(in_machine "$machine" 1000 "$(setup_of "$demo_command")" 2>&1) &&
    fail "the set-up succeeded for a user without root or sudo: $output"
[ "$(printf '%s\n' "$output" | wc -l)" -eq 1 ] || fail "expected one line, got: $output"
case $output in *libebur128-dev*"apt-get install"*) ;; *) fail "line names no package or command: $output" ;; esac
has_package "$machine" libebur128-dev && fail "a package was installed for a user without root"
echo "   without root or sudo: $output"
started=$SECONDS
in_machine "$machine" 0 "$demo_command" >"$work/demo.log" 2>&1 ||
    { tail -30 "$work/demo.log"; fail "README command 1 failed"; }
demo_seconds=$((SECONDS - started))
mix=$machine/root/tarvex/build/demo/demo_mix.wav
[ -s "$mix" ] || fail "no rendered build/demo/demo_mix.wav"
[ -s "$machine/root/tarvex/build/demo/stats_demo_mix.txt" ] || fail "no report of the demo mix"
grep -q "^Peak Out L" "$work/demo.log" || { tail -30 "$work/demo.log"; fail "the demo's report was not printed"; }
echo "   demo_mix.wav: $(stat -c %s "$mix") bytes, in $demo_seconds s"
setup_again_is_quiet "$machine" "$(setup_of "$demo_command")"

# The test command, on a machine of its own.
echo "== README command 2: $tests_command"
machine=$work/tests
new_machine "$machine"
started=$SECONDS
in_machine "$machine" 0 "$tests_command" >"$work/tests.log" 2>&1 ||
    { tail -40 "$work/tests.log"; fail "README command 2 failed"; }
tests_seconds=$((SECONDS - started))
summary=$(grep -E "^[0-9]+% tests passed" "$work/tests.log" | tail -1)
case $summary in "100% tests passed, 0 tests failed out of "*) ;; *) fail "test summary: '$summary'" ;; esac
echo "   $summary, in $tests_seconds s"
grep -A20 "The following tests did not run" "$work/tests.log" | sed 's/^/   /' || true
setup_again_is_quiet "$machine" "$(setup_of "$tests_command")"

echo "fresh-machine-test: passed (README command 1: $demo_seconds s, command 2: $tests_seconds s)"
