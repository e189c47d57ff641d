#!/usr/bin/env bash
# Runs an outside test of the program on its own X display (Xvfb), D-Bus session and
# accessibility bus, under a window manager (openbox). Exits 77 (skipped) when a tool
# it needs is missing.
#   run.sh TEST.py PROGRAM [ARGUMENT...]
set -u
for tool in xvfb-run dbus-run-session openbox xdotool; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "skipped: python3-pyatspi is not installed"; exit 77; }
export HOME=$(mktemp -d) XDG_RUNTIME_DIR=$(mktemp -d)
trap 'rm -rf "$HOME" "$XDG_RUNTIME_DIR"' EXIT
chmod 700 "$XDG_RUNTIME_DIR"
exec xvfb-run -a -s "-screen 0 1024x768x24" dbus-run-session -- bash -c '
    openbox >/dev/null 2>&1 &
    wm=$!
    sleep 0.5
    /usr/bin/python3 "$0" "$@"
    status=$?
    kill $wm 2>/dev/null
    exit $status' "$@"
