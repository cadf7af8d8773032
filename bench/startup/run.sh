#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up bench: time from exec to the map of the first window, and peak
# RSS one second later, for a bare Qt window (qtmin) and for tallyvox,
# interleaved, under a private Xvfb. Targets: tallyvox's median map time at
# most 1.5 x qtmin's, peak RSS under 40 MiB.
#
# usage: bench/startup/run.sh [BUILD_DIR] [ROUNDS]
#   BUILD_DIR defaults to the repository's build/; tallyvox must be built there.
set -euo pipefail

BUILD=$(realpath "${1:-$(dirname "$0")/../../build}")
ROUNDS=${2:-11}
# The shared folder lies beside the repository.
TOOLS=${STARTUP_BENCH_TOOLS:-$(realpath "$(dirname "$0")/../../../shared/tools/startup-bench")}
OUT="$BUILD/bench/startup"
PROGRAM="$BUILD/bin/tallyvox"

[ -x "$PROGRAM" ] || { echo "no $PROGRAM: build the tallyvox target first" >&2; exit 2; }
mkdir -p "$OUT"

# The measuring tools, built once into the build tree.
if [ ! -x "$OUT/launchwait" ] || [ "$TOOLS/launchwait.c" -nt "$OUT/launchwait" ]; then
    gcc -O2 -o "$OUT/launchwait" "$TOOLS/launchwait.c" -lX11
fi
if [ ! -x "$OUT/qtmin" ] || [ "$TOOLS/qtmin.cpp" -nt "$OUT/qtmin" ]; then
    # shellcheck disable=SC2046
    g++ -O2 -fPIC -o "$OUT/qtmin" "$TOOLS/qtmin.cpp" $(pkg-config --cflags --libs Qt6Widgets)
fi

# A private X server on whichever display number is free.
# shellcheck source=../../scripts/private-xvfb.sh
source "$(dirname "$0")/../../scripts/private-xvfb.sh"
start_private_xvfb
# The program runs as shipped: real audio driver lookup, no test variables.
unset QT_QPA_PLATFORM SDL_AUDIODRIVER

RESULTS="$OUT/results.txt"
: >"$RESULTS"
for round in $(seq "$ROUNDS"); do
    for prog in qtmin offline tallyvox; do
        case $prog in
            qtmin) cmd="$OUT/qtmin" ;;
            offline) cmd="$BUILD/bin/tallyvox-offline" ;;
            *) cmd="$PROGRAM" ;;
        esac
        [ -x "$cmd" ] || continue
        line=$("$OUT/launchwait" 1000 30000 "$cmd" 2>/dev/null | tail -n1)
        echo "$round $prog $line" >>"$RESULTS"
    done
done

# Round 1 is the warm-up. Columns: round prog map_ms hwm_kB rss_kB ...
awk '
    $1 > 1 && $3 >= 0 { map[$2] = map[$2] " " $3; hwm[$2] = hwm[$2] " " $4; n[$2]++ }
    function median(list,    a, k, i, j, t) {
        k = split(list, a, " ")
        for (i = 2; i <= k; i++) { t = a[i]; for (j = i - 1; j >= 1 && a[j] > t; j--) a[j + 1] = a[j]; a[j + 1] = t }
        return k % 2 ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2
    }
    END {
        if (!n["qtmin"] || !n["tallyvox"]) { print "no complete rounds" > "/dev/stderr"; exit 1 }
        qm = median(map["qtmin"]); tm = median(map["tallyvox"])
        qh = median(hwm["qtmin"]) / 1024; th = median(hwm["tallyvox"]) / 1024
        printf "rounds counted: qtmin %d, tallyvox %d\n", n["qtmin"], n["tallyvox"]
        printf "%-9s %10s %14s\n", "program", "map_ms", "peak_RSS_MiB"
        printf "%-9s %10.1f %14.1f\n", "qtmin", qm, qh
        printf "%-9s %10.1f %14.1f\n", "tallyvox", tm, th
        if (n["offline"]) {
            om = median(map["offline"]); oh = median(hwm["offline"]) / 1024
            printf "%-9s %10.1f %14.1f   (no update check, no ad strip)\n", "offline", om, oh
            printf "update check + ad strip: map %+.1f%% (target within 10%%)\n", (tm / om - 1) * 100
        }
        printf "ratio (tallyvox / qtmin): map %.2f (target <= 1.5), peak RSS %.1f MiB (target < 40)\n", tm / qm, th
        exit !(tm <= 1.5 * qm && th < 40)
    }' "$RESULTS"
