#!/usr/bin/env bash
# Every C++ source is formatted as .clang-format says; fails listing the files
# that are not (clang-format -i on them fixes it).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/tools/install-deps.sh" clang-format
cd "$root"
mapfile -t sources < <(find src tests bench tools -name '*.cpp' -o -name '*.h' -o -name '*.cc')
if ! clang-format --dry-run -Werror "${sources[@]}" 2>/dev/null; then
    echo "not formatted as .clang-format says:"
    clang-format --dry-run "${sources[@]}" 2>&1 | grep -o -E '^[^:]+:[0-9]+:[0-9]+: warning' | cut -d: -f1 | sort -u
    exit 1
fi
echo "format: ${#sources[@]} sources as .clang-format says"
