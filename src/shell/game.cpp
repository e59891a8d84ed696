// The game: new games, set-up positions and the announcement of results.
#include "board/movetext.h"
#include "shell/engine.h"

void Engine::resetHistory() {
    position.resetHistory();
    search.setScoreReference(position.board.hasBothKings() ? evaluator.evaluate(position.board) : 0);
    hashTable.clear();
}

void Engine::newGame(Output& out) {
    position.board.setStartPosition();
    resetHistory();
    // Learned positions come from standard games.
    if (search.options.useLearn && !chess960()) books.learnStore.load(hashTable, out);
}

void Engine::setChess960(bool on) {
    if (chess960() == on) return;
    position.board.setChess960(on);
    resetHistory();
}

std::string Engine::xboardMoveText(Move move) const {
    if (chess960() && (move & MOVE_CASTLE)) return isKingSideCastle(move) ? "O-O" : "O-O-O";
    char text[8];
    moveToCoord(move, text);
    return text;
}

int Engine::checkGameEnd() {
    switch (position.gameEnd()) {
        case GameEnd::None:
            return NO_RESULT;
        case GameEnd::Repetition:
            print("1/2-1/2 {Draw by repetition}\n");
            return DRAWN;
        case GameEnd::FiftyMoves:
            print("1/2-1/2 {Draw by fifty move rule}\n");
            return DRAWN;
        case GameEnd::InsufficientMaterial:
            print("1/2-1/2 {Draw by insufficent material}\n");
            return DRAWN;
        case GameEnd::Stalemate:
            print("1/2-1/2 {Stalemate}\n");
            return DRAWN;
        case GameEnd::BlackMates:
            print("0-1 {Black mates}\n");
            return BLACK_WON;
        case GameEnd::WhiteMates:
            print("1-0 {White mates}\n");
            return WHITE_WON;
    }
    return NO_RESULT;
}
