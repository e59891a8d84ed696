// The engine's turn, pondering on the opponent's time, and the input poll that
// a running search calls.
#include <string>

#include "book/book.h"
#include "shell/engine.h"
#include "shell/words.h"

namespace {

const char* colourName(int side) { return side == WHITE ? "WHITE" : "BLACK"; }

// Resigns at scores from the edge of the mate range up to the resign value.
constexpr int RESIGN_FLOOR = -9935;

} // namespace

int Engine::inputAvailable() {
    if (!xboardMode) rawInput = true;
    return input.waiting() ? 1 : 0;
}

int Engine::readInputLine(std::string& line) {
    if (!input.readLine(line)) return 0;
    if (useLog && logFile) {
        std::fprintf(logFile, "xboard>: %s", line.c_str());
        std::fflush(logFile);
    }
    return 1;
}

Move Engine::runSearch() {
    searching = true;
    const Move move = searchFunction ? searchFunction(*this) : think();
    searching = false;
    return move;
}

bool Engine::positionPlayable() {
    if (board.hasBothKings()) return true;
    if (xboardMode)
        print("tellusererror Illegal position\n");
    else
        print("Illegal position: each side needs exactly one king\n");
    computerSide = NEUTRAL;
    return false;
}

bool Engine::roomForGameMove() {
    if (hasRoomForMove()) return true;
    if (xboardMode)
        print("tellusererror Game too long\n");
    else
        print("Game too long: no room for more moves\n");
    computerSide = NEUTRAL;
    return false;
}

void Engine::learnGameResult() {
    if (!useBook) return;
    learnFromResult(gameResult);
    gameResult = 0;
}

// After the engine's search: resigns, or announces and plays the move. False
// when the engine's turn ends there (resigned, no legal move, the record is
// full or the game is over), which leaves the engine in force mode.
bool Engine::playSearchedMove(Move best) {
    if (rootScore >= RESIGN_FLOOR && rootScore <= resignValue) {
        if (xboardMode)
            print("resign\n");
        else
            print("%s<%d>: resigns\n", colourName(board.side), gamePly / 2 + 1);
        computerSide = NEUTRAL;
        return false;
    }
    if (!board.isPseudoLegal(best)) {
        print(xboardMode ? "(no legal moves)\n" : "No Legal Moves!\n");
        computerSide = NEUTRAL;
        return false;
    }
    if (!roomForGameMove()) return false;
    char text[16];
    if (xboardMode) {
        moveToCoord(best, text);
        print("move %s\n", text);
    } else {
        moveToSan(best, text);
        print("%s<%d>: %s\n", colourName(board.side), gamePly / 2 + 1, text);
    }
    pushGameMove(best);
    if (checkGameEnd()) {
        computerSide = NEUTRAL;
        return false;
    }
    return true;
}

// The engine's turn: search, resign or play, then ponder while it is enabled.
void Engine::enginesTurn() {
    if (!positionPlayable() || !roomForGameMove()) return;
    Move best = runSearch();
    for (;;) {
        if (gameResult != 0) {
            computerSide = NEUTRAL;
            learnGameResult();
            return;
        }
        if (!playSearchedMove(best)) return;
        if (!ponderEnabled) return;
        int outcome;
        do outcome = ponder();
        while (outcome == 2);
        if (outcome == 0) return;
        best = runSearch();
    }
}

namespace {

// A move the opponent may play here: pseudo-legal, and not leaving its king attacked.
bool isPlayable(Engine& e, Move move) {
    if (!e.board.isPseudoLegal(move) || moveCaptured(move) == KING) return false;
    return e.isLegalBySquares(moveFrom(move), moveTo(move)) != 0;
}

} // namespace

// Plays the opponent's move caught during a search: REPLY_PLAYED when the
// engine is to move now, REPLY_GAME_OVER when it ended the game (or the record
// is full), REPLY_ILLEGAL when there was none or it is not legal here.
enum ReplyOutcome { REPLY_ILLEGAL, REPLY_GAME_OVER, REPLY_PLAYED };

