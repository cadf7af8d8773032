#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The program as a packager and a desktop meet it: installs the build into a
# scratch prefix, validates the desktop entry and the AppStream data, runs the
# installed programs with a bare environment, checks every search path of the
# build tree and the install, builds the .deb and runs the driver from the
# unpacked package.
#
# usage: check-install.sh BUILD_DIR VERSION CUE_PACK(ON|OFF)
set -uo pipefail

BUILD=$(realpath "$1")
VERSION=$2
CUE_PACK=$3
ID=org.tallyvox.Tallyvox
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
passed=0
failed=0

check() { # check NAME COMMAND...: one named check
    local name=$1
    shift
    if "$@" >"$WORK/out" 2>&1; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $name"
        sed 's/^/    /' "$WORK/out" | head -n 20
    fi
}

# A bare environment: no display, no build-tree variables, no proxy.
bare() { env -i PATH=/usr/bin:/bin LC_ALL=C.UTF-8 HOME="$WORK" "$@"; }

contains() { # contains TEXT PATTERN
    [[ $1 == *"$2"* ]] || { echo "expected '$2' in: $1"; return 1; }
}

runs_keys() { # runs_keys PROGRAM: the installed driver squares 3 via the sandbox
    local out
    out=$(bare "$1" 3 'x^2') || return 1
    contains "$out" '"display": "9"'
}

informs() { # informs PROGRAM: --help and --version print and exit 0 without a display
    local program=$1 out
    out=$(bare "$program" --version) || return 1
    [ "$out" = "$(basename "$program") $VERSION" ] || { echo "version: $out"; return 1; }
    out=$(bare "$program" --help) || return 1
    contains "$out" "--version"
}

search_paths_relative() { # every RUNPATH entry of every ELF file under the folders is $ORIGIN-relative
    local file path bad=0
    while IFS= read -r file; do
        head -c 4 "$file" | grep -q ELF || continue
        path=$(readelf -d "$file" 2>/dev/null | sed -n 's/.*R\(UN\)\{0,1\}PATH.*\[\(.*\)\]/\2/p')
        [ -n "$path" ] || continue
        # Empty entries count too: the loader reads them as the current folder.
        IFS=: read -ra entries <<<"$path:"
        [ "${path: -1}" = ":" ] && { echo "$file: empty entry in $path"; bad=1; }
        for entry in "${entries[@]}"; do
            [[ $entry == '$ORIGIN'* ]] || { echo "$file: '$entry' in $path"; bad=1; }
        done
    done < <(find "$@" -type f \( -perm -u+x -o -name '*.so' \))
    return $bad
}

metainfo_names_this_version() {
    grep -q "<release version=\"$VERSION\"" "$1"
}

man_pages_render() {
    local page out
    for page in "$@"; do
        out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || return 1
        [ -z "$out" ] || { echo "$page: $out"; return 1; }
    done
}

copy_without_its_library_fails_loudly() {
    # Found beside the build tree's program before, a copy loaded the build
    # tree's libupdate.so; now only its own private folder counts.
    mkdir -p "$WORK/copy"
    cp "$BUILD/bin/tallyvox" "$WORK/copy/"
    local out
    if out=$(bare "$WORK/copy/tallyvox" --version 2>&1); then
        echo "ran without libupdate.so: $out"
        return 1
    fi
    contains "$out" "libupdate.so"
}

missing_sandbox_is_named() {
    rm "$1/lib/tallyvox/tallyvox-script"
    local err
    err=$(bare "$1/bin/tallyvox-keys" 3 'x^2' 2>&1 >/dev/null)
    contains "$err" "tallyvox-keys: the script sandbox program tallyvox-script was not found (looked in $1/bin, $1/lib/tallyvox)"
}

deb_depends() {
    local depends
    depends=$(dpkg-deb -f "$1" Depends) || return 1
    for wanted in libsdl2-2.0-0 qt6-qpa-plugins libcurl4 libqt6widgets6 libqt6qml6 fonts-wqy-microhei; do
        contains "$depends" "$wanted" || return 1
    done
}

deb_lists() {
    local listing
    listing=$(dpkg-deb -c "$1") || return 1
    for wanted in ./usr/bin/tallyvox ./usr/bin/tallyvox-keys ./usr/bin/tallyvox-cue ./usr/lib/tallyvox/libupdate.so \
        ./usr/lib/tallyvox/libtallyvox-fetch.so ./usr/share/applications/$ID.desktop \
        ./usr/share/doc/tallyvox/copyright ./usr/share/man/man1/tallyvox.1.gz; do
        contains "$listing" " $wanted"$'\n' || return 1
    done
}

# -- the install
P=$WORK/prefix
check "cmake --install" cmake --install "$BUILD" --prefix "$P"
files=(bin/tallyvox bin/tallyvox-keys bin/tallyvox-cue
    lib/tallyvox/tallyvox-script lib/tallyvox/libupdate.so lib/tallyvox/libtallyvox-fetch.so
    lib/tallyvox/libtallyvox-pagefetch.so
    share/applications/$ID.desktop share/metainfo/$ID.metainfo.xml
    share/icons/hicolor/scalable/apps/$ID.svg share/icons/hicolor/16x16/apps/$ID.png
    share/icons/hicolor/256x256/apps/$ID.png
    share/man/man1/tallyvox.1.gz share/man/man1/tallyvox-keys.1.gz share/man/man1/tallyvox-cue.1.gz
    share/doc/tallyvox/copyright)
[ "$CUE_PACK" = ON ] && files+=(lib/tallyvox/play/加.WAV)
for f in "${files[@]}"; do
    check "installed $f" test -e "$P/$f"
done
check "desktop-file-validate" desktop-file-validate "$P/share/applications/$ID.desktop"
check "appstreamcli validate" appstreamcli validate --no-net "$P/share/metainfo/$ID.metainfo.xml"
check "metainfo names $VERSION" metainfo_names_this_version "$P/share/metainfo/$ID.metainfo.xml"
check "man pages render" man_pages_render "$P"/share/man/man1/*.1.gz
for program in tallyvox tallyvox-keys tallyvox-cue; do
    check "$program --help/--version" informs "$P/bin/$program"
done
check "installed tallyvox-keys 3 x^2" runs_keys "$P/bin/tallyvox-keys"
check "search paths \$ORIGIN only" search_paths_relative "$BUILD/bin" "$BUILD/lib" "$BUILD/tests" "$P"
check "a copy without libupdate.so says so" copy_without_its_library_fails_loudly

# -- the Debian package
check "cpack -G DEB" cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/package"
deb=$(ls "$WORK"/package/*.deb 2>/dev/null | head -n1)
check "the .deb declares its run-time needs" deb_depends "$deb"
check "the .deb holds the programs and their pieces" deb_lists "$deb"
check "dpkg-deb -x" dpkg-deb -x "$deb" "$WORK/root"
check "unpacked tallyvox-keys 3 x^2" runs_keys "$WORK/root/usr/bin/tallyvox-keys"
check "unpacked tallyvox --version" informs "$WORK/root/usr/bin/tallyvox"

# Last: it breaks the install.
check "a missing sandbox program is named" missing_sandbox_is_named "$P"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
