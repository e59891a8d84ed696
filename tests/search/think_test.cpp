// The search driver on a search of its own (no shell): determinism, mates,
// draws, the root, time, and what it reports.
#include "board/score.h"
#include "search/clock.h"
#include "searchtest.h"

namespace {

struct SearchResult {
    Move move;
    int score;
    std::vector<std::string> line;
    uint64_t nodes;
    bool operator==(const SearchResult&) const = default;
};

SearchResult thinkOnce(Search& s) {
    const Move m = s.think();
    return {m, inside(s).rootScore, rootLine(s), inside(s).stats.nodes};
}

} // namespace

TEST(Think, AFixedDepthSearchIsRepeatable) {
    const char* fen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -";
    const int depth = kSlowBuild ? 3 : 5;
    auto rig = searchAt(fen, depth);
    const SearchResult first = thinkOnce(rig->search);
    EXPECT_NE(first.move, NO_MOVE);
    EXPECT_EQ(inside(rig->search).iteration, depth);
    // The same search again once the position is set up afresh. (Searching
    // reorders the piece lists, which decide the order of generated moves, so
    // a position is read again, as the bench does, before a repeat search.)
    EXPECT_EQ(rig->board().readFen(fen), 1);
    rig->position.resetHistory();
    rig->table.clear();
    EXPECT_TRUE(thinkOnce(rig->search) == first) << "move, score, line and node count";
    // The position and the record are as they were.
    EXPECT_EQ(rig->board().fen(), fen);
    EXPECT_EQ(rig->position.gamePly, 0);
    EXPECT_EQ(rig->position.searchPly, 0);
}

TEST(Think, ACopiedPositionSearchesExactlyLikeTheOriginal) {
    // The copy keeps the piece-list order that a search leaves behind.
    auto a = searchAt("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -", 3);
    a->search.think();
    auto b = searchAt("8/8/8/8/8/8/8/K6k w - -", 3);
    b->position.copyFrom(a->position);
    a->table.clear();
    const SearchResult first = thinkOnce(a->search);
    const SearchResult second = thinkOnce(b->search);
    EXPECT_EQ(first.move, second.move);
    EXPECT_EQ(first.line, second.line);
    EXPECT_EQ(first.nodes, second.nodes);
}

TEST(Think, MatesAreFoundWithTheirDistance) {
    // {position, plies to the mate}; the line found must play out to mate in
    // exactly that many plies.
    for (auto [fen, plies] : {std::pair{"6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -", 1},
                              {"6K1/8/6k1/8/8/8/8/r7 b - -", 1},
                              {"k7/8/2K5/8/8/8/8/7R w - -", 3},
                              {"8/8/8/8/8/8/R7/4K2k w - -", 5},
                              {"8/8/8/8/3K4/8/8/k6R w - -", 5}}) {
        auto rig = searchAt(fen, 12);
        Search& s = rig->search;
        const Move m = s.think();
        EXPECT_EQ(inside(s).rootScore, MATE_SCORE - plies) << fen;
        EXPECT_EQ(inside(s).iteration, plies) << "the search ends once the mate is within its depth";
        const std::vector<std::string> line = rootLine(s);
        ASSERT_EQ(static_cast<int>(line.size()), plies) << fen;
        EXPECT_EQ(line[0], coord(m));
        for (const std::string& text : line) rig->position.pushGameMove(moveNamed(rig->position, text));
        EXPECT_TRUE(rig->position.top().inCheck);
        EXPECT_TRUE(legalMoves(rig->position).empty()) << fen;
    }
}

TEST(Think, NoLegalMoveOrNoKingGivesNoMove) {
    for (const char* fen :
         {"k7/2Q5/1K6/8/8/8/8/8 b - -", "R5k1/5ppp/8/8/8/8/5PPP/6K1 b - -", "8/8/8/8/8/8/4P3/4K3 w - -"}) {
        auto rig = searchAt(fen);
        EXPECT_EQ(rig->search.think(), NO_MOVE) << fen;
        EXPECT_EQ(inside(rig->search).stats.nodes, 0u) << fen;
        EXPECT_EQ(rig->listener.finishes, 0) << fen;
    }
}

