# shellcheck shell=bash
# Minimal Debian roots made with debootstrap, for scripts that run something
# inside one (in-debian.sh, package.sh). Sourced; the sourcing script defines
# say, which announces each try at making a root, and needs root itself.

# The Debian archive of this machine's own apt sources (deb822 or one-line);
# nothing when none is found.
debian_archive() {
    {
        sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/*.sources 2>/dev/null
        sed -n 's/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\?\([^[:space:]]\+\).*/\2/p' \
            /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null
    } | tr ' ' '\n' | grep -E '^https?://[^[:space:]]+/debian/?$' | head -n 1 || true
}

# debian_root_make SUITE DIR ARCHIVE LOG: a minimal root of SUITE in DIR from
# ARCHIVE (empty: debootstrap's default), in up to three tries, each logged
# to LOG. Fails when none made it.
debian_root_make() {
    local suite="$1" dir="$2" archive="$3" log="$4" attempt
    local scripts=/usr/share/debootstrap/scripts args=()
    if [ -e "$scripts/$suite" ]; then
        args=(${archive:+"$archive"})
    else
        # An older debootstrap knows no newer suite by name (Debian 12's has
        # no forky); sid's script makes any current suite.
        args=("${archive:-http://deb.debian.org/debian}" "$scripts/sid")
    fi
    for attempt in 1 2 3; do
        say "making a minimal $suite root from ${archive:-the default archive} (try $attempt)"
        if debootstrap --variant=minbase "$suite" "$dir" "${args[@]}" >"$log" 2>&1; then
            return 0
        fi
        tail -n 5 "$log" >&2
        rm -rf --one-file-system "$dir"
        sleep $((attempt * 15))
    done
    return 1
}

# debian_root_configure DIR FROZEN: apt in the root retries its downloads
# and, with FROZEN true, takes Release files past their Valid-Until (a
# frozen copy of testing has expired ones); names resolve as they do here.
debian_root_configure() {
    local conf="$1/etc/apt/apt.conf.d"
    echo 'Acquire::Retries "5";' >"$conf/80quorlin-retries"
    if [ "$2" = true ]; then
        echo 'Acquire::Check-Valid-Until "false";' >"$conf/80quorlin-frozen-archive"
    fi
    cp /etc/resolv.conf "$1/etc/resolv.conf"
}

# tracked_files TREE: the files of TREE as a clone holds them, NUL-separated
# (a copy without git: all but the build folders).
tracked_files() {
    if git -C "$1" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git -C "$1" ls-files -z
    else
        (cd "$1" && find . \( -path './build*' -o -path ./artifacts -o -path ./.git \) -prune \
            -o \( -type f -o -type l \) -printf '%P\0')
    fi
}

# debian_root_copy_tree DIR TREE: a fresh copy of TREE's files at
# DIR/src/quorlin, where debian_root_run starts.
debian_root_copy_tree() {
    rm -rf "$1/src/quorlin"
    mkdir -p "$1/src/quorlin"
    (cd "$2" && tracked_files . | tar --null -T - -cf -) | tar -xf - -C "$1/src/quorlin"
}

# debian_root_run DIR COMMAND [NAME=VALUE...]: COMMAND in the root as a fresh
# login would, in the tree's copy, with only the environment given.
debian_root_run() {
    local dir="$1" command="$2"
    shift 2
    chroot "$dir" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@" \
        /bin/bash -c "cd /src/quorlin && $command"
}

# debian_root_mount DIR MOUNT...: binds each /MOUNT on DIR/MOUNT, in order
# (a folder before those inside it).
debian_root_mount() {
    local dir="$1" m
    shift
    for m; do
        mkdir -p "$dir/$m"
        mount --bind "/$m" "$dir/$m"
    done
}

# debian_root_unmount DIR MOUNT...: undoes what of debian_root_mount DIR
# MOUNT... is mounted, last first, lazily where a mount is busy. Fails when
# one stays.
debian_root_unmount() {
    local dir="$1" status=0 i m
    shift
    for ((i = $#; i >= 1; i--)); do
        m="$dir/${!i}"
        if mountpoint -q "$m"; then
            umount "$m" 2>/dev/null || umount -l "$m" || status=1
        fi
    done
    return "$status"
}

# debian_root_remove DIR MOUNT...: the root unmounted and deleted; never
# deleted through a mount that is still there (then it fails).
debian_root_remove() {
    debian_root_unmount "$@" || return 1
    rm -rf --one-file-system "$1"
}
