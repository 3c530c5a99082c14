#!/usr/bin/env bash
# Runs scripts/test.sh inside a fresh minimal Debian root of SUITE (bookworm,
# trixie, forky, testing, ...), made by mmdebstrap from this machine's archive,
# on a copy of this tree, as a new user of that release would: the run installs
# everything itself (scripts/bootstrap.sh test) and the root is removed
# afterwards. Needs root. The last line is "debian VERSION: N passed, 0
# failed", VERSION being the root's VERSION_ID, or its codename (testing).
# Usage: scripts/in-debian.sh [--prepare] SUITE
#   QUORLIN_DEBIAN_ROOT=DIR  use (and keep) the root in DIR, made first if DIR
#                            does not exist.
#   --prepare                only make the kept root and install the test set
#                            in it (.ci/run prepares the next releases' roots
#                            while this machine's own run builds).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# shellcheck source=scripts/debian-root.sh
. "$root/scripts/debian-root.sh"
fail() { echo "in-debian: $*" >&2; exit 1; }
prepare=false
[ "${1:-}" != --prepare ] || { prepare=true; shift; }
[[ $# -eq 1 && "$1" =~ ^[a-z][a-z0-9-]*$ ]] || fail "usage: scripts/in-debian.sh [--prepare] SUITE (e.g. trixie, forky)"
suite="$1"
[ "$(id -u)" -eq 0 ] || fail "needs root (mmdebstrap, chroot and bind mounts)"
keep="${QUORLIN_DEBIAN_ROOT:-}"
! $prepare || [ -n "$keep" ] || fail "--prepare needs QUORLIN_DEBIAN_ROOT, the root to keep"
sysroot="${keep:-$root/build-debian-$suite}"
log="$(mktemp)"
trap '[ -n "$keep" ] || rm -rf --one-file-system "$sysroot"; rm -f "$log"' EXIT
trap 'exit 130' INT TERM

if [ -z "$keep" ] || [ ! -x "$sysroot/bin/bash" ]; then
    rm -rf --one-file-system "$sysroot"
    echo "in-debian: making a minimal $suite root"
    debian_root_make "$suite" "$sysroot" --variant=minbase || fail "mmdebstrap made no $suite root; $suite was not tested"
fi
debian_root_copy_tree "$sysroot" "$root"
if $prepare; then
    echo "in-debian: installing the test set inside the $suite root"
    debian_root_run "$sysroot" 'scripts/bootstrap.sh test' || fail "the test set could not be installed in the $suite root"
    exit 0
fi

# shellcheck source=/dev/null
release="$(. "$sysroot/etc/os-release" && echo "${ID:-debian} ${VERSION_ID:-${VERSION_CODENAME:-$suite}}")"
echo "in-debian: scripts/test.sh inside the $release root"
debian_root_run "$sysroot" scripts/test.sh 2>&1 | tee "$log" || fail "scripts/test.sh failed inside the $release root"
line="$(grep -E '^total: [0-9]+ passed, 0 failed$' "$log" | tail -n 1)" ||
    fail "scripts/test.sh printed no total inside the $release root"
echo "$release: ${line#total: }"
