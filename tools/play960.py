#!/usr/bin/env python3
# Plays Chess960 (or standard) games between Falkmere and another UCI engine,
# Debian's Stockfish at a low Skill Level by default, and checks every move.
#
# UCI mode (the default): this script is the GUI. Each game starts from a
# random Chess960 position (X-FEN, KQkq naming the outermost rooks), both
# engines get UCI_Chess960, and every move goes through a third engine, a
# Stockfish that serves as referee: its `go perft 1` lists the legal moves of
# the position (castling as the king taking its rook), its `d` gives the FEN and
# the checkers. A move that is not in the list loses the game and is reported.
# Mate, stalemate, threefold repetition, the fifty-move rule and bare kings end
# games; after --max-plies plies a game is adjudicated a draw. The clocks are
# kept here: a side whose clock runs out loses on time.
#
# xboard mode (--xboard): xboard 4.9 plays the games headless (xvfb-run) with
# `-variant fischerandom`, Falkmere natively, Stockfish through the polyglot
# adapter (which passes the variant on as UCI_Chess960), xboard testing
# legality; the PGN and xboard's debug file are checked for illegal moves,
# errors and unfinished games.
#
# For each game: the start position, the result and how it came, the plies, and
# the castles each engine played (O-O: towards the h-file, O-O-O: the a-file).
#
#   tools/play960.py --games 4
#   tools/play960.py --xboard --games 2
#   tools/play960.py --standard --engine-option UCI_LimitStrength=true \
#       --engine-option UCI_Elo=1400 --games 6
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def chess960_start(rng):
    """A random Chess960 back rank as an X-FEN start position."""
    rank = [None] * 8
    rank[rng.choice(range(0, 8, 2))] = "b"
    rank[rng.choice(range(1, 8, 2))] = "b"
    empty = [i for i in range(8) if rank[i] is None]
    rank[empty.pop(rng.randrange(len(empty)))] = "q"
    for _ in range(2):
        rank[empty.pop(rng.randrange(len(empty)))] = "n"
    # The three squares left take rook, king, rook from the a-file on.
    for square, piece in zip(empty, "rkr"):
        rank[square] = piece
    black = "".join(rank)
    return f"{black}/pppppppp/8/8/8/8/PPPPPPPP/{black.upper()} w KQkq - 0 1"


class Uci:
    """A UCI engine on pipes."""

    def __init__(self, command, options, directory=None):
        self.proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True, bufsize=1, cwd=directory)
        self.send("uci")
        self.until("uciok")
        for name, value in options:
            self.send(f"setoption name {name} value {value}")
        self.ready()

    def send(self, line):
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()

    def until(self, prefix):
        lines = []
        while True:
            line = self.proc.stdout.readline()
            if not line:
                raise RuntimeError(f"engine ended while waiting for {prefix}")
            line = line.rstrip("\n")
            lines.append(line)
            if line.startswith(prefix):
                return lines

    def ready(self):
        self.send("isready")
        self.until("readyok")

    def quit(self):
        try:
            self.send("quit")
            self.proc.wait(timeout=5)
        except Exception:
            self.proc.kill()


class Referee:
    """Stockfish as the arbiter of legal moves and of the position reached."""

    def __init__(self, stockfish, chess960):
        self.engine = Uci([stockfish], [("UCI_Chess960", "true" if chess960 else "false")])

    def look(self, start, moves):
        e = self.engine
        e.send(f"position fen {start}" + (" moves " + " ".join(moves) if moves else ""))
        e.send("go perft 1")
        legal = [line.split(":")[0] for line in e.until("Nodes searched") if re.match(r"^[a-h][1-8][a-h][1-8][qrbn]?:", line)]
        e.send("d")
        board = e.until("Checkers")
        fen = next(line[5:] for line in board if line.startswith("Fen: "))
        checkers = board[-1][len("Checkers:"):].strip()
        return legal, fen, checkers


def piece_at(fen, square):
    """The FEN letter on a square ("e1"), or None."""
    rows = fen.split()[0].split("/")
    row = rows[8 - int(square[1])]
    file = 0
    for c in row:
        if c.isdigit():
            file += int(c)
        else:
            if file == ord(square[0]) - ord("a"):
                return c
            file += 1
    return None


def bare_kings(fen):
    men = [c for c in fen.split()[0] if c.isalpha() and c not in "Kk"]
    return not men or (len(men) == 1 and men[0] in "NBnb")


