#!/usr/bin/env bash
# Installs the Debian packages of one set, skipping the ones already present.
# Safe to run again. Works on Debian 12, 13 and testing.
#   run   what building and starting the program needs (scripts/run.sh)
#   test  the run set and everything scripts/test.sh needs: clang and the
#         LLVM tools of the release's own clang version, GoogleTest, the X,
#         Wayland and accessibility stages, and the packaging tools
# Usage: scripts/bootstrap.sh [--list] run|test   (default: test)
#   --list  print the set's package names, one a line, and install nothing
set -euo pipefail

list=false
if [ "${1:-}" = --list ]; then
    list=true
    shift
fi
set_name="${1:-test}"
case "$set_name" in
run | test) ;;
*)
    echo "usage: scripts/bootstrap.sh [--list] run|test" >&2
    exit 2
    ;;
esac

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
# The installed version of a package, else the archive's.
version_of() {
    if installed "$1"; then
        dpkg-query -W -f='${Version}' "$1"
    else
        [ -n "$(candidate "$1")" ] || update
        candidate "$1"
    fi
}

# Building and starting: the compiler, Qt's Widgets with its X11 platform
# plugin, GL headers for Qt's CMake package, and a font with the CJK glyphs
# of the Chinese captions.
packages=(cmake ninja-build g++ qt6-base-dev qt6-qpa-plugins libgl-dev fonts-wqy-microhei)

if [ "$set_name" = test ]; then
    # The default clang's major version (14 on Debian 12, 19 on 13, 21 on
    # testing), and the tools and sanitizer runtimes matching it:
    # NAME-<major> where the release has it, else the unversioned NAME.
    major="$(version_of clang | sed -E 's/^[0-9]+://; s/[^0-9].*//')"
    [ -n "$major" ] || { echo "bootstrap: the archive has no clang package" >&2; exit 1; }
    llvm=()
    for name in clang-format-@ llvm-@ libclang-rt-@-dev; do
        versioned="${name//@/$major}"
        plain="${name//-@/}"
        if available "$versioned" || { update && available "$versioned"; }; then
            llvm+=("$versioned")
        elif available "$plain"; then
            llvm+=("$plain")
        else
            echo "bootstrap: neither $versioned nor $plain is in the archive" >&2
            exit 1
        fi
    done
    packages+=(
        clang "${llvm[@]}"
        googletest libgtest-dev locales
        xvfb xauth xdotool imagemagick x11-utils file
        weston xwayland qt6-wayland dbus at-spi2-core python3-pyatspi procps
        build-essential debhelper devscripts dpkg-dev fakeroot lintian desktop-file-utils appstream
        libxml2-utils librsvg2-bin man-db shellcheck
        # scripts/package.sh: roots, the clean build, autopkgtest's unshare
        # backend, and reprotest with its time and file-order variations.
        mmdebstrap sbuild uidmap autopkgtest reprotest diffoscope-minimal faketime disorderfs
    )
    # With Qt >= 6.6 the program runs natively on Wayland and its stage drives
    # it under sway; with an older Qt it runs through XWayland under weston alone.
    if dpkg --compare-versions "$(version_of qt6-base-dev)" ge 6.6; then
        packages+=(sway wtype grim)
    fi
fi

if $list; then
    printf '%s\n' "${packages[@]}"
    exit 0
fi

missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "bootstrap: installing ${missing[*]}"
    update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# sbuild's and autopkgtest's unshare modes map the user's subordinate ids,
# which useradd gives to new users but not to root.
user="$(id -un)"
# usermod will not add to files that are not there yet.
if [ "$set_name" = test ] && ! grep -qs "^$user:" /etc/subuid; then
    $sudo touch /etc/subuid /etc/subgid
    $sudo usermod --add-subuids 100000-165535 --add-subgids 100000-165535 "$user"
fi
