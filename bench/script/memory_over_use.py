#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Memory over long use: tallyvox-keys and its script child, PSS in total.

Drives `tallyvox-keys --trace` on standard input one key at a time (it answers
each key with a line as it comes) through 2,000 mixed keys, 200 of them script
keys and 20 expression-window calculations, measures the proportional set size
of the driver and its children from /proc/<pid>/smaps_rollup, runs the same
2,000 keys again and measures once more.

Targets: below 48 MiB in total after 2,000 keys, and no growth over the
further 2,000 (a change within 0.5 MiB is counted as noise: PSS also moves
when other processes map or drop the same libraries).

usage: bench/script/memory_over_use.py [BUILD_DIR]
"""
import os
import select
import subprocess
import sys
import time

TARGET_TOTAL_MIB = 48.0
NOISE_MIB = 0.5
ANSWER_TIMEOUT_S = 30

# 100 keys: 10 script keys (x^2, x^3, 10^x) and one expression-window
# calculation among digits, operators, memory, functions and edits.
CYCLE = (
    "1 2 + 3 4 = 3 x^2 * 2 = MS C 7 . 5 x^3 - 1 0 0 = M+ "
    "2 10^x / 4 = sqrt 1/x sign back 9 % C "
    "4 5 sin cos ln Log 1 . 5 x^2 + 2 x^3 = MR M- "
    "6 Mod 4 = Int n! 3 x^y 2 = y-root 2 = copy paste:12.5 x^2 "
    "CE 8 tan atan rad 1 sinh deg . 5 asin grad acos "
    "1 . 2 5 10^x * 3 x^2 = F-E F-E pi x^3 MC C 2 cbrt 7 x^2 EXPR"
).split()
EXPRESSIONS = ["(3-55)*(10+sin(30))", "2^10+sqrt(16)", "1/3+1/6", "cos(60)*4-1"]


def keys_for(rounds, first_round):
    keys = []
    for r in range(first_round, first_round + rounds):
        for key in CYCLE:
            if key == "EXPR":
                key = "expr:" + EXPRESSIONS[r % len(EXPRESSIONS)]
            keys.append(key)
    return keys


def pss_kib(pid):
    try:
        with open(f"/proc/{pid}/smaps_rollup") as rollup:
            for line in rollup:
                if line.startswith("Pss:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def children_of(pid):
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except (OSError, IndexError):
            continue
        if int(fields[1]) == pid and fields[0] != "Z":
            found.append(int(entry))
    return found


def footprint(pid):
    """(driver PSS, children's PSS, number of children) in MiB."""
    kids = children_of(pid)
    return pss_kib(pid) / 1024, sum(pss_kib(k) for k in kids) / 1024, len(kids)


def run(driver, keys):
    for key in keys:
        driver.stdin.write((key + "\n").encode())
        driver.stdin.flush()
        ready, _, _ = select.select([driver.stdout], [], [], ANSWER_TIMEOUT_S)
        line = driver.stdout.readline() if ready else b""
        if not line.startswith(b"{"):
            sys.exit(f"tallyvox-keys gave no line for '{key}' within {ANSWER_TIMEOUT_S} s: "
                     "this bench needs a driver that answers each key on standard input as it comes")


def main():
    build = os.path.realpath(sys.argv[1] if len(sys.argv) > 1 else "build")
    program = os.path.join(build, "bin", "tallyvox-keys")
    if not os.access(program, os.X_OK):
        sys.exit(f"no {program}: build the tallyvox-keys target first")
    env = dict(os.environ, SDL_AUDIODRIVER="dummy")
    driver = subprocess.Popen([program, "--trace"], stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=env)
    first = keys_for(20, 0)
    script_keys = sum(k in ("x^2", "x^3", "10^x") for k in first)
    expressions = sum(k.startswith("expr:") for k in first)
    samples = []
    try:
        for rounds in (0, 20):
            run(driver, keys_for(20, rounds))
            time.sleep(0.5)  # the child finishes building its next engine
            samples.append(footprint(driver.pid))
    finally:
        driver.stdin.close()
        driver.wait(timeout=30)

    print(f"memory over long use: tallyvox-keys and its script child, PSS "
          f"({len(first)} keys a round, {script_keys} script keys, {expressions} expression-window calculations)")
    for n, (own, kids, count) in zip((2000, 4000), samples):
        print(f"  after {n:,} keys: {own + kids:6.1f} MiB (target < {TARGET_TOTAL_MIB:.0f})"
              f"   driver {own:.1f} + {count} child(ren) {kids:.1f}")
    growth = sum(samples[1][:2]) - sum(samples[0][:2])
    print(f"  growth over the further 2,000: {growth:+.2f} MiB (target: none, within {NOISE_MIB})")
    met = all(s[0] + s[1] < TARGET_TOTAL_MIB for s in samples) and growth <= NOISE_MIB
    sys.exit(0 if met else 1)


if __name__ == "__main__":
    main()
