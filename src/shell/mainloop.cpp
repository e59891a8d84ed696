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
        runningArguments = true;
        parseCommand(line.c_str());
        runningArguments = false;
    }
}

bool Engine::nextLine(std::string& line) {
    if (!pendingInput.empty()) {
        line = pendingInput.front();
        pendingInput.pop_front();
        return true;
    }
    return readInputLine(line) != 0;
}

void Engine::mainLoop(int argc, char** argv) {
    runArguments(argc, argv);
    std::string line;
    for (bool first = true;; first = false) {
        if (modes.computerSide == position.board.side) enginesTurn();
        if (!modes.xboard) {
            std::printf("%s<%d>: ", position.board.side == WHITE ? "WHITE" : "BLACK",
                        position.gamePly / 2 + 1);
            std::fflush(stdout);
        }
        if (standardOutputFailed()) endForClosedOutput(); // what was printed directly failed too
        if (!nextLine(line)) return;
        // A GUI speaking UCI opens with "uci": the rest of the run is that protocol's.
        if (first && firstWord(line.c_str()) == "uci") {
            UciSession(*this).run();
            return;
        }
        if (!parseCommand(line.c_str())) playInputMove(line.c_str());
        if (gameResult != NO_RESULT) {
            modes.computerSide = NEUTRAL;
            learnGameResult();
        }
    }
}

void Engine::playInputMove(const char* line) {
    const std::string word = firstWord(line);
    if (!positionPlayable()) return;
    const Move parsed = parseMove(position, word.c_str());
    const Move move =
        moveFromSquares(position.board, moveFrom(parsed), moveTo(parsed), movePromotion(parsed));
    if (move == NO_MOVE || !position.isLegalBySquares(moveFrom(move), moveTo(move))) {
        if (modes.xboard)
            print("Error (unknown command): %s\n", word.c_str());
        else
            print("Illegal Move!\n");
        return;
    }
    if (!roomForGameMove()) return;
    position.pushGameMove(move);
    if (checkGameEnd()) modes.computerSide = NEUTRAL;
}
