# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by bash scripts: start_private_xvfb starts an Xvfb on whichever
# display number is free, waits until it accepts connections (it writes its
# number to -displayfd only then), exports DISPLAY and stops it on exit.
#
# The server listens only on the abstract socket: a server still shutting
# down from an earlier run would otherwise unlink the /tmp/.X11-unix file of
# a new server that took over its number, and clients could not connect.
# On exit the shell waits until the server is gone, for the same reason.
#
# -noreset: an X server resets when its last client leaves, and a client
# connecting meanwhile is refused. The accessibility bus launcher connects
# briefly before the program under test does.
#
# PRIVATE_XVFB_SCREEN: the screen's size and depth (default 1280x1024x24).
start_private_xvfb() {
    local display_file
    display_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "${PRIVATE_XVFB_SCREEN:-1280x1024x24}" -noreset -nolisten tcp -nolisten unix 3>"$display_file" 2>/dev/null &
    PRIVATE_XVFB_PID=$!
    # shellcheck disable=SC2064
    trap "kill $PRIVATE_XVFB_PID 2>/dev/null; wait $PRIVATE_XVFB_PID 2>/dev/null; rm -f '$display_file'" EXIT
    for _ in $(seq 200); do
        [ -s "$display_file" ] && break
        kill -0 "$PRIVATE_XVFB_PID" 2>/dev/null || { echo "Xvfb did not start" >&2; return 1; }
        sleep 0.05
    done
    [ -s "$display_file" ] || { echo "Xvfb did not start in time" >&2; return 1; }
    export DISPLAY=":$(head -n1 "$display_file")"
}
