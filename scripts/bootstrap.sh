#!/usr/bin/env bash
# Installs the Debian packages of one set that are missing; safe to run again.
# run: what scripts/run.sh needs; test: that and all scripts/test.sh needs.
# Usage: scripts/bootstrap.sh run|test (default test)
set -euo pipefail
set_name="${1:-test}"
[[ "$set_name" =~ ^(run|test)$ ]] || { echo "usage: scripts/bootstrap.sh run|test" >&2; exit 2; }
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
updated=false
update() { $updated || "${sudo[@]}" apt-get update -qq; updated=true; }
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

# Qt's X11 platform plugin, GL headers for Qt's CMake package, and a font
# with the CJK glyphs of the Chinese captions.
packages=(cmake ninja-build g++ qt6-base-dev qt6-qpa-plugins libgl-dev fonts-wqy-microhei)
if [ "$set_name" = test ]; then
    # clang-format, llvm (llvm-symbolizer) and libclang-rt-dev follow the default clang.
    packages+=(
        clang clang-format llvm libclang-rt-dev googletest libgtest-dev locales
        xvfb xauth xdotool imagemagick x11-utils file
        weston xwayland qt6-wayland dbus at-spi2-core python3-pyatspi procps
        build-essential debhelper devscripts dpkg-dev fakeroot lintian desktop-file-utils appstream
        libxml2-utils librsvg2-bin man-db shellcheck
        mmdebstrap sbuild uidmap autopkgtest reprotest diffoscope-minimal faketime disorderfs
    )
    # Qt >= 6.6 runs natively on Wayland, driven under sway; an older one
    # through XWayland under weston alone. The installed version, else the archive's.
    installed qt6-base-dev || update
    qt="$(apt-cache policy qt6-base-dev | sed -n 's/^ *Installed: //p; s/^ *Candidate: //p' | grep -vxm 1 '(none)' || true)"
    if dpkg --compare-versions "$qt" ge 6.6; then packages+=(sway wtype grim); fi
fi

missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
    echo "bootstrap: installing ${missing[*]}"
    update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" \
        >/dev/null
fi
# sbuild's and autopkgtest's unshare modes map subordinate ids, which
# useradd gives new users but not root; usermod adds only to files that exist.
if [ "$set_name" = test ] && ! grep -qs "^$(id -un):" /etc/subuid; then
    "${sudo[@]}" touch /etc/subuid /etc/subgid
    "${sudo[@]}" usermod --add-subuids 100000-165535 --add-subgids 100000-165535 "$(id -un)"
fi
