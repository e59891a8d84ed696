// Random games from many positions. At every node the incremental board state
// equals a full rebuild, every move is undone exactly, and the generators and
// legality tests agree with each other and with direct attack tests. The
// sliders' captures and checks come in the order of a square-by-square walk.
#include <algorithm>
#include <random>

#include "testutil.h"

namespace {

struct Snapshot {
    std::string fen;
    std::vector<int64_t> numbers;        // keys, occupancy and every summary
    std::vector<std::vector<int>> lists; // sorted squares of every piece list
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const Board& b) {
    Snapshot s{b.fen(),
               {int64_t(b.key), int64_t(b.pawnKey), int64_t(b.occupied), b.pstScore[0], b.pstScore[1],
                b.pieceTotal, b.pawnCount[0], b.pawnCount[1], b.pieceMaterial[0], b.pieceMaterial[1],
                b.pieceTypes[0], b.pieceTypes[1], b.castled[0], b.castled[1]},
               {}};
    for (int c = 0; c < 2; ++c) {
        for (int p = KING; p <= PAWN; ++p) {
            std::vector<int> squares;
            for (const PieceEntry* e = b.pieceList[c][p]; e; e = e->next) squares.push_back(e->square);
            std::sort(squares.begin(), squares.end());
            s.lists.push_back(squares);
        }
    }
    return s;
}

std::vector<Move> generated(const Board& b, void (Board::*generator)(Move*, int&) const) {
    Move moves[MAX_MOVES];
    int count = 0;
    (b.*generator)(moves, count);
    return {moves, moves + count};
}

bool contains(const std::vector<Move>& list, Move m) {
    return std::find(list.begin(), list.end(), m) != list.end();
}

// The sliders' moves in generation order (piece kinds, list order, rays in
// table order, outwards), found by walking each ray square by square: the
// capture of the ray's first piece when it is an enemy and, with quiet checks,
// the empty squares before it from which the piece checks the enemy king, or
// all of them when the piece shields a line to that king.
std::vector<Move> walkedSliderMoves(const Board& b, bool quietChecks) {
    std::vector<Move> out;
    const int them = b.side ^ 1;
    const Square k = b.kingSquare(them);
    for (int piece : {BISHOP, ROOK, QUEEN}) {
        const std::vector<int> rays =
            piece == BISHOP ? std::vector<int>(BISHOP_RAYS.begin(), BISHOP_RAYS.end())
            : piece == ROOK ? std::vector<int>(ROOK_RAYS.begin(), ROOK_RAYS.end())
                            : std::vector<int>(QUEEN_RAYS.begin(), QUEEN_RAYS.end());
        for (const PieceEntry* e = b.pieceList[b.side][piece]; e; e = e->next) {
            const Square s = e->square;
            const bool shields = b.pinDirection(s, them) != 0;
            for (int d : rays) {
                Square t = s + d;
                for (; onBoard(t) && b.squares[t]->piece == NO_PIECE; t += d) {
                    const bool checks = (attackKinds(t - k) & PIECE_BIT[piece]) &&
                                        (between(square64(t), square64(k)) & b.occupied) == 0;
                    if (quietChecks && (shields || checks)) out.push_back(buildMove(s, t, piece));
                }
                if (onBoard(t) && b.squares[t]->colour == them)
                    out.push_back(buildMove(s, t, piece, b.squares[t]->piece, 0, MOVE_CAPTURE));
            }
        }
    }
    return out;
}

std::vector<Move> sliderMovesOf(const std::vector<Move>& moves) {
    std::vector<Move> out;
    for (Move m : moves) {
        if (movePiece(m) == BISHOP || movePiece(m) == ROOK || movePiece(m) == QUEEN) out.push_back(m);
    }
    return out;
}

// Checks one node thoroughly; returns the legal moves.
std::vector<Move> checkNode(Position& e, std::mt19937& rng) {
    Board& b = e.board;
    std::string why;
    EXPECT_TRUE(b.isConsistent(&why)) << why << " in " << b.fen();
    const Snapshot before = snapshot(b);
    const bool inCheck = e.top().inCheck != 0;
    EXPECT_EQ(inCheck, b.isAttacked(b.side ^ 1, b.kingSquare(b.side)) != 0) << b.fen();

    const std::vector<Move> all = generated(b, &Board::generateAll);
    std::vector<Move> legal;
    for (Move m : all) {
        EXPECT_EQ(b.isPseudoLegal(m), 1) << b.fen() << " move " << std::hex << m;
        if (moveCaptured(m) == KING) continue; // only in illegal positions; the search never makes it
        const int predicted = inCheck ? -1 : b.leavesKingInCheck(m, 0);
        const bool predictable = !(m & (MOVE_EN_PASSANT | MOVE_PROMOTION | MOVE_CASTLE));
        const bool predictedCheck = predictable && b.givesCheckBeforeMove(m);
        e.pushMove(m);
        const int mover = b.side ^ 1;
        const bool illegal = b.isAttacked(b.side, b.kingSquare(mover)) != 0;
        EXPECT_TRUE(b.isConsistent(&why)) << why << " after " << std::hex << m << " in " << before.fen;
        EXPECT_EQ(e.top().inCheck != 0, b.isAttacked(mover, b.kingSquare(b.side)) != 0)
            << "givesCheck disagrees for " << std::hex << m << " in " << before.fen;
        if (predictable && !illegal) {
            EXPECT_EQ(predictedCheck, e.top().inCheck != 0)
                << "givesCheckBeforeMove disagrees for " << std::hex << m << " in " << before.fen;
        }
        if (!inCheck) {
            EXPECT_EQ(predicted, illegal ? 1 : 0)
                << "leavesKingInCheck(before) " << std::hex << m << " in " << before.fen;
            EXPECT_EQ(b.leavesKingInCheck(m, 1), illegal ? 1 : 0)
                << "leavesKingInCheck(after) " << std::hex << m << " in " << before.fen;
        }
        e.popMove();
        EXPECT_EQ(snapshot(b), before) << "unmake of " << std::hex << m << " in " << before.fen;
        if (!illegal) legal.push_back(m);
    }

    if (inCheck) {
        std::vector<Move> evasions = generated(b, &Board::generateEvasions), sortedLegal = legal;
        std::sort(evasions.begin(), evasions.end());
        std::sort(sortedLegal.begin(), sortedLegal.end());
        EXPECT_EQ(evasions, sortedLegal) << "evasions differ from the legal moves in " << before.fen;
    } else {
        // Every capture and every quiet check (castling and under-promotions
        // aside) is in the quiescence list; queen promotions stand for the rest.
        const std::vector<Move> checks = generated(b, &Board::generateChecksAndCaptures);
        for (Move m : all) {
            const bool queenOrNone = !isPromotion(m) || movePromotion(m) == QUEEN;
            if (isCapture(m) || isPromotion(m)) {
                EXPECT_TRUE(!queenOrNone || contains(checks, m)) << std::hex << m << " in " << before.fen;
                continue;
            }
            if ((m & MOVE_CASTLE) || moveCaptured(m) == KING) continue;
            e.pushMove(m);
            const bool legalMove = !b.isAttacked(b.side, b.kingSquare(b.side ^ 1));
            const bool check = legalMove && e.top().inCheck != 0;
            e.popMove();
            EXPECT_TRUE(!check || contains(checks, m))
                << "missing check " << std::hex << m << " in " << before.fen;
        }
        for (Move m : checks) EXPECT_EQ(b.isPseudoLegal(m), 1) << std::hex << m << " in " << before.fen;
        // The order of the sliders' moves decides the search's move order.
        EXPECT_EQ(sliderMovesOf(checks), walkedSliderMoves(b, true)) << before.fen;
        EXPECT_EQ(sliderMovesOf(generated(b, &Board::generateCaptures)), walkedSliderMoves(b, false))
            << before.fen;
    }

    // Corrupted move words are accepted exactly when they name a generated move.
    std::uniform_int_distribution<int> bit(0, 31);
    for (Move m : all) {
        for (int k = 0; k < 3; ++k) {
            const Move corrupted = m ^ (1u << bit(rng));
            EXPECT_EQ(b.isPseudoLegal(corrupted) == 1, contains(all, corrupted))
                << std::hex << corrupted << " from " << m << " in " << before.fen;
        }
    }
    return legal;
}

// A board read afresh from the position's FEN (Chess960 castling letters too)
// has the same key.
void expectKeyOfItsFen(const Board& b) {
    Board fresh;
    fresh.setChess960(b.chess960);
    ASSERT_EQ(fresh.readFen(b.fen().c_str()), 1) << b.fen();
    EXPECT_EQ(fresh.key, b.key) << b.fen();
    EXPECT_EQ(fresh.fen(), b.fen());
}

void walkFrom(const std::string& fen, int plies, std::mt19937& rng, bool chess960 = false) {
    auto e = std::make_unique<Position>();
    e->board.setChess960(chess960);
    ASSERT_EQ(e->board.readFen(fen.c_str()), 1) << fen;
    e->resetHistory();
    if (!e->board.hasBothKings()) return;
    // One published perft position leaves the side not to move in check: illegal, skipped.
    if (e->board.isAttacked(e->board.side, e->board.kingSquare(e->board.side ^ 1))) return;
    const Snapshot start = snapshot(e->board);
    int made = 0;
    std::vector<bool> nullMoves;
    for (; made < plies; ++made) {
        const auto legal = checkNode(*e, rng);
        if (legal.empty() || testing::Test::HasFailure()) break;
        // Now and then pass instead, as the null-move search does.
        if (!e->top().inCheck && rng() % 8 == 0) {
            const uint64_t keyBefore = e->board.key;
            e->pushNullMove();
            EXPECT_TRUE(e->board.isConsistent());
            e->popNullMove();
            EXPECT_EQ(e->board.key, keyBefore);
        }
        e->pushGameMove(legal[rng() % legal.size()]);
        if (chess960) expectKeyOfItsFen(e->board);
    }
    for (; made > 0; --made) e->popGameMove();
    EXPECT_EQ(snapshot(e->board), start) << fen;
}

} // namespace

