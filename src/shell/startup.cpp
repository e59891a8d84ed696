// Start-up: the order in which the engine's parts are brought up.
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "egtb/tablebases.h"
#include "eval/tables.h"
#include "shell/engine.h"
#include "shell/settings.h"

void Engine::run(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    ignoreBrokenPipeSignal();
    init();
    newGame();
    if (search.options.useBook && !books.load(settings.bookPath, *this)) {
        search.options.useBook = false;
        print("Book not loaded\n");
    }
    // Tablebase messages go through print, so that they reach the log as well.
    setTablebaseOutput([this](const char* text) { print("%s", text); });
    if (search.options.useTablebases &&
        !loadTablebases(settings.tbPath, settings.egtbCacheMB, modes.xboard)) {
        search.options.useTablebases = false;
        print("Nalimov table base NOT loaded!\n");
    }
    print("\n");
    mainLoop(argc, argv);
}

void Engine::init() {
    game().position.searchPly = 0;
    game().position.gamePly = 0;
    readConfig();
    modes = ShellModes{};
    game().result = NO_RESULT;
    // One poll decides how input is read; at a console this sets rawInput.
    inputAvailable();
    search.modes = SearchModes{};
    search.time.depthLimit = 65;
    search.time.moveTimeMs = 2000;
    search.time.mode = TimeMode::FixedTime;
    sizeMainTable(hashTable, true);
    // Tables are built after the configuration so that its piece values count.
    initEvalTables();
    applyEvaluationChange(*this);
    announceCache(evaluator.caches().pawn.allocate());
    announceCache(evaluator.caches().eval.allocate());
    setThreads(settings.threads);
    books.closeAll();
    if (search.options.useLearn && !books.learnStore.open()) {
        search.options.useLearn = false;
        print("Learn file not found\n");
    }
    std::srand(static_cast<unsigned>(std::time(nullptr)));
}
