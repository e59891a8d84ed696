#include <memory>

#include "eval/weights.h"
#include "shell/engine.h"

int main() {
    initEvalTables();
    auto engine = std::make_unique<Engine>();
    engine->newGame();
    engine->board.display(stdout);
    return 0;
}
