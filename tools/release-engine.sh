#!/usr/bin/env bash
# Prints the absolute path of the engine the match scripts play: $FALKMERE when
# it is set, otherwise the Release build, built or brought up to date first.
# (xboard starts an engine in its own folder, so the path must be absolute.)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ -z "${FALKMERE:-}" ]; then
    cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$root/build/release" --target falkmere -j2 >/dev/null
    FALKMERE="$root/build/release/falkmere"
fi
realpath "$FALKMERE"
