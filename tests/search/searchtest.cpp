#include "searchtest.h"

std::unique_ptr<SearchRig> searchAt(const std::string& fen, int depth) {
    auto rig = std::make_unique<SearchRig>();
    EXPECT_EQ(rig->board().readFen(fen.c_str()), 1) << fen;
    rig->position.resetHistory();
    rig->table.mainHashMB = 1;
    rig->table.allocate();
    rig->search.time.mode = TimeMode::FixedDepth;
    rig->search.time.depthLimit = depth;
    return rig;
}

std::vector<std::string> rootLine(const Search& search) {
    std::vector<std::string> line;
    const PlyRecord& root = search.ply(0);
    for (int i = 0; i < root.pvEnd; ++i) line.push_back(coord(root.pv[i]));
    return line;
}
