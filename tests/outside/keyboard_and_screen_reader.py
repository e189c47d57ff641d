#!/usr/bin/python3
"""The program as a keyboard and screen-reader user meets it, from outside.

Runs the real program on an X display with a window manager, presses real keys
(xdotool) and reads what a screen reader reads, over AT-SPI (pyatspi). Exits 0 when
every step holds, 1 with the failing step otherwise.

    keyboard_and_screen_reader.py PROGRAM
"""
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

STEP_TIMEOUT = 10.0


class Failure(Exception):
    pass


def nodes(root, depth=0):
    """Every accessible under root, depth first."""
    if root is None or depth > 40:
        return
    yield root
    for child in root:
        yield from nodes(child, depth + 1)


def find(root, role=None, name=None, description=None):
    for node in nodes(root):
        try:
            if role and node.getRoleName() != role:
                continue
            if name is not None and node.name != name:
                continue
            if description is not None and node.description != description:
                continue
            return node
        except Exception:  # a node that went away while we walked
            continue
    return None


def wait_for(what, probe, app=None):
    deadline = time.monotonic() + STEP_TIMEOUT
    while time.monotonic() < deadline:
        result = probe()
        if result:
            return result
        time.sleep(0.1)
    raise Failure(what if app is None else f"{what} (the focus is on {describe(focused(app))})")


class FocusTracker:
    """What a screen reader follows: the last widget that announced it took the focus."""

    def __init__(self):
        self.node = None
        self.renamed = []  # (description, new name) of every label that announced a new text
        pyatspi.Registry.registerEventListener(self.on_focus, "object:state-changed:focused")
        pyatspi.Registry.registerEventListener(self.on_name, "object:property-change:accessible-name")

    def on_name(self, event):
        try:
            self.renamed.append((event.source.description, event.source.name))
        except Exception:
            pass

    def on_focus(self, event):
        if event.detail1 == 1:
            self.node = event.source

    def current(self):
        context = GLib.MainContext.default()
        while context.pending():
            context.iteration(False)
        return self.node


tracker = None


def focused(app):
    return tracker.current()


def key(*keys):
    subprocess.run(["xdotool", "key", "--delay", "60", *keys], check=True)


def expect_focus(app, role, name):
    def probe():
        node = focused(app)
        return node is not None and node.getRoleName() == role and node.name == name
    wait_for(f"keyboard focus on the {role} '{name}' (it is on {describe(focused(app))})", probe)


def held(name, hold=0.15):
    """A key as a user presses it: the press and, after a hold, the release, as two X events."""
    subprocess.run(["xdotool", "keydown", name], check=True)
    time.sleep(hold)
    subprocess.run(["xdotool", "keyup", name], check=True)


def settled(what, probe, app=None):
    """probe's answer once it holds, and still the same a moment later (no late second action)."""
    first = wait_for(what, probe, app)
    time.sleep(0.25)
    again = probe()
    if again != first:
        raise Failure(f"{what}: it held ({first}), then changed to {again}")
    return first


def tab_to(app, role, name, limit=40):
    for _ in range(limit):
        node = focused(app)
        if node is not None and node.getRoleName() == role and node.name == name:
            return
        key("Tab")
        time.sleep(0.02)
    raise Failure(f"Tab reaching the {role} '{name}' (it is on {describe(focused(app))})")


# Every count a list can reach by itself: an empty search lists a whole table.
WHOLE_TABLES = {"45752 Item(s) Found", "2664 Item(s) Found", "201 Item(s) Found", "158 Item(s) Found",
                "19705 Item(s) Found", "2369 Item(s) Found"}


