#!/usr/bin/env bash
# Builds the Debian package in build-package/ and checks it the way a user meets it:
# lintian finds no error and no warning, the package installs with apt-get, the installed desktop entry
# and AppStream metadata validate, /usr/bin/torvanelquist shows its main window under Xvfb
# with the package's database in /usr/share/torvanelquist open, a user without root moves
# to a newer release (their own database) and back, no file of the package changes, and
# after `apt-get remove` and purge nothing of the package is left and the program has
# written no file but its settings.
#
# Run as root (or a user with sudo) on a Debian 12 machine after scripts/install-deps.sh.
# It refuses to start when torvanelquist is already installed, since it removes the
# package at its end.
set -euo pipefail
script=$(realpath "$0")
cd "$(dirname "$script")/.."

readonly WindowSeconds=30

fail()
{
    echo "package-test: $*" >&2
    exit 1
}

# ---------------------------------------------------------------- on the Xvfb display
# Starts the installed program with a home, temporary folder and runtime folder of its
# own (under $1), checks its main window and that it holds the database $2 open, and
# ends it.
showWindow()
{
    local work=$1 database=$2
    mkdir -p "$work/home" "$work/tmp"
    [ -d "$work/runtime" ] || mkdir -m 700 "$work/runtime"
    # No session bus: without one the D-Bus library would start its own and keep its
    # address under the home folder, a file the program itself never writes.
    env -i PATH=/usr/bin:/bin DISPLAY="$DISPLAY" XAUTHORITY="${XAUTHORITY:-}" LANG=C.UTF-8 \
        DBUS_SESSION_BUS_ADDRESS=disabled: \
        HOME="$work/home" TMPDIR="$work/tmp" XDG_RUNTIME_DIR="$work/runtime" \
        /usr/bin/torvanelquist --instance-key="torvanelquist-package-test-$$" 2>"$work/stderr" &
    pid=$!
    trap 'kill "$pid" 2>/dev/null || true' EXIT
    # The main window: titled "Torvanelquist", of the program's class, and a normal window;
    # an error box has the same title and class but is a dialog.
    mainWindow()
    {
        xwininfo -root -tree | grep -E '"Torvanelquist": \("torvanelquist" "Torvanelquist"\)' | while read -r line; do
            if xprop -id "${line%% *}" _NET_WM_WINDOW_TYPE \
                | grep -qx '_NET_WM_WINDOW_TYPE(ATOM) = _NET_WM_WINDOW_TYPE_NORMAL'; then
                echo "$line"
            fi
        done
    }
    shown=""
    for _ in $(seq $((WindowSeconds * 5))); do
        kill -0 "$pid" 2>/dev/null || break
        grep -q '^torvanelquist:' "$work/stderr" && break
        shown=$(mainWindow || true)
        [ -n "$shown" ] && break
        sleep 0.2
    done
    if grep '^torvanelquist:' "$work/stderr"; then
        fail "the program reported an error"
    fi
    kill -0 "$pid" 2>/dev/null || fail "the program ended at its start: $(cat "$work/stderr")"
    [ -n "$shown" ] || fail "no main window within $WindowSeconds s"
    echo "package-test: main window shown: $shown"
    [ "$(readlink "/proc/$pid/exe")" = /usr/lib/torvanelquist/torvanelquist ] \
        || fail "/usr/bin/torvanelquist runs $(readlink "/proc/$pid/exe")"
    find "/proc/$pid/fd" -lname "$database" | grep -q . \
        || fail "the program does not hold $database open: $(ls -l "/proc/$pid/fd")"
    kill "$pid"
    wait "$pid" || true
    trap - EXIT
}

if [ "${1:-}" = "--on-display" ]; then
    work=$2
    showWindow "$work" /usr/share/torvanelquist/kvostrel.mdb
    # What it keeps: the main window's size and place, in the user's settings, and in
    # the user's cache a note that the database's pages were found whole (so the next
    # start skips the check until the file changes).
    settings="$work/home/.config/torvanelquist/torvanelquist.ini"
    [ -f "$settings" ] || fail "the program kept no window size in $settings"
    cache="$work/home/.cache/torvanelquist"
    written=$(find "$work/home" "$work/tmp" "$work/runtime" -mindepth 1 \
        ! -path "$work/home/.config" ! -path "$work/home/.config/torvanelquist" ! -path "$settings" \
        ! -path "$work/home/.cache" ! -path "$cache" ! -path "$cache/pages-*.checked")
    [ -z "$written" ] || fail "the program wrote files: $written"
    exit 0
fi

# A user without root moves to a newer release and back: the importer the program starts
# for "Update data" writes the user's own database, which the program then opens; once
# removed, the package's database serves again.
if [ "${1:-}" = "--user-update" ]; then
    work=$2 newer=$3
    [ "$(id -u)" -ne 0 ] || fail "--user-update runs as a user without root"
    mine="$work/home/.local/share/torvanelquist/kvostrel.mdb"
    mkdir -p "$(dirname "$mine")"
    HOME="$work/home" /usr/bin/kvostrel-import --fda "$newer" --output "$mine" >"$work/import.log" 2>&1 \
        || fail "the import as a user failed: $(cat "$work/import.log")"
    grep -q 'warning' "$work/import.log" && fail "the import warned: $(cat "$work/import.log")"
    showWindow "$work" "$mine"
    rm "$mine"
    showWindow "$work" /usr/share/torvanelquist/kvostrel.mdb
    exit 0
