// The staged move picker: order of the stages and ordering inside each stage.
// (The exact ordering scores show in the bench node count.)
#include <algorithm>
#include <map>
#include <set>

#include "searchtest.h"

namespace {

struct Handed {
    Move move;
    int stage; // pickStage while the move was handed out
    int index; // its place in the node's list
};

// Every index the picker hands out at the engine's current ply, in order.
std::vector<Handed> drain(SearchRig& rig) {
    PlyRecord& r = rig.search.ply(rig.position.searchPly);
    r.moveCount = r.moveIndex = r.pickStage = 0;
    std::vector<Handed> out;
    for (int i; (i = inside(rig.search).nextMove()) != -1;) {
        out.push_back({r.moves[i], r.pickStage, i});
        if (out.size() > 400) break;
    }
    return out;
}

std::vector<Move> generated(SearchRig& rig, void (Board::*generator)(Move*, int&) const) {
    Move moves[MAX_MOVES];
    int count = 0;
    (rig.board().*generator)(moves, count);
    return std::vector<Move>(moves, moves + count);
}

int historyIndex(Move m) { return square64(moveFrom(m)) + 64 * square64(moveTo(m)); }

} // namespace

TEST(MovePicker, StagesComeInOrderHashCapturesKillersQuietLosingCaptures) {
    auto e = searchAt("r1bqkbnr/pppp1ppp/2n5/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R b KQkq -");
    e->position.pushMove(moveNamed(e->position, "g8f6")); // the node under test is at search ply 1
    PlyRecord& r = e->search.ply(e->position.searchPly);
    const Move hash = moveNamed(e->position, "h2h3"), killer1 = moveNamed(e->position, "d2d3"),
               killer2 = moveNamed(e->position, "a2a3");
    r.hashMove = hash;
    r.killer1 = killer1;
    r.killer2 = killer2;
    // The first three quiet moves in generation order get rising history counts.
    const std::vector<Move> quiet = generated(*e, &Board::generateQuiet);
    ASSERT_GE(quiet.size(), 6u);
    ASSERT_TRUE(std::find(quiet.begin(), quiet.begin() + 3, hash) == quiet.begin() + 3);
    for (int i = 0; i < 3; ++i) inside(e->search).historyCounters[historyIndex(quiet[i])] = 800 + 100 * i;

    // The moves handed out, by stage; the stages never go back.
    std::map<int, std::vector<Move>> byStage;
    std::multiset<Move> seen;
    int lastStage = 1;
    for (const Handed& h : drain(*e)) {
        if (h.move == NO_MOVE) continue;
        EXPECT_LE(lastStage, h.stage) << "stages never go back";
        lastStage = h.stage;
        byStage[h.stage].push_back(h.move);
        seen.insert(h.move);
    }
    EXPECT_EQ(byStage[1], std::vector<Move>{hash});
    const std::vector<Move>& captures = byStage[2];
    for (size_t i = 0; i < captures.size(); ++i) {
        EXPECT_GE(e->board().staticExchange(captures[i]), 0);
        if (i > 0) {
            EXPECT_GE(e->board().staticExchange(captures[i - 1]), e->board().staticExchange(captures[i]));
        }
    }
    for (Move m : byStage[5]) EXPECT_LT(e->board().staticExchange(m), 0);
    EXPECT_EQ(captures.size() + byStage[5].size(), generated(*e, &Board::generateCaptures).size());
    EXPECT_EQ(byStage[3], (std::vector<Move>{killer1, killer2}));

    // Quiet moves: the three best by score, then the rest in generation order.
    std::vector<Move> expectedQuiet = {quiet[2], quiet[1], quiet[0]};
    for (size_t i = 3; i < quiet.size(); ++i) {
        if (quiet[i] != hash && quiet[i] != killer1 && quiet[i] != killer2) expectedQuiet.push_back(quiet[i]);
    }
    EXPECT_EQ(byStage[4], expectedQuiet);

    // Every pseudo-legal move exactly once.
    const std::vector<Move> all = generated(*e, &Board::generateAll);
    EXPECT_EQ(seen.size(), all.size());
    for (Move m : all) EXPECT_EQ(seen.count(m), 1u) << coord(m);
}

TEST(MovePicker, WithoutHashMoveOrCapturesThePlayableKillerComesFirst) {
    auto e = searchAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    e->position.pushMove(moveNamed(e->position, "e2e4"));
    PlyRecord& r = e->search.ply(e->position.searchPly);
    r.killer1 = moveNamed(e->position, "g8f6");
    // A queen move through its own pawn cannot be played here.
    r.killer2 = buildMove(D8, H4, QUEEN);
    const std::vector<Handed> handed = drain(*e);
    ASSERT_FALSE(handed.empty());
    EXPECT_EQ(handed[0].move, r.killer1);
    EXPECT_EQ(handed[0].stage, 3);
    int killerCount = 0, total = 0;
    for (const Handed& h : handed) {
        if (h.move == r.killer2) ADD_FAILURE() << "an unplayable killer was handed out";
        if (h.move == r.killer1) ++killerCount;
        if (h.move != NO_MOVE) ++total;
    }
    EXPECT_EQ(killerCount, 1) << "the killer is not handed out again among the quiet moves";
    EXPECT_EQ(total, 20);
}