def enter_paths(app, drugs):
    """Enter, pressed and released as separate X events and held, on every path it takes:
    each leaves exactly the list its action makes, never a second action's."""
    count = lambda frame: (lambda: label_text(frame, "Hit count"))
    key("ctrl+1")
    tab_to(app, "text", "Search Trade Drugs")
    key("ctrl+a")
    subprocess.run(["xdotool", "type", "--delay", "30", "zocor"], check=True)
    held("Return")
    settled("the quick search's count", lambda: label_text(drugs, "Hit count") == "5 Item(s) Found")
    key("Tab")
    expect_focus(app, "push button", "Search")
    held("Return")
    settled("the Search button's count", lambda: label_text(drugs, "Hit count") == "5 Item(s) Found")

    # The panel: Enter on the button opens it with the keyboard in its first row; text
    # typed into the Trade Name row ticks it; Enter in every row runs FIND once.
    key("Tab")
    expect_focus(app, "push button", "Advanced Search")
    held("Return")
    expect_focus(app, "text", "ID")
    key("Tab", "Tab", "Tab", "Tab")
    expect_focus(app, "text", "Trade Name")
    subprocess.run(["xdotool", "type", "--delay", "30", "imbruvica"], check=True)
    held("Return")
    found = settled("FIND from the Trade Name row", count(drugs))
    if not found or found in WHOLE_TABLES or found == "5 Item(s) Found":
        raise Failure(f"FIND's own count after Enter in a row (it reads {found})")
    rows = ["ID", "Ingredient", "Trade Name", "Applicant", "Strength", "NDA Number", "Product Number",
            "TE Code", "Approval Date", "RLD", "Type", "Dosage Form", "Route of Admin"]
    for row in rows:
        key("shift+Tab", "shift+Tab")  # over the typing option
        expect_focus(app, "push button", "Advanced Search")
        held("Return")
        tab_to(app, "text", row)
        held("Return")
        settled(f"FIND's count after Enter in the row '{row}'", lambda: label_text(drugs, "Hit count") == found)
        expect_focus(app, "list", "Search results")

    # FIND and CANCEL by Enter.
    key("shift+Tab", "shift+Tab")
    held("Return")
    tab_to(app, "push button", "FIND")
    held("Return")
    settled("FIND's count after Enter on FIND", lambda: label_text(drugs, "Hit count") == found)
    key("shift+Tab", "shift+Tab")
    held("Return")
    tab_to(app, "push button", "CANCEL")
    held("Return")
    expect_focus(app, "push button", "Advanced Search")
    settled("the count kept by CANCEL", lambda: label_text(drugs, "Hit count") == found)

    # Each ribbon button by keyboard: the window comes forward with the list it had.
    windows = ["Trade Drugs", "Ingredients", "Dosage Form", "Route of Administration", "Patents", "Exclusivity"]
    for position, caption in enumerate(windows):
        before = None
        frame = window(app, caption)
        if frame is not None:
            before = label_text(frame, "Hit count")
        key("F10", "Down", *(["Right"] * position))
        held("Return")
        frame = wait_for(f"the {caption} window", lambda: window(app, caption))
        settled(f"the {caption} window's list as it was ({before})",
                lambda: label_text(frame, "Hit count") in ({before} if before else {None, ""}))
        if focused(app) is not None and focused(app).getRoleName() in ("push button", "page tab") \
                and focused(app) not in list(nodes(frame)):
            key("Escape")  # the keyboard back from the ribbon

    # Each grid row that leads somewhere: the target shows what the step found.
    for row in range(1, 19):
        key("ctrl+1")
        tab_to(app, "text", "Search Trade Drugs")
        key("Tab", "Tab", "Tab", "Tab")
        expect_focus(app, "list", "Search results")
        key("ctrl+Home")
        key("Tab")
        expect_focus(app, "table", "Details")
        key("ctrl+Home", *(["Down"] * (row - 1)))
        held("Return")
        time.sleep(0.3)
        node = focused(app)
        if node is not None and node.getRoleName() == "tree" and node.name == "Timeline":
            # The product's timeline: its lines have the keyboard, Escape closes it and
            # gives the keyboard back to the grid.
            key("Escape")
            expect_focus(app, "table", "Details")
            continue
        frame = frame_of(node)
        active = None if frame is None else frame.name
        if active is None or active == "Trade Drugs":
            continue  # a row that leads nowhere
        shown, = settled(f"the {active} window's list after Enter on row {row}",
                         lambda: (label_text(frame, "Hit count"),))
        if shown in WHOLE_TABLES:
            raise Failure(f"the step's own list after Enter on row {row}: the {active} window lists {shown}")


