#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the accessibility end-to-end test: a private Xvfb, a private D-Bus
# session, then the test. usage: run-atspi.sh PROGRAM
set -euo pipefail
HERE=$(dirname "$(realpath "$0")")
# shellcheck source=../../scripts/private-xvfb.sh
source "$HERE/../../scripts/private-xvfb.sh"
start_private_xvfb
dbus-run-session -- /usr/bin/python3 "$HERE/atspi_keys.py" "$1"
