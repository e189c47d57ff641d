#!/usr/bin/python3
"""The Changes window from outside, on a database that holds changes.

Makes an older release from the bundled one (scripts/make-older-release.py), imports
the bundled release with --previous from it, and runs a copy of the program with that
database beside it (the program opens the kvostrel.mdb beside it). Then, with real keys
and clicks (xdotool) read over AT-SPI (pyatspi): Ctrl+8 lists the changes, choosing a
kind lists that kind's alone, and Enter and a double click on a change show its record.
Exits 0 when every step holds, 1 with the failing step otherwise.

    changes_window.py PROGRAM IMPORTER FDA_ZIP MAKE_OLDER_RELEASE
"""
import os
import re
import shutil
import subprocess
import sys
import time

import pyatspi

import keyboard_and_screen_reader as outside
from keyboard_and_screen_reader import Failure, expect_focus, find, held, key, label_text, wait_for, window


def make_program_with_changes(program, importer, fda_zip, make_older):
    """A copy of the program with a database imported with --previous beside it."""
    folder = os.path.join(os.environ["HOME"], "program")
    os.makedirs(folder)
    older = os.path.join(folder, "older-release.zip")
    subprocess.run([sys.executable, make_older, fda_zip, older], check=True, stdout=subprocess.DEVNULL)
    subprocess.run([importer, "--fda", fda_zip, "--previous", older, "--output",
                    os.path.join(folder, "kvostrel.mdb")], check=True, stdout=subprocess.DEVNULL)
    copy = os.path.join(folder, os.path.basename(program))
    shutil.copy2(program, copy)
    return copy


def rows(table):
    return table.queryTable().nRows


def cell(table, row, column):
    return table.queryTable().getAccessibleAt(row, column)


def column_of(table, header):
    t = table.queryTable()
    for column in range(t.nColumns):
        if t.getColumnDescription(column) == header or \
                (t.getColumnHeader(column) is not None and t.getColumnHeader(column).name == header):
            return column
    raise Failure(f"a column '{header}' in the list of changes")


def listed(changes):
    """(kind, count) as the label above the changes reads, e.g. ("All changes", 292)."""
    text = label_text(changes, "Changes listed") or ""
    match = re.fullmatch(r"(.+): (\d+) changes?", text)
    return (match.group(1), int(match.group(2))) if match else None


def double_click(node):
    x, y, width, height = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(x + width // 2), str(y + height // 2)], check=True)
    time.sleep(0.2)
    subprocess.run(["xdotool", "click", "--repeat", "2", "--delay", "80", "1"], check=True)


def run(arguments):
    program, importer, fda_zip, make_older = arguments
    program = make_program_with_changes(program, importer, fda_zip, make_older)
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    outside.tracker = outside.FocusTracker()
    process = subprocess.Popen([program, f"--instance-key=torvanelquist-outside-changes-{os.getpid()}"], env=env)
    try:
        desktop = pyatspi.Registry.getDesktop(0)
        app = wait_for("the program on the accessibility bus",
                       lambda: next((a for a in desktop if a is not None and a.name == "Torvanelquist"), None))
        wait_for("the Trade Drugs window", lambda: window(app, "Trade Drugs"))

        # Ctrl+8: every change listed, the keyboard on the kinds.
        key("ctrl+8")
        changes = wait_for("the Changes window", lambda: window(app, "Changes"))
        expect_focus(app, "list", "Kinds of change")
        table = wait_for("the list of changes", lambda: find(changes, name="Changes of the chosen kind"))
        kind, total = wait_for("the count of every change read", lambda: listed(changes))
        if kind != "All changes" or total == 0 or rows(table) != total:
            raise Failure(f"every change listed (the label reads {kind}: {total}, the list has {rows(table)} lines)")

        # Down chooses the next kind: its changes alone are listed.
        key("Down")
        kind, count = wait_for("another kind's count read",
                               lambda: listed(changes) if listed(changes) and listed(changes)[0] != "All changes"
                               else None)
        if not 0 < count < total or rows(table) != count:
            raise Failure(f"the changes of '{kind}' alone ({count} of {total}; the list has {rows(table)} lines)")
        if not kind.startswith("Product added"):
            raise Failure(f"products added first among the kinds (it is '{kind}')")

        # Tab to the changes, Enter on the first: its product in the Trade Drugs window.
        trade_name = cell(table, 0, column_of(table, "Trade name")).name
        key("Tab")
        expect_focus(app, "tree", "Changes of the chosen kind")
        held("Return")
        drugs = window(app, "Trade Drugs")
        wait_for(f"the product {trade_name} shown after Enter on its change",
                 lambda: (label_text(drugs, "Shown record") or "").startswith(trade_name + " "), app)

        # Back to the changes; a patent listing added, double clicked: its patent shown.
        key("ctrl+8")
        expect_focus(app, "tree", "Changes of the chosen kind")
        key("shift+Tab")
        expect_focus(app, "list", "Kinds of change")
        for _ in range(12):
            if (listed(changes) or ("",))[0] == "Patent listing added":
                break
            key("Down")
            time.sleep(0.1)
        else:
            raise Failure("the kind 'Patent listing added' among the kinds")
        wait_for("the patent listings added listed", lambda: rows(table) == listed(changes)[1])
        row = min(1, rows(table) - 1)
        patent = cell(table, row, column_of(table, "Key")).name.rsplit(" ", 1)[-1]
        double_click(cell(table, row, column_of(table, "Trade name")))
        patents = wait_for("the Patents window after a double click on a change", lambda: window(app, "Patents"))
        wait_for(f"the patent {patent} shown", lambda: patent in (label_text(patents, "Shown record") or ""), app)

        key("F10", "Down", "End")
        expect_focus(app, "push button", "Exit")
        key("Return")
        status = process.wait(timeout=outside.STEP_TIMEOUT)
        if status != 0:
            raise Failure(f"Exit ended the program with status {status}")
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


if __name__ == "__main__":
    outside.main(lambda program: run([program] + sys.argv[2:]), "changes_window")
