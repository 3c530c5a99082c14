#!/usr/bin/env bash
# The Debian packages of the tracked tree, built clean by sbuild (dpkg-buildpackage
# with QUORLIN_THROWAWAY_ROOT=1, in a root where no user namespace can be made)
# and checked by lintian, reprotest and autopkgtest (docs/packaging.md). Needs root.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$root/build-package"
started=$SECONDS
# shellcheck source=scripts/debian-root.sh
. "$root/scripts/debian-root.sh"
fail() { echo "package: $*" >&2; exit 1; }
say() { echo "package: $* ($((SECONDS - started)) s)"; }
# LOG LINES COMMAND...: COMMAND, its output to LOG; on failure, LOG's last LINES.
logged() {
    "${@:3}" >"$1" 2>&1 || { tail -n "$2" "$1" >&2; fail "$3 failed (log: $1)"; }
}
field() { dpkg-parsechangelog -l "$root/debian/changelog" -S "$1"; }
here=false
[ "${QUORLIN_THROWAWAY_ROOT:-}" = 1 ] && here=true
rm -rf --one-file-system "$work"
mkdir -p "$work" "$root/artifacts"
name="$(field Source)" version="$(field Version)" arch="$(dpkg-architecture -qDEB_HOST_ARCH)"
upstream="${version%-*}"
tree="$work/$name-$upstream"
changes="$work/${name}_${version}_$arch.changes"

# The source package, from the tracked files; its upstream tarball is the
# tree without debian/, the same bytes every time.
debian_root_copy_tree "$work" "$root"
mv "$work/src/quorlin" "$tree"
tar -C "$tree" --exclude=./debian --sort=name --mtime="@$(field Timestamp)" --owner=0 --group=0 --numeric-owner \
    --transform="s,^\.,$name-$upstream," -cf - . | xz -T1 >"$work/${name}_$upstream.orig.tar.xz"
(cd "$work" && logged "$work/source.log" 40 dpkg-source -b "$name-$upstream")
if $here; then
    (cd "$tree" && logged "$work/build.log" 40 dpkg-buildpackage -us -uc -J"$(nproc)")
    backend=(null)
else
    # shellcheck source=/dev/null
    codename="$(. /etc/os-release && echo "${VERSION_CODENAME:?/etc/os-release names none}")"
    tarball="$work/$codename.tar"
    logged "$work/mmdebstrap.log" 20 debian_root_make "$codename" "$tarball" --variant=buildd
    say "made a minimal $codename root"
    # The changelog's distribution, not the root's, names the upload.
    logged "$work/build.log" 40 sbuild --chroot-mode=unshare --chroot="$tarball" --source \
        --dist="$(field Distribution)" --build-dir="$work" --nolog --no-run-lintian --no-run-piuparts \
        --no-run-autopkgtest "$work/${name}_$version.dsc"
    backend=(unshare --tarball "$tarball")
fi
mapfile -t debs < <(sed -n 's/^ [0-9a-f]\{64\} [0-9]* \(.*\.deb\)$/\1/p' "$changes" 2>/dev/null)
[ ${#debs[@]} -ge 1 ] || fail "no .deb in $(basename "$changes")"
say "built $(basename "$changes"): ${debs[*]}"

# Infos and pedantic notes are shown but do not fail the run.
lintian --allow-root --fail-on error,warning --display-info --pedantic "$changes" || fail "lintian complained"
say "lintian: no error, no warning"

# Two builds, the second under every variation that works here: user_group needs users to
# sudo to, and a chroot may make no user namespace for domain_host. On a difference, diffoscope.
variations=+all,-user_group
! $here || variations+=,-domain_host
reprotest --verbosity 1 --min-cpus="$(nproc)" --variations="$variations" --store-dir="$work/reprotest" \
    "$work/${name}_$version.dsc" -- null >"$work/reprotest.log" 2>&1 || {
    grep -v '^ ' "$work/reprotest.log" | tail -n 30 >&2
    head -n 300 "$work/reprotest"/*.diffoscope.out >&2 2>/dev/null || true
    fail "reprotest: not reproducible, or a build failed (log: $work/reprotest.log)"
}
say "reprotest: the .debs of two builds are byte-identical (varied: $variations)"

# The tests keep every datagram in a network namespace of their own.
logged "$root/artifacts/autopkgtest.log" 60 autopkgtest -U --output-dir "$work/autopkgtest" \
    --summary-file "$work/autopkgtest.summary" "$changes" -- "${backend[@]}"
sed 's/^/autopkgtest: /' "$work/autopkgtest.summary"
say "autopkgtest through its ${backend[0]} backend: ok"
