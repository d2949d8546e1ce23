#!/bin/sh
# Formats every manual page in the given directory with man and fails on any warning (bad
# macros, lines that cannot be broken, unknown escapes). Exits 77 (skipped) without man.
#
#   man/check-man-pages.sh [directory]
set -u
dir=${1:-$(dirname "$0")}
command -v man >/dev/null 2>&1 || { echo "man is not installed: skipped"; exit 77; }
status=0
found=0
for page in "$dir"/*.1; do
    [ -f "$page" ] || continue
    found=$((found + 1))
    if ! warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null); then
        echo "$page: man failed"
        status=1
    fi
    if [ -n "$warnings" ]; then
        echo "$page:"
        echo "$warnings"
        status=1
    fi
done
[ "$found" -ge 3 ] || { echo "expected three manual pages in $dir, found $found"; status=1; }
exit $status
