#!/usr/bin/env bash
# The installed program on the desktops it meets: its controls' names over
# the AT-SPI accessibility bus, its layout at twice the scale (both on a
# private X server, scripts/smoke/desktop-x11.sh), and a Wayland session
# where it shows its window and echoes a datagram from a loopback sender.
# With Qt >= 6.6 that session is native (headless sway: the title from the
# compositor, typed keys, the compositor's close request,
# scripts/smoke/wayland-sway.sh); below, headless weston with XWayland,
# ended by Esc (scripts/smoke/wayland-weston.sh). Screenshots go to
# artifacts/. Binds UDP port 3456: run it under the same lock as the other
# tests that do.
# Usage: scripts/smoke-desktop.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
artifacts="$root/artifacts"
mkdir -p "$artifacts"
fail() { echo "smoke: $*" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
bin=""
for name in quorlin Quorlin; do
    [ -x "$prefix/bin/$name" ] && bin="$prefix/bin/$name" && break
done
[ -n "$bin" ] || fail "no program installed in bin/"

# Every control but the four labels can take the focus.
focusable=18

# --- On a private X server: accessible names, then the layout at scale 2.
env -u QT_QPA_PLATFORM -u QT_SCALE_FACTOR timeout 240 \
    dbus-run-session -- "$root/scripts/smoke/desktop-x11.sh" "$bin" "$artifacts" "$focusable" \
    "$root/scripts/atspi-names.py" 2> >(grep -v "^dbus-daemon" >&2)

# --- A Wayland session. The program picks its platform by the Qt it runs
# against (app/PlatformChoice), so the stage does too.
qt_core="$(ldd "$bin" | sed -n 's/^[[:space:]]*libQt6Core\.so\.6 => \([^ ]*\) .*/\1/p')"
qt_version="$(readlink -f "$qt_core" | sed -n 's/.*libQt6Core\.so\.\([0-9]*\.[0-9]*\)\..*/\1/p')"
[ -n "$qt_version" ] || fail "cannot tell which Qt the program runs against"
qt_major="${qt_version%%.*}"
qt_minor="${qt_version#*.}"
if [ "$qt_major" -lt 6 ] || { [ "$qt_major" -eq 6 ] && [ "$qt_minor" -lt 6 ]; }; then
    env -u QT_QPA_PLATFORM -u QT_SCALE_FACTOR timeout 120 \
        "$root/scripts/smoke/wayland-weston.sh" "$bin" "$root/scripts"
    exit 0
fi

# Qt >= 6.6 runs natively (no DISPLAY) under headless sway. sway refuses to
# run as root, so as root the session runs as a user made for this stage
# alone. That user reads nothing from the checkout, which may be private
# (a home folder only its owner can read): the session and its helpers are
# copied next to the installed program.
for tool in sway swaymsg wtype; do
    command -v "$tool" >/dev/null || fail "wayland: $tool is not installed (Qt $qt_version runs natively)"
done
stage="$work/stage"
install -d -m 0755 "$stage"
install -m 0755 "$root/scripts/smoke/wayland-sway.sh" "$stage/"
install -m 0644 "$root/scripts/smoke/session.sh" "$root/scripts/sway-window.py" "$root/scripts/udp-echo.py" \
    "$root/scripts/atspi-text.py" "$root/scripts/atspi-flood.py" "$stage/"
chmod -R a+rX "$prefix"
user=""
stage_pids() { if [ -n "$user" ]; then pgrep -u "$user" || true; fi; }
# shellcheck disable=SC2317,SC2329 # called from the EXIT trap
stop_stage() {
    [ -n "$user" ] || return 0
    local left
    left="$(stage_pids)"
    # shellcheck disable=SC2086
    [ -z "$left" ] || kill $left 2>/dev/null || true
    for _ in $(seq 30); do [ -z "$(stage_pids)" ] && break; sleep 0.1; done
    left="$(stage_pids)"
    # shellcheck disable=SC2086
    [ -z "$left" ] || kill -KILL $left 2>/dev/null || true
    for _ in $(seq 30); do [ -z "$(stage_pids)" ] && break; sleep 0.1; done
    userdel "$user" 2>/dev/null || true
    user=""
}
trap 'stop_stage; rm -rf "$work"' EXIT
home="$work/home"
runtime="$work/runtime"
mkdir -p "$home"
mkdir -m 700 "$runtime"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    user="quorlin-smoke-$$"
    useradd --system --user-group --no-create-home --home-dir "$home" --shell /usr/sbin/nologin "$user"
    chown "$user:" "$home" "$runtime"
    chmod o+x "$work"
    as_user=(setpriv --reuid="$(id -u "$user")" --regid="$(id -g "$user")" --clear-groups)
fi
# From the stage's own folder, not the caller's (the checkout, perhaps).
(
    cd "$stage"
    env -u QT_QPA_PLATFORM -u QT_SCALE_FACTOR -u DISPLAY -u WAYLAND_DISPLAY -u SWAYSOCK -u XAUTHORITY \
        HOME="$home" XDG_RUNTIME_DIR="$runtime" XDG_SESSION_TYPE=wayland \
        timeout -k 5 240 "${as_user[@]}" dbus-run-session -- "$stage/wayland-sway.sh" "$bin" "$stage" "$qt_version" \
        2> >(grep -v "^dbus-daemon" >&2)
) || {
    status=$?
    [ "$status" -ne 124 ] || echo "smoke: wayland: the session took more than 240 s" >&2
    exit "$status"
}
[ -f "$runtime/smoke-wayland.png" ] && cp "$runtime/smoke-wayland.png" "$artifacts/"
# Everything the session started (compositor, buses) ends with it.
for _ in $(seq 50); do [ -z "$(stage_pids)" ] && break; sleep 0.1; done
left="$(stage_pids)"
if [ -n "$left" ]; then
    ps -o pid,args -p "$(paste -sd, <<<"$left")" >&2
    fail "wayland: processes left after the session"
fi
exit 0
