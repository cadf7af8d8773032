#!/bin/bash
# Runs the accessibility end-to-end test: a private Xvfb (ready once it has
# written its display number), a private D-Bus session, then the test.
# usage: run-atspi.sh PROGRAM
set -euo pipefail
HERE=$(dirname "$(realpath "$0")")
DISPLAY_FILE=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$DISPLAY_FILE" 2>/dev/null &
XVFB_PID=$!
trap 'kill $XVFB_PID 2>/dev/null; rm -f "$DISPLAY_FILE"' EXIT
for _ in $(seq 200); do
    [ -s "$DISPLAY_FILE" ] && break
    kill -0 $XVFB_PID 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
    sleep 0.05
done
[ -s "$DISPLAY_FILE" ] || { echo "Xvfb did not start in time" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$DISPLAY_FILE")"
dbus-run-session -- /usr/bin/python3 "$HERE/atspi_keys.py" "$1"
