#!/usr/bin/env bash
# The layers look only down: board <- eval <- search <- front ends (the shell).
# Fails when a lower layer includes a header of a higher one:
#   nothing under board, eval, search, book or egtb includes a shell header,
#   and nothing under board includes an eval, search or book header.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
status=0
check() {
    local folders="$1" forbidden="$2"
    local hits
    hits=$(cd "$root/src" && grep -rnE "^#include \"($forbidden)/" $folders || true)
    if [ -n "$hits" ]; then
        echo "layer violation: $folders must not include $forbidden headers:"
        echo "$hits"
        status=1
    fi
}
check "board eval search book egtb" "shell"
check "board" "eval|search|book"
[ "$status" -eq 0 ] && echo "layers: every include looks down"
exit "$status"
