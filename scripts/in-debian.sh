#!/usr/bin/env bash
# Runs scripts/test.sh inside a fresh minimal Debian 13 (trixie) root, from a
# copy of this tree, as a new user of that release would: the root is made
# with debootstrap from the archive this machine's apt sources use, the test
# run installs everything itself (scripts/bootstrap.sh), and the root is
# removed afterwards, so nothing carries over from one run to the next.
# The last line is "debian 13: N passed, 0 failed". Needs root.
#   QUORLIN_DEBIAN13_ROOT=DIR  use (and keep) the root in DIR instead, making
#                              it first if DIR does not exist: for trying
#                              things by hand, never for CI.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
fail() { echo "in-debian13: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "needs root (debootstrap, chroot and bind mounts)"
command -v debootstrap >/dev/null || fail "debootstrap is missing (scripts/bootstrap.sh installs it)"

keep="${QUORLIN_DEBIAN13_ROOT:-}"
if [ -n "$keep" ]; then
    sysroot="$keep"
else
    sysroot="$root/build-debian13"
fi
log="$(mktemp)"
# /dev/shm too: sway shares its keymaps through it.
mounts=(proc sys dev dev/pts dev/shm)

cleanup() {
    local status=$?
    local busy=false
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        local m="$sysroot/${mounts[i]}"
        if mountpoint -q "$m"; then
            umount "$m" 2>/dev/null || umount -l "$m" || busy=true
        fi
    done
    # Never delete through a mount that is still there.
    if [ -z "$keep" ] && ! $busy; then
        rm -rf --one-file-system "$sysroot"
    fi
    rm -f "$log"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The Debian archive of this machine's own apt sources (deb822 or one-line);
# with none found, debootstrap's default.
archive="$(
    {
        sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/*.sources 2>/dev/null
        sed -n 's/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\?\([^[:space:]]\+\).*/\2/p' \
            /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null
    } | tr ' ' '\n' | grep -E '^https?://[^[:space:]]+/debian/?$' | head -n 1 || true
)"

if [ ! -x "$sysroot/bin/bash" ] || [ -z "$keep" ]; then
    [ -z "$keep" ] && rm -rf --one-file-system "$sysroot"
    made=false
    for attempt in 1 2 3; do
        echo "in-debian13: making a minimal trixie root from ${archive:-the default archive} (try $attempt)"
        if debootstrap --variant=minbase trixie "$sysroot" ${archive:+"$archive"} >"$log" 2>&1; then
            made=true
            break
        fi
        tail -n 5 "$log" >&2
        rm -rf --one-file-system "$sysroot"
        sleep $((attempt * 15))
    done
    $made || fail "the Debian archive ${archive:-of debootstrap} could not be reached after 3 tries; Debian 13 was not tested"
fi
# Downloads inside the root retry too.
echo 'Acquire::Retries "5";' >"$sysroot/etc/apt/apt.conf.d/80quorlin-retries"
cp /etc/resolv.conf "$sysroot/etc/resolv.conf"

for m in "${mounts[@]}"; do
    mkdir -p "$sysroot/$m"
    mount --bind "/$m" "$sysroot/$m"
done

# A copy of the tree as a clone holds it: tracked files only, no build folders.
rm -rf "$sysroot/src/quorlin"
mkdir -p "$sysroot/src/quorlin"
if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    (cd "$root" && git ls-files -z | tar --null -T - -cf -) | tar -xf - -C "$sysroot/src/quorlin"
else
    tar -C "$root" --exclude='./build*' --exclude=./artifacts -cf - . | tar -xf - -C "$sysroot/src/quorlin"
fi

echo "in-debian13: scripts/test.sh inside the root"
status=0
chroot "$sysroot" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    /bin/bash -c 'cd /src/quorlin && scripts/test.sh' 2>&1 | tee "$log" || status=$?
[ "${status:-0}" -eq 0 ] || fail "scripts/test.sh failed inside the Debian 13 root (exit $status)"
line="$(grep -E '^total: [0-9]+ passed, 0 failed$' "$log" | tail -n 1)"
[ -n "$line" ] || fail "scripts/test.sh printed no total"
echo "debian 13: ${line#total: }"
