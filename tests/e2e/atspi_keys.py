#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Drives the real calculator as keyboard and screen-reader users do: types on
the main keyboard with xdotool (a real X server), finds keys and texts by their
accessible names over AT-SPI, and hears what it said through the program's
cue log (TALLYVOX_CUE_LOG). Run under `xvfb-run -a dbus-run-session`."""

import os
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import GLib

PROGRAM = sys.argv[1]
CUE_LOG = os.path.join(tempfile.mkdtemp(prefix="tallyvox-e2e-"), "cues.log")


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
    """Depth-first search for an accessible with this role and name."""
    found = pyatspi.findDescendant(
        node, lambda a: a is not None and a.getRole() == role and a.name == name)
    if found is None:
        raise AssertionError("no %s named %r" % (role, name))
    return found


def press(app, name):
    find(app, pyatspi.ROLE_PUSH_BUTTON, name).queryAction().doAction(0)


def wait_until(what, check, timeout=10.0):
    deadline = time.time() + timeout
    seen = None
    while time.time() < deadline:
        # Lets the accessibility events that arrived reach their listeners.
        while GLib.MainContext.default().iteration(False):
            pass
        ok, seen = check()
        if ok:
            return seen
        time.sleep(0.05)
    raise AssertionError("%s: got %r" % (what, seen))


def wait_for_text(app, name, expected, timeout=10.0):
    def check():
        try:
            seen = find(app, pyatspi.ROLE_TEXT, name).queryText().getText(0, -1)
        except AssertionError:
            seen = None
        return seen == expected, seen
    wait_until("%s should show %r" % (name, expected), check, timeout)


def wait_for_display(app, expected, timeout=10.0):
    wait_for_text(app, "显示", expected, timeout)


def cues():
    """The cues played so far: one (mode, name) pair per line of the log."""
    with open(CUE_LOG, encoding="utf-8") as log:
        return [tuple(line.rstrip("\n").split("\t", 1)) for line in log]


def clear_cues():
    open(CUE_LOG, "w").close()


def wait_for_cues(expected, timeout=15.0):
    """Waits until the log holds exactly these cue names (a read-out runs
    at the pace of its recordings)."""
    wait_until("cues should be %r" % (expected,),
               lambda: ([name for _, name in cues()] == expected, [name for _, name in cues()]),
               timeout)


def type_keys(command, *keys):
    """Real key presses (XTEST) into the focused window, at a person's pace."""
    subprocess.check_call(["xdotool", command, "--delay", "100"] + list(keys))


def label_text(app):
    """The operation label as a screen reader reads it: "运算：5+"."""
    label = pyatspi.findDescendant(
        app, lambda a: a is not None and a.getRole() == pyatspi.ROLE_LABEL and a.name.startswith("运算："))
    if label is None:
        raise AssertionError("no operation label")
    return label.name[len("运算："):]


def found(node, role, name):
    """For wait_until: the accessible once it is there."""
    try:
        match = find(node, role, name)
    except AssertionError:
        return False, None
    return match.getState().contains(pyatspi.STATE_SHOWING), match


def focused_in(node):
    """Whether the list, or the item it shows as current, has the focus."""
    states = [(node.name, node.getState().contains(pyatspi.STATE_FOCUSED))]
    states += [(c.name, c.getState().contains(pyatspi.STATE_FOCUSED)) for c in node if c is not None]
    return any(focused for _, focused in states), states


def check_tree(app):
    """Every entry a screen reader can reach is named, shown, and named once.
    Closed menus are popups the reader opens itself."""
    names, problems = set(), []

    def walk(node):
        if node.getRole() == pyatspi.ROLE_POPUP_MENU:
            return
        if not node.name:
            problems.append("nameless %s" % node.getRoleName())
        elif node.name in names:
            problems.append("twice: %s" % node.name)
        if not node.getState().contains(pyatspi.STATE_SHOWING):
            problems.append("hidden: %s" % node.name)
        names.add(node.name)
        for child in node:
            if child is not None:
                walk(child)

    for child in app:
        walk(child)
    assert not problems, problems