TEST(Think, ASingleLegalMoveIsPlayedAtOnceUnlessPondering) {
    auto rig = searchAt("k7/8/8/8/8/8/1q6/K7 w - -");
    EXPECT_EQ(coord(rig->search.think()), "a1b2");
    EXPECT_EQ(inside(rig->search).stats.nodes, 0u);
    EXPECT_EQ(inside(rig->search).iteration, 0);
    // While pondering the search runs all the same.
    auto p = searchAt("k7/8/8/8/8/8/1q6/K7 w - -", 2);
    p->search.modes.pondering = true;
    EXPECT_EQ(coord(p->search.think()), "a1b2");
    EXPECT_EQ(inside(p->search).iteration, 2);
}

TEST(Think, AStoredRootResultOfEnoughDepthEndsTheIterationUnsearched) {
    const char* fen = "4k3/pp6/8/8/8/8/PPP5/4K3 w - -";
    auto rig = searchAt(fen, 3);
    const uint64_t key = rig->board().key;
    const Move stored = moveNamed(rig->position, "c2c3");
    rig->table.store({WHITE, keyLow(key), keyHigh(key)}, {9, 0, HASH_EXACT, 123, stored, 0, 0});
    EXPECT_EQ(rig->search.think(), stored);
    EXPECT_EQ(inside(rig->search).rootScore, 123);
    EXPECT_EQ(rootLine(rig->search), (std::vector<std::string>{"c2c3"}));
    // A stored move that is not legal here is ignored.
    auto other = searchAt(fen, 3);
    other->table.store({WHITE, keyLow(key), keyHigh(key)},
                       {9, 0, HASH_EXACT, 123, buildMove(E1, E3, KING), 0, 0});
    other->search.think();
    EXPECT_NE(inside(other->search).rootScore, 123);
}

TEST(Think, TimeAllowances) {
    auto rig = searchAt("4k3/8/8/8/8/8/8/4K3 w - -");
    Search& s = rig->search;
    struct Case {
        int movesPerControl, clockMs, incrementMs, plies;
        bool ponderSearch;
        int expected;
        int reserveMs = 0;
        int reserveIncrements = 0;
    };
    const Case cases[] = {
        {40, 300000, 0, 0, false, 11250},                  // 40 in 5 minutes, just out of book
        {0, 60000, 2000, 20, true, (3649 / 3) * 85 / 100}, // a third of 3649 for a ponder search
        {0, 0, 0, 20, false, 0},                           // an empty clock divides by nothing
        // A reserve and four increments come off the clock first: what is left
        // is shared out.
        {0, 68050, 2000, 20, false, 3101, 50, 4}, // 60 s + 2 s: (1714 + 1935) x 0.85
        {0, 2000, 50, 40, false, (1750 / 35 + 50 * 1750 / 1800) * 85 / 100, 50, 4}, // 2 s + 0.05 s
        {40, 100050, 1000, 30, false, (1000 * 25 + 100000) / 25 * 85 / 100, 50},    // 25 moves left
        {0, 40, 20, 20, false, 0, 50}, // a clock inside the reserve: nothing to spend
    };
    s.time.mode = TimeMode::Clock;
    for (const Case& c : cases) {
        s.time.movesPerControl = c.movesPerControl;
        s.time.engineClockMs = c.clockMs;
        s.time.incrementMs = c.incrementMs;
        s.modes.ponderSearch = c.ponderSearch;
        s.time.clockReserveMs = c.reserveMs;
        s.time.reserveIncrements = c.reserveIncrements;
        s.allocateTime(c.plies);
        EXPECT_EQ(s.time.moveTimeMs, c.expected) << c.movesPerControl << " " << c.clockMs << " " << c.plies;
    }
    // Fixed time and fixed depth keep their allowance.
    s.time.mode = TimeMode::FixedTime;
    s.time.moveTimeMs = 7000;
    s.allocateTime(20);
    EXPECT_EQ(s.time.moveTimeMs, 7000);
}

