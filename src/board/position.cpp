#include "board/position.h"

#include <algorithm>

Position::Position() { history.fill(HistoryRecord{}); }

void Position::copyFrom(const Position& other) {
    board.copyFrom(other.board);
    std::copy(other.history.begin(), other.history.begin() + other.gamePly + 1, history.begin());
    gamePly = other.gamePly;
    searchPly = other.searchPly;
    pliesBefore = other.pliesBefore;
}

void Position::resetHistory() {
    searchPly = 0;
    gamePly = 0;
    pliesBefore = 0;
    HistoryRecord& r = history[0];
    r.move = NO_MOVE;
    r.fifty = 0;
    r.inCheck = board.hasBothKings() ? board.isAttacked(board.side ^ 1, board.kingSquare(board.side)) : 0;
    r.castling = static_cast<uint32_t>(board.castling);
    r.epSquare = board.epSquare;
    r.key = board.key;
    r.pawnKey = board.pawnKey;
}

void Position::setMoveCounters(int fiftyPlies, int moveNumber) {
    FM_ASSERT(gamePly == 0);
    history[0].fifty = fiftyPlies < 0 ? 0 : fiftyPlies > 100 ? 100 : fiftyPlies;
    const int moves = moveNumber < 1 ? 1 : moveNumber > 100000 ? 100000 : moveNumber;
    pliesBefore = 2 * (moves - 1) + (board.side == BLACK ? 1 : 0);
}

// Flattened: make, check test and record in one body, as the search calls it on every move.
[[gnu::flatten]] void Position::pushMove(Move move) {
    FM_ASSERT(gamePly + 1 < HISTORY_SIZE && searchPly < MAX_PLY);
    FM_ASSERT(move != NO_MOVE && onBoard(moveFrom(move)) && onBoard(moveTo(move)));
    const Square from = moveFrom(move), to = moveTo(move);
    HistoryRecord& previous = history[gamePly];
    previous.move = move;
    board.makeMove(move);
    ++gamePly;
    ++searchPly;
    HistoryRecord& r = history[gamePly];
    r.move = NO_MOVE;
    r.inCheck = board.givesCheck(move);
    r.fifty = (movePiece(move) == PAWN || isCapture(move)) ? 0 : previous.fifty + 1;
    r.castling = previous.castling & board.castlingKeep[from] & board.castlingKeep[to];
    board.setCastling(static_cast<int>(r.castling));
    r.epSquare = (move & MOVE_DOUBLE_PUSH) ? (from + to) / 2 : 0;
    board.setEnPassant(r.epSquare);
    r.key = board.key;
    r.pawnKey = board.pawnKey;
    board.side ^= 1;
    if constexpr (kCheckInvariants) board.checkConsistency("pushMove", move);
}

void Position::popMove() {
    FM_ASSERT(gamePly > 0);
    --gamePly;
    --searchPly;
    board.side ^= 1;
    const HistoryRecord& r = history[gamePly];
    board.unmakeMove(r.move);
    board.epSquare = r.epSquare;
    board.castling = static_cast<int32_t>(r.castling);
    board.key = r.key;
    board.pawnKey = r.pawnKey;
    if constexpr (kCheckInvariants) board.checkConsistency("popMove", r.move);
}

void Position::pushNullMove() {
    FM_ASSERT(gamePly + 1 < HISTORY_SIZE && searchPly < MAX_PLY);
    HistoryRecord& previous = history[gamePly];
    previous.move = NO_MOVE;
    ++gamePly;
    ++searchPly;
    HistoryRecord& r = history[gamePly];
    r.move = NO_MOVE;
    r.inCheck = 0;
    r.fifty = previous.fifty + 1;
    r.castling = previous.castling;
    r.epSquare = 0;
    board.setEnPassant(0);
    r.key = board.key;
    r.pawnKey = board.pawnKey;
    board.side ^= 1;
    if constexpr (kCheckInvariants) board.checkConsistency("pushNullMove");
}

void Position::popNullMove() {
    FM_ASSERT(gamePly > 0);
    --gamePly;
    --searchPly;
    board.side ^= 1;
    board.setEnPassant(history[gamePly].epSquare);
    if constexpr (kCheckInvariants) board.checkConsistency("popNullMove");
}

void Position::generateMoves(Move* moves, int& count) const {
    if (top().inCheck)
        board.generateEvasions(moves, count);
    else
        board.generateAll(moves, count);
}

bool Position::isLegalMove(Move move) {
    FM_ASSERT(isWellFormed(move) && board.isPseudoLegal(move));
    if (moveCaptured(move) == KING) return false;
    pushMove(move);
    const bool legal = !board.leavesKingInCheck(move, 1);
    popMove();
    return legal;
}

int Position::legalMoves(Move* moves) {
    if (!board.hasBothKings()) return 0;
    Move generated[MAX_MOVES];
    int generatedCount = 0;
    generateMoves(generated, generatedCount);
    int count = 0;
    for (int i = 0; i < generatedCount; ++i) {
        if (isLegalMove(generated[i])) moves[count++] = generated[i];
    }
    return count;
}

int Position::isLegalBySquares(Square from, Square to) {
    FM_ASSERT(isSquare(from) && isSquare(to));
    if (!board.hasBothKings()) return 0;
    Move moves[MAX_MOVES];
    int count = 0;
    generateMoves(moves, count);
    for (int i = 0; i < count; ++i) {
        if (moveFrom(moves[i]) != from || moveTo(moves[i]) != to || moveCaptured(moves[i]) == KING) continue;
        return isLegalMove(moves[i]) ? 1 : 0;
    }
    return 0;
}

// Positions with the same side to move lie an even number of plies back; none
// before the last capture or pawn move can repeat. The walk is bounded by the
// record too, since a counter may count plies from before the record began.
bool Position::isRepetition() const {
    const int fifty = top().fifty;
    const int reach = fifty < gamePly ? fifty : gamePly;
    for (int back = 2; back <= reach; back += 2) {
        if (history[gamePly - back].key == board.key) return true;
    }
    return false;
}

GameEnd Position::gameEnd() {
    if (!board.hasBothKings()) return GameEnd::None;
    const HistoryRecord& r = top();
    int repetitions = 0;
    const int reversible = r.fifty < gamePly ? r.fifty : gamePly;
    for (int k = 1; k <= reversible / 2; ++k) {
        if (history[gamePly - 2 * k].key == board.key) ++repetitions;
    }

    // With a legal move left, only the draw rules can end the game.
    Move moves[MAX_MOVES];
    int count = 0;
    generateMoves(moves, count);
    for (int i = 0; i < count; ++i) {
        if (!isLegalMove(moves[i])) continue;
        // The position stands for the fourth time: three earlier occurrences.
        if (repetitions == 3) return GameEnd::Repetition;
        if (r.fifty >= 100) return GameEnd::FiftyMoves;
        if (board.insufficientMaterial()) return GameEnd::InsufficientMaterial;
        return GameEnd::None;
    }
    if (!r.inCheck) return GameEnd::Stalemate;
    return board.side == WHITE ? GameEnd::BlackMates : GameEnd::WhiteMates;
}

void copyRootOf(const Position& position, Position& root) {
    root.copyFrom(position);
    while (root.searchPly > 0 && root.gamePly > 0) {
        if (root.history[root.gamePly - 1].move == NO_MOVE)
            root.popNullMove();
        else
            root.popMove();
    }
    root.searchPly = 0;
}
