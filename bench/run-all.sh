#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every benchmark of a build: the Google Benchmark programs, the memory
# over long use, then the start-up and key-to-sound benches (which need Xvfb,
# the latter PulseAudio). The last three fail when a target is missed; the
# others run on regardless.
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
echo "== start-up"
"$HERE/startup/run.sh" "$BUILD" || missed=1
echo "== key to sound"
"$HERE/latency/run.sh" "$BUILD" || missed=1
exit "$missed"
