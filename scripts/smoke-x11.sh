#!/usr/bin/env bash
# Installs a built tree to a temporary prefix and runs the installed program
# on a private X server: waits for its window, checks the window's
# properties, drives it by keyboard (type, Tab, the window menu, the About
# box) and checks that Esc ends it. Screenshots go to artifacts/.
# Usage: scripts/smoke-x11.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
artifacts="$root/artifacts"
mkdir -p "$artifacts"

prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
entry="$prefix/share/applications/org.quorlin.quorlin.desktop"
for f in bin/quorlin share/applications/org.quorlin.quorlin.desktop share/metainfo/org.quorlin.quorlin.metainfo.xml \
         share/icons/hicolor/32x32/apps/quorlin.png share/icons/hicolor/16x16/apps/quorlin.png \
         share/icons/hicolor/scalable/apps/quorlin.svg share/man/man1/quorlin.1.gz; do
    [ -e "$prefix/$f" ] || { echo "smoke: $f was not installed" >&2; exit 1; }
done
grep -qx 'Exec=quorlin' "$entry"
grep -qx 'Icon=quorlin' "$entry"
# Desktops match the running window to its entry by its X11 class.
wm_class="$(sed -n 's/^StartupWMClass=//p' "$entry")"

# Runs inside the X session. No window manager there: Qt focuses its own
# window when it maps, and windowfocus works where windowactivate fails.
session='
set -euo pipefail
bin="$1"; artifacts="$2"; wm_class="$3"
fail() { echo "smoke: $*" >&2; kill "$pid" 2>/dev/null || true; exit 1; }
# Waits up to 5 s until the program has N visible windows.
windows_become() {
    for _ in $(seq 50); do
        [ "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)" -eq "$1" ] && return 0
        sleep 0.1
    done
    return 1
}
shot() { sleep 0.3; import -window root "$artifacts/$1"; }

"$bin" & pid=$!
wid="$(timeout 15 xdotool search --sync --onlyvisible --name "^Quorlin\$" | head -n1)" || true
[ -n "$wid" ] || fail "the window did not appear"

props="$(xprop -id "$wid")"
grep -q "_NET_WM_WINDOW_TYPE_NORMAL" <<<"$props" || fail "not a normal top-level window"
! grep -q "WM_TRANSIENT_FOR" <<<"$props" || fail "transient window: no task-bar entry of its own"
grep -q "_NET_WM_ICON(CARDINAL)" <<<"$props" || fail "no window icon"
grep -qx "WM_CLASS(STRING) = \"quorlin\", \"$wm_class\"" <<<"$props" || fail "window class is not quorlin/$wm_class"
min="$(sed -n "s/.*program specified minimum size: //p" <<<"$props")"
max="$(sed -n "s/.*program specified maximum size: //p" <<<"$props")"
[ -n "$min" ] && [ "$min" = "$max" ] || fail "size not fixed ($min / $max)"

xdotool windowfocus --sync "$wid"
# The focus starts in the server log; seven Tabs reach the server port
# (the disabled stop button is passed over).
xdotool type --delay 20 "typed into the server log"
xdotool key --delay 50 Tab Tab Tab Tab Tab Tab Tab
xdotool type --delay 20 "4567"
shot smoke-x11.png

xdotool key alt+space
windows_become 2 || fail "Alt+Space opened no window menu"
shot smoke-x11-menu.png
xdotool key a
about="$(timeout 10 xdotool search --sync --onlyvisible --name "^关于 Quorlin\$" | head -n1)" || true
[ -n "$about" ] || fail "the About box did not open from the window menu"
shot smoke-x11-about.png
xdotool windowfocus --sync "$about"
xdotool key Return
windows_become 1 || fail "Enter did not close the About box"

xdotool windowfocus --sync "$wid"
xdotool key Escape
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "still running 5 s after Esc"
wait "$pid" || fail "exited with status $?"
echo "smoke: ok"
'
# The offscreen platform that the widget tests use would hide the window.
env -u QT_QPA_PLATFORM timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" \
    bash -c "$session" smoke "$prefix/bin/quorlin" "$artifacts" "$wm_class"
