// The quiescence search: stand pat, captures, checks on the first ply, forced
// replies, mates and the end of the ply stack.
#include "board/score.h"
#include "searchtest.h"

TEST(Quiescence, AQuietPositionStandsPatOnTheEvaluation) {
    auto e = searchAt("4k3/pp6/8/8/8/8/PPP5/4K3 w - -");
    const int stand = e->evaluator.evaluate(e->board());
    EXPECT_EQ(inside(e->search).quiescence(-INFINITE_SCORE, INFINITE_SCORE, 0), stand);
    EXPECT_EQ(inside(e->search).quiescence(-INFINITE_SCORE, INFINITE_SCORE, 8), stand)
        << "no capture and no check either";
    EXPECT_EQ(inside(e->search).stats.nodes, 0u);
    // Fail-soft: a stand pat at or above beta is returned as it is.
    EXPECT_EQ(inside(e->search).quiescence(stand - 300, stand - 200, 0), stand);
}

TEST(Quiescence, CapturesWinAHangingQueen) {
    auto e = searchAt("q6k/8/8/8/8/8/8/R6K w - -");
    ASSERT_LT(e->evaluator.evaluate(e->board()), 0) << "a queen against a rook";
    const int score = inside(e->search).quiescence(-INFINITE_SCORE, INFINITE_SCORE, 0);
    EXPECT_GT(score, 300) << "Rxa8 wins the queen for nothing";
    EXPECT_EQ(coord(e->search.ply(0).bestMove), "a1a8");
    EXPECT_GT(inside(e->search).stats.qnodes, 0u);
    EXPECT_EQ(inside(e->search).stats.nodes, inside(e->search).stats.qnodes);
}

TEST(Quiescence, QuietChecksOnTheFirstPlyAndTheForcedEvasion) {
    // Nf7+ forks king and queen: a quiet check, seen only when checks are tried.
    auto e = searchAt("3q3k/6pp/8/4N3/8/8/6PP/6K1 w - -");
    const int stand = e->evaluator.evaluate(e->board());
    ASSERT_LT(stand, 0);
    EXPECT_EQ(inside(e->search).quiescence(-INFINITE_SCORE, INFINITE_SCORE, 0), stand);
    EXPECT_GT(inside(e->search).quiescence(-INFINITE_SCORE, INFINITE_SCORE, 8), 0);
    // A single forced evasion extends the reply.
    auto e2 = searchAt("3q3k/6pp/8/4N3/8/8/6PP/6K1 w - -");
    inside(e2->search).iteration = 0; // no extensions while pre-sorting the root
    inside(e2->search).quiescence(-INFINITE_SCORE, INFINITE_SCORE, 8);
    EXPECT_EQ(inside(e2->search).stats.force1Ext, 0u);
    inside(e2->search).stats = SearchStats{};
    inside(e2->search).iteration = 4;
    inside(e2->search).quiescence(-INFINITE_SCORE, INFINITE_SCORE, 8);
    EXPECT_GT(inside(e2->search).stats.force1Ext, 0u) << "after Nf7+ Kg8 is the only reply";
}

TEST(Quiescence, MateRepetitionAndTheEndOfTheStack) {
    auto e = searchAt("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -");
    e->position.pushMove(moveNamed(e->position, "a1a8"));
    EXPECT_EQ(inside(e->search).quiescence(-INFINITE_SCORE, INFINITE_SCORE, 0), 1 - MATE_SCORE);
    EXPECT_EQ(inside(e->search).quiescence(-INFINITE_SCORE, INFINITE_SCORE, 8), 1 - MATE_SCORE);
    // White is a pawn up; the knights go out and back.
    auto e2 = searchAt("rnbqkbnr/ppp1pppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    for (const char* m : {"g1f3", "g8f6", "f3g1"}) e2->position.pushGameMove(moveNamed(e2->position, m));
    e2->position.pushMove(moveNamed(e2->position, "f6g8"));
    const int stand = e2->evaluator.evaluate(e2->board());
    ASSERT_NE(stand, 0);
    EXPECT_EQ(inside(e2->search).quiescence(-INFINITE_SCORE, INFINITE_SCORE, 8), 0);
    EXPECT_EQ(inside(e2->search).quiescence(-INFINITE_SCORE, INFINITE_SCORE, 0), stand)
        << "deeper plies do not look";
    // At the last ply record it returns the piece square balance.
    auto e3 = searchAt("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -");
    e3->position.pushMove(moveNamed(e3->position, "a1a8")); // black is mated, but the stack is full
    e3->position.searchPly = MAX_PLY - 1;
    const int balance = e3->board().pstScore[BLACK] - e3->board().pstScore[WHITE];
    EXPECT_EQ(inside(e3->search).quiescence(-INFINITE_SCORE, INFINITE_SCORE, 8), balance);
    EXPECT_EQ(inside(e3->search).stats.nodes, 0u);
    EXPECT_EQ(inside(e3->search).stats.selDepth, MAX_PLY - 1);
}

// A stop reaches the quiescence search too: a position whose captures and
// promotions explode (every pawn on its seventh rank) stops within a few
// thousand nodes of the first poll that asks for it.
TEST(Quiescence, PollsTheInputAndTheClockLikeTheMainSearch) {
    struct StopAtFirstPoll : RecordingListener {
        int polls = 0;
        void poll(Search& s) override {
            ++polls;
            s.stop();
        }
    };
    auto rig = searchAt("4k3/PPPPPPPP/8/8/8/8/pppppppp/4K3 w - -");
    StopAtFirstPoll listener;
    Search search(rig->position, rig->table, listener, rig->evaluator);
    search.time.mode = TimeMode::FixedTime;
    search.time.moveTimeMs = 1000000;
    const Move move = search.think();
    EXPECT_EQ(listener.polls, 1);
    EXPECT_LE(inside(search).stats.nodes, Search::POLL_INTERVAL + 1000);
    EXPECT_NE(move, NO_MOVE) << "a stopped search still names a legal move";
    EXPECT_EQ(rig->position.searchPly, 0);
    EXPECT_EQ(rig->board().fen(), "4k3/PPPPPPPP/8/8/8/8/pppppppp/4K3 w - -");
}