TEST(Think, TheClockRule) {
    auto rig = searchAt("4k3/8/8/8/8/8/8/4K3 w - -");
    Search& s = rig->search;
    auto stopsAfter = [&](int elapsedMs) {
        inside(s).searchAborted = inside(s).stopRequested = inside(s).clockStopped = false;
        inside(s).startTime = wallClockMs() - elapsedMs;
        inside(s).checkTime();
        EXPECT_EQ(inside(s).searchAborted, inside(s).stopRequested);
        EXPECT_EQ(inside(s).searchAborted, inside(s).clockStopped);
        return inside(s).searchAborted;
    };
    s.time.mode = TimeMode::FixedTime;
    s.time.moveTimeMs = 5000;
    EXPECT_FALSE(stopsAfter(1000));
    EXPECT_TRUE(stopsAfter(6000));
    s.modes.analyze = true;
    EXPECT_FALSE(stopsAfter(60000));
    s.modes.analyze = false;
    s.modes.pondering = true;
    EXPECT_FALSE(stopsAfter(60000));
    s.modes.pondering = false;

    s.time.mode = TimeMode::Clock;
    s.time.engineClockMs = 400000; // hard limit 100 s
    s.time.moveTimeMs = 20000;
    EXPECT_FALSE(stopsAfter(10000));
    EXPECT_TRUE(stopsAfter(30000));
    inside(s).failLowCount = 1; // resolving a fail low: on to the hard limit
    EXPECT_FALSE(stopsAfter(30000));
    EXPECT_TRUE(stopsAfter(110000));
    inside(s).failLowCount = 0;
    inside(s).easyMove = true; // a fifth of the allowance
    EXPECT_FALSE(stopsAfter(2000));
    EXPECT_TRUE(stopsAfter(5000));
    inside(s).easyMove = false;
    inside(s).failLowCount = 1; // the hard limit is a quarter of the clock less its reserve
    s.time.clockReserveMs = 40000;
    EXPECT_FALSE(stopsAfter(89000));
    EXPECT_TRUE(stopsAfter(91000));
    s.time.clockReserveMs = 0;
    inside(s).failLowCount = 0;
    inside(s).easyMove = true;
    // A stop that input asked for in the same poll is not the clock's.
    inside(s).searchAborted = inside(s).stopRequested = true;
    inside(s).clockStopped = false;
    inside(s).startTime = wallClockMs() - 5000;
    inside(s).checkTime();
    EXPECT_FALSE(inside(s).clockStopped);
}

TEST(Think, AScoreDropAtATimeOutBuysTimeAndRepeatsTheDepth) {
    auto rig = searchAt("4k3/8/8/8/8/8/8/4K3 w - -");
    Search& s = rig->search;
    auto stoppedWith = [&](int last, int root) {
        s.time.moveTimeMs = 1000;
        inside(s).iteration = 7;
        inside(s).searchAborted = inside(s).stopRequested = inside(s).clockStopped = true;
        inside(s).lastScore = last;
        inside(s).rootScore = root;
        inside(s).extendAfterScoreDrop();
        EXPECT_EQ(inside(s).lastScore, root);
    };
    stoppedWith(100, 0);
    EXPECT_EQ(s.time.moveTimeMs, 6000);
    EXPECT_FALSE(inside(s).searchAborted);
    EXPECT_FALSE(inside(s).stopRequested);
    EXPECT_EQ(inside(s).iteration, 6) << "the interrupted depth again";
    stoppedWith(20, 0);
    EXPECT_EQ(s.time.moveTimeMs, 1000) << "a drop of 20 buys nothing";
    EXPECT_TRUE(inside(s).searchAborted);
    EXPECT_EQ(inside(s).iteration, 7);
    stoppedWith(0, 100);
    EXPECT_EQ(s.time.moveTimeMs, 1000) << "a rising score needs no time";
}

TEST(Think, ReportedLinesAndEasyMoves) {
    auto rig = searchAt("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -", 5);
    rig->listener.recordLines = true;
    rig->search.think();
    ASSERT_FALSE(rig->listener.lines.empty());
    const RecordingListener::Line& last = rig->listener.lines.back();
    EXPECT_EQ(last.iteration, 1);
    EXPECT_EQ(last.score, MATE_SCORE - 1);
    EXPECT_EQ(last.moves, (std::vector<std::string>{"a1a8"}));
    EXPECT_EQ(rig->listener.finishes, 1);
    // A recapture far ahead of the other moves is an easy move.
    auto rig2 = searchAt("4k3/7r/8/1n6/3N4/2P5/5PPP/6K1 b - -", 1);
    rig2->position.pushGameMove(moveNamed(rig2->position, "b5d4"));
    EXPECT_EQ(coord(rig2->search.think()), "c3d4");
    EXPECT_TRUE(inside(rig2->search).easyMove);
    EXPECT_EQ(rig2->listener.easyMoves, 1);
    auto quiet = searchAt("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -", 1);
    quiet->search.think();
    EXPECT_FALSE(inside(quiet->search).easyMove);
}

