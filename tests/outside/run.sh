#!/usr/bin/env bash
# Runs an outside test of the program on its own X display (Xvfb), D-Bus session and
# accessibility bus, under a window manager (openbox). Exits 77 (skipped) when a tool
# it needs is missing.
#   run.sh TEST.py PROGRAM [ARGUMENT...]
set -u
for tool in Xvfb dbus-run-session openbox xdotool; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "skipped: python3-pyatspi is not installed"; exit 77; }
export HOME=$(mktemp -d) XDG_RUNTIME_DIR=$(mktemp -d)
chmod 700 "$XDG_RUNTIME_DIR"
# Xvfb picks a free display itself and names it once it accepts clients: two runs
# started at the same moment never share one (a free number looked up beforehand can
# be taken by another run before its server starts).
displays=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displays" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -rf "$HOME" "$XDG_RUNTIME_DIR" "$displays"' EXIT
for _ in $(seq 200); do
    grep -q . "$displays" 2>/dev/null && break
    kill -0 $xvfb 2>/dev/null || break
    sleep 0.05
done
display=$(head -n 1 "$displays")
[ -n "$display" ] || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=:$display
unset XAUTHORITY
dbus-run-session -- bash -c '
    openbox >/dev/null 2>&1 &
    wm=$!
    sleep 0.5
    /usr/bin/python3 "$0" "$@"
    status=$?
    kill $wm 2>/dev/null
    exit $status' "$@"
