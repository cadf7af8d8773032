#!/bin/sh
# make-cues.sh TABLE CUETOOL OUT_DIR WORK_DIR
# Speaks every row of the cue table with espeak-ng, trims the trailing
# silence, and scrambles the whole set into OUT_DIR with the cue tool.
set -eu
table=$1 cuetool=$2 out=$3 work=$4

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
        sox -q -n -r 22050 -c 1 -b 16 -t wav "$plain" synth 0.06 sine 1200 fade h 0.004 0.06 0.045 vol 0.25
        ;;
    @*)
        echo "make-cues.sh: unknown sound $text" >&2; exit 1 ;;
    *)
        espeak-ng -v cmn-latn-pinyin -w "$work/spoken.wav" "$text"
        # espeak-ng ends each utterance with ~300 ms of silence; a cue that
        # ends late delays the next one of a read-out.
        sox -q "$work/spoken.wav" -t wav "$plain" reverse silence 1 0.01 1% reverse
        ;;
    esac
done < "$table"

"$cuetool" scramble "$work/plain" "$out" > /dev/null
"$cuetool" verify "$out" > /dev/null
rm -rf "$work"
