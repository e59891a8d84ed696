// The main loop: the engine's turn when it is to move, then one input line,
// run as a command or played as a move.
#include <string>

#include "board/movetext.h"
#include "shell/commandline.h"
#include "shell/engine.h"
#include "shell/uci.h"
#include "shell/words.h"

void Engine::runArguments(int argc, char** argv) {
    int i = 1;
    while (i < argc && !startsArgumentGroup(argv[i])) ++i; // words before the first group do nothing
    while (i < argc) {
        std::string line;
        do {
            line += argv[i];
            line += ' ';
            ++i;
        } while (i < argc && !startsArgumentGroup(argv[i]));
        line += '\n';
        inputQueue().runningArguments = true;
        parseCommand(line.c_str());
        inputQueue().runningArguments = false;
    }
}

void Engine::mainLoop(int argc, char** argv) {
    runArguments(argc, argv);
    const Position& position = game().position;
    std::string line;
    for (bool first = true;; first = false) {
        if (modes.computerSide == position.board.side) {
            enginesTurn();
        } else if (ponderOnOpponentsTurn) {
            ponderOnOpponentsTurn = false;
            if (modes.computerSide == (position.board.side ^ 1) && position.board.hasBothKings() &&
                ponderUntilReply())
                continue; // the opponent has moved: the engine's turn
        }
        if (!modes.xboard) {
            std::printf("%s<%d>: ", position.board.side == WHITE ? "WHITE" : "BLACK", position.moveNumber());
            std::fflush(stdout);
        }
        if (standardOutputFailed()) endForClosedOutput(); // what was printed directly failed too
        if (!inputQueue().next(line)) return;
        // A GUI speaking UCI opens with "uci": the rest of the run is that protocol's.
        if (first && firstWord(line.c_str()) == "uci") {
            UciSession(*this).run();
            return;
        }
        if (!parseCommand(line.c_str())) playInputMove(line.c_str());
        if (game().result != NO_RESULT) {
            modes.computerSide = NEUTRAL;
            learnGameResult();
        }
    }
}

void Engine::playInputMove(const char* line) { playMoveText(firstWord(line), false); }

void Engine::playMoveText(const std::string& word, bool namedMove) {
    if (!positionPlayable()) return;
    Position& position = game().position;
    const Move parsed = parseMove(position, word.c_str());
    const Move move =
        moveFromSquares(position.board, moveFrom(parsed), moveTo(parsed), movePromotion(parsed));
    if (move == NO_MOVE || !position.isLegalBySquares(moveFrom(move), moveTo(move))) {
        if (!modes.xboard)
            print("Illegal Move!\n");
        else if (namedMove || looksLikeMove(word.c_str()))
            print("Illegal move: %s\n", word.c_str());
        else
            print("Error (unknown command): %s\n", word.c_str());
        return;
    }
    if (!roomForGameMove()) return;
    position.pushGameMove(move);
    if (game().checkEnd(*this)) modes.computerSide = NEUTRAL;
}