// The searched line goes on with table moves, each checked for legality,
// until a position repeats or the ply stack ends.
TEST(Think, TheReportedLineGoesOnWithTableMoves) {
    for (const int plies : {1, MAX_PLY - 1}) {
        auto rig = searchAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
        Position& pos = rig->position;
        const char* dance[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
        PlyRecord& root = rig->search.ply(0);
        std::vector<Move> played;
        for (int i = 0; i < MAX_PLY; ++i) {
            const Move m = moveNamed(pos, dance[i % 4]);
            if (i < plies) root.pv[i] = m;
            rig->table.store({pos.board.side, keyLow(pos.board.key), keyHigh(pos.board.key)},
                             {1, 0, HASH_EXACT, 0, m, 0, 0});
            pos.pushMove(m);
            played.push_back(m);
        }
        for (size_t i = 0; i < played.size(); ++i) pos.popMove();
        root.pvEnd = plies;
        rig->listener.recordLines = true;
        inside(rig->search).reportLine(0);
        ASSERT_EQ(rig->listener.lines.size(), 1u);
        const std::vector<std::string>& line = rig->listener.lines[0].moves;
        if (plies == 1) {
            // From the table only until the start position comes back.
            EXPECT_EQ(line, (std::vector<std::string>{"g1f3", "g8f6", "f3g1", "f6g8"}));
        } else {
            EXPECT_EQ(static_cast<int>(line.size()), MAX_PLY - 1);
        }
        EXPECT_EQ(pos.searchPly, 0);
        EXPECT_EQ(pos.gamePly, 0);
    }
}

TEST(Think, AFailLowOrHighWidensTheWindowAndSearchesAgain) {
    const char* fen = "4k3/pp6/8/8/8/8/PPP5/4K3 w - -";
    for (int bound : {HASH_UPPER, HASH_LOWER}) {
        auto rig = searchAt(fen, 1);
        rig->listener.recordLines = true;
        // A stored bound far outside the window: the root cuts off on it and fails.
        const int stored = bound == HASH_UPPER ? -1500 : 1500;
        const uint64_t key = rig->board().key;
        rig->table.store({WHITE, keyLow(key), keyHigh(key)},
                         {5, 0, bound, stored, moveNamed(rig->position, "c2c3"), 0, 0});
        rig->search.think();
        // The re-search may in turn fail the other way; the bound's own count is one.
        EXPECT_EQ(bound == HASH_UPPER ? inside(rig->search).failLowCount : inside(rig->search).failHighCount,
                  1);
        ASSERT_GE(rig->listener.lines.size(), 2u);
        EXPECT_EQ(rig->listener.lines[0].score, stored);
        EXPECT_EQ(rig->listener.lines[0].bound, bound == HASH_UPPER ? ScoreBound::Upper : ScoreBound::Lower);
        // The search again, inside the widened window, finds the real score.
        EXPECT_NE(inside(rig->search).rootScore, stored);
        EXPECT_GT(inside(rig->search).stats.nodes, 0u);
    }
}

TEST(Think, ANodeLimitStopsTheSearchInEveryMode) {
    for (TimeMode mode : {TimeMode::FixedDepth, TimeMode::FixedTime}) {
        auto rig = searchAt("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -", 30);
        rig->search.time.mode = mode;
        rig->search.time.moveTimeMs = 1000000;
        rig->search.time.nodeLimit = 5000;
        const Move move = rig->search.think();
        EXPECT_GE(inside(rig->search).stats.nodes, 5000u);
        EXPECT_LE(inside(rig->search).stats.nodes, 5001u);
        EXPECT_TRUE(isLegalIn(rig->position, move));
    }
}
