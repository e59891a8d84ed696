#!/usr/bin/env bash
# Soak test: many real games under the xboard 4.9 GUI (headless, Xvfb), both
# engines pondering, Falkmere against the engines Debian ships, at fast
# controls, from varied openings. Not part of CI: it runs for hours.
#
# Usage: tools/soak.sh [games]   games per opponent and control (default 10)
# Environment:
#   OPPONENTS  default "phalanx sjeng gnuchess toga2" (toga2 speaks UCI and
#              plays through Debian's polyglot adapter)
#   CONTROLS   default "2+0.05 40/10": base+increment in seconds, or
#              moves/seconds for a repeating control
#   OUT        result folder, default build/soak; every run gets its own
#              subfolder and the report covers all runs found there
#   FALKMERE   engine binary, default the Release build
#   REPORT_ONLY=1  print the report of the runs already in OUT and stop
#
# For each opponent and control the report gives Falkmere's score, its crashes
# (exit by a fatal signal), illegal moves, time forfeits and protocol errors
# (error lines, refused moves, false claims), and the least time it had left on
# its clock when a move of its own reached the GUI, as the GUI measured it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
games="${1:-10}"
opponents="${OPPONENTS:-phalanx sjeng gnuchess toga2}"
controls="${CONTROLS:-2+0.05 40/10}"
out="${OUT:-$root/build/soak}"
# Debian's gnuchessx wrapper calls gnuchess by name.
export PATH="$PATH:/usr/games"

opponent_flags() {
    case "$1" in
        phalanx) echo "-scp /usr/games/phalanx" ;;
        sjeng) echo "-scp /usr/games/sjeng" ;;
        gnuchess) echo "-scp /usr/games/gnuchessu -sUCI" ;;  # its xboard mode answers protover too late
        toga2) echo "-scp /usr/games/toga2 -sUCI" ;;
        *) echo "unknown opponent $1" >&2; exit 1 ;;
    esac
}

# "2+0.05" -> -tc 0:02 -inc 0.05; "40/10" -> -mps 40 -tc 0:10. Prints the flags
# and, last, a time limit for one game in seconds (both clocks plus slack).
control_flags() {
    awk -v c="$1" 'BEGIN {
        if (split(c, p, "+") == 2) { base = p[1]; printf "-tc 0:%02d -inc %s %d\n", base, p[2], 2 * base + 400 * p[2] + 60 }
        else if (split(c, q, "/") == 2) { base = q[2]; printf "-mps %d -tc 0:%02d %d\n", q[1], base, 6 * base + 60 }
        else { print "bad control " c > "/dev/stderr"; exit 1 }
    }'
}

# xboard can hang when an opponent dies (it was seen spinning after gnuchess
# aborted under polyglot): a run whose GUI log stops growing for two minutes is
# ended, and the report counts it.
watch_for_stall() {
    local run="$1" last now
    while sleep 15; do
        [ -f "$run/xboard.debug" ] || continue
        last=$(stat -c %Y "$run/xboard.debug")
        now=$(date +%s)
        if [ $((now - last)) -gt 120 ]; then
            echo "stalled at $(date)" >"$run/stalled"
            pkill -f "^/usr/games/xboard .*$run/" || true
            return
        fi
    done
}

play_run() {
    local opponent="$1" control="$2" run flags limit
    run="$out/$opponent-${control//\//in}-$(date +%Y%m%d-%H%M%S)"
    mkdir -p "$run/falkmere" "$run/opponent"
    printf 'USE_LOG ON\n' >"$run/falkmere/falkmere.ini"
    # The wrapper keeps every exit status of the engine: a crash shows as a
    # fatal signal even when the GUI only sees a closed pipe.
    cat >"$run/falkmere/engine" <<WRAPPER
#!/bin/sh
"$FALKMERE" "\$@"
echo \$? >>"$run/falkmere/exit-status"
WRAPPER
    chmod +x "$run/falkmere/engine"
    read -r -a flags <<<"$(control_flags "$control")"
    limit=$(( games * ${flags[-1]} + 60 ))
    unset 'flags[-1]'
    local opponent_args
    read -r -a opponent_args <<<"$(opponent_flags "$opponent")"
    echo "soak: $games games against $opponent at $control in $run"
    set +e
    watch_for_stall "$run" &
    local watcher=$!
    timeout --kill-after=10 "$limit" xvfb-run -a /usr/games/xboard \
        -fcp "$run/falkmere/engine" -fd "$run/falkmere" -fn Falkmere \
        "${opponent_args[@]}" -sd "$run/opponent" \
        -adapterCommand '/usr/games/polyglot -noini -ec "%fcp" -ed "%fd"' \
        -matchGames "$games" -matchPause 1000 "${flags[@]}" -ponder \
        -loadPositionFile "$out/openings.fen" -loadPositionIndex -2 \
        -autoCallFlag true -testLegality true -xexit -xpopup \
        -animateMoving false -animateDragging false -flashCount 0 \
        -egtFormats "" -soundProgram "" -saveSettingsOnExit false -settingsFile /dev/null \
        -saveGameFile "$run/games.pgn" -debugMode true -nameOfDebugFile "$run/xboard.debug" \
        >"$run/xboard.out" 2>&1
    echo "$?" >"$run/xboard-status"
    kill "$watcher" 2>/dev/null
    echo "$games" >"$run/games-asked"
    set -e
}

