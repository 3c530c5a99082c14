#!/usr/bin/env bash
# Builds the Debian source and binary packages from a clean copy of the
# tracked tree and checks them: the build in a minimal root holding only
# build-essential and the Build-Depends; lintian (pedantic; no error, no
# warning) on the .changes, and so on the .dsc and every .deb it lists;
# desktop-file-validate, appstreamcli, man and the icon on what the package
# installs; a second build from the source package in another folder, with
# another umask and time zone and later on the clock, giving byte-identical
# .debs (diffoscope shows any difference); and the package's autopkgtest in
# another such root, never on this machine itself.
#   QUORLIN_THROWAWAY_ROOT=1  this machine is itself a throwaway root: build
#                             and run autopkgtest right here (its null
#                             backend).
# Otherwise the roots are made with debootstrap, of this machine's own
# release, and removed afterwards. Needs root for that. Output goes to
# build-package/ (the packages) and artifacts/. Exits non-zero on the first
# complaint.
#   QUORLIN_PACKAGE_BUILD_ONLY=1  (used inside the build root) only make the
#                             source package and the two builds.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
work="$root/build-package"
artifacts="$root/artifacts"
started=$SECONDS
# shellcheck source=scripts/debian-root.sh
. "$root/scripts/debian-root.sh"
fail() { echo "package: $*" >&2; exit 1; }
say() { echo "package: $* ($((SECONDS - started)) s)"; }