fi

# ---------------------------------------------------------------- the whole test
start=$SECONDS
if [ "$(id -u)" -eq 0 ]; then
    sudo=()
else
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
if dpkg-query -W -f='${Status}' torvanelquist 2>/dev/null | grep -q 'ok installed'; then
    fail "torvanelquist is installed on this machine; this test removes it at its end, so remove it first"
fi

# Built with all of Debian's hardening flags.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake --build build-package -j"$(nproc)" --target torvanelquist kvostrel-import kvostrel_db torvanelquist_documents
rm -f build-package/torvanelquist_*.deb
(cd build-package && cpack)
debs=(build-package/torvanelquist_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single package: ${debs[*]}"
deb=$(realpath "${debs[0]}")
dpkg-deb --info "$deb"

lintian --fail-on error,warning --display-info "$deb" || fail "lintian reports errors or warnings"

# What the package holds, and which of its folders the machine has already: those are
# shared and stay; everything else must be gone after the removal.
work=$(mktemp -d)
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\./|/|' -e 's|/$||' | grep -v '^$' >"$work/contents"
: >"$work/existing"
while read -r path; do
    if [ -e "$path" ] || [ -L "$path" ]; then
        [ -d "$path" ] && [ ! -L "$path" ] || fail "$path is on the machine before the package is installed"
        echo "$path" >>"$work/existing"
    fi
done <"$work/contents"

cleanup()
{
    "${sudo[@]}" dpkg --purge torvanelquist >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
"${sudo[@]}" apt-get install -y "$deb"
dpkg -L torvanelquist >"$work/installed"
sort -u "$work/contents" | grep -vxF -f <(sort -u "$work/installed") && fail "dpkg does not list these files"

desktop-file-validate /usr/share/applications/torvanelquist.desktop
appstreamcli validate --no-net /usr/share/metainfo/*.metainfo.xml
man -w torvanelquist kvostrel-import >/dev/null
# Printing is a module the program loads on the first print: there, with every library it needs.
module=/usr/lib/torvanelquist/modules/torvanelquist-print.so
[ -f "$module" ] || fail "$module is not installed"
! ldd "$module" | grep -q "not found" || fail "$module lacks libraries: $(ldd "$module" | grep "not found")"
[ "$(/usr/bin/kvostrel-import --help | head -1 | cut -d' ' -f1-2)" = "Usage: kvostrel-import" ] \
    || fail "/usr/bin/kvostrel-import does not run"

xvfb-run -a -n $((100 + RANDOM % 400)) -s "-screen 0 1024x768x24" "$script" --on-display "$work/run"

# A newer release: the bundled one, its files dated a month later.
python3 - reference-data/fda/fda-approved-drug-products-2024-11.zip "$work/newer.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as old, zipfile.ZipFile(sys.argv[2], "w", zipfile.ZIP_DEFLATED) as new:
    for info in old.infolist():
        info.date_time = (2024, 12, 10, 12, 0, 0)
        new.writestr(info, old.read(info.filename))
PY
# As a user without root, on a copy of this script that user may read.
cp "$script" "$work/package-test.sh"
mkdir -m 700 "$work/user"
chown nobody:nogroup "$work/user"
chmod 644 "$work/newer.zip"
dpkg --verify torvanelquist >"$work/verify-before" || true
setpriv --reuid=nobody --regid=nogroup --clear-groups env -i PATH=/usr/bin:/bin LANG=C.UTF-8 TMPDIR="$work/user" \
    xvfb-run -a -n $((100 + RANDOM % 400)) -s "-screen 0 1024x768x24" \
    bash "$work/package-test.sh" --user-update "$work/user" "$work/newer.zip"
# Nothing the package owns has changed.
dpkg --verify torvanelquist >"$work/verify-after" || true
[ ! -s "$work/verify-after" ] || fail "files of the package changed: $(cat "$work/verify-after")"

"${sudo[@]}" apt-get remove -y torvanelquist
# apt-get no longer knows a package that came from a file once it is removed; dpkg purges it.
"${sudo[@]}" dpkg --purge torvanelquist
if dpkg-query -W -f='${Status}' torvanelquist 2>/dev/null | grep -q 'installed'; then
    fail "dpkg still knows torvanelquist after the purge"
fi
left=$(grep -vx -e '/\.' "$work/installed" | grep -vxF -f "$work/existing" | while read -r path; do
    if [ -e "$path" ] || [ -L "$path" ]; then echo "$path"; fi
done)
[ -z "$left" ] || fail "left behind after the removal: $left"

echo "package-test: $(basename "$deb") built, installed, started, removed without a trace in $((SECONDS - start)) s"
