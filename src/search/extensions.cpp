// Extensions of forcing moves, in eighths of a ply, capped at one ply.
#include "eval/evaluator.h"
#include "search/depth.h"
#include "search/movepicker.h"
#include "search/search.h"

namespace {

// Rank of a square from the mover's side: 0 is its first rank.
inline int relativeRank(Square s, int colour) { return colour == WHITE ? rankOf(s) : 7 - rankOf(s); }

inline int difference(int a, int b) { return a > b ? a - b : b - a; }

} // namespace

void Search::computeExtension(Move move, int movesBefore) {
    FM_ASSERT(isWellFormed(move) && movesBefore >= 0 && pos.searchPly >= 1 && pos.searchPly < MAX_PLY);
    PlyRecord& node = currentPly();
    const PlyRecord& parent = ply(pos.searchPly - 1);
    const HistoryRecord& parentRecord = pos.history[pos.gamePly - 1];
    const int mover = board.side ^ 1;
    int extension = 0;

    if (top().inCheck) {
        extension = ONE_PLY;
        ++stats.checkExt;
    }
    // A recapture of equal value on the square of the opponent's capture.
    if (pos.gamePly >= 2 && isCapture(move)) {
        const Move previous = pos.history[pos.gamePly - 2].move;
        if (isCapture(previous) && moveTo(previous) == moveTo(move) &&
            eval.params().pieceValue[moveCaptured(previous)] ==
                eval.params().pieceValue[moveCaptured(move)]) {
            extension += 6;
            ++stats.recapExt;
        }
    }
    // Simplification into an ending of pawns only, or of bare kings and pawns.
    if (parent.lowMaterial && isCapture(move)) {
        if (moveCaptured(move) == PAWN) {
            if (board.pawnCount[WHITE] == 0 && board.pawnCount[BLACK] == 0 &&
                difference(board.pieceMaterial[WHITE], board.pieceMaterial[BLACK]) <= 5)
                extension = ONE_PLY;
        } else if (board.pieceMaterial[WHITE] == 0 && board.pieceMaterial[BLACK] == 0 &&
                   difference(board.pawnCount[WHITE], board.pawnCount[BLACK]) <= 3) {
            extension = ONE_PLY;
        }
    }
    // The first reply to a check that leaves one or two choices.
    if (movesBefore == 0 && parentRecord.inCheck) {
        if (parent.moveCount == 1) {
            extension += 4;
            ++stats.force1Ext;
        } else if (parent.moveCount == 2 && parent.orderScores[1] <= -100) {
            extension += 2;
            ++stats.force2Ext;
        }
    }
    if (movePiece(move) == PAWN) {
        const int rank = relativeRank(moveTo(move), mover);
        if (rank == 6) {
            extension += 6;
            ++stats.pushExt;
        } else if (rank == 5 && parent.endgame) {
            extension += 4;
            ++stats.pushExt;
        }
    }
    if (parent.mateThreat) {
        const bool early =
            parent.pickStage <= PICK_KILLERS || (parent.pickStage == PICK_QUIET && movesBefore <= 2);
        extension += early ? 6 : 3;
        ++stats.threatExt;
    }
    if (parent.bmThreat) {
        extension += 2;
        ++stats.bmExt;
    }
    node.extension = extension > ONE_PLY ? ONE_PLY : extension;
}
