#!/usr/bin/env bash
# Runs EPD test suites through the engine's "runepd" command and prints how many
# positions it solves. Usage: tools/tactics.sh SECONDS SUITE.epd...
# (for example: tools/tactics.sh 1 ../shared/data/wac.epd ../shared/data/bk.epd).
# Build first (tools/run.sh or cmake); runs in a scratch directory so that no
# falkmere.ini, book or learning file influences the result. PROFILE=modern
# runs the modern search profile; FIRST=N takes only the first N positions of
# each suite (WAC 1-100: FIRST=100).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
engine="$root/build/release/falkmere"
[ -x "$engine" ] || { echo "build the engine first: $engine is missing" >&2; exit 1; }
[ $# -ge 2 ] || { echo "usage: $0 SECONDS SUITE.epd..." >&2; exit 2; }
seconds="$1"
shift
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
[ -n "${PROFILE:-}" ] && printf 'PROFILE %s\n' "$PROFILE" >"$scratch/falkmere.ini"
# The engine stops a search when its input ends, so it reads a pipe that this
# script keeps open (and never writes to) instead of an empty file.
mkfifo "$scratch/input"
exec 3<>"$scratch/input"
printf '%-22s %6s %6s %7s\n' suite total solved percent
for suite in "$@"; do
    path="$(cd "$(dirname "$suite")" && pwd)/$(basename "$suite")"
    if [ -n "${FIRST:-}" ]; then
        head -n "$FIRST" "$path" >"$scratch/$(basename "$suite")"
        path="$scratch/$(basename "$suite")"
    fi
    out="$scratch/$(basename "$suite").out"
    (cd "$scratch" && "$engine" runepd "$path" "$seconds" quit <&3 >"$out")
    total=$(grep -a 'Total  =' "$out" | tail -1 | awk '{print $3}')
    solved=$(grep -a 'Solved =' "$out" | tail -1 | awk '{print $3}')
    percent=$(grep -a 'percentage solved' "$out" | tail -1 | awk '{print $4}')
    printf '%-22s %6s %6s %7s\n' "$(basename "$suite")" "$total" "$solved" "$percent"
done
