# shellcheck shell=bash
# Debian roots made by mmdebstrap, for .ci/run and package.sh. Sourced; needs root.

# SUITE TARGET [MMDEBSTRAP-OPTION...]: a root of SUITE in TARGET (a folder or
# a tarball) from this machine's archive, whose apt retries and takes Release
# files past their Valid-Until (a frozen copy's testing has expired).
debian_root_make() {
    local suite="$1" target="$2" archive
    shift 2
    # shellcheck disable=SC2016 # apt's own format
    archive="$(apt-get indextargets --format '$(REPO_URI)' 'Origin: Debian' 2>/dev/null |
        grep -m 1 -E '/debian/$' || true)"
    mmdebstrap --quiet "$@" --aptopt='Acquire::Retries "5"' --aptopt='Acquire::Check-Valid-Until "false"' \
        "$suite" "$target" "deb ${archive:-http://deb.debian.org/debian/} $suite main"
}

# DIR TREE: TREE's tracked files (a copy's, but its builds) in DIR/src/quorlin.
debian_root_copy_tree() {
    mkdir -p "$1/src/quorlin"
    if git -C "$2" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git -C "$2" ls-files -z
    else
        (cd "$2" && find . \( -path './build*' -o -path ./artifacts \) -prune -o \( -type f -o -type l \) -printf '%P\0')
    fi | tar -C "$2" --null -T - -cf - | tar -xf - -C "$1/src/quorlin"
}

# DIR COMMAND: COMMAND in DIR's tree as a fresh login would, QUORLIN_THROWAWAY_ROOT=1; /proc,
# /sys and /dev (/dev/shm: sway's keymaps) bound in a mount namespace, gone however it ends.
debian_root_run() {
    cp /etc/resolv.conf "$1/etc/resolv.conf"
    # shellcheck disable=SC2016 # the inner shell expands them
    unshare --mount --propagation private -- /bin/sh -euc 'for m in proc sys dev; do mount --rbind "/$m" "$1/$m"; done
        exec chroot "$1" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb QUORLIN_THROWAWAY_ROOT=1 \
            PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin /bin/bash -c "cd /src/quorlin && $2"' \
        sh "$1" "$2"
}

# SUITE DIR TREE: a minimal root with a copy of TREE and its test set installed.
debian_root_prepare() {
    debian_root_make "$1" "$2" --variant=minbase
    debian_root_copy_tree "$2" "$3"
    debian_root_run "$2" 'scripts/bootstrap.sh test'
}
