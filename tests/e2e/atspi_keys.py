#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Drives the real calculator over the accessibility bus, as a screen-reader
user would: finds keys by their accessible names, presses them, and reads the
display back. Run under `xvfb-run -a dbus-run-session`."""

import os
import subprocess
import sys
import time

import pyatspi

PROGRAM = sys.argv[1]


def find_app(timeout=20.0):
    deadline = time.time() + timeout
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name in ("tallyvox", "Tallyvox"):
                return app
        time.sleep(0.1)
    raise SystemExit("the calculator never appeared on the accessibility bus")


def find(node, role, name):
    """Depth-first search for a visible accessible with this role and name."""
    found = pyatspi.findDescendant(
        node, lambda a: a is not None and a.getRole() == role and a.name == name)
    if found is None:
        raise AssertionError("no %s named %r" % (role, name))
    return found


def press(app, name):
    find(app, pyatspi.ROLE_PUSH_BUTTON, name).queryAction().doAction(0)


def display_text(app):
    edit = find(app, pyatspi.ROLE_TEXT, "显示")
    text = edit.queryText()
    return text.getText(0, -1)


def wait_for_text(app, name, expected, timeout=10.0):
    deadline = time.time() + timeout
    seen = None
    while time.time() < deadline:
        try:
            seen = find(app, pyatspi.ROLE_TEXT, name).queryText().getText(0, -1)
        except AssertionError:
            seen = None
        if seen == expected:
            return
        time.sleep(0.05)
    raise AssertionError("%s shows %r, expected %r" % (name, seen, expected))


def wait_for_display(app, expected, timeout=10.0):
    deadline = time.time() + timeout
    seen = None
    while time.time() < deadline:
        seen = display_text(app)
        if seen == expected:
            return
        time.sleep(0.05)
    raise AssertionError("display shows %r, expected %r" % (seen, expected))


def main():
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
               SDL_AUDIODRIVER="dummy")
    proc = subprocess.Popen([PROGRAM], env=env)
    try:
        app = find_app()
        wait_for_display(app, "0")
        for key in ["7", "加", "8", "等于"]:
            press(app, key)
        wait_for_display(app, "15")
        for key in ["清除", "1", "2", "除", "4", "等于"]:
            press(app, key)
        wait_for_display(app, "3")
        for key in ["9", "正负"]:
            press(app, key)
        wait_for_display(app, "-9")

        # The expression window: opened, typed into and calculated by name.
        press(app, "表达式计算")
        wait_for_text(app, "输入表达式", "")
        find(app, pyatspi.ROLE_TEXT, "输入表达式").queryEditableText().setTextContents("(3-55)*(10+sin(30))")
        press(app, "计算")
        wait_for_text(app, "计算结果", "-546")
        press(app, "关闭")
        # Back in the main window, which the modal window left untouched.
        press(app, "1")
        wait_for_display(app, "-91")
        print("1 passed, 0 failed")
    finally:
        proc.terminate()
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()


if __name__ == "__main__":
    main()
