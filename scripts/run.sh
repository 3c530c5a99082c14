#!/usr/bin/env bash
# Installs what is missing, builds Quorlin and starts it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/bootstrap.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" --target Quorlin
exec "$root/build/app/quorlin" "$@"
