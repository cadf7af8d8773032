#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Prints the key-to-sound figures of bench/latency/run.sh's results, median
(range) per program, with their targets; exits 1 when the first program
misses one. The name "floor" prints the floors measured without a program.

usage: figures.py RESULTS NAME..."""
import statistics
import sys


def load(path):
    rows = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            head, label, index, cue, ms, gap, heard, length = line.rstrip("\n").split("\t")
            _, name = head.split(" ")
            rows.append((name, label, int(index), cue, ms, gap, heard, length))
    return rows


def values(rows, name, label, pick):
    out = []
    for row in rows:
        if row[0] == name and row[1] == label:
            value = pick(row)
            if value is not None:
                out.append(value)
    return out


def number(text):
    return None if text in ("-", "missed") else float(text)


def main():
    rows = load(sys.argv[1])
    names = sys.argv[2:]
    missed_target = False
    for name in names:
        if name == "floor":
            print_floors(rows)
            continue
        missed = sum(1 for r in rows if r[0] == name and r[4] == "missed")
        print(f"== {name} (cues not heard: {missed})")
        first_cue = lambda r: number(r[4]) if r[2] == 0 else None
        # "=" to the first word of the result, less the length of 等于 as heard.
        word_over = lambda r: None if r[2] != 1 or number(r[4]) is None else number(r[4]) - equals_length(rows, name)
        figures = [
            ("key in a burst, 0.2 s apart", values(rows, name, "burst", first_cue), "median", 10),
            ('"=" -> start of 等于', values(rows, name, "equals", first_cue), "median", 10),
            ("key, stream open and idle (1 s)", values(rows, name, "open", first_cue), "median", 10),
            ("key after 3 s idle (device reopened)", values(rows, name, "reopen", first_cue), "median", 10),
            ("first key, 0.3 s after the window maps", values(rows, name, "first", first_cue), "median", 50),
            ("first key, 0.3 s after the window maps", values(rows, name, "first", first_cue), "max", 80),
            ("read-out: silence added by the player", values(rows, name, "equals",
                                                            lambda r: number(r[5]) if r[2] > 0 else None), "median", 5),
            ("read-out: silence heard between words", values(rows, name, "equals",
                                                            lambda r: number(r[6]) if r[2] > 0 else None), "median", 20),
            ('"=" -> first word, beyond the length of 等于', values(rows, name, "equals", word_over), "median", 10),
        ]
        for title, vals, stat, target in figures:
            if not vals:
                print(f"  {title:48s} no data")
                missed_target = missed_target or name == names[0]
                continue
            got = statistics.median(vals) if stat == "median" else max(vals)
            ok = got <= target
            if name == names[0] and not ok:
                missed_target = True
            print(f"  {title:48s} {statistics.median(vals):7.1f} ms ({min(vals):.1f}-{max(vals):.1f}, n={len(vals)})"
                  f"  target {stat} <= {target} ms  {'ok' if ok else 'MISSED'}")
    return 1 if missed_target else 0


def print_floors(rows):
    print("== floors (no target)")
    for title, label in (("paplay of a cue file, from its start", "paplay"),
                         ("bare SDL queue, 128-frame period, device open", "sdl128"),
                         ("bare SDL queue, 256-frame period, device open", "sdl256")):
        vals = values(rows, "floor", label, lambda r: number(r[4]) if r[2] == 0 else None)
        if vals:
            print(f"  {title:48s} {statistics.median(vals):7.1f} ms ({min(vals):.1f}-{max(vals):.1f}, n={len(vals)})")
        else:
            print(f"  {title:48s} no data")


def equals_length(rows, name):
    for row in rows:
        if row[0] == name and row[1] == "equals" and row[2] == 0 and row[7] != "-":
            return float(row[7])
    return 0.0


if __name__ == "__main__":
    sys.exit(main())
