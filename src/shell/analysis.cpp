// Analysis mode: the engine searches the position until told to stop, and
// follows the board: a move, undo, new, setboard or edit sent meanwhile acts
// at once, and the analysis starts again on the position it leaves.
#include "shell/engine.h"
#include "shell/words.h"

namespace {

// Analysis mode for as long as the analysis lasts, also between its searches
// (so that "exit" ends it there too).
struct AnalysisMode {
    explicit AnalysisMode(SearchModes& m) : modes(m) { modes.analyze = true; }
    ~AnalysisMode() { modes.analyze = false; }
    SearchModes& modes;
};

} // namespace

void Engine::analyze() {
    const AnalysisMode mode(search.modes);
    for (;;) {
        if (game().board().hasBothKings()) {
            runSearch();
            // Stopped by a command that ends the analysis (exit, ?, force, result,
            // easy) or by the end of the input.
            if (search.stopWasRequested() && !inputQueue().holdingBack()) return;
        }
        if (!inputQueue().holdingBack()) {
            // The search ended by itself (a mate, the depth limit), or there is
            // no position to search: wait for the next command.
            std::string line;
            for (;;) {
                if (!inputQueue().read(line)) return;
                search.clearStopRequest();
                if (!parseSearchCommand(line.c_str())) break;
                if (search.stopWasRequested()) return;
            }
            inputQueue().holdBack(line);
        }
        std::string line;
        while (inputQueue().takeHeldBack(line)) {
            if (firstWord(line.c_str()) == "analyze") continue; // analysing already
            if (!parseCommand(line.c_str())) playInputMove(line.c_str());
        }
    }
}
