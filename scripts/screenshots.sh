#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the README's screenshots with the real program under a private Xvfb,
# typed into with xdotool as a person would:
#   docs/screenshot.png                  the enhanced view, default colours
#   docs/screenshot-dark-enhanced.png    dark colours (qt6ct's "darker"), scale 2
#   docs/screenshot-dark-standard.png    the same in the standard view
#   docs/screenshot-tape.png             the tape panel open, default colours
#   docs/screenshot-tape-dark.png        the same, dark colours, scale 2
# usage: scripts/screenshots.sh [BUILD_DIR]   (needs xdotool, imagemagick, qt6ct)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
PROGRAM=${1:-$ROOT/build}/bin/tallyvox
for tool in xdotool import Xvfb dbus-run-session; do
    command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh)" >&2; exit 1; }
done
[ -f /usr/share/qt6ct/colors/darker.conf ] || { echo "missing qt6ct: apt-get install qt6ct" >&2; exit 1; }
# One private session bus for the whole run, so nothing is left behind.
if [ -z "${SCREENSHOTS_ON_PRIVATE_BUS:-}" ]; then
    exec env SCREENSHOTS_ON_PRIVATE_BUS=1 dbus-run-session -- "$0" "$@"
fi

# shellcheck source=private-xvfb.sh
source "$ROOT/scripts/private-xvfb.sh"
# Tall enough for the window with its tape at scale 2.
PRIVATE_XVFB_SCREEN=1600x1200x24 start_private_xvfb
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"; kill $PRIVATE_XVFB_PID 2>/dev/null' EXIT

# A dark desktop theme as a user of a desktop without its own Qt theme sets it.
mkdir -p "$WORK/config/qt6ct"
cat >"$WORK/config/qt6ct/qt6ct.conf" <<EOF
[Appearance]
color_scheme_path=/usr/share/qt6ct/colors/darker.conf
custom_palette=true
style=Fusion
EOF

# shot OUTPUT VIEW KEYS... : starts the program, types 1/7= and stores the
# result (Ctrl+M), then switches to the standard view or opens the tape after
# three more calculations, and saves the window. Each run has an empty tape
# of its own.
shot() {
    local output=$1 view=$2
    shift 2
    env "$@" XDG_DATA_HOME="$WORK/data-$(basename "$output")" SDL_AUDIODRIVER=dummy "$PROGRAM" &
    local pid=$!
    local window
    window=$(xdotool search --sync --name '^Tallyvox$' | head -n1)
    xdotool windowfocus --sync "$window"
    sleep 1
    xdotool type --delay 100 '1/7='
    xdotool key --delay 100 ctrl+m
    [ "$view" = standard ] && xdotool key --delay 300 alt+v Return
    if [ "$view" = tape ]; then
        for calculation in '12+3*2=' '2@*3=' '30s+1='; do
            sleep 3
            xdotool type --delay 100 "$calculation"
        done
        sleep 3
        xdotool key --delay 300 ctrl+h Up
    fi
    sleep 8 # the read-out
    import -window "$window" "$output"
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

shot "$ROOT/docs/screenshot.png" enhanced XDG_CONFIG_HOME="$WORK/empty"
shot "$ROOT/docs/screenshot-dark-enhanced.png" enhanced XDG_CONFIG_HOME="$WORK/config" \
    QT_QPA_PLATFORMTHEME=qt6ct QT_SCALE_FACTOR=2
shot "$ROOT/docs/screenshot-dark-standard.png" standard XDG_CONFIG_HOME="$WORK/config" \
    QT_QPA_PLATFORMTHEME=qt6ct QT_SCALE_FACTOR=2
shot "$ROOT/docs/screenshot-tape.png" tape XDG_CONFIG_HOME="$WORK/empty"
shot "$ROOT/docs/screenshot-tape-dark.png" tape XDG_CONFIG_HOME="$WORK/config" \
    QT_QPA_PLATFORMTHEME=qt6ct QT_SCALE_FACTOR=2
echo "screenshots in $ROOT/docs"