def main():
    # A home of its own: an empty tape, and no settings or tape file left behind.
    home = os.path.dirname(CUE_LOG)
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
               SDL_AUDIODRIVER="dummy", TALLYVOX_CUE_LOG=CUE_LOG,
               XDG_DATA_HOME=os.path.join(home, "data"), XDG_CONFIG_HOME=os.path.join(home, "config"))
    clear_cues()
    proc = subprocess.Popen([PROGRAM], env=env)
    try:
        app = find_app()
        wait_for_display(app, "0")
        check_tree(app)
        window = subprocess.check_output(
            ["xdotool", "search", "--sync", "--name", "^Tallyvox$"], text=True).split()[0]
        subprocess.check_call(["xdotool", "windowfocus", "--sync", window])

        # The keys mean what they type: Shift+8 is "*", "=" is equals.
        type_keys("type", "7*8")
        type_keys("key", "Return")
        wait_for_display(app, "56")
        wait_for_cues(["7", "乘", "8", "等于", "5", "拾", "6"])
        clear_cues()
        type_keys("type", "7+8=")
        wait_for_display(app, "15")
        wait_for_cues(["7", "加", "8", "等于", "1", "拾", "5"])

        # Enter that picks a menu item belongs to the menu: no "=".
        clear_cues()
        type_keys("key", "alt+v")
        time.sleep(0.5)
        type_keys("key", "Return")
        wait_until("the standard view", lambda: (
            pyatspi.findDescendant(app, lambda a: a is not None and a.name == "科学计算键") is None, None))
        time.sleep(1.0)  # room for a wrong "=" to show
        assert "等于" not in [name for _, name in cues()], cues()
        wait_for_display(app, "15")
        check_tree(app)

        # A key typed during a read-out ends it and counts at once (Qt holds
        # input back during a cue and must be woken to look at it again).
        clear_cues()
        type_keys("type", "1/7=")
        wait_until("the read-out", lambda: ("10" in [n for _, n in cues()], cues()))  # "10": the point
        type_keys("type", "2")
        wait_for_display(app, "2")
        time.sleep(1.0)  # room for the rest of a read-out that went on
        heard = [name for _, name in cues()]
        assert heard[-1] == "2" and "3" not in heard, heard

        type_keys("key", "Escape")
        wait_for_display(app, "0")

        # The pending operation, read from the label, announced as it changes.
        renamed = []
        listener = lambda event: renamed.append(event.source.name)
        pyatspi.Registry.registerEventListener(listener, "object:property-change:accessible-name")
        type_keys("type", "5+")
        wait_until("the label after 5 +", lambda: (label_text(app) == "5+", label_text(app)))
        wait_until("a name change of the label", lambda: ("运算：5+" in renamed, renamed))
        pyatspi.Registry.deregisterEventListener(listener, "object:property-change:accessible-name")

        # Say it again: the display, then the operation and the memory, with
        # the read-out's cues; the number being typed goes on afterwards.
        type_keys("type", "12")
        wait_for_display(app, "12")
        clear_cues()
        type_keys("key", "space")
        wait_for_cues(["1", "拾", "2"])
        assert all(mode == "sync" for mode, _ in cues()), cues()
        clear_cues()
        type_keys("type", "?")
        wait_for_cues(["5", "加", "无记忆", "角度制", "标准型"])
        type_keys("type", "3=")
        wait_for_display(app, "128")

        # Screen-reader presses, and the expression window by name.
        for key in ["清除", "一", "二", "除", "四", "等于"]:
            press(app, key)
        wait_for_display(app, "3")
        for key in ["九", "正负"]:
            press(app, key)
        wait_for_display(app, "-9")
        type_keys("key", "alt+v", "Down", "Return")  # back to the enhanced view
        wait_until("the enhanced view", lambda: (
            pyatspi.findDescendant(app, lambda a: a is not None and a.name == "科学计算键") is not None, None))
        press(app, "表达式计算")
        wait_for_text(app, "输入表达式", "")
        find(app, pyatspi.ROLE_TEXT, "输入表达式").queryEditableText().setTextContents("(3-55)*(10+sin(30))")
        press(app, "计算")
        wait_for_text(app, "计算结果", "-546")

        # Esc during the expression window's read-out ends it at once and
        # closes the window: the next key typed is the main window's.
        find(app, pyatspi.ROLE_TEXT, "输入表达式").queryEditableText().setTextContents("1/7")
        clear_cues()
        press(app, "计算")
        wait_until("the expression read-out", lambda: ("10" in [n for _, n in cues()], cues()))
        dialog = subprocess.check_output(
            ["xdotool", "search", "--sync", "--name", "^表达式计算器$"], text=True).split()[0]
        subprocess.check_call(["xdotool", "windowfocus", "--sync", dialog])
        type_keys("key", "Escape")
        wait_until("the expression window closed", lambda: (
            pyatspi.findDescendant(app, lambda a: a is not None and a.name == "输入表达式"
                                   and a.getState().contains(pyatspi.STATE_SHOWING)) is None, None))
        heard = [name for _, name in cues()]
        time.sleep(1.0)  # room for a read-out that went on
        assert [name for _, name in cues()] == heard and len(heard) < 8, cues()
        type_keys("type", "1")
        # Back in the main window, which the modal window left untouched.
        wait_for_display(app, "-91")

        # The tape: Ctrl+H moves into it at the newest entry (the expression
        # window's 1/7), Up reads the ones before, named with their position
        # for the screen reader; Enter puts the result on the display.
        clear_cues()
        type_keys("key", "ctrl+h")
        tape = wait_until("the tape shown", lambda: found(app, pyatspi.ROLE_LIST, "计算记录"))
        wait_until("the focus in the tape", lambda: focused_in(tape))
        type_keys("key", "Up")
        wait_until("the expression's entry read", lambda: ([n for _, n in cues()][-4:] == ["佰", "4", "拾", "6"], cues()))
        clear_cues()
        type_keys("key", "Up")
        wait_for_cues(["1", "拾", "2", "除", "4", "等于", "3"])
        item = find(tape, pyatspi.ROLE_LIST_ITEM, "第5条，12除4等于3")
        wait_until("the entry selected", lambda: (item.getState().contains(pyatspi.STATE_SELECTED), None))
        type_keys("key", "Return")
        wait_for_display(app, "3")
        type_keys("type", "7")
        wait_for_display(app, "7")
        # Esc returns to the display with the tape still shown.
        type_keys("key", "ctrl+h")
        wait_until("the focus in the tape", lambda: focused_in(tape))
        type_keys("key", "Escape")
        type_keys("type", "8")
        wait_for_display(app, "78")
        print("1 passed, 0 failed")
    finally:
        # Once its sound has started the program may not answer SIGTERM.
        proc.kill()
        proc.wait(timeout=10)


if __name__ == "__main__":
    main()
