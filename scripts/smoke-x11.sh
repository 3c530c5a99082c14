#!/usr/bin/env bash
# Installs a built tree to a temporary prefix, checks what was installed,
# and runs the installed program on a private X server (scripts/smoke/x11.sh).
# Usage: scripts/smoke-x11.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=scripts/smoke/install.sh
. "$root/scripts/smoke/install.sh"
entry="$prefix/share/applications/org.quorlin.quorlin.desktop"
for f in share/applications/org.quorlin.quorlin.desktop share/metainfo/org.quorlin.quorlin.metainfo.xml \
         share/icons/hicolor/32x32/apps/quorlin.png share/icons/hicolor/16x16/apps/quorlin.png \
         share/icons/hicolor/scalable/apps/quorlin.svg share/man/man1/quorlin.1.gz; do
    [ -e "$prefix/$f" ] || { echo "smoke: $f was not installed" >&2; exit 1; }
done
grep -qx 'Exec=quorlin' "$entry"
grep -qx 'Icon=quorlin' "$entry"
# Desktops match the running window to its entry by its X11 class.
wm_class="$(sed -n 's/^StartupWMClass=//p' "$entry")"

# The offscreen platform that the widget tests use would hide the window.
env -u QT_QPA_PLATFORM timeout 120 "$root/scripts/smoke/x11.sh" "$bin" "$artifacts" "$wm_class"
