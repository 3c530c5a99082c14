#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need,
# skipping the ones already present. Safe to run again.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev llvm-14 clang-format-14
    qt6-base-dev libgl-dev
    googletest libgtest-dev locales
    fonts-wqy-microhei
    xvfb xauth xdotool imagemagick x11-utils
    dpkg-dev file
    lintian desktop-file-utils appstream libxml2-utils librsvg2-bin man-db
    weston xwayland qt6-wayland dbus at-spi2-core python3-pyatspi procps
)

# Installs those of the named packages that are missing.
install_missing() {
    local missing=() p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -gt 0 ] || return 0
    echo "bootstrap: installing ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

install_missing "${packages[@]}"
# With Qt >= 6.6 the program runs natively on Wayland and its stage drives it
# under sway; with an older Qt it runs through XWayland under weston alone.
qt="$(dpkg-query -W -f='${Version}' qt6-base-dev)"
if dpkg --compare-versions "$qt" ge 6.6; then
    install_missing sway wtype grim
fi