static ReplyOutcome playReply(Engine& e, int opponent) {
    if (e.ponderReply == NO_MOVE) return REPLY_ILLEGAL;
    const Move reply =
        e.moveFromSquares(moveFrom(e.ponderReply), moveTo(e.ponderReply), movePromotion(e.ponderReply));
    if (reply == NO_MOVE || !e.isLegalBySquares(moveFrom(reply), moveTo(reply))) return REPLY_ILLEGAL;
    if (!e.roomForGameMove()) return REPLY_GAME_OVER;
    if (!e.xboardMode) {
        char text[16];
        moveToCoord(reply, text);
        e.print("%s<%d>: %s\n", colourName(opponent), e.gamePly / 2 + 1, text);
    }
    e.pushGameMove(reply);
    if (e.checkGameEnd()) {
        e.computerSide = NEUTRAL;
        return REPLY_GAME_OVER;
    }
    return REPLY_PLAYED;
}

// Thinks on the opponent's time about the reply it expects. 0: back to the
// prompt; 1: the opponent's move has been played, think now; 2: the engine has
// replied (ponder hit), ponder again.
int Engine::ponder() {
    const int opponent = board.side;
    ponderMove = ponderReply = NO_MOVE;
    const HashEntry entry = hashTable.readEntry(opponent, static_cast<uint32_t>(board.key),
                                                static_cast<uint32_t>(board.key >> 32));
    ponderMove = entry.move;

    if (!isPlayable(*this, ponderMove)) {
        // No move to ponder on from the table: search the opponent's position for one.
        ponderSearch = true;
        ponderMove = runSearch();
        ponderSearch = false;
        if (gameResult != 0) {
            learnGameResult();
            return 0;
        }
        const ReplyOutcome outcome = playReply(*this, opponent);
        if (outcome != REPLY_ILLEGAL) return outcome == REPLY_PLAYED ? 1 : 0;
        if (!isPlayable(*this, ponderMove)) return 0;
    }
    if (!roomForGameMove()) return 0;

    char san[16];
    moveToSan(ponderMove, san);
    if (xboardMode)
        print("pondering on move [%s]\n", san);
    else
        print("%s<%d>: %s [pondering]\n", colourName(opponent), gamePly / 2 + 1, san);
    pushGameMove(ponderMove);
    pondering = true;
    const Move best = runSearch();

    if (gameResult != 0) {
        if (pondering) {
            pondering = false;
            popGameMove();
        }
        learnGameResult();
        return 0;
    }
    if (pondering) {
        // A different reply, or none at all: the expected move is taken back.
        pondering = false;
        popGameMove();
        return playReply(*this, opponent) == REPLY_PLAYED ? 1 : 0;
    }

    // Ponder hit: the search went on as the engine's own.
    return playSearchedMove(best) ? 2 : 0;
}

void Engine::checkInput() {
    if (timeMode == 2) return; // a fixed-depth search reads no input and keeps no clock
    if (stopRequested) {
        searchAborted = true;
        return;
    }
    if (inputAvailable()) {
        std::string line;
        if (!readInputLine(line)) {
            stopRequested = searchAborted = true;
            return;
        }
        if (!parseSearchCommand(line.c_str()) && (pondering || ponderSearch)) {
            // Only coordinate notation is recognised during a search.
            const Move move = coordToMove(firstWord(line.c_str()).c_str());
            if (move != NO_MOVE) {
                ponderReply = move;
                if (ponderSearch) {
                    stopRequested = searchAborted = true;
                } else if (pondering && sameMove(move, ponderMove)) {
                    pondering = false;
                    allocateTime(gamePly - searchPly);
                    const int64_t now = wallClockMs(), cpuNow = cpuClockMs();
                    startTime = now - (now - startTime) / 3;
                    startCpuTime = cpuNow - (cpuNow - startCpuTime) / 3;
                    print("Expected move!\n");
                } else if (pondering) {
                    stopRequested = searchAborted = true;
                    print("Unexpected move!\n");
                }
            }
        }
    }
    checkTime();
}
