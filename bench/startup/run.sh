#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up bench: time from exec to the map of the first window, and peak
# RSS one second later, for a bare Qt window (the floor) and for tallyvox,
# interleaved, under a private Xvfb and a session bus of its own. Targets:
# tallyvox's median map time at most 1.3 x the bare window's, peak RSS at most
# 32 MiB.
#
# A desktop always has a session bus. Without one, libdbus starts a bus
# (dbus-launch) inside whichever program first speaks D-Bus, which for
# tallyvox is the accessibility bridge in the middle of its construction and
# for the bare window comes after its map: that would measure this machine's
# missing desktop, not the programs.
#
# usage: bench/startup/run.sh [BUILD_DIR] [ROUNDS] [NAME=PROGRAM ...]
#   BUILD_DIR defaults to the repository's build/; tallyvox must be built
#   there. Each NAME=PROGRAM is measured in the same rounds, e.g. the program
#   of another build to compare with (before=/tmp/main-build/bin/tallyvox).
set -euo pipefail

if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    exec dbus-run-session -- "$0" "$@" 2> >(grep -v '^dbus-daemon' >&2)
fi

BUILD=$(realpath "${1:-$(dirname "$0")/../../build}")
ROUNDS=${2:-11}
shift $(($# < 2 ? $# : 2))
OUT="$BUILD/bench/startup"
PROGRAM="$BUILD/bin/tallyvox"
MAPWAIT="$OUT/startup_mapwait"

[ -x "$PROGRAM" ] || { echo "no $PROGRAM: build the tallyvox target first" >&2; exit 2; }
[ -x "$MAPWAIT" ] || { echo "no $MAPWAIT: build with X11 headers (libx11-dev) and BUILD_TESTING on" >&2; exit 2; }

names=(bare offline tallyvox)
declare -A commands=([bare]="$OUT/startup_bare_window" [offline]="$BUILD/bin/tallyvox-offline" [tallyvox]="$PROGRAM")
for extra in "$@"; do
    names+=("${extra%%=*}")
    commands[${extra%%=*}]=${extra#*=}
done

# A private X server on whichever display number is free.
# shellcheck source=../../scripts/private-xvfb.sh
source "$(dirname "$0")/../../scripts/private-xvfb.sh"
start_private_xvfb
# The program runs as shipped: real audio driver lookup, no test variables.
unset QT_QPA_PLATFORM SDL_AUDIODRIVER

RESULTS="$OUT/results.txt"
: >"$RESULTS"
for round in $(seq "$ROUNDS"); do
    for name in "${names[@]}"; do
        cmd=${commands[$name]}
        [ -x "$cmd" ] || continue
        line=$("$MAPWAIT" 1000 30000 "$cmd" 2>/dev/null | tail -n1)
        echo "$round $name $line" >>"$RESULTS"
    done
done

# Round 1 is the warm-up. Columns: round name map_ms peak_rss_kB rss_kB threads
awk -v names="${names[*]}" '
    $1 > 1 && $3 >= 0 { map[$2] = map[$2] " " $3; hwm[$2] = hwm[$2] " " $4; n[$2]++ }
    function median(list,    a, k, i, j, t) {
        k = split(list, a, " ")
        for (i = 2; i <= k; i++) { t = a[i]; for (j = i - 1; j >= 1 && a[j] > t; j--) a[j + 1] = a[j]; a[j + 1] = t }
        return k % 2 ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2
    }
    END {
        if (!n["bare"] || !n["tallyvox"]) { print "no complete rounds" > "/dev/stderr"; exit 1 }
        bm = median(map["bare"])
        printf "%-9s %7s %10s %14s %13s\n", "program", "rounds", "map_ms", "peak_RSS_MiB", "map / bare"
        k = split(names, list, " ")
        for (i = 1; i <= k; i++) {
            p = list[i]
            if (!n[p]) continue
            m[p] = median(map[p]); h[p] = median(hwm[p]) / 1024
            printf "%-9s %7d %10.1f %14.1f %13.2f\n", p, n[p], m[p], h[p], m[p] / bm
        }
        if (n["offline"])
            printf "update check + ad strip: map %+.1f%% against offline (target within 10%%)\n", (m["tallyvox"] / m["offline"] - 1) * 100
        printf "tallyvox: map %.2f x bare (target <= 1.3), peak RSS %.1f MiB (target <= 32)\n", m["tallyvox"] / bm, h["tallyvox"]
        exit !(m["tallyvox"] <= 1.3 * bm && h["tallyvox"] <= 32)
    }' "$RESULTS"
