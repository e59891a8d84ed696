#!/usr/bin/env bash
# The layers of src/ look only down. From the bottom:
#
#   board   position, moves, FEN, attacks, exchange, scores and keys
#   egtb    endgame tablebases: read a board, answer a score
#   eval    the evaluation: reads a board
#   search  transposition table, iterative deepening, alpha-beta: probes
#           the tablebases, calls the evaluation
#   book    opening book and learning: books of positions, learning stores
#           into the search's transposition table
#   shell   the front ends (console, xboard, UCI): everything above
#
# A folder may include headers of its own and of the folders below it, never
# of one above. Fails, listing the includes that look up, when one does.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
layers=(board egtb eval search book shell)
status=0
for ((i = 0; i < ${#layers[@]}; ++i)); do
    folder=${layers[i]}
    above=$(IFS='|'; echo "${layers[*]:i+1}")
    [ -n "$above" ] || continue
    hits=$(cd "$root/src" && grep -rnE "^#include \"($above)/" "$folder" || true)
    if [ -n "$hits" ]; then
        echo "layer violation: $folder must not include headers of $above:"
        echo "$hits"
        status=1
    fi
done
# Every folder of src/ is a layer (a new one must be placed in the order above).
for dir in "$root"/src/*/; do
    name=$(basename "$dir")
    [[ " ${layers[*]} " == *" $name "* ]] || { echo "src/$name is in no layer"; status=1; }
done
[ "$status" -eq 0 ] && echo "layers: every include looks down (${layers[*]})"
exit "$status"
