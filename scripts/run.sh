#!/usr/bin/env bash
# Installs what building and starting need (scripts/bootstrap.sh run), builds
# the program (preset release, in build/release/) and starts it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/bootstrap.sh" run
cd "$root"
cmake --preset release >/dev/null
cmake --build --preset release
exec "$root/build/release/app/quorlin" "$@"
