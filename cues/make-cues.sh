#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# make-cues.sh TABLE CUETOOL OUT_DIR WORK_DIR
# Speaks every row of the cue table with espeak-ng, trims the silence at
# both ends, fades the start and the end, levels the loudness, and scrambles
# the whole set into OUT_DIR with the cue tool. ESPEAK_NG and SOX name the programs (the
# ones the build found); PATH is searched otherwise.
set -eu
table=$1 cuetool=$2 out=$3 work=$4
espeak=${ESPEAK_NG:-espeak-ng}
# -D: no dither, whose noise would make every build of the pack differ.
sox="${SOX:-sox} -q -D -R"

# Every speech cue is brought to the same RMS level so that a read-out does
# not jump in loudness from one word to the next. espeak-ng peaks stand 11-18 dB
# above the RMS, so -20 dBFS leaves today's cues unlimited; a peakier text is
# limited at CEILING instead of clipping.
TARGET=-20 CEILING=-1.5 TOLERANCE=0.5

# "RMS PEAK" of a WAV file, both in dBFS.
levels() {
    ${SOX:-sox} "$1" -n stats 2>&1 | awk '/^RMS lev dB/ { r = $4 } /^Pk lev dB/ { p = $4 } END { print r, p }'
}

# Writes $2 from the spoken $1 (peak $4 dBFS) at gain $3 dB, limiting peaks
# to CEILING when the gain would take them past it.
level() {
    limit=$(awk -v c=$CEILING -v g="$3" -v p="$4" 'BEGIN { if (p + g > c) printf "%.2f", c - g }')
    if [ -z "$limit" ]; then
        $sox "$1" -t wav "$2" gain "$3"
    else
        # attack 0 makes compand a peak limiter that never lets a sample past
        # the knee; the 50 ms decay lets the gain come back without a pump.
        $sox "$1" -t wav "$2" compand 0,0.05 -90,-90,"$limit","$limit",0,"$limit" gain "$3"
    fi
}

tab=$(printf '\t')
rm -rf "$work"
mkdir -p "$work/plain"

while IFS= read -r row || [ -n "$row" ]; do
    case "$row" in
    '#'* | '') continue ;;
    *"$tab"*) ;;
    *) echo "make-cues.sh: row without a tab: $row" >&2; exit 1 ;;
    esac
    name=${row%%"$tab"*}
    text=${row#*"$tab"}
    plain="$work/plain/$name.WAV"
    case "$text" in
    @click)
        # A soft 60 ms tick for keys that have no words of their own.
        $sox -n -r 22050 -c 1 -b 16 -t wav "$plain" synth 0.06 sine 1200 fade h 0.004 0.06 0.045 vol 0.25
        ;;
    @*)
        echo "make-cues.sh: unknown sound $text" >&2; exit 1 ;;
    *)
        "$espeak" -v cmn-latn-pinyin -w "$work/spoken.wav" "$text"
        # espeak-ng ends each utterance with ~300 ms of silence, and starts
        # many with ~40 ms of it: heard after the key, or between the words
        # of a read-out, as a delay. Both ends are trimmed where the sound
        # crosses 1 %. The head keeps the first syllable's onset and rises
        # over a 3 ms half-sine fade, so it starts without a click. The tail
        # keeps the last syllable's decay: the half-sine 40 ms fade takes it
        # to -44 dB 2 ms before the end, so the cue stops without a click
        # however loud that tail is.
        $sox "$work/spoken.wav" -t wav "$work/shaped.wav" \
            silence 1 0.01 1% fade h 0.003 reverse silence 1 0.01 1% fade h 0.04 reverse
        set -- $(levels "$work/shaped.wav")
        case "$1" in -inf | '') echo "make-cues.sh: cue '$name' ($text) is silent" >&2; exit 1 ;; esac
        peak=$2
        gain=$(awk -v t=$TARGET -v r="$1" 'BEGIN { printf "%.2f", t - r }')
        # Limiting lowers the RMS a little; make up for it and check again.
        for try in 1 2 3; do
            level "$work/shaped.wav" "$plain" "$gain" "$peak"
            set -- $(levels "$plain")
            miss=$(awk -v t=$TARGET -v r="$1" 'BEGIN { printf "%.2f", t - r }')
            if awk -v m="$miss" -v tol=$TOLERANCE 'BEGIN { exit !(m <= tol && -m <= tol) }'; then
                break
            fi
            gain=$(awk -v g="$gain" -v m="$miss" 'BEGIN { printf "%.2f", g + m }')
        done
        if ! awk -v m="$miss" -v tol=$TOLERANCE -v p="$2" -v c=$CEILING \
            'BEGIN { exit !(m <= tol && -m <= tol && p <= c + 0.5) }'; then
            echo "make-cues.sh: cue '$name' ($text) cannot be levelled: RMS $1 dBFS, peak $2 dBFS" >&2
            exit 1
        fi
        ;;
    esac
done < "$table"

"$cuetool" scramble "$work/plain" "$out" > /dev/null
"$cuetool" verify "$out" > /dev/null
rm -rf "$work"
