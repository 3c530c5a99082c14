#!/usr/bin/env bash
# The Debian packages of the tracked tree, built clean by sbuild (dpkg-buildpackage
# with QUORLIN_THROWAWAY_ROOT=1, in a root where no user namespace can be made)
# and checked by lintian, reprotest and autopkgtest (docs/packaging.md). Needs root.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$root/build-package"
artifacts="$root/artifacts"
started=$SECONDS
# shellcheck source=scripts/debian-root.sh
. "$root/scripts/debian-root.sh"
fail() { echo "package: $*" >&2; exit 1; }
say() { echo "package: $* ($((SECONDS - started)) s)"; }
here=false
[ "${QUORLIN_THROWAWAY_ROOT:-}" = 1 ] && here=true

rm -rf --one-file-system "$work"
mkdir -p "$work" "$artifacts"
source_name="$(dpkg-parsechangelog -l "$root/debian/changelog" -S Source)"
version="$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)"
upstream="${version%-*}"
epoch="$(dpkg-parsechangelog -l "$root/debian/changelog" -S Timestamp)"
arch="$(dpkg-architecture -qDEB_HOST_ARCH)"
tree="$work/$source_name-$upstream"

# The source package, from the tracked files; its upstream tarball is the tree
# without debian/, the same bytes every time.
debian_root_copy_tree "$work" "$root"
mv "$work/src/quorlin" "$tree"
tar -C "$tree" --exclude=./debian --sort=name --mtime="@$epoch" --owner=0 --group=0 --numeric-owner \
    --transform="s,^\.,$source_name-$upstream," -cf - . | xz -T1 >"$work/${source_name}_$upstream.orig.tar.xz"
(cd "$work" && dpkg-source -b "$source_name-$upstream") >"$work/source.log" 2>&1 || fail "dpkg-source -b: $(cat "$work/source.log")"
dsc="$work/${source_name}_$version.dsc"
changes="$work/${source_name}_${version}_$arch.changes"

if $here; then
    (cd "$tree" && dpkg-buildpackage -us -uc -J"$(nproc)") >"$work/build.log" 2>&1 ||
        { tail -n 40 "$work/build.log" >&2; fail "dpkg-buildpackage failed (log: $work/build.log)"; }
    backend=(null)
else
    # shellcheck source=/dev/null
    codename="$(. /etc/os-release && echo "${VERSION_CODENAME:?/etc/os-release names none}")"
    tarball="$work/$codename.tar"
    debian_root_make "$codename" "$tarball" --variant=buildd >"$work/mmdebstrap.log" 2>&1 ||
        { tail -n 20 "$work/mmdebstrap.log" >&2; fail "mmdebstrap made no $codename root"; }
    say "made a minimal $codename root"
    # The changelog's distribution, not the root's, names the upload.
    sbuild --chroot-mode=unshare --chroot="$tarball" --source \
        --dist="$(dpkg-parsechangelog -l "$root/debian/changelog" -S Distribution)" --build-dir="$work" --nolog \
        --no-run-lintian --no-run-piuparts --no-run-autopkgtest "$dsc" >"$work/build.log" 2>&1 ||
        { tail -n 40 "$work/build.log" >&2; fail "sbuild failed (log: $work/build.log)"; }
    backend=(unshare --tarball "$tarball")
fi
mapfile -t debs < <(sed -n 's/^ [0-9a-f]\{64\} [0-9]* \(.*\.deb\)$/\1/p' "$changes" 2>/dev/null)
[ ${#debs[@]} -ge 1 ] || fail "no .deb in $(basename "$changes")"
say "built $(basename "$changes"): ${debs[*]}"

# Infos and pedantic notes are shown but do not fail the run.
lintian --allow-root --fail-on error,warning --display-info --pedantic "$changes" || fail "lintian complained"
say "lintian: no error, no warning"


# Two builds of the source package, the second under every variation that
# works here: user_group needs other users to sudo to, and in a throwaway root
# (a chroot) domain_host's user namespace is refused.
variations=+all,-user_group
! $here || variations+=,-domain_host
reprotest --verbosity 1 --min-cpus="$(nproc)" --variations="$variations" --store-dir="$work/reprotest" \
    "$dsc" -- null >"$work/reprotest.log" 2>&1 || {
    grep -v '^ ' "$work/reprotest.log" | tail -n 30 >&2
    head -n 300 "$work/reprotest"/*.diffoscope.out >&2 2>/dev/null || true
    fail "reprotest: not reproducible, or a build failed (log: $work/reprotest.log)"
}
say "reprotest: the .debs of two builds are byte-identical (varied: $variations)"

# Every datagram of the tests stays in a network namespace of their own.
say "autopkgtest through its ${backend[0]} backend"
status=0
autopkgtest -U --output-dir "$work/autopkgtest" --summary-file "$work/autopkgtest.summary" \
    "$changes" -- "${backend[@]}" >"$artifacts/autopkgtest.log" 2>&1 || status=$?
sed 's/^/autopkgtest: /' "$work/autopkgtest.summary" 2>/dev/null || true
[ "$status" -eq 0 ] || {
    tail -n 60 "$artifacts/autopkgtest.log" >&2
    fail "autopkgtest failed (exit $status; log in artifacts/autopkgtest.log)"
}
say "ok"