def substitutes(app, drugs):
    """Enter on the chosen LIPITOR's "Substitutable products" row lists them; a screen
    reader reads the reference listed drug's mark in its line."""
    tab_to(app, "table", "Details")
    key("ctrl+Home", *(["Down"] * 15))
    held("Return")
    wait_for("the substitutes listed", lambda: " Item(s) Found: substitutable for LIPITOR ("
             in (label_text(drugs, "Hit count") or ""))
    results = find(drugs, role="list", name="Search results")
    wait_for("a line read as 'LIPITOR, RLD \u00b7 ...'",
             lambda: any((line.name or "").startswith("LIPITOR, RLD \u00b7 ") for line in results))


def frame_of(node):
    """The child window that holds node."""
    while node is not None and node.getRoleName() != "frame":
        node = node.parent
    return node


def describe(node):
    return "nothing" if node is None else f"the {node.getRoleName()} '{node.name}'"


def window(app, caption):
    return find(app, role="frame", name=caption)


def results_while_typing(app, drugs):
    """With "Results while typing" ticked, the count follows each typed key, no Enter."""
    count = lambda: label_text(drugs, "Hit count")
    key("ctrl+1")
    tab_to(app, "text", "Search Trade Drugs")
    key("ctrl+a", "BackSpace")
    tab_to(app, "check box", "Results while typing")
    key("space")
    key("shift+Tab", "shift+Tab", "shift+Tab")
    expect_focus(app, "text", "Search Trade Drugs")
    subprocess.run(["xdotool", "type", "--delay", "60", "zoc"], check=True)
    settled("the list of \"zoc\" as typed", lambda: count() == "10 Item(s) Found")
    subprocess.run(["xdotool", "type", "--delay", "60", "ox"], check=True)
    settled("the list of \"zocox\" as typed", lambda: count() == "0 Item(s) Found")
    key("BackSpace")
    settled("the list of \"zoco\" after BackSpace", lambda: count() == "5 Item(s) Found")
    tab_to(app, "check box", "Results while typing")
    key("space")


def label_text(frame, description):
    label = find(frame, role="label", description=description)
    return None if label is None else label.name


