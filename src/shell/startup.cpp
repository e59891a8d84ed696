// Start-up: the order in which the engine's parts are brought up.
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "egtb/tablebases.h"
#include "eval/evalcache.h"
#include "eval/pawncache.h"
#include "eval/weights.h"
#include "shell/engine.h"

void Engine::run(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    init();
    newGame();
    if (useBook && !loadBook(bookPath)) {
        useBook = false;
        print("Book not loaded\n");
    }
    // Tablebase messages go through print, so that they reach the log as well.
    setTablebaseOutput([this](const char* text) { print("%s", text); });
    if (useTablebases && !loadTablebases(tbPath, egtbCacheMB, xboardMode)) {
        useTablebases = false;
        print("Nalimov table base NOT loaded!\n");
    }
    print("\n");
    mainLoop(argc, argv);
}

void Engine::init() {
    searchPly = 0;
    gamePly = 0;
    readConfig();
    pvDepth = 5;
    xboardMode = false;
    computerSide = BLACK;
    learnColor = BLACK;
    postMode = 1;
    ponderEnabled = true;
    gameResult = 0;
    // One poll decides how input is read; at a console this sets rawInput.
    inputAvailable();
    pondering = ponderSearch = analyzeMode = false;
    depthLimit = 65;
    moveTimeMs = 2000;
    timeMode = 1;
    hashTable.allocate();
    // Tables are built after the configuration so that its piece values count.
    initEvalTables();
    pawnHashTable.allocate();
    evalCache.allocate();
    if (bookFile) std::fclose(bookFile);
    bookFile = nullptr;
    if (useLearn && !openLearnFile()) {
        useLearn = false;
        print("Learn file not found\n");
    }
    std::srand(static_cast<unsigned>(std::time(nullptr)));
}
