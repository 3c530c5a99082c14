#!/usr/bin/env bash
# The installed program's AT-SPI names and twice the scale on X, then Wayland
# (smoke/desktop-x11.sh, wayland-sway.sh). Binds UDP ports 3456 and 50001.
# Usage: scripts/smoke-desktop.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=scripts/smoke/install.sh
. "$root/scripts/smoke/install.sh"
fail() { echo "smoke: $*" >&2; exit 1; }
clean=(env -u QT_QPA_PLATFORM -u QT_SCALE_FACTOR)

# Below Qt 6.6 the program takes XWayland under weston, else native sway
# (app/PlatformChoice); it runs against the Qt it was built with.
qt_version="$(dpkg-query -W -f='${Version}' qt6-base-dev)"
wayland=weston
! dpkg --compare-versions "$qt_version" ge 6.6 || wayland=sway

# Every control but the four labels can take the focus.
"${clean[@]}" timeout --verbose 360 dbus-run-session -- "$root/scripts/smoke/desktop-x11.sh" \
    "$bin" "$artifacts" 18 "$wayland" 2> >(grep -v "^dbus-daemon" >&2)
[ "$wayland" = sway ] || exit 0

for tool in sway swaymsg wtype; do
    command -v "$tool" >/dev/null || fail "wayland: $tool is not installed (Qt $qt_version runs natively)"
done
# sway refuses root, so root runs the session as a user of its own, which
# reads only copies of the session's files (the checkout may be private).
stage="$work/stage"
install -D -m 0755 -t "$stage" "$root/scripts/smoke/"{wayland-sway.sh,probe.py,session.sh}
chmod -R a+rX "$prefix" "$stage"
runtime="$work/runtime"
mkdir -m 700 "$runtime"
user=""
as_user=()
# shellcheck disable=SC2317,SC2329 # called from the EXIT trap
stop_stage() {
    [ -n "$user" ] || return 0
    pkill -KILL -u "$user" || true
    userdel --force "$user" 2>/dev/null || true
}
trap 'stop_stage; rm -rf "$work"' EXIT
if [ "$(id -u)" -eq 0 ]; then
    user="quorlin-smoke-$$"
    useradd --system --user-group --no-create-home --home-dir "$runtime" --shell /usr/sbin/nologin "$user"
    chown "$user:" "$runtime"
    chmod o+x "$work"
    as_user=(setpriv --reuid="$user" --regid="$user" --clear-groups)
fi
"${clean[@]}" -C "$stage" -u DISPLAY -u WAYLAND_DISPLAY -u SWAYSOCK -u XAUTHORITY \
    HOME="$runtime" XDG_RUNTIME_DIR="$runtime" XDG_SESSION_TYPE=wayland \
    timeout --verbose -k 5 240 "${as_user[@]}" dbus-run-session -- "$stage/wayland-sway.sh" "$bin" "$qt_version" \
    2> >(grep -v "^dbus-daemon" >&2)
[ ! -f "$runtime/smoke-wayland.png" ] || cp "$runtime/smoke-wayland.png" "$artifacts/"
# The compositor and buses end with the session, and are reaped (pidwait would stop at their exit).
if [ -n "$user" ] && ! timeout 5 sh -c "while pgrep -u $user >/dev/null; do sleep 0.1; done"; then
    ps -o pid,args -u "$user" >&2
    fail "wayland: processes left after the session"
fi
