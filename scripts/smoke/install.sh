# shellcheck shell=bash
# Sourced by the smoke stages that run the installed program: installs the
# build tree BUILD_DIR ($1, default build/) to a temporary prefix, removed
# on exit, and sets bin, prefix, work and artifacts (created). root is set.
build="${1:-$root/build}"
artifacts="$root/artifacts"
mkdir -p "$artifacts"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
bin="$prefix/bin/quorlin"
[ -x "$bin" ] || { echo "smoke: bin/quorlin was not installed" >&2; exit 1; }