build_only=false
[ "${QUORLIN_PACKAGE_BUILD_ONLY:-}" = 1 ] && build_only=true
here=false
[ "${QUORLIN_THROWAWAY_ROOT:-}" = 1 ] && here=true
# Both roots download into one cache of their own: sharing this machine's
# would share its lock too, and any apt run here would fail the tests.
mounts=(proc sys dev dev/pts)
cache=var/cache/apt/archives
roots=()
cleanup() {
    local status=$? r
    for r in "${roots[@]}"; do
        debian_root_remove "$r" "${mounts[@]}" "$cache" || true
    done
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if ! $build_only; then
    # A run that was killed may have left its roots' mounts behind.
    for r in "$work/build-root" "$work/test-root"; do
        debian_root_unmount "$r" "${mounts[@]}" "$cache"
    done
    rm -rf --one-file-system "$work"
fi
mkdir -p "$work" "$artifacts"
source_name="$(sed -n 's/^Source: //p' "$root/debian/control")"
version="$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)"
upstream="${version%-*}"
epoch="$(dpkg-parsechangelog -l "$root/debian/changelog" -S Timestamp)"
arch="$(dpkg-architecture -qDEB_HOST_ARCH)"
second="$work/second/a/longer/build/path"

# The source package and its two builds. The second unpacks the source
# package under a longer, other path and builds it again with another umask,
# time zone and clock reading; dpkg-buildpackage takes SOURCE_DATE_EPOCH from
# the changelog. The time zones are POSIX strings, which need no tzdata.
make_packages() {
    local tree="$work/first/$source_name-$upstream"
    mkdir -p "$tree" "$second"
    (cd "$root" && tracked_files . | tar --null -T - -cf -) | tar -xf - -C "$tree"

    # The upstream tarball is the tree without debian/, made the same way
    # from the same files every time: sorted names, the changelog's time, no
    # owners.
    (cd "$tree" && find . -path ./debian -prune -o \( -type f -o -type l \) -printf '%P\n' | LC_ALL=C sort) |
        tar -C "$tree" --no-recursion -T - --sort=name --mtime="@$epoch" --owner=0 --group=0 --numeric-owner \
            --mode='a+rX,u+w,go-w' --transform="s,^,$source_name-$upstream/," --format=gnu -cf - |
        gzip -9n >"$work/first/${source_name}_$upstream.orig.tar.gz"

    # Build output is kept for the log's tail on failure.
    build() { # DIR LOG DPKG-BUILDPACKAGE-ARGS...
        local dir="$1" log="$2"
        shift 2
        (cd "$dir" && dpkg-buildpackage -us -uc -J"$(nproc)" "$@") >"$log" 2>&1 || {
            tail -n 40 "$log" >&2
            fail "dpkg-buildpackage failed in $dir (log: $log)"
        }
    }
    (umask 022 && TZ=UTC0 build "$tree" "$work/first.log")
    say "built the source package and its binary packages"
    dpkg-source -x "$work/first/${source_name}_$version.dsc" "$second/$source_name-$upstream" >"$work/unpack.log" 2>&1 ||
        fail "dpkg-source -x: $(cat "$work/unpack.log")"
    (umask 002 && TZ=CST-8 build "$second/$source_name-$upstream" "$work/second.log" -b)
    say "built the binary packages again"
}

if $build_only; then
    make_packages
    exit 0
elif $here; then
    make_packages
else
    [ "$(id -u)" -eq 0 ] || fail "needs root to make its throwaway roots (debootstrap, chroot)"
    # shellcheck source=/dev/null
    codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
    [ -n "$codename" ] || fail "/etc/os-release names no VERSION_CODENAME"
    # The Debian archive of this machine's own apt sources; with none found,
    # debootstrap's default.
    archive="$(debian_archive)"
    debian_root_make "$codename" "$work/test-root" "$archive" "$work/debootstrap.log" ||
        fail "no $codename root could be made; the package was not built"
    # A frozen copy of testing has an expired Release file.
    frozen=false
    # shellcheck source=/dev/null
    [ -n "$(. /etc/os-release && echo "${VERSION_ID:-}")" ] || frozen=true
    debian_root_configure "$work/test-root" "$frozen"
    # One root builds, the other, still as debootstrap left it, runs the
    # autopkgtest: the tests then see only what the package depends on.
    cp -a "$work/test-root" "$work/build-root"
    mkdir -p "$work/apt-cache/partial"
    for r in "$work/build-root" "$work/test-root"; do
        roots+=("$r")
        debian_root_mount "$r" "${mounts[@]}"
        mkdir -p "$r/$cache"
        mount --bind "$work/apt-cache" "$r/$cache"
    done
    debian_root_copy_tree "$work/build-root" "$root"
    in_build_root() { debian_root_run "$work/build-root" "$1" DEBIAN_FRONTEND=noninteractive; }
    say "installing build-essential and the Build-Depends in a minimal $codename root"
    in_build_root 'apt-get update -qq && apt-get install -y -qq --no-install-recommends build-essential &&
        apt-get build-dep -y -qq --no-install-recommends ./' >"$work/build-depends.log" 2>&1 || {
        tail -n 20 "$work/build-depends.log" >&2
        fail "the Build-Depends could not be installed"
    }
    in_build_root 'QUORLIN_PACKAGE_BUILD_ONLY=1 scripts/package.sh' ||
        fail "the package could not be built in the $codename root"
    mv "$work/build-root/src/quorlin/build-package"/* "$work/"
    debian_root_remove "$work/build-root" "${mounts[@]}" "$cache" || fail "the build root could not be removed"
    roots=("$work/test-root")
fi

changes="$work/first/${source_name}_${version}_$arch.changes"
[ -f "$changes" ] || fail "no $(basename "$changes")"
mapfile -t debs < <(find "$work/first" -maxdepth 1 -name '*.deb' -printf '%f\n' | sort)
[ ${#debs[@]} -ge 1 ] || fail "no .deb built"
say "built $(basename "$changes"): ${debs[*]}"

# Infos and pedantic notes are shown but do not fail the run.
allow_root=()
[ "$(id -u)" -eq 0 ] && allow_root=(--allow-root)
lintian "${allow_root[@]}" --fail-on error,warning --display-info --pedantic "$changes" ||
    fail "lintian complained"
say "lintian: no error, no warning"

# What the package installs, as freedesktop's and man's own tools see it.
deb="$work/first/${source_name}_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb"
[ -f "$deb" ] || fail "no $(basename "$deb")"
files="$work/files"
dpkg-deb -x "$deb" "$files"
share="$files/usr/share"

entries=("$share"/applications/*.desktop)
{ [ ${#entries[@]} -eq 1 ] && [ -f "${entries[0]}" ]; } || fail "expected one desktop entry"
entry="${entries[0]}"
out="$(desktop-file-validate "$entry" 2>&1)" || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
command="$(sed -n 's/^Exec=//p' "$entry")"
[ -x "$files/usr/bin/$command" ] || fail "the entry starts $command, which the package does not hold"

infos=("$share"/metainfo/*.metainfo.xml)
{ [ ${#infos[@]} -eq 1 ] && [ -f "${infos[0]}" ]; } || fail "expected one metainfo file"
info="${infos[0]}"
out="$(appstreamcli validate --no-net --pedantic --no-color "$info" 2>&1)" || fail "appstreamcli: $out"
! grep -q '^[EW]:' <<<"$out" || fail "appstreamcli: $out"
id="$(xmllint --xpath 'string(/component/id)' "$info")"
[ "$(basename "$entry")" = "$id.desktop" ] || fail "desktop entry $(basename "$entry") is not named after the id $id"
[ "$(xmllint --xpath 'string(//launchable[@type="desktop-id"])' "$info")" = "$id.desktop" ] ||
    fail "the metainfo launches something else than $id.desktop"
binary="$(xmllint --xpath 'string(//provides/binary)' "$info")"
[ -x "$files/usr/bin/$binary" ] || fail "the metainfo provides $binary, which the package does not hold"

# The package's version is the upstream version and a Debian revision.
released="$(xmllint --xpath 'string(//releases/release[1]/@version)' "$info")"
[ "$released" = "$upstream" ] || fail "newest metainfo release is $released, the package is $version"
grep -q "^project(Quorlin VERSION $upstream " "$root/CMakeLists.txt" ||
    fail "CMakeLists.txt gives another version than the changelog's $upstream"

out="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$share/man/man1/quorlin.1.gz" 2>&1 >/dev/null)"
[ -z "$out" ] || fail "man: $out"

svg="$(sed -n 's/^Icon=//p' "$entry")"
svg="$share/icons/hicolor/scalable/apps/$svg.svg"
xmllint --noout "$svg" || fail "$svg is not well-formed"
rsvg-convert -w 128 -h 128 "$svg" -o "$artifacts/icon-scalable-128.png" || fail "$svg does not render"
say "desktop entry, metainfo, manual page and icon: ok"

# Reproducible: both builds give the same bytes.
differ=()
for f in "${debs[@]}"; do
    [ -f "$second/$f" ] || fail "the second build made no $f"
    cmp -s "$work/first/$f" "$second/$f" || differ+=("$f")
done
if [ ${#differ[@]} -gt 0 ]; then
    for f in "${differ[@]}"; do
        diffoscope --text - "$work/first/$f" "$second/$f" | head -n 300 || true
    done
    fail "not reproducible: ${differ[*]} differ between the two builds"
fi
say "reproducible: ${#debs[@]} .deb files byte-identical across two builds"

# autopkgtest in a throwaway root. Every datagram of its tests stays inside
# a network namespace of its own (debian/tests/).
if $here; then
    backend=(null)
    where="this throwaway root"
else
    backend=(chroot "$work/test-root")
    where="a throwaway minimal $codename root"
fi
say "autopkgtest in $where"
status=0
autopkgtest --output-dir "$work/autopkgtest" --summary-file "$work/autopkgtest.summary" \
    "$changes" -- "${backend[@]}" >"$work/autopkgtest.log" 2>&1 || status=$?
cp "$work/autopkgtest.log" "$artifacts/autopkgtest.log"
sed 's/^/autopkgtest: /' "$work/autopkgtest.summary" 2>/dev/null || true
[ "$status" -eq 0 ] || {
    tail -n 60 "$work/autopkgtest.log" >&2
    fail "autopkgtest failed (exit $status; log in artifacts/autopkgtest.log)"
}
say "ok"
