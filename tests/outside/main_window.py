#!/usr/bin/python3
"""The main window from outside: its size and place, which child windows a screen
reader can see, what it hears when windows change, and the F1 and Ctrl+F keys.

Runs the real program twice on an X display with a window manager (openbox), presses
real keys (xdotool) and reads over AT-SPI (pyatspi). Exits 0 when every step holds,
1 with the failing step otherwise.

    main_window.py PROGRAM
"""
import os
import subprocess

import pyatspi

import keyboard_and_screen_reader as outside
from keyboard_and_screen_reader import Failure, expect_focus, find, key, nodes, wait_for, window


class ActivationTracker:
    """The titles of the windows whose activation was told (window:activate)."""

    def __init__(self):
        self.titles = []
        pyatspi.Registry.registerEventListener(self.on_activate, "window:activate")

    def on_activate(self, event):
        try:
            self.titles.append(event.source.name)
        except Exception:
            pass

    def told(self, title):
        outside.tracker.current()  # lets pending events arrive
        return title in self.titles


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def in_search_box(app, frame):
    node = outside.focused(app)
    return node is not None and node.getRoleName() == "text" and node in list(nodes(frame))


def texts(root):
    """Every text under root that a screen reader can read, joined."""
    found = []
    for node in nodes(root):
        try:
            found.append(node.queryText().getText(0, -1))
        except NotImplementedError:
            continue
    return "\n".join(found)


def extents(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return (box.x, box.y, box.width, box.height)


def inside(inner, outer):
    x, y, w, h = inner
    ox, oy, ow, oh = outer
    return ox <= x and oy <= y and x + w <= ox + ow and y + h <= oy + oh


def main_window_id(process):
    result = subprocess.run(["xdotool", "search", "--sync", "--pid", str(process.pid), "--name", "^Torvanelquist$"],
                            capture_output=True, text=True, timeout=outside.STEP_TIMEOUT)
    ids = result.stdout.split()
    if not ids:
        raise Failure("main window found by xdotool")
    return ids[-1]


def geometry(window_id):
    shell = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window_id], capture_output=True, text=True,
                           check=True).stdout
    values = dict(line.split("=", 1) for line in shell.split())
    return tuple(int(values[name]) for name in ("X", "Y", "WIDTH", "HEIGHT"))


def screen_size():
    width, height = subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True, text=True,
                                   check=True).stdout.split()
    return int(width), int(height)


def start(program, env):
    # A single-copy name of the test's own: a copy the user has open stays out of it.
    process = subprocess.Popen([program, f"--instance-key=torvanelquist-outside-main-window-{os.getpid()}"],
                               env=env)
    desktop = pyatspi.Registry.getDesktop(0)
    app = wait_for("the program on the accessibility bus",
                   lambda: next((a for a in desktop if a is not None and a.name == "Torvanelquist"), None))
    drugs = wait_for("the Trade Drugs window", lambda: window(app, "Trade Drugs"))
    return process, app, drugs


def leave(process):
    """Exit from the ribbon: F10, down into the buttons, the last one is Exit."""
    key("F10", "Down", "End")
    expect_focus(None, "push button", "Exit")
    key("Return")
    status = process.wait(timeout=outside.STEP_TIMEOUT)
    if status != 0:
        raise Failure(f"Exit ended the program with status {status}")


def run(program):
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    config = os.path.join(env.get("XDG_CONFIG_HOME") or os.path.join(env["HOME"], ".config"),
                          "torvanelquist", "torvanelquist.ini")
    if os.path.exists(config):
        raise Failure(f"a first start: {config} is already there")
    outside.tracker = outside.FocusTracker()
    activations = ActivationTracker()
    process, app, drugs = start(program, env)
    try:
        # The first size shows every control of the window whole, FIND included.
        frame = wait_for("the main window", lambda: find(app, role="frame", name="Torvanelquist"))
        width, height = screen_size()
        if not inside(extents(frame), (0, 0, width, height)):
            raise Failure(f"main window {extents(frame)} within the screen {width}x{height}")
        wait_for("the focus in the search box", lambda: in_search_box(app, drugs), app)
        key("Tab", "Tab")
        expect_focus(app, "push button", "Advanced Search")
        key("space")
        find_button = wait_for("the FIND button", lambda: find(drugs, role="push button", name="FIND"))
        wait_for("FIND shown", lambda: showing(find_button))
        if not inside(extents(find_button), extents(drugs)):
            raise Failure(f"FIND {extents(find_button)} whole inside its window {extents(drugs)}")
        key("Escape")

        # Only the window in front shows; each change of window is told by its title.
        key("ctrl+5")
        patents = wait_for("the Patents window", lambda: window(app, "Patents"))
        wait_for("the Patents window's activation told", lambda: activations.told("Patents"))
        wait_for("the covered Trade Drugs window not showing", lambda: not showing(drugs))
        if not showing(patents):
            raise Failure("the Patents window in front showing")
        # (A table's cells and corner are drawn parts of its widget, whose own state they
        # do not follow: the table itself stands for them.)
        covered = [f"the {node.getRoleName()} '{node.name}'" for node in nodes(drugs)
                   if node is not drugs and node.parent.getRoleName() != "table" and showing(node)]
        if covered:
            raise Failure(f"no control of the covered window showing (showing: {covered})")
        activations.titles.clear()
        key("ctrl+Tab")
        wait_for("the Trade Drugs window's activation told (Ctrl+Tab)", lambda: activations.told("Trade Drugs"))
        wait_for("the Trade Drugs window showing again", lambda: showing(drugs) and not showing(patents))

        # Ctrl+F from the hit list to the search box; F1 shows the keys, Escape closes them.
        key("ctrl+f", "Tab")
        expect_focus(app, "push button", "Search")
        key("ctrl+f")
        wait_for("the focus in the search box (Ctrl+F)", lambda: in_search_box(app, drugs), app)
        key("F1")
        dialog = wait_for("the keys and help", lambda: find(app, role="dialog", name="Keys and help"))
        content = wait_for("the keys and help's text", lambda: texts(dialog))
        for words in ("Trade Drugs", "Ctrl+F", "Ctrl+1 to Ctrl+7"):
            if words not in content:
                raise Failure(f"'{words}' in the keys and help")
        key("Escape")
        wait_for("the help closed and the focus back in the search box",
                 lambda: find(app, role="dialog", name="Keys and help") is None and in_search_box(app, drugs), app)

        # The size and place the user gives it come back at the next start.
        window_id = main_window_id(process)
        subprocess.run(["xdotool", "windowsize", window_id, "900", "640"], check=True)
        subprocess.run(["xdotool", "windowmove", window_id, "40", "30"], check=True)
        wait_for("the window resized", lambda: geometry(window_id)[2:] == (900, 640))
        wait_for("the window moved", lambda: geometry(window_id)[:2] != (0, 0))
        kept = geometry(window_id)
        leave(process)
        if not os.path.exists(config):
            raise Failure(f"the size and place kept in {config}")
        process, app, drugs = start(program, env)
        again = geometry(main_window_id(process))
        if again != kept:
            raise Failure(f"the window back at {kept} (it came at {again})")
        leave(process)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


if __name__ == "__main__":
    outside.main(run, "main_window")