def run(program):
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    global tracker
    tracker = FocusTracker()
    process = subprocess.Popen([program, f"--instance-key=torvanelquist-outside-test-{os.getpid()}"], env=env)
    try:
        desktop = pyatspi.Registry.getDesktop(0)
        app = wait_for("the program on the accessibility bus",
                       lambda: next((a for a in desktop if a is not None and a.name == "Torvanelquist"), None))
        drugs = wait_for("the Trade Drugs window", lambda: window(app, "Trade Drugs"))
        expect_focus(app, "text", "Search Trade Drugs")

        # A search by keyboard; its count is read as it shows.
        subprocess.run(["xdotool", "type", "--delay", "30", "lipitor"], check=True)
        key("Return")
        wait_for("the count read as '4 Item(s) Found'", lambda: label_text(drugs, "Hit count") == "4 Item(s) Found")
        wait_for("the new count announced", lambda: tracker.current() is not None
                 and ("Hit count", "4 Item(s) Found") in tracker.renamed)

        # Tab visits each control once and leaves the grid.
        for role, name in [("push button", "Search"), ("push button", "Advanced Search"),
                           ("check box", "Results while typing"), ("list", "Search results")]:
            key("Tab")
            expect_focus(app, role, name)
        key("Down")
        wait_for("the title read as the chosen product's",
                 lambda: (label_text(drugs, "Shown record") or "").startswith("LIPITOR"))
        key("Tab")
        expect_focus(app, "table", "Details")
        key("Tab")
        wait_for("Tab out of the grid", lambda: describe(focused(app)) != "the table 'Details'")

        # Enter on the dosage form row does what a double click does.
        key("shift+Tab")
        expect_focus(app, "table", "Details")
        key("Down", "Down", "Down", "Down", "Return")
        forms = wait_for("the Dosage Form window", lambda: window(app, "Dosage Form"))
        wait_for("the dosage form TABLET shown", lambda: label_text(forms, "Shown record") == "TABLET")

        # Ctrl+5 and Ctrl+1: windows by number, in the ribbon's order.
        key("ctrl+5")
        patents = wait_for("the Patents window", lambda: window(app, "Patents"))
        expect_focus(app, "text", "Search Patents")
        wait_for("focus inside the Patents window", lambda: focused(app) in list(nodes(patents)))
        key("ctrl+1")
        wait_for("focus back in the Trade Drugs window", lambda: focused(app) in list(nodes(drugs)), app)
        # Ctrl+7, the last of them: the listed-protection report, the keyboard inside it.
        key("ctrl+7")
        report = wait_for("the Listed protection window", lambda: window(app, "Listed protection"))
        wait_for("focus inside the Listed protection window", lambda: focused(app) in list(nodes(report)))
        # Ctrl+8: the Changes window. This database was imported without an older release,
        # so the keyboard is on the message that says how to make the changes.
        key("ctrl+8")
        changes = wait_for("the Changes window", lambda: window(app, "Changes"))
        wait_for("focus inside the Changes window", lambda: focused(app) in list(nodes(changes)))
        wait_for("the Changes window read as holding no changes",
                 lambda: "no list of changes" in (label_text(changes, "Releases compared") or ""))
        wait_for("the import command read in the Changes window",
                 lambda: "--previous" in (label_text(changes, "Message") or ""))
        key("ctrl+1")
        wait_for("focus back in the Trade Drugs window", lambda: focused(app) in list(nodes(drugs)), app)
        substitutes(app, drugs)

        enter_paths(app, drugs)
        results_while_typing(app, drugs)

        # F10 to the ribbon and Escape back; the ribbon's keys reach About, Update data and Exit.
        key("F10")
        expect_focus(app, "page tab", "Drug Reference")
        key("Escape")
        wait_for("focus back from the ribbon", lambda: focused(app) in list(nodes(drugs)), app)
        key("F10", "Right")
        expect_focus(app, "page tab", "About")
        key("Return", "Down")
        expect_focus(app, "push button", "About")
        key("Return")
        wait_for("the About window", lambda: window(app, "About"))
        # Update data asks where the FDA's zip comes from; Escape leaves it unchanged.
        key("F10", "Down", "Right")
        expect_focus(app, "push button", "Update data")
        key("Return")
        wait_for("the Update data dialog", lambda: find(app, role="dialog", name="Update data"))
        expect_focus(app, "text", "Address of the FDA's data-file zip")
        key("Escape")
        wait_for("the Update data dialog closed", lambda: not find(app, role="dialog", name="Update data"))
        key("F10", "Down", "Right", "Right")
        expect_focus(app, "push button", "Exit")
        key("Return")
        status = process.wait(timeout=STEP_TIMEOUT)
        if status != 0:
            raise Failure(f"Exit ended the program with status {status}")
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


def main(test, name):
    """Runs test on the program named on the command line; exits 1 with the failing step."""
    try:
        test(sys.argv[1])
    except Failure as failure:
        print(f"{name}: no {failure}", file=sys.stderr)
        sys.exit(1)
    print(f"{name}: every step held")


if __name__ == "__main__":
    main(run, "keyboard_and_screen_reader")
