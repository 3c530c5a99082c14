#!/usr/bin/env bash
# Runs scripts/test.sh inside a fresh minimal Debian root of SUITE (bookworm,
# trixie, forky, testing, ...), from a copy of this tree, as a new user of that
# release would: the root is made with debootstrap from the archive this
# machine's apt sources use, the test run installs everything itself
# (scripts/bootstrap.sh test), and the root is removed afterwards, so nothing
# carries over from one run to the next. Needs root.
# The last line is "debian VERSION: N passed, 0 failed", VERSION being the
# root's VERSION_ID, or its codename where it has none (testing).
# Usage: scripts/in-debian.sh [--prepare] SUITE
#   QUORLIN_DEBIAN_ROOT=DIR  use (and keep) the root in DIR instead, making it
#                            first if DIR does not exist.
#   --prepare                only make the kept root and install the test set
#                            in it, so that a later run finds it ready (.ci/run
#                            prepares the next releases' roots while this
#                            machine's own run builds).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=scripts/debian-root.sh
. "$root/scripts/debian-root.sh"
fail() { echo "in-debian: $*" >&2; exit 1; }
say() { echo "in-debian: $*"; }
prepare=false
if [ "${1:-}" = --prepare ]; then
    prepare=true
    shift
fi
[ $# -eq 1 ] || fail "usage: scripts/in-debian.sh [--prepare] SUITE (e.g. trixie, forky)"
suite="$1"
[[ "$suite" =~ ^[a-z][a-z0-9-]*$ ]] || fail "$suite is not a suite name"
[ "$(id -u)" -eq 0 ] || fail "needs root (debootstrap, chroot and bind mounts)"
command -v debootstrap >/dev/null || fail "debootstrap is missing (scripts/bootstrap.sh test installs it)"

keep="${QUORLIN_DEBIAN_ROOT:-}"
! $prepare || [ -n "$keep" ] || fail "--prepare needs QUORLIN_DEBIAN_ROOT, the root to keep"
if [ -n "$keep" ]; then
    sysroot="$keep"
else
    sysroot="$root/build-debian-$suite"
fi
log="$(mktemp)"
# /dev/shm too: sway shares its keymaps through it.
mounts=(proc sys dev dev/pts dev/shm)

cleanup() {
    local status=$?
    if [ -n "$keep" ]; then
        debian_root_unmount "$sysroot" "${mounts[@]}" || true
    else
        debian_root_remove "$sysroot" "${mounts[@]}" || true
    fi
    rm -f "$log"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The Debian archive of this machine's own apt sources; with none found,
# Debian's default.
archive="$(debian_archive)"
archive="${archive:-http://deb.debian.org/debian}"
if [ ! -x "$sysroot/bin/bash" ] || [ -z "$keep" ]; then
    [ -n "$keep" ] || debian_root_remove "$sysroot" "${mounts[@]}"
    debian_root_make "$suite" "$sysroot" "$archive" "$log" ||
        fail "no $suite root could be made from $archive after 3 tries; $suite was not tested"
fi
# The archive may be a frozen copy, whose testing Release file has expired:
# this root only tries the tree and is thrown away.
debian_root_configure "$sysroot" true
debian_root_mount "$sysroot" "${mounts[@]}"

# A copy of the tree as a clone holds it: tracked files only, no build folders.
debian_root_copy_tree "$sysroot" "$root"
# QUORLIN_THROWAWAY_ROOT: the run may install into this root (autopkgtest in place).
in_root() { debian_root_run "$sysroot" "$1" QUORLIN_THROWAWAY_ROOT=1; }
if $prepare; then
    say "installing the test set inside the $suite root"
    in_root 'scripts/bootstrap.sh test' || fail "the test set could not be installed in the $suite root"
    exit 0
fi

# testing's os-release has no VERSION_ID.
# shellcheck source=/dev/null
release="$(. "$sysroot/etc/os-release" && echo "${ID:-debian} ${VERSION_ID:-${VERSION_CODENAME:-$suite}}")"
say "scripts/test.sh inside the $release root"
status=0
in_root scripts/test.sh 2>&1 | tee "$log" || status=$?
[ "$status" -eq 0 ] || fail "scripts/test.sh failed inside the $release root (exit $status)"
line="$(grep -E '^total: [0-9]+ passed, 0 failed$' "$log" | tail -n 1)"
[ -n "$line" ] || fail "scripts/test.sh printed no total inside the $release root"
echo "$release: ${line#total: }"
