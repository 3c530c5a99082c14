#!/usr/bin/env bash
# Installs what building and starting need (scripts/bootstrap.sh run), builds
# the program (preset release, in build/release/) and starts it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/bootstrap.sh" run
cd "$root"
# No -Werror in this preset: a newer compiler or Qt than the ones the tests
# run on may warn, which must not stop a user's build.
cmake --preset release >/dev/null
cmake --build --preset release
exec "$root/build/release/app/quorlin" "$@"