TEST(RandomWalk, IncrementalStateMatchesRebuildAndUnmakeRestoresEverything) {
    std::mt19937 rng(20261206);
    const auto positions = allDataPositions();
    ASSERT_GT(positions.size(), 100u);
    const size_t step = kSlowBuild ? 25 : 1;
    const int plies = kSlowBuild ? 12 : 24;
    for (size_t i = 0; i < positions.size() && !HasFailure(); i += step) walkFrom(positions[i], plies, rng);
}

TEST(RandomWalk, LongGamesFromTheStartPosition) {
    std::mt19937 rng(7);
    const int games = kSlowBuild ? 4 : 40;
    for (int g = 0; g < games && !HasFailure(); ++g)
        walkFrom("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", 150, rng);
}

// Chess960 games from the start positions and the castling positions of the
// perft data: castles made and taken back like every other move.
TEST(RandomWalk, Chess960Games) {
    std::mt19937 rng(960);
    std::vector<std::string> positions;
    for (const auto& line : readLines(dataFile("perft960.epd"))) positions.push_back(fenFields(line));
    ASSERT_GT(positions.size(), 1000u);
    const size_t step = kSlowBuild ? 40 : 2;
    const int plies = kSlowBuild ? 12 : 30;
    for (size_t i = 0; i < positions.size() && !HasFailure(); i += step)
        walkFrom(positions[i], plies, rng, true);
}
