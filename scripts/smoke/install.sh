# shellcheck shell=bash
# Sourced: installs the build tree $1 (default build/) to a prefix in a work
# folder removed on exit; sets bin, prefix, work and artifacts (made).
build="${1:-$root/build}"
artifacts="$root/artifacts"
mkdir -p "$artifacts"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
bin="$prefix/bin/quorlin"
[ -x "$bin" ] || { echo "smoke: bin/quorlin was not installed" >&2; exit 1; }
