#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Peak memory of the driver fed 100 MB of keys on standard input (50 million
# "1" lines): it reads a stream, so the peak must not grow with the input.
# usage: bench/keys/stdin_memory.sh BUILD_DIR [LIMIT_MIB]
set -euo pipefail
BUILD=$(realpath "$1")
LIMIT_MIB=${2:-64}
report=$(mktemp)
trap 'rm -f "$report"' EXIT
/usr/bin/time -v -o "$report" sh -c "yes 1 | head -c 100M | '$BUILD/bin/tallyvox-keys' >/dev/null"
peak_kib=$(sed -n 's/^\s*Maximum resident set size (kbytes): //p' "$report")
seconds=$(sed -n 's/^\s*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$report")
echo "yes 1 | head -c 100M | tallyvox-keys: peak $((peak_kib / 1024)) MiB in $seconds (limit $LIMIT_MIB MiB)"
[ "$peak_kib" -le $((LIMIT_MIB * 1024)) ]
