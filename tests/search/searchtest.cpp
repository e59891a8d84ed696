#include "searchtest.h"

std::unique_ptr<Engine> searchEngineAt(const std::string& fen, int depth) {
    auto engine = engineAt(fen);
    engine->hashTable.mainHashMB = 1;
    engine->hashTable.allocate(false);
    engine->timeMode = 2;
    engine->depthLimit = depth;
    engine->postMode = 0;
    return engine;
}

Move moveNamed(Engine& engine, const std::string& text) {
    for (Move m : legalMoves(engine)) {
        if (coord(m) == text) return m;
    }
    ADD_FAILURE() << "no legal move " << text << " in " << engine.board.fen();
    return NO_MOVE;
}

std::string captureOutput(const std::function<void()>& action) {
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
}

std::vector<std::string> rootLine(Engine& engine) {
    std::vector<std::string> line;
    const PlyRecord& root = engine.ply(0);
    for (int i = 0; i < root.pvEnd; ++i) line.push_back(coord(root.pv[i]));
    return line;
}
