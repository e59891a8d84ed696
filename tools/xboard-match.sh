#!/usr/bin/env bash
# Plays a match between Falkmere and Debian's phalanx in xboard's match mode,
# headless under Xvfb, then checks what came of it:
#   - the PGN holds every game, each complete (a result other than "*"), and
#     none was decided by an illegal move, a protocol error or a crash;
#   - in xboard's debug log Falkmere answered with moves, sent no error lines
#     and was never refused a move;
#   - Falkmere's own log (USE_LOG ON) exists and recorded the traffic.
# Usage: tools/xboard-match.sh [games]   (default 2)
# Environment: TC (base time, default 0:05), INC (increment, default 0.1),
#   PONDER (-ponder or -xponder, default -ponder), OUT (result folder,
#   default build/xboard-match), FALKMERE (engine binary, default the Release build).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
games="${1:-2}"
tc="${TC:-0:05}"
inc="${INC:-0.1}"
ponder="${PONDER:--ponder}"
out="${OUT:-$root/build/xboard-match}"

"$root/tools/install-deps.sh" xboard xvfb xauth phalanx
if [ -z "${FALKMERE:-}" ]; then
    cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$root/build/release" --target falkmere -j2 >/dev/null
    FALKMERE="$root/build/release/falkmere"
fi
# xboard starts the engine in its own folder: the path must be absolute.
FALKMERE="$(realpath "$FALKMERE")"
[ -x "$FALKMERE" ] || { echo "no engine binary at $FALKMERE"; exit 1; }

rm -rf "$out"
mkdir -p "$out/falkmere" "$out/phalanx"
# Falkmere runs in its own folder with logging on, everything else at its defaults.
printf 'USE_LOG ON\n' >"$out/falkmere/falkmere.ini"

# xboard's errors become dialogs nobody can close on the invisible screen, so
# the whole match runs under a time limit: per game both clocks plus slack.
base_seconds=$(awk -v t="$tc" 'BEGIN { n = split(t, p, ":"); print (n == 2 ? p[1] * 60 + p[2] : t * 60) }')
limit=$(( games * (2 * base_seconds + 60) + 60 ))
set +e
timeout --kill-after=10 "$limit" xvfb-run -a /usr/games/xboard \
    -fcp "$FALKMERE" -fd "$out/falkmere" \
    -scp /usr/games/phalanx -sd "$out/phalanx" \
    -matchGames "$games" -matchPause 2000 -tc "$tc" -inc "$inc" "$ponder" \
    -autoCallFlag true -testLegality true -xexit -xpopup \
    -egtFormats "" -soundProgram "" -saveSettingsOnExit false -settingsFile /dev/null \
    -saveGameFile "$out/games.pgn" -debugMode true -nameOfDebugFile "$out/xboard.debug" \
    >"$out/xboard.out" 2>&1
status=$?
set -e
echo "xboard exit status: $status"

fail=0
problem() { echo "FAIL: $*"; fail=1; }

[ "$status" -eq 0 ] || problem "xboard did not end normally (status $status; 124 is the time limit)"
[ -s "$out/games.pgn" ] || problem "no PGN written"
if [ -s "$out/games.pgn" ]; then
    played=$(grep -c '^\[Result ' "$out/games.pgn" || true)
    [ "$played" -eq "$games" ] || problem "$played games in the PGN, expected $games"
    grep -q '^\[Result "\*"\]' "$out/games.pgn" && problem "an unfinished game (result *)"
    grep -n -i -E 'illegal|protocol|crash|disconnect|exited|forfeit|false' "$out/games.pgn" &&
        problem "a game ended by an illegal move, a protocol error or a dead engine"
    echo "results:"; grep -E '^\[(White|Black|Result) ' "$out/games.pgn" | paste - - -
    grep -o '{[^}]*}' "$out/games.pgn" | sort | uniq -c
fi

if [ -s "$out/xboard.debug" ]; then
    moves=$(grep -c '<first : move ' "$out/xboard.debug" || true)
    [ "$moves" -gt 0 ] || problem "Falkmere sent no move"
    echo "Falkmere moves: $moves"
    grep -n -E '<first : (Error|Illegal|tellusererror)' "$out/xboard.debug" &&
        problem "Falkmere answered a command with an error"
    grep -n -E 'Illegal move.*first|first.*illegal' "$out/xboard.debug" | grep -v '<second' &&
        problem "a move of Falkmere was refused"
    grep -q 'feature .*done=1' "$out/xboard.debug" || problem "no feature line from Falkmere"
else
    problem "no xboard debug log"
fi

if ls "$out"/falkmere/fal000.log >/dev/null 2>&1; then
    grep -q '^xboard>: protover 2' "$out/falkmere/fal000.log" || problem "Falkmere's log lacks the input"
    grep -q '^move ' "$out/falkmere/fal000.log" || problem "Falkmere's log lacks its moves"
else
    problem "Falkmere wrote no log"
fi

if [ "$fail" -ne 0 ]; then
    echo "xboard match: FAILED (files in $out)"
    exit 1
fi
echo "xboard match: OK ($games games, files in $out)"
