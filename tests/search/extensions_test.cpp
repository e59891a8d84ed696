// Extensions of forcing moves, in eighths of a ply, for the moves that earn
// them. (Extensions that follow the picker's state, forced replies and threats,
// show in the bench node count.)
#include "searchtest.h"

namespace {

// Makes `move` at the search's root and returns the extension granted to it.
int extensionOf(SearchRig& rig, const std::string& move, int movesBefore = 0) {
    const Move m = moveNamed(rig.position, move);
    rig.position.pushMove(m);
    inside(rig.search).computeExtension(m, movesBefore);
    const int extension = rig.search.ply(rig.position.searchPly).extension;
    rig.position.popMove();
    return extension;
}

} // namespace

TEST(Extensions, ChecksAndTheCapAtOnePly) {
    auto e = searchAt("4k3/8/8/8/8/8/8/R3K3 w - -");
    EXPECT_EQ(extensionOf(*e, "a1a8"), 8);
    EXPECT_EQ(inside(e->search).stats.checkExt, 1u);
    EXPECT_EQ(extensionOf(*e, "a1a7"), 0);
    // A pawn that reaches the seventh rank with check: 8 + 6, capped.
    auto e2 = searchAt("3k4/8/4P3/8/8/8/8/4K3 w - -");
    EXPECT_EQ(extensionOf(*e2, "e6e7"), 8);
    EXPECT_EQ(inside(e2->search).stats.checkExt, 1u);
    EXPECT_EQ(inside(e2->search).stats.pushExt, 1u);
}

TEST(Extensions, PawnsToTheSeventhAndInTheEndingToTheSixth) {
    auto e = searchAt("4k3/8/1P6/2P5/8/8/8/4K3 w - -");
    e->search.ply(0).endgame = 0;
    EXPECT_EQ(extensionOf(*e, "b6b7"), 6);
    EXPECT_EQ(extensionOf(*e, "c5c6"), 0);
    e->search.ply(0).endgame = 1;
    EXPECT_EQ(extensionOf(*e, "c5c6"), 4);
    EXPECT_EQ(inside(e->search).stats.pushExt, 2u);
    // Black's seventh rank is the second.
    auto b = searchAt("4k3/8/8/8/8/1p6/8/4K3 b - -");
    EXPECT_EQ(extensionOf(*b, "b3b2"), 6);
}

TEST(Extensions, ARecaptureOfEqualValueOnTheSameSquare) {
    // Knight takes knight takes knight; not when the first capture took a pawn.
    for (auto [fen, extension] :
         {std::pair{"4k3/8/8/3n4/1n6/2N5/8/4K3 w - -", 6}, {"4k3/8/8/3p4/1n6/2N5/8/4K3 w - -", 0}}) {
        auto e = searchAt(fen);
        e->position.pushGameMove(moveNamed(e->position, "c3d5"));
        EXPECT_EQ(extensionOf(*e, "b4d5"), extension) << fen;
        EXPECT_EQ(inside(e->search).stats.recapExt, extension ? 1u : 0u);
    }
}

TEST(Extensions, SimplificationIntoAPawnlessOrPiecelessEnding) {
    const std::tuple<const char*, const char*, int, int> cases[] = {
        // Rxd5 takes the last pawn: rook and bishop against nothing differ by 8;
        // rook against nothing differs by 5; only in low material.
        {"4k3/8/8/3p4/8/8/8/3RK2B w - -", "d1d5", 1, 0},
        {"4k3/8/8/3p4/8/8/8/3RK3 w - -", "d1d5", 1, 8},
        {"4k3/8/8/3p4/8/8/8/3RK3 w - -", "d1d5", 0, 0},
        // Taking the last piece into a pawn ending with pawn counts close enough:
        // not while the rook, or the knight that captures, stays; pawn takes the
        // last piece, 2 pawns against 2.
        {"4k3/pp6/8/3n4/8/4P3/P3K3/3R4 w - -", "d1d5", 1, 0},
        {"4k3/pp6/8/3n4/8/2N1P3/P3K3/8 w - -", "c3d5", 1, 0},
        {"4k3/pp6/8/3n4/4P3/8/P3K3/8 w - -", "e4d5", 1, 8},
    };
    for (const auto& [fen, move, lowMaterial, extension] : cases) {
        auto e = searchAt(fen);
        e->search.ply(0).lowMaterial = lowMaterial;
        EXPECT_EQ(extensionOf(*e, move), extension) << fen << " " << move;
    }
}
