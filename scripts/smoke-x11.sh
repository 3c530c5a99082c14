#!/usr/bin/env bash
# Installs a built tree to a temporary prefix and runs the installed program
# on a private X server: waits for its window, checks the window's
# properties, drives it by keyboard (type, Tab, the window menu, the About
# box) and checks that Esc ends it (scripts/smoke/x11.sh). Screenshots go to
# artifacts/, among them quorlin-window.png, the window as it maps.
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

# The offscreen platform that the widget tests use would hide the window.
env -u QT_QPA_PLATFORM timeout 120 "$root/scripts/smoke/x11.sh" "$prefix/bin/quorlin" "$artifacts" "$wm_class"
