#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need,
# skipping the ones already present. Safe to run again. Works on Debian 12
# and 13: the LLVM tools come in the version of the release's own clang.
set -euo pipefail

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
updated=false
update() {
    $updated || $sudo apt-get update -qq
    updated=true
}
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
candidate() { apt-cache policy "$1" 2>/dev/null | sed -n 's/^ *Candidate: //p' | grep -v '^(none)$' || true; }
available() { installed "$1" || [ -n "$(candidate "$1")" ]; }

# The default clang's major version (14 on Debian 12, 19 on 13), from the
# installed package or else from the archive.
clang_version="$(dpkg-query -W -f='${Version}' clang 2>/dev/null || true)"
if [ -z "$clang_version" ] || ! installed clang; then
    update
    clang_version="$(candidate clang)"
fi
major="$(sed -E 's/^[0-9]+://; s/[^0-9].*//' <<<"$clang_version")"
[ -n "$major" ] || { echo "bootstrap: the archive has no clang package" >&2; exit 1; }

# Tools and sanitizer runtimes matching that clang: NAME-<major> where the
# release has it, else the unversioned NAME.
llvm=()
for name in clang-format-@ llvm-@ libclang-rt-@-dev; do
    versioned="${name//@/$major}"
    plain="$(sed 's/-@//' <<<"$name")"
    if available "$versioned" || { update && available "$versioned"; }; then
        llvm+=("$versioned")
    elif available "$plain"; then
        llvm+=("$plain")
    else
        echo "bootstrap: neither $versioned nor $plain is in the archive" >&2
        exit 1
    fi
done

packages=(
    cmake ninja-build g++ clang "${llvm[@]}"
    qt6-base-dev libgl-dev
    googletest libgtest-dev
    fonts-wqy-microhei locales
    xvfb xauth xdotool imagemagick x11-utils
    dpkg-dev file
    lintian desktop-file-utils appstream libxml2-utils librsvg2-bin man-db
    weston xwayland qt6-wayland dbus at-spi2-core python3-pyatspi procps
    debootstrap
)

# Installs those of the named packages that are missing.
install_missing() {
    local missing=() p
    for p in "$@"; do
        installed "$p" || missing+=("$p")
    done
    [ ${#missing[@]} -gt 0 ] || return 0
    echo "bootstrap: installing ${missing[*]}"
    update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

install_missing "${packages[@]}"
# With Qt >= 6.6 the program runs natively on Wayland and its stage drives it
# under sway; with an older Qt it runs through XWayland under weston alone.
qt="$(dpkg-query -W -f='${Version}' qt6-base-dev)"
if dpkg --compare-versions "$qt" ge 6.6; then
    install_missing sway wtype grim
fi
