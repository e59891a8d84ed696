// The engine's turn and pondering on the opponent's time.
#include <string>

#include "board/movetext.h"
#include "shell/engine.h"

namespace {

const char* colourName(int side) { return side == WHITE ? "WHITE" : "BLACK"; }

// Resigns at scores from the edge of the mate range up to the resign value.
constexpr int RESIGN_FLOOR = -9935;

} // namespace

bool Engine::inputAvailable() {
    if (!modes.xboard) modes.rawInput = true;
    return inputQueue().waiting();
}

Move Engine::runSearch(bool ownMove) {
    const Move move = think({});
    if (!ownMove) answerDeferredPings();
    return move;
}

void Engine::answerDeferredPings() {
    for (const std::string& pong : inputQueue().takeDeferredPongs()) print("%s", pong.c_str());
}

bool Engine::positionPlayable() {
    if (game().board().hasBothKings()) return true;
    if (modes.xboard)
        print("tellusererror Illegal position\n");
    else
        print("Illegal position: each side needs exactly one king\n");
    modes.computerSide = NEUTRAL;
    return false;
}

bool Engine::roomForGameMove() {
    if (game().position.hasRoomForMove()) return true;
    if (modes.xboard)
        print("tellusererror Game too long\n");
    else
        print("Game too long: no room for more moves\n");
    modes.computerSide = NEUTRAL;
    return false;
}

void Engine::learnGameResult() {
    if (!search.options.useBook || game().chess960()) return;
    books.noteReadOnly("result learning", *this);
    books.book.learnFromResult(game().position, game().result, modes.learnColor);
    game().result = NO_RESULT;
}

// After the engine's search: resigns, or announces and plays the move. False
// when the engine's turn ends there (resigned, no legal move, the record is
// full or the game is over), which leaves the engine in force mode.
bool Engine::playSearchedMove(Move best) {
    Position& position = game().position;
    const Board& board = position.board;
    if (search.bestScore() >= RESIGN_FLOOR && search.bestScore() <= settings.resignValue) {
        if (modes.xboard)
            print("resign\n");
        else
            print("%s<%d>: resigns\n", colourName(board.side), position.moveNumber());
        modes.computerSide = NEUTRAL;
        return false;
    }
    if (!board.isPseudoLegal(best)) {
        print(modes.xboard ? "(no legal moves)\n" : "No Legal Moves!\n");
        modes.computerSide = NEUTRAL;
        return false;
    }
    if (!roomForGameMove()) return false;
    char text[16];
    if (modes.xboard) {
        print("move %s\n", game().xboardMoveText(best).c_str());
    } else {
        moveToSan(position, best, text);
        print("%s<%d>: %s\n", colourName(board.side), position.moveNumber(), text);
    }
    position.pushGameMove(best);
    if (game().checkEnd(*this)) {
        modes.computerSide = NEUTRAL;
        return false;
    }
    return true;
}

// The engine's turn: search, resign or play, then ponder while it is enabled.
void Engine::enginesTurn() {
    if (!positionPlayable() || !roomForGameMove()) return;
    Move best = runSearch(true);
    while (concludeTurn(best) && ponderUntilReply()) best = runSearch(true);
}

bool Engine::concludeTurn(Move best) {
    if (game().result != NO_RESULT) {
        modes.computerSide = NEUTRAL;
        answerDeferredPings();
        learnGameResult();
        return false;
    }
    const bool played = playSearchedMove(best);
    answerDeferredPings();
    return played;
}

// Commands that came during the engine's own search run first: the engine
// ponders only when none waits.
bool Engine::ponderUntilReply() {
    if (!modes.ponderEnabled || inputQueue().holdingBack()) return false;
    int outcome;
    do outcome = ponder();
    while (outcome == 2 && !inputQueue().holdingBack() && modes.ponderEnabled);
    answerDeferredPings();
    return outcome == 1;
}

