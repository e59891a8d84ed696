#include "shell/engine.h"

#include "shell/settings.h"

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
    takeScoreReference();
    hashTable.clear();
}

void Engine::resetHistory() {
    theGame.position.resetHistory();
    forgetOldRecord();
}

void Engine::forgetSearchMemory() {
    search.forgetHistory();
    helpers.forgetHistory();
}

void Engine::newGame(Output& out) {
    theGame.restart();
    forgetOldRecord();
    // What the searches learnt about move order and evaluation errors belongs
    // to the last game: the new one starts as a fresh engine would.
    forgetSearchMemory();
    // Learned positions come from standard games.
    if (search.options.useLearn && !theGame.chess960()) books.learnStore.load(hashTable, out);
}

void Engine::setChess960(bool on) {
    if (theGame.setChess960(on)) forgetOldRecord();
}

// --- the search --------------------------------------------------------------------

Move Engine::think(const std::vector<Move>& rootMoves) {
    search.searchMoves = rootMoves;
    searching = true;
    const Move move = searchFunction ? searchFunction(*this) : search.think();
    searching = false;
    search.searchMoves.clear();
    return move;
}

int Engine::evaluation() {
    const Board& board = theGame.board();
    return board.hasBothKings() ? evaluator.evaluate(board) : 0;
}

void Engine::takeScoreReference() { search.setScoreReference(evaluation()); }

Move Engine::tableMove(const Board& board) const {
    return hashTable.readEntry(tableKey(board.side, board.key)).move;
}

// --- the options and the UCI front end -------------------------------------------

std::string Engine::optionValue(const EngineOption& option) const { return option.current(*this); }

bool Engine::setOption(const EngineOption& option, const std::string& value, Output& out) {
    return applyOption(*this, option, value, out);
}

// The console's modes step aside: no thinking output of its own and no side
// it plays; under modes.uci the tables change size without printing their
// size lines, which are no protocol.
void Engine::enterUci(SearchListener& session) {
    modes.uci = true;
    modes.post = PostMode::Silent;
    modes.computerSide = NEUTRAL;
    search.setListener(session);
}
