// The game record: every move of the game and of the search is made and taken
// back through it, one history record per position.
#include "shell/engine.h"

void Engine::resetHistory() {
    searchPly = 0;
    gamePly = 0;
    HistoryRecord& r = history[0];
    r.move = NO_MOVE;
    r.fifty = 0;
    r.inCheck = board.hasBothKings() ? board.isAttacked(board.side ^ 1, board.kingSquare(board.side)) : 0;
    r.castling = static_cast<uint32_t>(board.castling);
    r.epSquare = board.epSquare;
    r.key = board.key;
    r.pawnKey = board.pawnKey;
    lastScore = board.hasBothKings() ? board.evaluate() : 0;
    hashTable.clear();
}

void Engine::newGame() {
    board.setStartPosition();
    resetHistory();
    if (useLearn) loadLearned();
}

void Engine::pushMove(Move move) {
    FM_ASSERT(gamePly + 1 < HISTORY_SIZE && searchPly < MAX_PLY);
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
    r.castling = previous.castling & castlingMask[from] & castlingMask[to];
    board.setCastling(static_cast<int>(r.castling));
    r.epSquare = (move & MOVE_DOUBLE_PUSH) ? (from + to) / 2 : 0;
    board.setEnPassant(r.epSquare);
    r.key = board.key;
    r.pawnKey = board.pawnKey;
    board.side ^= 1;
    if constexpr (kCheckInvariants) board.checkConsistency("pushMove", move);
}

void Engine::popMove() {
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

void Engine::pushNullMove() {
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

void Engine::popNullMove() {
    FM_ASSERT(gamePly > 0);
    --gamePly;
    --searchPly;
    board.side ^= 1;
    board.setEnPassant(history[gamePly].epSquare);
    if constexpr (kCheckInvariants) board.checkConsistency("popNullMove");
}

void Engine::generateMoves(Move* moves, int& count) const {
    if (top().inCheck)
        board.generateEvasions(moves, count);
    else
        board.generateAll(moves, count);
}

int Engine::isLegalBySquares(Square from, Square to) {
    if (!board.hasBothKings()) return 0;
    Move moves[MAX_MOVES];
    int count = 0;
    generateMoves(moves, count);
    for (int i = 0; i < count; ++i) {
        if (moveFrom(moves[i]) != from || moveTo(moves[i]) != to || moveCaptured(moves[i]) == KING) continue;
        pushMove(moves[i]);
        const int illegal = board.leavesKingInCheck(moves[i], 1);
        popMove();
        return illegal ? 0 : 1;
    }
    return 0;
}

int Engine::checkGameEnd() {
    if (!board.hasBothKings()) return 0;
    const HistoryRecord& r = top();
    int repetitions = 0;
    const int reversible = r.fifty < gamePly ? r.fifty : gamePly;
    for (int k = 1; k <= reversible / 2; ++k) {
        if (history[gamePly - 2 * k].key == board.key) ++repetitions;
    }

    Move moves[MAX_MOVES];
    int count = 0;
    generateMoves(moves, count);
    for (int i = 0; i < count; ++i) {
        if (moveCaptured(moves[i]) == KING) continue;
        pushMove(moves[i]);
        const int illegal = board.leavesKingInCheck(moves[i], 1);
        popMove();
        if (illegal) continue;
        // The position stands for the fourth time: three earlier occurrences.
        if (repetitions == 3) {
            print("1/2-1/2 {Draw by repetition}\n");
            return 3;
        }
        if (r.fifty >= 100) {
            print("1/2-1/2 {Draw by fifty move rule}\n");
            return 3;
        }
        if (board.insufficientMaterial()) {
            print("1/2-1/2 {Draw by insufficent material}\n");
            return 3;
        }
        return 0;
    }
    if (!r.inCheck) {
        print("1/2-1/2 {Stalemate}\n");
        return 3;
    }
    if (board.side == WHITE) {
        print("0-1 {Black mates}\n");
        return 2;
    }
    print("1-0 {White mates}\n");
    return 1;
}
