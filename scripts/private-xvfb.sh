# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by bash scripts: start_private_xvfb starts an Xvfb on whichever
# display number is free, waits until it accepts connections (it writes its
# number to -displayfd only then), exports DISPLAY and stops it on exit.
#
# The server listens only on the abstract socket: a server still shutting
# down from an earlier run would otherwise unlink the /tmp/.X11-unix file of
# a new server that took over its number, and clients could not connect.
# On exit the shell waits until the server is gone, for the same reason.
start_private_xvfb() {
    # Seen with tests in parallel: a display announced on -displayfd that no
    # client could open while another test's server was ending. So the
    # display must also answer, or the next try starts over.
    local attempt
    for attempt in 1 2 3 4 5; do
        if start_one_xvfb && xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then
            return 0
        fi
        stop_private_xvfb
        sleep 0.2
    done
    echo "Xvfb did not start" >&2
    return 1
}

stop_private_xvfb() {
    kill "$PRIVATE_XVFB_PID" 2>/dev/null
    wait "$PRIVATE_XVFB_PID" 2>/dev/null
    rm -f "$PRIVATE_XVFB_DISPLAY_FILE"
}

start_one_xvfb() {
    PRIVATE_XVFB_DISPLAY_FILE=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -nolisten unix 3>"$PRIVATE_XVFB_DISPLAY_FILE" 2>/dev/null &
    PRIVATE_XVFB_PID=$!
    trap stop_private_xvfb EXIT
    for _ in $(seq 200); do
        [ -s "$PRIVATE_XVFB_DISPLAY_FILE" ] && break
        kill -0 "$PRIVATE_XVFB_PID" 2>/dev/null || return 1
        sleep 0.05
    done
    [ -s "$PRIVATE_XVFB_DISPLAY_FILE" ] || return 1
    export DISPLAY=":$(head -n1 "$PRIVATE_XVFB_DISPLAY_FILE")"
}
