#!/usr/bin/env bash
# The Debian package: builds it with CPack from a configured build folder, checks its dependencies,
# unpacks it into a scratch root (dpkg -x, nothing is installed on the machine) and starts the unpacked
# program under a private Xvfb: its window must appear and close cleanly, and a Wayland session must
# get the start-up notice.
# Usage: deb_test.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/../.."

build=$(realpath "${1:?usage: deb_test.sh BUILD_DIR}")
packages="$build/package"
root="$build/package-root"

fail() {
    echo "package test: FAILED: $*" >&2
    exit 1
}

if [ "${SKORVA_PACKAGE_DISPLAY:-}" != "private" ]; then
    rm -rf "$packages" "$root"
    (cd "$build" && cpack -G DEB -B "$packages" >"$build/cpack.log" 2>&1) ||
        { cat "$build/cpack.log" >&2; fail "cpack could not make the package"; }
    mapfile -t debs < <(find "$packages" -maxdepth 1 -name 'skorva_*.deb')
    [ "${#debs[@]}" -eq 1 ] || fail "expected one skorva_*.deb in $packages, found ${#debs[@]}"
    deb=${debs[0]}
    echo "package: $(basename "$deb")"

    # Unpacked only: nothing is installed on the machine.
    mkdir -p "$root"
    dpkg -x "$deb" "$root"

    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    names=$(tr ',|' '\n\n' <<<"$depends" | awk '{ print $1 }')
    depends_on() {
        grep -qxF "$1" <<<"$names" || fail "the package does not depend on $1 ($2)"
    }
    # Every library the program links, by the package that holds it on this machine, and the plugin
    # through which Qt reaches the X server.
    known=$(ldconfig -p)
    linked=0
    while read -r library; do
        file=$(awk -v name="$library" '$1 == name && !found { print $NF; found = 1 }' <<<"$known")
        [ -n "$file" ] || fail "the program links $library, which this machine does not have"
        owner=$(dpkg -S "$(realpath "$file")" 2>/dev/null || dpkg -S "$file") ||
            fail "no Debian package holds $file"
        depends_on "${owner%%[:]*}" "$library"
        linked=$((linked + 1))
    done < <(readelf -d "$root/usr/bin/skorva" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p')
    [ "$linked" -ge 5 ] || fail "the program links only $linked libraries: is it the program?"
    depends_on qt6-qpa-plugins "the Qt platform plugin for X11"
    [ "$(dpkg-deb -f "$deb" Package)" = skorva ] || fail "the package is not named skorva"

    for file in usr/bin/skorva usr/share/applications/skorva.desktop \
        usr/share/icons/hicolor/32x32/apps/skorva.png; do
        [ -s "$root/$file" ] || fail "the package lacks /$file"
    done
    [ -x "$root/usr/bin/skorva" ] || fail "/usr/bin/skorva is not executable"
    # The menu entry names what the package holds.
    grep -qx 'Exec=skorva' "$root/usr/share/applications/skorva.desktop" || fail "the menu entry runs another command"
    grep -qx 'Icon=skorva' "$root/usr/share/applications/skorva.desktop" || fail "the menu entry names another icon"
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$root/usr/share/applications/skorva.desktop" || fail "the menu entry is not valid"
    fi
    # System libraries only: nothing resolved from the build folder, nothing missing.
    if readelf -d "$root/usr/bin/skorva" | grep -Eq 'RPATH|RUNPATH'; then
        fail "the installed program carries a library search path: $(readelf -d "$root/usr/bin/skorva" | grep -E 'RPATH|RUNPATH')"
    fi
    ! ldd "$root/usr/bin/skorva" | grep -q 'not found' || fail "libraries missing: $(ldd "$root/usr/bin/skorva" | grep 'not found')"

    SKORVA_PACKAGE_DISPLAY=private timeout --kill-after=10 120 \
        bash scripts/with-xvfb.sh bash "$0" "$build" || fail "the unpacked program did not start and end as it should"
    echo "package test: passed"
    exit 0
fi

# From here on DISPLAY names the private Xvfb that scripts/with-xvfb.sh started.
program="$root/usr/bin/skorva"
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
}
trap cleanup EXIT
# The program's settings and runtime files stay in the scratch root.
mkdir -p -m 700 "$root/.config" "$root/.runtime"

# visible_windows TITLE_REGEX: how many visible windows have that title.
visible_windows() {
    { xdotool search --onlyvisible --name "$1" 2>/dev/null || true; } | wc -l
}

# start_program [NAME=VALUE...]: starts the unpacked program with that environment and waits for its
# window (pid and window are set).
start_program() {
    env "$@" QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$root/.config" XDG_RUNTIME_DIR="$root/.runtime" "$program" &
    pid=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Skorva webcam capture$' | head -n 1) ||
        true
    [ -n "$window" ] || fail "the window of the unpacked program did not appear"
}

# An X11 session: the window opens, and no message box with it. Closed as a user closes it, with the window
# manager's close (Alt+F4 in openbox), the program ends. A box at start would have come first: it opens in
# the first turn of the event loop, before anything from the window manager is handled, and it is modal, so
# the window would refuse the close (or the close would take the box instead) and the program would go on.
start_program -u WAYLAND_DISPLAY XDG_SESSION_TYPE=x11
xdotool windowactivate --sync "$window" key alt+F4
timeout 10 tail --pid="$pid" -f /dev/null ||
    fail "the program did not end when its window was closed (as when a message box opened at start)"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "the program ended with status $status after its window was closed"
echo "the unpacked program opened its window and ended when it was closed"

# A Wayland session (here with XWayland's stand-in, the Xvfb): the program runs and shows the notice
# beside its window.
start_program XDG_SESSION_TYPE=wayland
for _ in $(seq 150); do
    [ "$(visible_windows '^Skorva webcam capture$')" -ge 2 ] && break
    sleep 0.2
done
[ "$(visible_windows '^Skorva webcam capture$')" -eq 2 ] ||
    fail "a Wayland session got no notice beside the window ($(visible_windows '^Skorva webcam capture$') windows)"
echo "a Wayland session got the notice"

# Asked to end (SIGTERM), with the notice still open, the program closes its window and ends cleanly.
kill -TERM "$pid"
timeout 10 tail --pid="$pid" -f /dev/null || fail "the program did not end on SIGTERM"
status=0
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "the program ended with status $status after SIGTERM"
echo "the program ended cleanly on SIGTERM"
