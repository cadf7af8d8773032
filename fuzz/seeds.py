#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes each fuzz target's seed corpus from the tests' tables.

  seeds.py SOURCE_DIR OUT_DIR

OUT_DIR/<target>/ gets one file per seed: the string literals of the tests
that feed the same parser, and for cues the WAV images of the cue tool's
table (stored scrambled, as in play/).
"""
import hashlib
import os
import re
import struct
import sys

LITERAL = re.compile(r'"((?:[^"\\\n]|\\.)*)"')
ESCAPES = {"n": b"\n", "r": b"\r", "t": b"\t", "\\": b"\\", '"': b'"', "'": b"'", "0": b"\0"}


def decode(literal):
    out = bytearray()
    i = 0
    while i < len(literal):
        c = literal[i]
        if c != "\\":
            out += c.encode("utf-8")
            i += 1
            continue
        kind = literal[i + 1]
        if kind == "x":
            digits = re.match(r"[0-9a-fA-F]+", literal[i + 2:]).group(0)
            out.append(int(digits, 16) & 0xFF)
            i += 2 + len(digits)
        elif kind in "uU":
            width = 4 if kind == "u" else 8
            out += chr(int(literal[i + 2:i + 2 + width], 16)).encode("utf-8", "surrogatepass")
            i += 2 + width
        else:
            out += ESCAPES.get(kind, kind.encode())
            i += 2
    return bytes(out)


def literals(source, *paths):
    found = []
    for path in paths:
        text = open(os.path.join(source, path), encoding="utf-8").read()
        # Adjacent literals ("a" "b") are one string, as in C++.
        text = re.sub(r'"\s*\n\s*"', "", text)
        found += [decode(m.group(1)) for m in LITERAL.finditer(text)]
    return found


KEY = bytes.fromhex("2621bac37e40ccec2321bfb426217eb7e72a7e2ad4c6407e21232640217e232a21")


def scramble(image):
    data = bytearray(image)
    if len(data) > 100:
        start = 100 + data[98]
        for p in range(start, len(data)):
            data[p] ^= KEY[(p - start) % len(KEY)]
    return bytes(data)


def wav(data, rate=22050, channels=1, bits=16, block=None):
    block = block or channels * bits // 8
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * block, block, bits)
    body = b"WAVE" + b"fmt " + struct.pack("<I", 16) + fmt + b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


def cue_seeds():
    tone = bytes(range(200))
    return [wav(tone), wav(bytes(400), 44100, 2, 8), wav(b""), wav(b"", 44100, 2), wav(tone, bits=7),
            wav(tone, block=3), wav(tone, 1), wav(tone, 96000, 2), wav(tone, 22050, 3), wav(bytes(8000), 8000, 1, 8),
            b"RIFF" + struct.pack("<I", 4) + b"WAVE"]


def main():
    source, out = sys.argv[1], sys.argv[2]
    seeds = {
        "fuzz_cue": [scramble(image) for image in cue_seeds()],
        "fuzz_number_text": literals(source, "tests/numbers/NumberTextTest.cpp", "tests/voice/NumberWordsTest.cpp"),
        "fuzz_engine_paste": [],
        "fuzz_manifest": literals(source, "tests/update/ManifestTest.cpp"),
        "fuzz_web_address": [s for s in literals(source, "tests/update/ManifestTest.cpp", "tests/update/UpdateCheckTest.cpp",
                                                   "tests/shell/ShellNetTest.cpp") if b"://" in s],
        "fuzz_page": [s for s in literals(source, "tests/adpage/PageSanitizerTest.cpp", "tests/shell/ShellNetTest.cpp")
                      if b"<" in s],
    }
    # A paste of the key-sequence table, then a row of keypad keys.
    for row in literals(source, "tests/engine/KeySequenceTest.cpp"):
        for token in row.split(b" "):
            if token.startswith(b"paste:"):
                seeds["fuzz_engine_paste"].append(token[6:] + b"\n" + bytes(range(0, 40, 3)))
    for target, items in seeds.items():
        folder = os.path.join(out, target)
        os.makedirs(folder, exist_ok=True)
        for item in items:
            name = hashlib.sha1(item).hexdigest()
            with open(os.path.join(folder, name), "wb") as f:
                f.write(item)
        print(f"{target}: {len(set(items))} seeds")


if __name__ == "__main__":
    main()
