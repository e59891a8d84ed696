// The engine as the stream drivers run it: one Engine for the whole process
// (its tables are small, set by a falkmere.ini in the scratch directory), put
// back into the state of a fresh start before each input, with every search
// held to a few hundred nodes.
#pragma once

#include <cstdint>
#include <string>
#include <unistd.h>

#include "fuzz_support.h"
#include "shell/engine.h"
#include "shell/settings.h"

namespace fuzzsupport {

constexpr uint32_t SEARCH_NODES = 300;

inline Engine*& sharedEngine() {
    static Engine* engine = nullptr;
    return engine;
}

// The evaluation parameters as falkmere.ini set them at the first start.
inline EvalParams& savedParams() {
    static EvalParams params;
    return params;
}

// Once per process, after enterScratchDirectory().
inline Engine& startEngine() {
    static const char INI[] = "MAIN_HASH_SIZE 1\nPAWN_HASH_SIZE 1\nEVAL_HASH_SIZE 1\n";
    writeFile("falkmere.ini", reinterpret_cast<const uint8_t*>(INI), sizeof INI - 1);
    Engine* engine = new Engine();
    const int fd = inputDescriptor("");
    engine->inputQueue().readFrom(fd);
    engine->init();
    close(fd);
    savedParams() = engine->evalParams;
    sharedEngine() = engine;
    return *engine;
}

// The state of a fresh start, reading its input from `fd`. With `initFollows`
// the caller starts the engine again (Engine::init), which reads the
// parameters, builds the tables and sizes and clears every cache itself: the
// first start's parameters are put back for it to read over, and nothing is
// cleared or built twice.
inline Engine& resetEngine(int fd, bool initFollows = false) {
    Engine& e = *sharedEngine();
    e.inputQueue() = InputQueue{}; // nothing held back, no pong deferred, no log copy
    e.inputQueue().readFrom(fd);
    e.modes = ShellModes{};
    e.search.modes = SearchModes{};
    TimeControl fresh;
    fresh.clockReserveMs = e.search.time.clockReserveMs;
    fresh.reserveIncrements = e.search.time.reserveIncrements;
    e.search.time = fresh;
    e.search.time.nodeLimit = SEARCH_NODES;
    e.search.searchMoves.clear();
    e.search.options = SearchOptions{};
    e.settings.bookBestMove = false;
    e.books.closeAll();
    e.game().result = NO_RESULT;
    e.ponderOnOpponentsTurn = false;
    if (e.evalParams != savedParams()) {
        e.evalParams = savedParams();
        if (!initFollows) applyEvaluationChange(e);
    }
    if (!initFollows) e.newGame();
    return e;
}

} // namespace fuzzsupport
