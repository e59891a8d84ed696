#!/usr/bin/env bash
# Self-play of the multi-core search: Falkmere on N threads against Falkmere on
# one thread, under the real xboard GUI (headless, Xvfb), without pondering,
# from varied openings: the positions after the first eight plies of the shared
# games, each played twice with the colours swapped. Not part of CI: on a
# machine with fewer free cores than threads the result means nothing.
#
# Usage: tools/selfplay-threads.sh [games]   (default 40)
# Environment: THREADS (default 2), TC (base time, default 0:05), INC
#   (increment, default 0.1), OUT (result folder, default build/selfplay-threads),
#   FALKMERE (engine binary, default the Release build), GAMES_PGN (source of the
#   openings, default ../shared/data/games-lichess.pgn), SKIP (openings of the
#   source to pass over, default 0: a second run on fresh openings).
# Prints the score of the N-thread engine and the Elo difference with its 95%
# error bar.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
games="${1:-40}"
threads="${THREADS:-2}"
tc="${TC:-0:05}"
inc="${INC:-0.1}"
out="$(realpath -m "${OUT:-$root/build/selfplay-threads}")"
source_pgn="${GAMES_PGN:-$root/../shared/data/games-lichess.pgn}"
skip="${SKIP:-0}"

"$root/tools/install-deps.sh" xboard xvfb xauth
FALKMERE="$("$root/tools/release-engine.sh")"

rm -rf "$out"
mkdir -p "$out/many" "$out/one"
printf 'THREADS %s\n' "$threads" >"$out/many/falkmere.ini"
printf 'THREADS 1\n' >"$out/one/falkmere.ini"
# xboard sends both engines the same "cores N"; the one-thread engine does not
# get to read it.
cat >"$out/one/engine" <<EOF
#!/bin/sh
grep --line-buffered -v '^cores' | exec "$FALKMERE"
EOF
chmod +x "$out/one/engine"

# The openings: the positions after the first eight plies of the shared games.
positions=$(( (games + 1) / 2 ))
"$root/tools/openings.sh" "$(( skip + positions ))" "$FALKMERE" "$source_pgn" | tail -n "$positions" \
    >"$out/openings.fen"

base_seconds=$(awk -v t="$tc" 'BEGIN { n = split(t, p, ":"); print (n == 2 ? p[1] * 60 + p[2] : t * 60) }')
limit=$(( games * (2 * base_seconds + 60) + 60 ))
set +e
timeout --kill-after=10 "$limit" xvfb-run -a /usr/games/xboard \
    -fcp "$FALKMERE" -fd "$out/many" -fn "Falkmere-${threads}T" \
    -scp "$out/one/engine" -sd "$out/one" -sn "Falkmere-1T" \
    -smpCores "$threads" -matchGames "$games" -matchPause 1000 -tc "$tc" -inc "$inc" -xponder \
    -loadPositionFile "$out/openings.fen" -loadPositionIndex -2 \
    -autoCallFlag true -testLegality true -xexit -xpopup -animateMoving false \
    -egtFormats "" -soundProgram "" -saveSettingsOnExit false -settingsFile /dev/null \
    -saveGameFile "$out/games.pgn" >"$out/xboard.out" 2>&1
set -e

awk -v me="Falkmere-${threads}T" '
    /^\[White / { white = $2 } /^\[Black / { black = $2 }
    /^\[Result / {
        r = $2; gsub(/[]"]/, "", r); gsub(/[]"]/, "", white); gsub(/[]"]/, "", black)
        if (r == "*") { unfinished++; next }
        p = (r == "1-0") ? 1 : (r == "0-1") ? 0 : 0.5
        if (black == me) p = 1 - p
        else if (white != me) next
        n++; sum += p; sq += p * p
        if (p == 1) w++; else if (p == 0) l++; else d++
    }
    function elo(s) { return -400 * log(1 / s - 1) / log(10) }
    END {
        if (n == 0) { print "no finished games"; exit 1 }
        s = sum / n; sd = sqrt(sq / n - s * s); margin = 1.96 * sd / sqrt(n)
        lo = s - margin; hi = s + margin
        if (lo < 0.001) lo = 0.001; if (hi > 0.999) hi = 0.999
        printf "%s against Falkmere-1T: +%d =%d -%d of %d games (%d unfinished), score %.1f%%\n",
            me, w, d, l, n, unfinished, 100 * s
        if (s > 0 && s < 1) printf "Elo difference %+.0f, 95%% interval %+.0f to %+.0f\n", elo(s), elo(lo), elo(hi)
    }' "$out/games.pgn"
