#include "shell/engine.h"

// Under a loaded system a GUI may see a move tens of milliseconds after the
// engine sent it, and a busy machine may stall the engine for a few hundred;
// on a fast control that is what a clock lived on the increment runs out of.
constexpr int32_t CLOCK_RESERVE_MS = 50;
constexpr int32_t RESERVE_INCREMENTS = 4;

Engine::Engine() : search(theGame.position, hashTable, *this, evaluator) {
    theGame.board().usePieceSquareTables(pieceSquareTables);
    search.time.clockReserveMs = CLOCK_RESERVE_MS;
    search.time.reserveIncrements = RESERVE_INCREMENTS;
}

// The book and the learning store close their own files.
Engine::~Engine() {
    if (logFile) std::fclose(logFile);
}

void Engine::write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    if (settings.useLog && logFile) {
        std::fwrite(text.data(), 1, text.size(), logFile);
        std::fflush(logFile);
    }
    // The GUI or the pipe's reader has gone: nothing the engine does can be seen.
    if (standardOutputFailed()) endForClosedOutput();
}

// --- the game ----------------------------------------------------------------------

void Engine::forgetOldRecord() {
    const Board& board = theGame.board();
    search.setScoreReference(board.hasBothKings() ? evaluator.evaluate(board) : 0);
    hashTable.clear();
}

void Engine::resetHistory() {
    theGame.position.resetHistory();
    forgetOldRecord();
}

void Engine::newGame(Output& out) {
    theGame.restart();
    forgetOldRecord();
    // Learned positions come from standard games.
    if (search.options.useLearn && !theGame.chess960()) books.learnStore.load(hashTable, out);
}

void Engine::setChess960(bool on) {
    if (theGame.setChess960(on)) forgetOldRecord();
}
