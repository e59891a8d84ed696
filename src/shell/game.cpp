// The game: new games, the rules it follows and the announcement of results.
#include "shell/game.h"

#include "board/movetext.h"

void Game::restart() {
    position.board.setStartPosition();
    position.resetHistory();
}

bool Game::setChess960(bool on) {
    if (chess960() == on) return false;
    position.board.setChess960(on);
    position.resetHistory();
    return true;
}

std::string Game::xboardMoveText(Move move) const {
    if (chess960() && (move & MOVE_CASTLE)) return isKingSideCastle(move) ? "O-O" : "O-O-O";
    char text[8];
    moveToCoord(move, text);
    return text;
}

int Game::checkEnd(Output& out) {
    switch (position.gameEnd()) {
        case GameEnd::None:
            return NO_RESULT;
        case GameEnd::Repetition:
            out.print("1/2-1/2 {Draw by repetition}\n");
            return DRAWN;
        case GameEnd::FiftyMoves:
            out.print("1/2-1/2 {Draw by fifty move rule}\n");
            return DRAWN;
        case GameEnd::InsufficientMaterial:
            out.print("1/2-1/2 {Draw by insufficent material}\n");
            return DRAWN;
        case GameEnd::Stalemate:
            out.print("1/2-1/2 {Stalemate}\n");
            return DRAWN;
        case GameEnd::BlackMates:
            out.print("0-1 {Black mates}\n");
            return BLACK_WON;
        case GameEnd::WhiteMates:
            out.print("1-0 {White mates}\n");
            return WHITE_WON;
    }
    return NO_RESULT;
}
