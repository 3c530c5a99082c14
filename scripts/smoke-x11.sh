#!/usr/bin/env bash
# Installs a built tree and drives the installed program on a private X
# server. artifacts/quorlin-window.png (the README's) is the window as it maps.
# Usage: scripts/smoke-x11.sh [BUILD_DIR]
set -euo pipefail
# Under a time limit, on a private X server, not the widget tests' offscreen platform.
[ -n "${smoke_x:-}" ] ||
    exec env -u QT_QPA_PLATFORM smoke_x=1 timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=scripts/smoke/install.sh
. "$root/scripts/smoke/install.sh"
# What is installed is the package's, checked by its autopkgtest metadata.
# Desktops match the running window to its entry by its X11 class.
wm_class="$(sed -n 's/^StartupWMClass=//p' "$prefix/share/applications/org.quorlin.quorlin.desktop")"

# shellcheck source=scripts/smoke/session.sh
. "$root/scripts/smoke/session.sh"
smoke_dirs+=("$work")
shot() { sleep 0.3; import -window root "$artifacts/$1"; }
# KEY WHY CLOSE CLOSE_NAME [SHOT]: KEY opens the About box (else fails with
# WHY), CLOSE (named CLOSE_NAME) closes it; SHOT is taken while it is open.
about_box() {
    xdotool key "$1"
    about="$(smoke_window "关于 Quorlin" 10)" || smoke_fail "$2"
    [ -z "${5:-}" ] || shot "$5"
    xdotool windowfocus --sync "$about"
    xdotool key "$3"
    smoke_windows_become 1 || smoke_fail "$4 did not close the About box"
}

smoke_launch "$bin"
smoke_main_window
sleep 0.3
import -window "$smoke_wid" "$artifacts/quorlin-window.png"
props="$(xprop -id "$smoke_wid")"
grep -q "_NET_WM_WINDOW_TYPE_NORMAL" <<<"$props" || smoke_fail "not a normal top-level window"
! grep -q "WM_TRANSIENT_FOR" <<<"$props" || smoke_fail "transient window: no task-bar entry of its own"
grep -q "_NET_WM_ICON(CARDINAL)" <<<"$props" || smoke_fail "no window icon"
grep -qx "WM_CLASS(STRING) = \"quorlin\", \"$wm_class\"" <<<"$props" ||
    smoke_fail "window class is not quorlin/$wm_class"
min="$(sed -n "s/.*program specified minimum size: //p" <<<"$props")"
max="$(sed -n "s/.*program specified maximum size: //p" <<<"$props")"
if [ -z "$min" ] || [ "$min" != "$max" ]; then smoke_fail "size not fixed ($min / $max)"; fi

# From the server log seven Tabs reach the server port (the disabled stop is passed over).
xdotool windowfocus --sync "$smoke_wid"
xdotool type --delay 20 "typed into the server log"
xdotool key --delay 50 Tab Tab Tab Tab Tab Tab Tab
xdotool type --delay 20 "4567"
shot smoke-x11.png
xdotool key alt+space
smoke_windows_become 2 || smoke_fail "Alt+Space opened no window menu"
shot smoke-x11-menu.png
about_box a "the About box did not open from the window menu" Return Enter smoke-x11-about.png
# F1 by its evdev keycode: xdotool's "key F1" holds Alt down too where F1's
# key type maps Alt to its first level (xkeyboard-config 2.48 on).
xdotool windowfocus --sync "$smoke_wid"
about_box 67 "F1 did not open the About box" Escape Esc
smoke_ended && smoke_fail "Esc in the About box ended the program"
smoke_end_by_esc
echo "smoke: ok"
