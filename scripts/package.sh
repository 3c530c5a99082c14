#!/usr/bin/env bash
# Builds the Debian package from an optimised tree and checks it, and the
# desktop files it carries, with Debian's and freedesktop's own tools:
# lintian (no error, no warning), desktop-file-validate (no output at all),
# appstreamcli (no error, no warning), man (no formatting warning), the SVG
# icon (well-formed, renders; the picture goes to artifacts/), and that the
# changelog, the metainfo release and the desktop entry agree with what the
# package holds. Exits non-zero on the first complaint.
# Usage: scripts/package.sh [BUILD_DIR]      (default: build-release/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build-release}"
artifacts="$root/artifacts"
mkdir -p "$artifacts"
fail() { echo "package: $*" >&2; exit 1; }

# Tests and benchmarks are built and run elsewhere; the package needs none.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORLIN_WERROR=ON \
    -DQUORLIN_BUILD_TESTS=OFF -DQUORLIN_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/quorlin_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/quorlin_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one quorlin_*.deb in $build"
deb="${debs[0]}"
echo "package: $(basename "$deb")"

# Infos and pedantic notes are shown but do not fail the run.
allow_root=()
[ "$(id -u)" -eq 0 ] && allow_root=(--allow-root)
lintian "${allow_root[@]}" --fail-on error,warning --display-info --pedantic "$deb" || fail "lintian complained"

tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
share="$tree/usr/share"

entries=("$share"/applications/*.desktop)
[ ${#entries[@]} -eq 1 ] && [ -f "${entries[0]}" ] || fail "expected one desktop entry"
entry="${entries[0]}"
out="$(desktop-file-validate "$entry" 2>&1)" || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
command="$(sed -n 's/^Exec=//p' "$entry")"
[ -x "$tree/usr/bin/$command" ] || fail "the entry starts $command, which the package does not hold"

infos=("$share"/metainfo/*.metainfo.xml)
[ ${#infos[@]} -eq 1 ] && [ -f "${infos[0]}" ] || fail "expected one metainfo file"
info="${infos[0]}"
out="$(appstreamcli validate --no-net --pedantic --no-color "$info" 2>&1)" || fail "appstreamcli: $out"
! grep -q '^[EW]:' <<<"$out" || fail "appstreamcli: $out"
id="$(xmllint --xpath 'string(/component/id)' "$info")"
[ "$(basename "$entry")" = "$id.desktop" ] || fail "desktop entry $(basename "$entry") is not named after the id $id"
[ "$(xmllint --xpath 'string(//launchable[@type="desktop-id"])' "$info")" = "$id.desktop" ] ||
    fail "the metainfo launches something else than $id.desktop"
binary="$(xmllint --xpath 'string(//provides/binary)' "$info")"
[ -x "$tree/usr/bin/$binary" ] || fail "the metainfo provides $binary, which the package does not hold"

# The package's version is the upstream version and a Debian revision.
version="$(dpkg-deb -f "$deb" Version)"
logged="$(zcat "$share/doc/quorlin/changelog.Debian.gz" | dpkg-parsechangelog -l - -S Version)"
[ "$logged" = "$version" ] || fail "changelog says $logged, the package is $version"
released="$(xmllint --xpath 'string(//releases/release[1]/@version)' "$info")"
[ "$released" = "${version%-*}" ] || fail "newest metainfo release is $released, the package is $version"

out="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$share/man/man1/quorlin.1.gz" 2>&1 >/dev/null)"
[ -z "$out" ] || fail "man: $out"

svg="$(sed -n 's/^Icon=//p' "$entry")"
svg="$share/icons/hicolor/scalable/apps/$svg.svg"
xmllint --noout "$svg" || fail "$svg is not well-formed"
rsvg-convert -w 128 -h 128 "$svg" -o "$artifacts/icon-scalable-128.png" || fail "$svg does not render"
echo "package: ok"
