#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Key-to-sound bench: the time from a key's release to the first sample of its
# cue heard, and the silence between the words of a read-out, through a
# PulseAudio server of the bench's own (a null sink at the cues' format,
# 22050 Hz mono S16, its monitor recorded in 2 ms fragments), under a private
# Xvfb, with LOAD busy loops keeping the cores loaded. Keys are timed at
# their release, which the calculator acts on. Rounds interleave the
# programs; each round types 10 keys of each figure (the first key 0.3 s after
# the window maps, in 10 starts) and measures the floors (paplay, SDL's queue
# alone). Prints each figure's median (range) with its target, the latency
# PulseAudio granted the player's stream, and the underruns the server
# counted; fails when tallyvox misses a target.
#
# usage: bench/latency/run.sh [BUILD_DIR] [ROUNDS] [NAME=PROGRAM ...]
#   Each NAME=PROGRAM (with its play/ folder beside it) is measured in the same
#   rounds, e.g. before=/path/to/other/build/bin/tallyvox.
#   LOAD (default 2) busy loops run meanwhile.
set -euo pipefail

if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    exec dbus-run-session -- "$0" "$@" 2> >(grep -v '^dbus-daemon' >&2)
fi

HERE=$(dirname "$(realpath "$0")")
BUILD=$(realpath "${1:-$HERE/../../build}")
ROUNDS=${2:-3}
shift $(($# < 2 ? $# : 2))
LOAD=${LOAD:-2}
PROBE="$BUILD/bench/latency/keysound_probe"
[ -x "$BUILD/bin/tallyvox" ] || { echo "no $BUILD/bin/tallyvox: build the tallyvox target first" >&2; exit 2; }
[ -x "$PROBE" ] || { echo "no $PROBE: build it (needs libxtst-dev, libpulse-dev)" >&2; exit 2; }
command -v pulseaudio >/dev/null || { echo "no pulseaudio: run scripts/install-deps.sh" >&2; exit 2; }

names=(tallyvox)
declare -A commands=([tallyvox]="$BUILD/bin/tallyvox")
for extra in "$@"; do
    names+=("${extra%%=*}")
    commands[${extra%%=*}]=$(realpath "${extra#*=}")
done

# shellcheck source=../../scripts/private-xvfb.sh
source "$HERE/../../scripts/private-xvfb.sh"
start_private_xvfb

# A PulseAudio server of this bench alone: its own runtime, state and config
# folders and socket, no default modules, no autospawn of the user's.
WORK=$(mktemp -d)
helpers=()
cleanup() {
    for pid in "${helpers[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${helpers[@]}"; do wait "$pid" 2>/dev/null || true; done
    kill "$PRIVATE_XVFB_PID" 2>/dev/null || true
    wait "$PRIVATE_XVFB_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
export PULSE_RUNTIME_PATH="$WORK/run" PULSE_STATE_PATH="$WORK/state" PULSE_CONFIG_PATH="$WORK/config"
export PULSE_SERVER="unix:$WORK/run/native" PULSE_COOKIE="$WORK/cookie"
mkdir -p "$WORK/run" "$WORK/state" "$WORK/config"
echo "autospawn = no" >"$WORK/config/client.conf"
export PULSE_CLIENTCONFIG="$WORK/config/client.conf"
pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --disable-shm=no \
    --log-level=debug --log-target="file:$WORK/pulse.log" \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$WORK/run/native" \
    -L "module-null-sink sink_name=lat rate=22050 channels=1 format=s16le" 2>/dev/null &
helpers+=($!)
for _ in $(seq 100); do
    pactl info >/dev/null 2>&1 && break
    sleep 0.05
done
pactl info >/dev/null 2>&1 || { echo "private PulseAudio did not start" >&2; exit 1; }
pactl set-default-sink lat

# The program runs as shipped: real audio driver lookup, no test variables.
unset QT_QPA_PLATFORM SDL_AUDIODRIVER

for _ in $(seq "$LOAD"); do
    (while :; do :; done) &
    helpers+=($!)
done

# One run of the program: settle, a burst of digits 0.2 s apart, keys with the
# stream open and idle (1 s apart) and after it was closed (3 s apart), and
# "30-1=" after a clear, read out as 等于 2 拾 9.
STEADY="$WORK/steady.plan"
{
    digits=(1 2 3 4 5 6 7 8 9 0)
    echo "1500 Escape -"
    for d in "${digits[@]}"; do echo "200 $d burst $d"; done
    for d in "${digits[@]}"; do echo "1000 $d open $d"; done
    for d in "${digits[@]}"; do echo "3000 $d reopen $d"; done
    for _ in "${digits[@]}"; do
        printf '1000 Escape -\n300 3 -\n300 0 -\n300 minus -\n300 1 -\n1000 equal equals 等于 2 拾 9\n'
    done
} >"$STEADY"
echo "300 5 first 5" >"$WORK/first.plan"
# The floors: paplay of a cue file, and SDL's queue alone at 128 and 256 frames.
for _ in $(seq 10); do echo "300 !paplay paplay 5"; done >"$WORK/paplay.plan"
for period in 128 256; do
    for _ in $(seq 10); do echo "300 !line sdl$period 5"; done >"$WORK/sdl$period.plan"
done

RESULTS="$WORK/results.txt"
: >"$RESULTS"
underruns() { grep -c 'end of underrun' "$WORK/pulse.log" || true; }
for round in $(seq "$ROUNDS"); do
    for name in "${names[@]}"; do
        cmd=${commands[$name]}
        play="$(dirname "$cmd")/play"
        before=$(underruns)
        (sleep 4 && pactl list sink-inputs >"$WORK/inputs-$name.txt" 2>/dev/null) &
        "$PROBE" --launch "$play" lat.monitor 2500 "$cmd" <"$STEADY" | sed "s/^/$round $name\t/" >>"$RESULTS" || true
        wait $! 2>/dev/null || true
        for _ in $(seq 10); do
            "$PROBE" --launch "$play" lat.monitor 300 "$cmd" <"$WORK/first.plan" | sed "s/^/$round $name\t/" \
                >>"$RESULTS" || true
        done
        echo "$round $name underruns $(($(underruns) - before))" >>"$WORK/underruns.txt"
    done
    play="$BUILD/bin/play"
    "$PROBE" "$play" lat.monitor 1000 <"$WORK/paplay.plan" | sed "s/^/$round floor\t/" >>"$RESULTS" || true
    for period in 128 256; do
        "$PROBE" --spawn "$play" lat.monitor 1000 "$BUILD/bench/latency/sdl_floor" "$play" 5 $period \
            <"$WORK/sdl$period.plan" | sed "s/^/$round floor\t/" >>"$RESULTS" || true
    done
done

for name in "${names[@]}"; do
    latency=$(grep -m2 -i 'latency:' "$WORK/inputs-$name.txt" 2>/dev/null | tr -s ' \t' ' ' | paste -sd';' || true)
    echo "$name: PulseAudio stream:${latency:- not seen}; underruns $(awk -v n="$name" \
        '$2 == n { s += $4 } END { print s + 0 }' "$WORK/underruns.txt") over $ROUNDS rounds"
done
python3 "$HERE/figures.py" "$RESULTS" "${names[@]}" floor
