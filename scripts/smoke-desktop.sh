#!/usr/bin/env bash
# The installed program on the desktops it meets: on a private X server its
# controls' names over AT-SPI and its layout at twice the scale
# (scripts/smoke/desktop-x11.sh); then a Wayland session where it shows its
# window and echoes a loopback datagram: native headless sway with Qt >= 6.6
# (scripts/smoke/wayland-sway.sh), below that headless weston with XWayland
# (scripts/smoke/wayland-weston.sh). Screenshots go to artifacts/. Binds UDP
# port 3456: run it under the same lock as the other tests that do.
# Usage: scripts/smoke-desktop.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=scripts/smoke/install.sh
. "$root/scripts/smoke/install.sh"
fail() { echo "smoke: $*" >&2; exit 1; }
clean=(env -u QT_QPA_PLATFORM -u QT_SCALE_FACTOR)

# Every control but the four labels can take the focus.
"${clean[@]}" timeout 240 dbus-run-session -- "$root/scripts/smoke/desktop-x11.sh" "$bin" "$artifacts" 18 \
    2> >(grep -v "^dbus-daemon" >&2)

# The program picks its platform by the Qt it runs against
# (app/PlatformChoice), so the stage does too.
qt_core="$(ldd "$bin" | sed -n 's/^[[:space:]]*libQt6Core\.so\.6 => \([^ ]*\) .*/\1/p')"
qt_version="$(readlink -f "$qt_core" | sed -n 's/.*libQt6Core\.so\.\([0-9]*\.[0-9]*\)\..*/\1/p')"
[ -n "$qt_version" ] || fail "cannot tell which Qt the program runs against"
if [ "${qt_version%%.*}" -lt 6 ] || { [ "${qt_version%%.*}" -eq 6 ] && [ "${qt_version#*.}" -lt 6 ]; }; then
    "${clean[@]}" timeout 120 "$root/scripts/smoke/wayland-weston.sh" "$bin" "$root/scripts"
    exit 0
fi

# sway refuses to run as root, so as root the session runs as a user made
# for this stage alone. That user reads nothing from the checkout, which may
# be private: the session and its helpers are copied next to the program.
for tool in sway swaymsg wtype; do
    command -v "$tool" >/dev/null || fail "wayland: $tool is not installed (Qt $qt_version runs natively)"
done
stage="$work/stage"
install -d -m 0755 "$stage"
install -m 0755 "$root/scripts/smoke/wayland-sway.sh" "$root/scripts/smoke/probe.py" "$root/scripts/udp-echo.py" "$stage/"
install -m 0644 "$root/scripts/smoke/session.sh" "$stage/"
chmod -R a+rX "$prefix"
user=""
stage_pids() { if [ -n "$user" ]; then pgrep -u "$user" || true; fi; }
# Waits up to 3 s for the stage user's processes to end after SIGNAL.
stage_signal() {
    local left _
    left="$(stage_pids)"
    # shellcheck disable=SC2086
    [ -z "$left" ] || kill "-$1" $left 2>/dev/null || true
    for _ in $(seq 30); do [ -z "$(stage_pids)" ] && break; sleep 0.1; done
}
# shellcheck disable=SC2317,SC2329 # called from the EXIT trap
stop_stage() {
    [ -n "$user" ] || return 0
    stage_signal TERM
    stage_signal KILL
    userdel "$user" 2>/dev/null || true
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
    "${clean[@]}" -u DISPLAY -u WAYLAND_DISPLAY -u SWAYSOCK -u XAUTHORITY \
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
