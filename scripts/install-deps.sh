#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages that building, generating the voice cues and
# testing need (clang and its runtime for the fuzz targets, llvm for the
# sanitizers' symbolizer). Idempotent: packages already present are skipped.
set -eu

PACKAGES="
build-essential cmake pkg-config git clang-format python3
clang libclang-rt-14-dev llvm
qt6-base-dev qt6-base-dev-tools qt6-declarative-dev
libsdl2-dev libseccomp-dev libcurl4-openssl-dev libfontconfig-dev
libgtest-dev libgmock-dev libbenchmark-dev libssl-dev libgumbo-dev
espeak-ng sox librsvg2-bin
fonts-wqy-microhei
xvfb xauth x11-utils libx11-dev imagemagick xdotool qt6ct
qt6-translations-l10n
dbus dbus-x11 at-spi2-core python3-pyatspi python3-gi
dpkg-dev desktop-file-utils appstream man-db
"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    SUDO=sudo
else
    SUDO=
fi
echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