# One line of figures for a run folder: opponent control games wins draws losses
# unfinished illegal forfeits opponent_forfeits claims crashes illegal protocol
# min_reserve_ms opponent_crashes
run_figures() {
    local run="$1" name opponent control
    name="$(basename "$run")"
    opponent="${name%%-*}"
    control="$(echo "$name" | cut -d- -f2 | sed 's/in/\//')"
    local pgn="$run/games.pgn" debug="$run/xboard.debug"
    [ -s "$pgn" ] || : >"$pgn"
    [ -s "$debug" ] || : >"$debug"
    local results crashes illegal protocol reserve theirs_crashed
    # Per game: the result from Falkmere's side and the comment that ended it.
    results=$(awk '
        function finish() {
            if (result == "") return
            n++
            if (result == "*") unfinished++
            else if (result == "1/2-1/2") draws++
            else if ((result == "1-0") == (white == "Falkmere")) wins++
            else losses++
            if (last ~ /wins on time/) {
                loser_white = (last ~ /^Black/)
                if (loser_white == (white == "Falkmere")) forfeits++; else theirs++
            }
            if (last ~ /[Ii]llegal|invalid move/ && loser_is_me()) illegal++
            if (last ~ /False .* claim/ && loser_is_me()) claims++
            result = ""; last = ""
        }
        function loser_is_me() {
            return (result == "1-0" && black == "Falkmere") || (result == "0-1" && white == "Falkmere")
        }
        /^\[Event / { finish() }
        /^\[White / { white = $0; sub(/^\[White "/, "", white); sub(/"\]$/, "", white) }
        /^\[Black / { black = $0; sub(/^\[Black "/, "", black); sub(/"\]$/, "", black) }
        /^\[Result / { result = $2; gsub(/[]"]/, "", result) }
        !/^\[/ {
            line = $0
            while (match(line, /\{[^}]*\}/)) { last = substr(line, RSTART + 1, RLENGTH - 2); line = substr(line, RSTART + RLENGTH) }
        }
        END { finish(); printf "%d %d %d %d %d %d %d %d %d\n", n, wins, draws, losses, unfinished, illegal, forfeits, theirs, claims }
    ' "$pgn")
    crashes=$(grep -cE '^(132|134|135|136|139)$' "$run/falkmere/exit-status" 2>/dev/null || true)
    crashes=$(( crashes + $(grep -cE 'first chess program .*exited unexpectedly|Error reading from first' "$debug" || true) ))
    illegal=$(grep -cE 'Illegal move ".*" from first' "$debug" || true)
    protocol=$(grep -cE '<first : (Error|Illegal move|tellusererror)|rejected by first' "$debug" || true)
    theirs_crashed=$(grep -cE '<second: tellusererror .*exited|second chess program .*exited unexpectedly' "$debug" || true)
    # The GUI's view of the clock: the time it last sent Falkmere (centiseconds)
    # less the milliseconds until Falkmere's move came back.
    reserve=$(awk '
        / >first : time [0-9]+/ { sent = $1; clock = $5 * 10; have = 1 }
        / <first : move / { if (have) { left = clock - ($1 - sent); if (min == "" || left < min) min = left; have = 0 } }
        END { print (min == "" ? "-" : min) }
    ' "$debug")
    echo "$opponent $control $results $crashes $illegal $protocol $reserve $theirs_crashed"
    local status asked played
    status=$(cat "$run/xboard-status" 2>/dev/null || echo "?")
    asked=$(cat "$run/games-asked" 2>/dev/null || echo "?")
    played=${results%% *}
    [ "$status" = 0 ] && [ "$asked" = "$played" ] ||
        echo "warning: $run: xboard status $status, $played of $asked games$([ -f "$run/stalled" ] && echo ", ended after its GUI stalled")" >&2
}

report() {
    local runs=("$out"/*-*/)
    [ -d "${runs[0]}" ] || { echo "no runs in $out"; return 1; }
    for run in "${runs[@]}"; do run_figures "${run%/}"; done | awk '
        {
            key = $1 " " $2; if (!(key in games)) order[++keys] = key
            games[key] += $3; w[key] += $4; d[key] += $5; l[key] += $6; unf[key] += $7
            illegal[key] += $8 + $13; forfeit[key] += $9; theirs[key] += $10
            protocol[key] += $11 + $14; crash[key] += $12
            if ($15 != "-" && (!(key in reserve) || $15 + 0 < reserve[key])) reserve[key] = $15 + 0
            theirs_crashed[key] += $16
        }
        END {
            printf "%-9s %-7s %6s %13s %5s %7s %7s %8s %9s %11s %9s\n", "opponent", "control", "games",
                "+ = - (*)", "crash", "illegal", "forfeit", "protocol", "min left", "opp forfeit", "opp crash"
            for (i = 1; i <= keys; i++) {
                k = order[i]; split(k, p, " ")
                printf "%-9s %-7s %6d %4d %3d %3d (%d) %5d %7d %7d %8d %6s ms %11d %9d\n", p[1], p[2], games[k],
                    w[k], d[k], l[k], unf[k], crash[k], illegal[k], forfeit[k], protocol[k],
                    (k in reserve) ? reserve[k] : "-", theirs[k], theirs_crashed[k]
                tg += games[k]; tc += crash[k]; ti += illegal[k]; tf += forfeit[k]; tp += protocol[k]; tu += unf[k]
            }
            printf "total: %d games, %d unfinished, %d crashes, %d illegal moves, %d time forfeits, %d protocol errors\n",
                tg, tu, tc, ti, tf, tp
            exit (tc + ti + tf + tp + tu > 0)
        }'
}

if [ "${REPORT_ONLY:-0}" != 1 ]; then
    "$root/tools/install-deps.sh" xboard xvfb xauth phalanx sjeng gnuchess toga2 polyglot
    FALKMERE="$("$root/tools/release-engine.sh")"
    mkdir -p "$out"
    [ -s "$out/openings.fen" ] || "$root/tools/openings.sh" 300 "$FALKMERE" >"$out/openings.fen"
    for control in $controls; do
        for opponent in $opponents; do play_run "$opponent" "$control"; done
    done
fi
report
