#!/usr/bin/env bash
# Builds Falkmere (Release) and starts it at the console in the current
# directory. Without a falkmere.ini there it runs with its defaults.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/install-deps.sh"
cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DFALKMERE_TESTS=OFF -DFALKMERE_BENCH=OFF >/dev/null
cmake --build "$root/build/release" --target falkmere -j"$(nproc)"
exec "$root/build/release/falkmere" "$@"
