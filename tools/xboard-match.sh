#!/usr/bin/env bash
# Plays a match between Falkmere and Debian's phalanx in xboard's match mode,
# headless under Xvfb, with Falkmere speaking the xboard protocol or UCI (then
# xboard talks to it through Debian's polyglot adapter), and checks what came
# of it:
#   - the PGN holds every game, each complete (a result other than "*"), and
#     none was decided by an illegal move, a protocol error or a crash;
#   - in xboard's debug log Falkmere answered with moves, sent no error lines
#     and was never refused a move;
#   - Falkmere's own log (USE_LOG ON) exists and recorded the traffic: in xboard
#     mode the pings answered; in UCI mode every search ended by a legal
#     bestmove and no command or move was refused.
# Usage: tools/xboard-match.sh [games]   (default 2)
# Environment: TC (base time, default 0:05), INC (increment, default 0.1),
#   PONDER (-ponder or -xponder, default -ponder), OUT (result folder,
#   default build/xboard-match), FALKMERE (engine binary, default the Release build),
#   PROTOCOL (xboard or uci, default xboard).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
games="${1:-2}"
tc="${TC:-0:05}"
inc="${INC:-0.1}"
ponder="${PONDER:--ponder}"
protocol="${PROTOCOL:-xboard}"
out="${OUT:-$root/build/xboard-match}"

"$root/tools/install-deps.sh" xboard xvfb xauth phalanx polyglot
engine_flags=()
if [ "$protocol" = uci ]; then
    # xboard starts polyglot (-adapterCommand), which starts the engine.
    engine_flags=(-fUCI -adapterCommand "/usr/games/polyglot -noini -log true -lf \"$out/polyglot.log\" -ec \"%fcp\" -ed \"%fd\"")
fi
FALKMERE="$("$root/tools/release-engine.sh")"
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
    -fcp "$FALKMERE" -fd "$out/falkmere" "${engine_flags[@]}" \
    -scp /usr/games/phalanx -sd "$out/phalanx" \
    -matchGames "$games" -matchPause 2000 -tc "$tc" -inc "$inc" "$ponder" \
    -autoCallFlag true -testLegality true -xexit -xpopup \
    -animateMoving false -animateDragging false -flashCount 0 \
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

log="$out/falkmere/fal000.log"
if [ ! -s "$log" ]; then
    problem "Falkmere wrote no log"
elif [ "$protocol" = uci ]; then
    grep -q '^xboard>: uci' "$log" || problem "Falkmere's log lacks the UCI handshake"
    searches=$(grep -c '^xboard>: go' "$log" || true)
    bestmoves=$(grep -c '^bestmove [a-h][1-8][a-h][1-8]' "$log" || true)
    echo "UCI searches: $searches, best moves: $bestmoves, ponder searches: $(grep -c '^xboard>: go .*ponder' "$log" || true)"
    [ "$bestmoves" -gt 0 ] || problem "Falkmere's log lacks its best moves"
    grep -n '^bestmove 0000' "$log" && problem "a bestmove without a move"
    grep -n '^info string' "$log" && problem "Falkmere refused a command or a move"
else
    grep -q '^xboard>: protover 2' "$log" || problem "Falkmere's log lacks the input"
    grep -q '^move ' "$log" || problem "Falkmere's log lacks its moves"
    pings=$(grep -c '^xboard>: ping' "$log" || true)
    pongs=$(grep -c '^pong ' "$log" || true)
    echo "pings: $pings, pongs: $pongs"
    [ "$pings" -gt 0 ] && [ "$pings" -eq "$pongs" ] || problem "pings and pongs do not match"
fi

if [ "$fail" -ne 0 ]; then
    echo "xboard match: FAILED (files in $out)"
    exit 1
fi
echo "xboard match: OK ($games games, files in $out)"
