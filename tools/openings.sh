#!/usr/bin/env bash
# Prints N opening positions as FEN lines, for matches that must not replay one
# game: the position after the first eight plies (SAN) of each game in a PGN
# file, played at the console of the engine itself, which prints the position
# reached.
# Usage: tools/openings.sh count engine [pgn]
#   (pgn default ../shared/data/games-lichess.pgn)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
count="$1"
engine="$(realpath "$2")"
source_pgn="${3:-$root/../shared/data/games-lichess.pgn}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
awk -v want="$count" '
    /^1\./ {
        n = split($0, w, " "); line = ""; plies = 0
        for (i = 1; i <= n && plies < 8; i++) {
            if (w[i] ~ /^[0-9]+\./ || w[i] ~ /^(1-0|0-1|1\/2-1\/2|\*)$/) continue
            line = line w[i] "\n"; plies++
        }
        if (plies == 8) { printf "force\n%sfen\nnew\n", line; if (++count == want) exit }
    }' "$source_pgn" >"$work/openings.in"
# The engine runs in an empty folder: its defaults, no book or learning files.
(cd "$work" && { cat openings.in; echo quit; } | "$engine") |
    grep -oE '[rnbqkpRNBQKP1-8]+(/[rnbqkpRNBQKP1-8]+){7} [wb] [KQkq-]+ [a-h1-8-]+' |
    sed 's/$/ 0 1/' >"$work/openings.fen"
made=$(wc -l <"$work/openings.fen")
[ "$made" -ge "$count" ] || { echo "could only make $made of $count openings" >&2; exit 1; }
cat "$work/openings.fen"
