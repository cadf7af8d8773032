#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every fuzz target of a fuzz build for a bounded time, each from the
# seeds of the tests' tables (fuzz/seeds.py) plus what earlier runs found.
# Fails when any target finds a crash, a hang (over 10 s for one input), a
# leak, undefined behaviour or runs out of memory; the input is kept under
# BUILD/fuzz/artifacts.
#
# usage: fuzz/run.sh BUILD_DIR [SECONDS_PER_TARGET]
set -uo pipefail
BUILD=$(realpath "$1")
SECONDS_EACH=${2:-30}
HERE=$(dirname "$(realpath "$0")")
OUT="$BUILD/fuzz"
mkdir -p "$OUT/artifacts" "$OUT/seeds"
python3 "$HERE/seeds.py" "$HERE/.." "$OUT/seeds" >/dev/null || exit 1
# Cue decoding goes through SDL2, loaded at run time: not instrumented, so
# its own allocations are not ours to report.
export SDL_AUDIODRIVER=dummy
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# One target per core: each still gets its SECONDS_PER_TARGET of one core.
JOBS=${FUZZ_JOBS:-$(nproc)}

run_target() {
    local target=$1 corpus="$OUT/corpus/$1" log="$OUT/$1.log" status runs
    mkdir -p "$corpus"
    "$OUT/$target" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
        -print_final_stats=1 -artifact_prefix="$OUT/artifacts/$target-" \
        "$corpus" "$OUT/seeds/$target" >"$log" 2>&1
    status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    if [ $status -eq 0 ]; then
        echo "$target: ${runs:-?} inputs in ${SECONDS_EACH} s, no finding"
    else
        echo "$target: FAILED (exit $status) after ${runs:-?} inputs; see $log" >&2
        grep -E "^(==[0-9]+==ERROR|SUMMARY|.*runtime error)" "$log" | head -5 >&2
    fi
    return $status
}

failed=0
running=0
for target in fuzz_cue fuzz_number_text fuzz_engine_paste fuzz_manifest fuzz_web_address fuzz_page; do
    if [ $running -ge "$JOBS" ]; then
        wait -n || failed=1
        running=$((running - 1))
    fi
    run_target "$target" &
    running=$((running + 1))
done
while [ $running -gt 0 ]; do
    wait -n || failed=1
    running=$((running - 1))
done
exit $failed