def play_uci_game(number, args, rng, referee):
    start = chess960_start(rng) if not args.standard else "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"
    falkmere_white = number % 2 == 0
    falkmere_dir = tempfile.mkdtemp(prefix="play960-")
    chess960 = "false" if args.standard else "true"
    engines = {
        "falkmere": Uci([args.engine], [("UCI_Chess960", chess960)] + args.engine_option, falkmere_dir),
        "opponent": Uci([args.opponent], [("UCI_Chess960", chess960)]
                        + ([("Skill Level", args.skill)] if args.skill >= 0 else []) + args.opponent_option),
    }
    names = ("falkmere", "opponent") if falkmere_white else ("opponent", "falkmere")
    for e in engines.values():
        e.send("ucinewgame")
        e.ready()
    clocks = [args.base * 1000.0, args.base * 1000.0]
    moves, seen, castles = [], {}, {"falkmere": set(), "opponent": set()}
    legal, fen, checkers = referee.look(start, moves)
    result, reason = None, None
    while result is None:
        side = len(moves) % 2
        mover = names[side]
        e = engines[mover]
        e.send(f"position fen {start}" + (" moves " + " ".join(moves) if moves else ""))
        inc = int(args.inc * 1000)
        e.send(f"go wtime {int(clocks[0])} btime {int(clocks[1])} winc {inc} binc {inc}")
        began = time.monotonic()
        reply = e.until("bestmove")[-1].split()
        clocks[side] -= (time.monotonic() - began) * 1000.0
        move = reply[1] if len(reply) > 1 else "0000"
        if clocks[side] < 0:
            result, reason = ("0-1" if side == 0 else "1-0"), f"{mover} lost on time"
            break
        clocks[side] += inc
        if move not in legal:
            result, reason = ("0-1" if side == 0 else "1-0"), f"{mover} played the illegal move {move} in {fen}"
            break
        if piece_at(fen, move[:2]) in "Kk" and (piece_at(fen, move[2:4]) or "") == ("R" if side == 0 else "r"):
            castles[mover].add("O-O" if move[2] > move[0] else "O-O-O")
        moves.append(move)
        legal, fen, checkers = referee.look(start, moves)
        key = " ".join(fen.split()[:4])
        seen[key] = seen.get(key, 0) + 1
        if not legal:
            if checkers:
                result, reason = ("1-0" if side == 0 else "0-1"), f"{mover} mates"
            else:
                result, reason = "1/2-1/2", "stalemate"
        elif seen[key] >= 3:
            result, reason = "1/2-1/2", "threefold repetition"
        elif int(fen.split()[4]) >= 100:
            result, reason = "1/2-1/2", "fifty-move rule"
        elif bare_kings(fen):
            result, reason = "1/2-1/2", "insufficient material"
        elif len(moves) >= args.max_plies:
            result, reason = "1/2-1/2", f"adjudicated after {args.max_plies} plies"
    for e in engines.values():
        e.quit()
    shutil.rmtree(falkmere_dir, ignore_errors=True)
    falkmere_points = {"1-0": 1.0, "0-1": 0.0, "1/2-1/2": 0.5}[result]
    if not falkmere_white:
        falkmere_points = 1.0 - falkmere_points
    print(f"game {number + 1}: {start}  Falkmere {'white' if falkmere_white else 'black'}: {result} ({reason}), "
          f"{len(moves)} plies, Falkmere castled {sorted(castles['falkmere']) or 'never'}, "
          f"opponent castled {sorted(castles['opponent']) or 'never'}", flush=True)
    print(f"  moves: {' '.join(moves)}", flush=True)
    faults = "illegal" in reason or "on time" in reason
    return falkmere_points, castles["falkmere"], faults


def run_uci(args):
    rng = random.Random(args.seed)
    referee = Referee(args.referee, not args.standard)
    points, castled, faults = 0.0, set(), 0
    for number in range(args.games):
        p, c, fault = play_uci_game(number, args, rng, referee)
        points += p
        castled |= c
        faults += fault
    referee.engine.quit()
    print(f"Falkmere scored {points}/{args.games}; castles played by Falkmere: {sorted(castled) or 'none'}; "
          f"illegal moves and time losses: {faults}")
    return 0 if faults == 0 else 1


