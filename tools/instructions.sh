#!/usr/bin/env bash
# Counts the instructions two engine binaries execute for the same bench, under
# valgrind's callgrind: a count that does not depend on what else the machine
# is doing, so that a small difference in speed between two builds can be
# seen on a busy machine where timings cannot show it.
#
#   tools/instructions.sh [-d DEPTH] A B
#
# A and B are engine binaries. Prints each count (start-up included), the bench
# node counts (a change meant to keep the search must leave them equal) and the
# ratio A/B: above 1 when B executes fewer instructions than A.
set -euo pipefail
depth=5
while getopts "d:" opt; do
    case $opt in
        d) depth=$OPTARG ;;
        *) echo "usage: $0 [-d DEPTH] A B" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
[ $# -eq 2 ] || { echo "usage: $0 [-d DEPTH] A B" >&2; exit 2; }
command -v valgrind >/dev/null || "$(dirname "$0")/install-deps.sh" valgrind

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
count() {
    local binary output
    binary="$(realpath "$1")"
    output=$(cd "$work" && printf 'bench %s\nquit\n' "$depth" |
        valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" "$binary" 2>&1)
    nodes=$(grep -o -E 'bench: [0-9]+' <<<"$output" | grep -o -E '[0-9]+')
    instructions=$(grep -o -E 'Collected : [0-9]+' <<<"$output" | grep -o -E '[0-9]+')
    echo "$instructions $nodes"
}
read -r a nodesA < <(count "$1")
read -r b nodesB < <(count "$2")
echo "A: $1: $a instructions, bench $depth: $nodesA nodes"
echo "B: $2: $b instructions, bench $depth: $nodesB nodes"
awk -v a="$a" -v b="$b" 'BEGIN { printf "speed of B / speed of A (by instructions): %.4f\n", a / b }'
