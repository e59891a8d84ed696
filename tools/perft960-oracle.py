#!/usr/bin/env python3
# Writes the Chess960 perft positions of tests/data/perft960.epd with their
# leaf counts as an independent program counts them: Debian's Stockfish
# (/usr/games/stockfish, `setoption name UCI_Chess960 value true`, `go perft N`).
#
# The positions are, in this order:
#   - hand-made ones for the rare castling cases (king or rook already on its
#     castled square, king and rook trading squares, a castled square held by
#     the other rook, castling through, into and out of attack, a rook or queen
#     beyond the castling rook that hits the king once the rook has gone,
#     inner rooks named by their file);
#   - the 960 start positions by their standard numbers (Scharnagl's scheme,
#     518 is the standard start), with KQkq castling;
#   - positions some plies into random games from every eighth start position,
#     where the side to move can castle (both ways where the game got there).
#     Stockfish gives the legal moves and the FEN (Shredder-FEN castling) of
#     each position of the game; the games are seeded, so the list is the same
#     from run to run with one Stockfish.
# Each line gives the counts from depth 1 up to the deepest depth whose count
# stays within --limit leaves (the test runs every line, so this keeps it quick).
#
# Usage: tools/perft960-oracle.py [--limit N] [--stockfish PATH] [--fens FILE]
#            > tests/data/perft960.epd
#   --fens FILE counts the FENs of FILE (one a line) instead of the list above.
import argparse
import random
import subprocess
import sys

# Hand-made positions; the comments say what each one tries.
TRICKY = [
    # King b1, rooks a1 and g1: O-O-O moves the king one step right, the rook onto d1.
    "rk4r1/pppppppp/8/8/8/8/PPPPPPPP/RK4R1 w KQkq - 0 1",
    "rk4r1/pppppppp/8/8/8/8/PPPPPPPP/RK4R1 b KQkq - 0 1",
    # King g1 with the rook on h1: O-O leaves the king where it is.
    "1r4kr/pppppppp/8/8/8/8/PPPPPPPP/1R4KR w KQkq - 0 1",
    "1r4kr/pp1ppppp/8/8/8/8/PP1PPPPP/1R4KR b KQkq - 0 1",
    # King f1, rook g1: O-O trades their squares.
    "r4kr1/pppppppp/8/8/8/8/PPPPPPPP/R4KR1 w KQkq - 0 1",
    # King e1, rooks c1 and f1: the f1 rook is on its castled square already, and
    # O-O-O puts the king onto its rook's square.
    "2r1kr2/pppppppp/8/8/8/8/PPPPPPPP/2R1KR2 w KQkq - 0 1",
    # Both rooks on their castled squares, the king between them.
    "3rkr2/pppppppp/8/8/8/8/PPPPPPPP/3RKR2 w KQkq - 0 1",
    # Rooks a1 and c1 beside a king on b1: O-O-O would land on the other rook.
    "rkr5/pppppppp/8/8/8/8/PPPPPPPP/RKR5 w KQkq - 0 1",
    # Rooks f1 and h1 beside a king on g1: O-O would put its rook onto the other one.
    "5rkr/pppppppp/8/8/8/8/PPPPPPPP/5RKR w KQkq - 0 1",
    # A queen on a1 beyond the rook on b1: with the rook gone the king on c1 is attacked.
    "4k3/8/8/8/8/8/8/qRK4R w KQ - 0 1",
    "4k3/8/8/8/8/8/8/rR2K2R w KQ - 0 1",
    "Qrk3r1/8/8/8/8/8/8/4K3 b kq - 0 1",
    "3k4/8/8/8/8/8/8/rR3KR1 w GB - 0 1",
    # A rook on f3 attacks f1: O-O passes it (illegal), O-O-O does not.
    "4k3/8/8/8/8/5r2/8/1RK3R1 w KQ - 0 1",
    # A knight on h3 attacks g1, the castled square of O-O.
    "4k3/8/8/8/8/7n/8/1R1K3R w KQ - 0 1",
    # The rook on f3 attacks the rook's castled square only: O-O with the king
    # already on g1 is legal, O-O-O crosses f1.
    "4k3/8/8/8/8/5r2/8/1R4KR w KQ - 0 1",
    # Castling out of check is not allowed.
    "4k3/4r3/8/8/8/8/8/1R2K1R1 w KQ - 0 1",
    "1r2k1r1/8/8/1B6/8/8/8/4K3 b kq - 0 1",
    # O-O-O gives check along the first rank.
    "8/8/8/8/8/8/8/RK5k w Q - 0 1",
    # Inner rooks named by their files (X-FEN and Shredder-FEN letters).
    "rr2k2r/8/8/8/8/8/8/RR2K2R w KBkb - 0 1",
    "r3k1rr/8/8/8/8/8/8/R3K1RR w GAga - 0 1",
    # Kings of the two colours on different files.
    "1r3kr1/pppppppp/8/8/8/8/PPPPPPPP/R2K3R w HAgb - 0 1",
    # A rook on the castling rook's square that has no right of its own.
    "r3k2r/8/8/8/8/8/8/R3K1R1 w Qkq - 0 1",
    # Captures of castling rooks take their rights away.
    "r1k3r1/8/8/8/8/8/1B4B1/R1K3R1 w KQkq - 0 1",
]