def run_xboard(args):
    out = args.out or os.path.join(ROOT, "build", "play960-xboard")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(os.path.join(out, "falkmere"))
    os.makedirs(os.path.join(out, "stockfish"))
    with open(os.path.join(out, "falkmere", "falkmere.ini"), "w") as ini:
        ini.write("USE_LOG ON\n")
    polyglot = (f"/usr/games/polyglot -noini -ec {args.opponent} -ed {os.path.join(out, 'stockfish')} "
                f"-uci \"Skill Level={args.skill}\"")
    pgn = os.path.join(out, "games.pgn")
    debug = os.path.join(out, "xboard.debug")
    command = ["timeout", "--kill-after=10", str(args.games * (2 * args.base + 120) + 60),
               "xvfb-run", "-a", "/usr/games/xboard", "-variant", "fischerandom",
               "-fcp", args.engine, "-fd", os.path.join(out, "falkmere"),
               "-scp", polyglot, "-sd", os.path.join(out, "stockfish"),
               "-matchGames", str(args.games), "-matchPause", "2000",
               "-tc", f"0:{args.base:02d}" if args.base < 60 else str(args.base // 60), "-inc", str(args.inc),
               "-xponder", "-autoCallFlag", "true", "-testLegality", "true", "-xexit", "-xpopup",
               "-animateMoving", "false", "-animateDragging", "false", "-flashCount", "0",
               "-egtFormats", "", "-soundProgram", "", "-saveSettingsOnExit", "false",
               "-settingsFile", "/dev/null", "-saveGameFile", pgn,
               "-debugMode", "true", "-nameOfDebugFile", debug]
    status = subprocess.call(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    print(f"xboard exit status {status}")
    text = open(pgn).read() if os.path.exists(pgn) else ""
    games = re.findall(r'\[White "([^"]*)"\].*?\[Black "([^"]*)"\].*?\[Result "([^"]*)"\].*?\[FEN "([^"]*)"\]'
                       r'.*?\n\n(.*?)(?:\n\n|\Z)', text, re.S)
    ok = status == 0 and len(games) == args.games
    for number, (white, black, result, fen, movetext) in enumerate(games):
        ending = re.findall(r"\{([^}]*)\}\s*(?:1-0|0-1|1/2-1/2|\*)\s*$", movetext.strip())
        sans = re.sub(r"\{[^}]*\}|\d+\.", " ", movetext).split()
        white_castles = {m.rstrip("+#") for m in sans[0::2] if m.startswith("O-O")}
        black_castles = {m.rstrip("+#") for m in sans[1::2] if m.startswith("O-O")}
        falkmere_castles = white_castles if white.startswith("Falkmere") else black_castles
        print(f"game {number + 1}: {fen}  {white} - {black}: {result} ({ending[0] if ending else '?'}), "
              f"Falkmere castled {sorted(falkmere_castles) or 'never'}")
        if result == "*" or re.search(r"illegal|forfeit|crash|disconnect|exited", " ".join(ending), re.I):
            ok = False
    log = open(debug, errors="replace").read() if os.path.exists(debug) else ""
    errors = re.findall(r"<first : (?:Error|Illegal|tellusererror).*", log)
    for line in errors:
        print("Falkmere error:", line)
    castles_sent = sorted(set(re.findall(r"<first : move (O-O(?:-O)?)", log)))
    print(f"Falkmere's castles as sent to xboard: {castles_sent or 'none'}")
    print("OK" if ok and not errors else "FAIL")
    return 0 if ok and not errors else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--engine", default=os.path.join(ROOT, "build", "release", "falkmere"))
    parser.add_argument("--opponent", default="/usr/games/stockfish")
    parser.add_argument("--referee", default="/usr/games/stockfish",
                        help="Stockfish, which lists the legal moves and judges the positions")
    parser.add_argument("--skill", type=int, default=2, help="the opponent's Skill Level (-1: none, for other engines)")
    parser.add_argument("--games", type=int, default=4)
    parser.add_argument("--base", type=int, default=20, help="seconds on each clock")
    parser.add_argument("--inc", type=float, default=0.2, help="seconds added per move")
    parser.add_argument("--max-plies", type=int, default=300)
    parser.add_argument("--seed", type=int, default=960)
    parser.add_argument("--standard", action="store_true", help="standard chess from the initial position")
    parser.add_argument("--engine-option", action="append", default=[], help="NAME=VALUE for Falkmere")
    parser.add_argument("--opponent-option", action="append", default=[], help="NAME=VALUE for the opponent")
    parser.add_argument("--xboard", action="store_true", help="play under xboard -variant fischerandom")
    parser.add_argument("--out", help="xboard mode: the folder of the PGN and logs")
    args = parser.parse_args()
    args.engine_option = [tuple(o.split("=", 1)) for o in args.engine_option]
    args.opponent_option = [tuple(o.split("=", 1)) for o in args.opponent_option]
    sys.exit(run_xboard(args) if args.xboard else run_uci(args))


if __name__ == "__main__":
    main()
