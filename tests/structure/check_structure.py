#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Structural checks of the tree, run as tests.

  check_structure.py layers SOURCE_DIR GRAPH_FILE
      a folder of src/ includes and links only folders of its own layer or
      below; the Qt-free layers include no Qt header; no CMakeLists.txt names
      a source outside its own folder; every source file names its licence
  check_structure.py readme SOURCE_DIR GRAPH_FILE
      the README's architecture block is the build's target graph
  check_structure.py format SOURCE_DIR CLANG_FORMAT
      every C++ file is formatted as .clang-format says
"""
import os
import re
import subprocess
import sys

QT_FREE = {"numbers", "settings", "voice", "engine", "tape", "script", "scientific", "update", "adpage"}
# The sandbox program is the one Qt user of the script layer: it runs the
# JavaScript engine, and only inside its own process.
QT_ALLOWED = {"src/script/ScriptSandbox.cpp", "src/script/ScriptReply.h", "src/script/ScriptReply.cpp"}
CPP = (".h", ".hpp", ".c", ".cc", ".cpp")
SPDX = "SPDX-License-Identifier: GPL-3.0-or-later"
LICENSED = CPP + (".py", ".sh", ".cmake", ".tsv", ".map", ".desktop", ".svg", ".in")
# AppStream data must carry a permissive licence of its own (FSFAP).
PERMISSIVE = {".metainfo.xml": "SPDX-License-Identifier: FSFAP"}


def layers(source):
    text = open(os.path.join(source, "CMakeLists.txt"), encoding="utf-8").read()
    names = re.search(r"set\(TALLYVOX_LAYERS ([^)]*)\)", text).group(1).split()
    return {name: rank for rank, name in enumerate(names)}


def tracked_files(source):
    try:
        out = subprocess.run(["git", "-C", source, "ls-files"], capture_output=True, text=True, check=True).stdout
        return [f for f in out.splitlines() if os.path.exists(os.path.join(source, f))]
    except (OSError, subprocess.CalledProcessError):
        found = []
        for folder, dirs, files in os.walk(source):
            dirs[:] = [d for d in dirs if not d.startswith(".") and d != "build"]
            found += [os.path.relpath(os.path.join(folder, f), source) for f in files]
        return found


def graph_lines(graph_file):
    lines = []
    for line in open(graph_file, encoding="utf-8"):
        if line.strip():
            lines.append(" ".join(line.split()))
    return lines


def check_layers(source, graph_file):
    rank = layers(source)
    top = len(rank)
    problems = []
    files = tracked_files(source)
    for path in files:
        parts = path.split("/")
        if parts[0] == "src" and len(parts) > 2 and path.endswith(CPP):
            own = parts[1]
            text = open(os.path.join(source, path), encoding="utf-8", errors="replace").read()
            for included in re.findall(r'^\s*#\s*include\s*"([^"]+)"', text, re.M):
                head = included.split("/")[0]
                if head in ("tools", "tests", "bench"):
                    problems.append(f"{path} includes {included}: src/ never includes {head}/")
                elif head in rank and rank[head] > rank[own]:
                    problems.append(f"{path} includes {included} from the layer above it ({head})")
            if own in QT_FREE and path not in QT_ALLOWED:
                for included in re.findall(r"^\s*#\s*include\s*<(Q[A-Za-z]*)", text, re.M):
                    problems.append(f"{path} includes <{included}>: the {own} layer has no Qt")
        name = os.path.basename(path)
        if name.endswith(LICENSED) or name in ("CMakeLists.txt", "Makefile", "run"):
            with open(os.path.join(source, path), encoding="utf-8", errors="replace") as f:
                head = f.read(400)
            if SPDX not in head:
                problems.append(f"{path} has no '{SPDX}' line at its top")
        for ending, line in PERMISSIVE.items():
            if name.endswith(ending):
                with open(os.path.join(source, path), encoding="utf-8", errors="replace") as f:
                    if line not in f.read(400):
                        problems.append(f"{path} has no '{line}' line at its top")
        if name == "CMakeLists.txt":
            text = open(os.path.join(source, path), encoding="utf-8").read()
            for name in re.findall(r"[\w${}./:-]+\.(?:cpp|cc|c|h|hpp)\b", text):
                if ".." in name or name.startswith(("$", "/")):
                    problems.append(f"{path} builds {name}, a source outside its folder")

    def folder_rank(folder):
        parts = folder.split("/")
        return rank.get(parts[1], top) if parts[0] == "src" else top

    folder_of = {}
    edges = []
    for line in graph_lines(graph_file):
        m = re.match(r"(\S+) (\S+)(?: -> ([^(]*))?(?: \(runs ([^)]*)\))?$", line)
        folder_of[m.group(2)] = m.group(1)
        for dep in (m.group(3) or "").split() + (m.group(4) or "").split():
            edges.append((m.group(2), dep))
    for target, dep in edges:
        if folder_rank(folder_of[dep]) > folder_rank(folder_of[target]):
            problems.append(f"{target} ({folder_of[target]}) uses {dep} from the layer above it ({folder_of[dep]})")
    return problems


def check_readme(source, graph_file):
    readme = open(os.path.join(source, "README.md"), encoding="utf-8").read()
    m = re.search(r"<!-- target-graph -->\n```\n(.*?)```", readme, re.S)
    if not m:
        return ["README.md has no <!-- target-graph --> block"]
    shown = [" ".join(line.replace("→", "->").split()) for line in m.group(1).splitlines() if line.strip()]
    built = graph_lines(graph_file)
    if shown == built:
        return []
    width = max(len(line.split()[1]) for line in built)
    folder_width = max(len(line.split()[0]) for line in built)
    table = []
    for line in built:
        folder, target, *rest = line.split(" ", 2)
        table.append(f"{folder:<{folder_width}}  {target:<{width}}  {' '.join(rest)}".rstrip().replace(" -> ", " → "))
    return ["README.md's target graph differs from the build's; the build's is:\n" + "\n".join(table)]


def check_format(source, clang_format):
    files = [f for f in tracked_files(source) if f.endswith(CPP)]
    result = subprocess.run([clang_format, "--dry-run", "-Werror", "--style=file"] + files, cwd=source,
                            capture_output=True, text=True)
    if result.returncode == 0:
        return []
    names = sorted(set(re.findall(r"^(\S+?):\d+:\d+: error", result.stderr, re.M)))
    return ["not formatted (run `make format`): " + " ".join(names or [result.stderr[:2000]])]


def main():
    what, source, arg = sys.argv[1:4]
    problems = {"layers": check_layers, "readme": check_readme, "format": check_format}[what](source, arg)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
