#!/usr/bin/env bash
# Installs what is missing, builds Quorlin and starts it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/bootstrap.sh"
# A folder of its own, and no -Werror: a newer compiler or Qt than the ones
# the tests run on may warn, which must not stop a user's build.
cmake -S "$root" -B "$root/build-run" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORLIN_WERROR=OFF >/dev/null
cmake --build "$root/build-run" --target Quorlin
exec "$root/build-run/app/quorlin" "$@"
