#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every benchmark of a build: the Google Benchmark programs, the memory
# over long use, the driver's memory on endless input, then the key latency
# while hostile advertisement pages load, the start-up bench and the
# key-to-sound bench (which need Xvfb, the last PulseAudio). The last four fail
# when a target is missed; the others run on regardless.
# usage: bench/run-all.sh [BUILD_DIR]
set -euo pipefail
BUILD=$(realpath "${1:-build}")
HERE=$(dirname "$(realpath "$0")")
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
for program in "$BUILD"/bin/bench_* "$BUILD"/bench/voice_bench; do
    [ -x "$program" ] || continue
    echo "== $(basename "$program")"
    "$program" --benchmark_min_time=0.2
done
missed=0
echo "== memory over long use"
"$HERE/script/memory_over_use.py" "$BUILD" || missed=1
echo "== driver memory on an endless standard input"
"$HERE/keys/stdin_memory.sh" "$BUILD" || missed=1
echo "== advertisement page: key latency while hostile pages load"
xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- "$BUILD/bench/ad_page_latency" || missed=1
echo "== start-up"
"$HERE/startup/run.sh" "$BUILD" || missed=1
echo "== key to sound"
"$HERE/latency/run.sh" "$BUILD" || missed=1
exit "$missed"
