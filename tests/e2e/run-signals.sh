#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SIGTERM, SIGINT and SIGHUP end the real program cleanly and within a second: before
# any cue, after a cue has brought the sound library up (which would take the
# signals over unless told not to), and in the middle of a read-out. "Cleanly"
# is status 0: the program ends through its close steps, as after the close
# box, where the signal's default action would give 128 + signal.
# usage: run-signals.sh PROGRAM (under its own Xvfb and D-Bus session)
set -uo pipefail
PROGRAM=$1
HERE=$(dirname "$(realpath "$0")")

if [ -z "${SIGNALS_INNER:-}" ]; then
    # shellcheck source=../../scripts/private-xvfb.sh
    source "$HERE/../../scripts/private-xvfb.sh"
    start_private_xvfb
    # Not exec: the Xvfb started above ends with this shell.
    SIGNALS_INNER=1 dbus-run-session -- "$0" "$@"
    exit
fi

export SDL_AUDIODRIVER=dummy
# Job control: without it bash starts background programs with SIGINT
# ignored, which the program rightly leaves so.
set -m
passed=0
failed=0

# one_case NAME SIGNAL KEYS WAIT_S NEEDS_SDL: start the program, type KEYS,
# wait, send SIGNAL, expect status 0 within a second.
one_case() {
    local name=$1 signal=$2 keys=$3 pause=$4 needs_sdl=$5
    "$PROGRAM" 2>/dev/null &
    local pid=$! problem=""
    local window
    window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" 2>/dev/null | head -n1)
    if [ -z "$window" ]; then
        problem="no window"
    else
        if [ -n "$keys" ]; then
            # shellcheck disable=SC2086
            xdotool windowfocus --sync "$window" key --delay 100 $keys
        fi
        sleep "$pause"
        if [ "$needs_sdl" = yes ] && ! grep -q libSDL2 "/proc/$pid/maps"; then
            problem="no cue played (SDL2 not loaded)"
        fi
    fi
    local start=$EPOCHREALTIME
    kill -s "$signal" "$pid"
    local status=""
    for _ in $(seq 100); do
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"
            status=$?
            break
        fi
        sleep 0.01
    done
    local took
    took=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }')
    if [ -z "$status" ]; then
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        problem="${problem:+$problem; }still running 1 s after SIG$signal"
    elif [ "$status" -ne 0 ]; then
        problem="${problem:+$problem; }status $status after SIG$signal"
    fi
    if [ -z "$problem" ]; then
        passed=$((passed + 1))
        echo "ok: $name (${took} s)"
    else
        failed=$((failed + 1))
        echo "FAILED: $name: $problem"
    fi
}

#        name                          signal keys                                  wait needs SDL
one_case "TERM before any cue"          TERM   ""                                    0.2  no
one_case "TERM after a cue"             TERM   "7"                                   0.6  yes
one_case "INT after a cue"              INT    "7"                                   0.6  yes
one_case "HUP after a cue"              HUP    "7"                                   0.6  yes
one_case "TERM during a read-out"       TERM   "9 8 7 6 5 4 3 2 1 plus 1 Return"     0.8  yes
one_case "INT during a read-out"        INT    "9 8 7 6 5 4 3 2 1 plus 1 Return"     0.8  yes

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