# Pieces of the knights' pairs by the fourth part of a start position's number.
KNIGHT_PAIRS = [(0, 1), (0, 2), (0, 3), (0, 4), (1, 2), (1, 3), (1, 4), (2, 3), (2, 4), (3, 4)]


def start_position(number):
    """The back rank of start position `number` (0-959): bishops, queen, knights, then R K R."""
    rank = [None] * 8
    number, light = divmod(number, 4)
    rank[2 * light + 1] = "B"
    number, dark = divmod(number, 4)
    rank[2 * dark] = "B"
    number, queen = divmod(number, 6)
    free = [f for f in range(8) if rank[f] is None]
    rank[free[queen]] = "Q"
    free = [f for f in range(8) if rank[f] is None]
    for i in KNIGHT_PAIRS[number]:
        rank[free[i]] = "N"
    for piece, f in zip("RKR", [f for f in range(8) if rank[f] is None]):
        rank[f] = piece
    white = "".join(rank)
    return f"{white.lower()}/pppppppp/8/8/8/8/PPPPPPPP/{white} w KQkq - 0 1"


class Stockfish:
    def __init__(self, path):
        self.process = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.send("uci")
        self.until("uciok")
        self.send("setoption name UCI_Chess960 value true")

    def send(self, line):
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()

    def until(self, prefix):
        lines = []
        while True:
            line = self.process.stdout.readline()
            if not line:
                sys.exit("stockfish ended unexpectedly")
            line = line.strip()
            lines.append(line)
            if line.startswith(prefix):
                return lines

    def set_position(self, fen, moves=()):
        self.send(f"position fen {fen}" + (" moves " + " ".join(moves) if moves else ""))

    def perft(self, depth):
        """Leaf count and, per root move, the moves (UCI, king takes rook for castling)."""
        self.send(f"go perft {depth}")
        lines = self.until("Nodes searched")
        moves = [line.split(":")[0] for line in lines if ": " in line and not line.startswith("Nodes")]
        return int(lines[-1].split(":")[1]), moves

    def fen(self):
        self.send("d")
        lines = self.until("Checkers")
        return next(line[5:] for line in lines if line.startswith("Fen: "))

    def quit(self):
        self.send("quit")
        self.process.wait()


def placement(fen):
    """Square name -> piece letter."""
    board = {}
    for row, text in enumerate(fen.split()[0].split("/")):
        file = 0
        for c in text:
            if c.isdigit():
                file += int(c)
            else:
                board["abcdefgh"[file] + str(8 - row)] = c
                file += 1
    return board


def castles(fen, moves):
    """The castling moves among `moves`: the king taking a rook of its own colour."""
    board = placement(fen)
    king = "K" if fen.split()[1] == "w" else "k"
    rook = "R" if king == "K" else "r"
    return [m for m in moves if board.get(m[:2]) == king and board.get(m[2:4]) == rook]


def random_game_positions(sf, start, rng, plies=28):
    """Positions of a seeded random game where the side to move can castle. The
    moves favour developing the back rank (so that the castling paths empty) and
    spare the king and the rooks (so that the rights stay)."""
    played, found = [], []
    for ply in range(plies):
        sf.set_position(start, played)
        _, moves = sf.perft(1)
        if not moves:
            break
        fen = sf.fen()
        board = placement(fen)
        can_castle = castles(fen, moves)
        if ply >= 4 and can_castle:
            found.append((len(can_castle), ply, fen))
        home = "1" if fen.split()[1] == "w" else "8"

        def weight(move):
            piece = board[move[:2]].upper()
            if move in can_castle:
                return 0.3
            if piece in "KR":
                return 0.2
            if move[1] == home:
                return 6.0
            return 1.0

        played.append(rng.choices(moves, [weight(m) for m in moves])[0])
    # At most two positions a game, both ways castling first, far apart in the game.
    found.sort(key=lambda f: (-f[0], f[1]))
    chosen = found[:1]
    chosen += [f for f in found[1:] if abs(f[1] - chosen[0][1]) >= 4][:1]
    return [f[2] for f in chosen]


def counts(sf, fen, limit):
    sf.set_position(fen)
    result = []
    for depth in range(1, 8):
        count, _ = sf.perft(depth)
        if count > limit and depth > 1:
            break
        result.append(count)
    return result


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--limit", type=int, default=150000, help="most leaves of the deepest count")
    parser.add_argument("--stockfish", default="/usr/games/stockfish")
    parser.add_argument("--fens", help="count these FENs (one a line) instead")
    parser.add_argument("--seed", type=int, default=960)
    args = parser.parse_args()

    sf = Stockfish(args.stockfish)
    if args.fens:
        with open(args.fens) as f:
            fens = [line.strip() for line in f if line.strip()]
    else:
        rng = random.Random(args.seed)
        fens = TRICKY + [start_position(n) for n in range(960)]
        for n in range(0, 960, 8):
            fens += random_game_positions(sf, start_position(n), rng)
    for fen in fens:
        line = fen + "".join(f" ;D{d} {c}" for d, c in enumerate(counts(sf, fen, args.limit), 1))
        print(line, flush=True)
    sf.quit()


if __name__ == "__main__":
    main()
