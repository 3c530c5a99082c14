#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need,
# skipping the ones already present. Safe to run again.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev llvm-14 clang-format-14
    qt6-base-dev libgl-dev
    googletest libgtest-dev
    fonts-wqy-microhei
    xvfb xauth xdotool imagemagick x11-utils
    dpkg-dev file
    lintian desktop-file-utils appstream libxml2-utils librsvg2-bin man-db
    weston xwayland qt6-wayland dbus at-spi2-core python3-pyatspi procps
)
# With Qt >= 6.6 the program runs natively on Wayland and its stage drives
# it under sway; below that it runs through XWayland under weston alone.
qt="$(apt-cache show --no-all-versions qt6-base-dev 2>/dev/null | sed -n 's/^Version: //p' | head -n1)"
if [ -n "$qt" ] && dpkg --compare-versions "$qt" ge 6.6; then
    for p in sway wtype grim; do
        apt-cache show "$p" >/dev/null 2>&1 && packages+=("$p")
    done
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "bootstrap: installing ${missing[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
