#!/usr/bin/env bash
# Prints the path of the LLVM tool NAME (clang-format, llvm-symbolizer) that
# matches the installed clang: NAME-<major> (Debian 12 has -14, 13 has -19),
# else the unversioned NAME. Exits 1 if neither is installed.
# Usage: scripts/llvm-tool.sh NAME
set -euo pipefail
name="$1"
major="$(clang -dumpversion 2>/dev/null | cut -d. -f1 || true)"
command -v "$name-$major" 2>/dev/null || command -v "$name" 2>/dev/null || {
    echo "llvm-tool: neither $name-$major nor $name is installed (scripts/bootstrap.sh installs it)" >&2
    exit 1
}