namespace {

// A move the opponent may play here: pseudo-legal, and not leaving its king attacked.
bool isPlayable(Position& position, Move move) {
    if (!position.board.isPseudoLegal(move) || moveCaptured(move) == KING) return false;
    return position.isLegalBySquares(moveFrom(move), moveTo(move)) != 0;
}

} // namespace

// Plays the opponent's move caught during a search: REPLY_PLAYED when the
// engine is to move now, REPLY_GAME_OVER when it ended the game (or the record
// is full), REPLY_ILLEGAL when there was none or it is not legal here.
enum ReplyOutcome { REPLY_ILLEGAL, REPLY_GAME_OVER, REPLY_PLAYED };

static ReplyOutcome playReply(Engine& e, int opponent) {
    Position& position = e.game().position;
    if (e.ponderReply == NO_MOVE) return REPLY_ILLEGAL;
    const Move reply = moveFromSquares(position.board, moveFrom(e.ponderReply), moveTo(e.ponderReply),
                                       movePromotion(e.ponderReply));
    if (reply == NO_MOVE || !position.isLegalBySquares(moveFrom(reply), moveTo(reply))) return REPLY_ILLEGAL;
    if (!e.roomForGameMove()) return REPLY_GAME_OVER;
    if (!e.modes.xboard) {
        char text[16];
        moveToCoord(reply, text);
        e.print("%s<%d>: %s\n", colourName(opponent), position.moveNumber(), text);
    }
    position.pushGameMove(reply);
    if (e.game().checkEnd(e)) {
        e.modes.computerSide = NEUTRAL;
        return REPLY_GAME_OVER;
    }
    return REPLY_PLAYED;
}

// Thinks on the opponent's time about the reply it expects. 0: back to the
// prompt; 1: the opponent's move has been played, think now; 2: the engine has
// replied (ponder hit), ponder again.
int Engine::ponder() {
    Position& position = game().position;
    const Board& board = position.board;
    SearchModes& searchModes = search.modes;
    const int opponent = board.side;
    ponderMove = ponderReply = NO_MOVE;
    ponderMove = tableMove(board);

    if (!isPlayable(position, ponderMove)) {
        // No move to ponder on from the table: search the opponent's position for one.
        searchModes.ponderSearch = true;
        ponderMove = runSearch();
        searchModes.ponderSearch = false;
        if (game().result != NO_RESULT) {
            learnGameResult();
            return 0;
        }
        const ReplyOutcome outcome = playReply(*this, opponent);
        if (outcome != REPLY_ILLEGAL) return outcome == REPLY_PLAYED ? 1 : 0;
        // A command ended the search (it is held back in the input queue, or it was
        // force or easy): no pondering now.
        if (inputQueue().holdingBack() || !modes.ponderEnabled || modes.computerSide == NEUTRAL) return 0;
        if (!isPlayable(position, ponderMove)) return 0;
    }
    if (!roomForGameMove()) return 0;

    char san[16];
    moveToSan(position, ponderMove, san);
    if (modes.xboard)
        print("pondering on move [%s]\n", san);
    else
        print("%s<%d>: %s [pondering]\n", colourName(opponent), position.moveNumber(), san);
    position.pushGameMove(ponderMove);
    searchModes.pondering = true;
    const Move best = runSearch(true); // after a ponder hit it searches the engine's own move

    if (game().result != NO_RESULT) {
        if (searchModes.pondering) {
            searchModes.pondering = false;
            position.popGameMove();
        }
        learnGameResult();
        return 0;
    }
    if (searchModes.pondering) {
        // A different reply, or none at all: the expected move is taken back.
        searchModes.pondering = false;
        position.popGameMove();
        return playReply(*this, opponent) == REPLY_PLAYED ? 1 : 0;
    }

    // Ponder hit: the search went on as the engine's own.
    const bool played = playSearchedMove(best);
    answerDeferredPings();
    return played ? 2 : 0;
}
