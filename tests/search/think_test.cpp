// The search driver: determinism, mates, draws, the root, time and output.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "egtb/tablebases.h"
#include "eval/evalcache.h"
#include "eval/pawncache.h"

#include "search/score.h"
#include "searchtest.h"
#include "shell/platform.h"

namespace {

struct SearchResult {
    Move move;
    int score;
    std::vector<std::string> line;
    uint32_t nodes;
};

SearchResult thinkOnce(Engine& e) {
    const Move m = e.think();
    return {m, e.rootScore, rootLine(e), e.stats.nodes};
}

uint32_t low(uint64_t key) { return static_cast<uint32_t>(key); }
uint32_t high(uint64_t key) { return static_cast<uint32_t>(key >> 32); }

// The elapsed-time column of a console line ("%6.2f" from column 30) as "T";
// the time varies with the machine.
std::string withoutConsoleTime(const std::string& line) {
    if (line.size() < 36) return line;
    for (size_t i = 30; i < 36; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(line[i])) && line[i] != ' ' && line[i] != '.')
            return line;
    }
    return line.substr(0, 30) + "T" + line.substr(36);
}

// The third field of an xboard line (centiseconds) as "T".
std::string withoutXboardTime(const std::string& line) {
    const size_t a = line.find(' ');
    const size_t b = a == std::string::npos ? a : line.find(' ', a + 1);
    const size_t c = b == std::string::npos ? b : line.find(' ', b + 1);
    if (c == std::string::npos || c == b + 1) return line;
    for (size_t i = b + 1; i < c; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(line[i]))) return line;
    }
    return line.substr(0, b + 1) + "T" + line.substr(c);
}

// The lines as a terminal shows them: a carriage return starts the line over.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
        std::string line = text.substr(start, nl - start);
        const size_t cr = line.rfind('\r');
        lines.push_back(cr == std::string::npos ? line : line.substr(cr + 1));
    }
    return lines;
}

} // namespace

TEST(Think, AFixedDepthSearchIsRepeatable) {
    const char* fen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -";
    const int depth = kSlowBuild ? 3 : 5;
    auto a = searchEngineAt(fen, depth);
    auto b = searchEngineAt(fen, depth);
    const SearchResult first = thinkOnce(*a);
    const SearchResult second = thinkOnce(*b);
    EXPECT_NE(first.move, NO_MOVE);
    EXPECT_EQ(first.move, second.move);
    EXPECT_EQ(first.score, second.score);
    EXPECT_EQ(first.line, second.line);
    EXPECT_EQ(first.nodes, second.nodes);
    EXPECT_EQ(a->iteration, depth);
    // The same engine again once the position is set up afresh. (Searching
    // reorders the piece lists, which decide the order of generated moves, so
    // a position is read again, as the bench does, before a repeat search.)
    EXPECT_EQ(a->board.readFen(fen), 1);
    a->resetHistory();
    const SearchResult third = thinkOnce(*a);
    EXPECT_EQ(third.move, first.move);
    EXPECT_EQ(third.score, first.score);
    EXPECT_EQ(third.line, first.line);
    EXPECT_EQ(third.nodes, first.nodes);
    // The position and the record are as they were.
    EXPECT_EQ(a->board.fen(), "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -");
    EXPECT_EQ(a->gamePly, 0);
    EXPECT_EQ(a->searchPly, 0);
}

TEST(Think, MatesAreFoundWithTheirDistance) {
    struct Case {
        const char* fen;
        int plies;
        std::vector<std::string> line;
    };
    const Case cases[] = {
        {"6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -", 1, {"a1a8"}},
        {"6K1/8/6k1/8/8/8/8/r7 b - -", 1, {"a1a8"}},
        {"k7/8/2K5/8/8/8/8/7R w - -", 3, {}},
        {"8/8/8/8/8/8/R7/4K2k w - -", 5, {}},
        {"8/8/8/8/3K4/8/8/k6R w - -", 5, {}},
    };
    for (const Case& c : cases) {
        auto e = searchEngineAt(c.fen, 12);
        const Move m = e->think();
        EXPECT_EQ(e->rootScore, MATE_SCORE - c.plies) << c.fen;
        EXPECT_EQ(e->iteration, c.plies) << "the search ends once the mate is within its depth";
        const std::vector<std::string> line = rootLine(*e);
        ASSERT_FALSE(line.empty());
        EXPECT_EQ(line[0], coord(m));
        if (!c.line.empty()) {
            EXPECT_EQ(line, c.line) << c.fen;
        }
        // Playing the line out ends in mate.
        ASSERT_EQ(static_cast<int>(line.size()), c.plies) << c.fen;
        for (const std::string& text : line) e->pushGameMove(moveNamed(*e, text));
        EXPECT_TRUE(e->top().inCheck);
        EXPECT_TRUE(legalMoves(*e).empty()) << c.fen;
    }
}

TEST(Think, TheMatingLineIsPrinted) {
    auto e = searchEngineAt("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -", 5);
    e->postMode = 1;
    e->pvDepth = 0;
    const std::string out = captureOutput([&] { e->think(); });
    EXPECT_NE(out.find(" depth         nodes   score    time  pv\n"), std::string::npos);
    bool found = false;
    for (const std::string& line : linesOf(out)) {
        unsigned nodes = 0;
        if (line.rfind("   1/1", 0) != 0 || std::sscanf(line.c_str() + 6, "%u", &nodes) != 1) continue;
        char expected[80];
        std::snprintf(expected, sizeof expected, "   1/1%14u   99.98  T  1. Ra8", nodes);
        EXPECT_EQ(withoutConsoleTime(line), expected);
        found = true;
    }
    EXPECT_TRUE(found) << out;
}

TEST(Think, NoLegalMoveOrNoKingGivesNoMove) {
    auto stalemate = searchEngineAt("k7/2Q5/1K6/8/8/8/8/8 b - -");
    EXPECT_EQ(stalemate->think(), NO_MOVE);
    auto mated = searchEngineAt("R5k1/5ppp/8/8/8/8/5PPP/6K1 b - -");
    EXPECT_EQ(mated->think(), NO_MOVE);
    auto kingless = searchEngineAt("8/8/8/8/8/8/4P3/4K3 w - -");
    kingless->postMode = 1;
    std::string out = captureOutput([&] { EXPECT_EQ(kingless->think(), NO_MOVE); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(kingless->stats.nodes, 0u);
}

TEST(Think, ASingleLegalMoveIsPlayedAtOnceWithoutOutput) {
    auto e = searchEngineAt("k7/8/8/8/8/8/1q6/K7 w - -");
    e->postMode = 1;
    const std::string out = captureOutput([&] { EXPECT_EQ(coord(e->think()), "a1b2"); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(e->stats.nodes, 0u);
    EXPECT_EQ(e->iteration, 0);
    // While pondering the search runs all the same.
    auto p = searchEngineAt("k7/8/8/8/8/8/1q6/K7 w - -", 2);
    p->pondering = true;
    EXPECT_EQ(coord(p->think()), "a1b2");
    EXPECT_EQ(p->iteration, 2);
}

TEST(Think, AStoredRootResultOfEnoughDepthEndsTheIterationUnsearched) {
    const char* fen = "4k3/pp6/8/8/8/8/PPP5/4K3 w - -";
    auto e = searchEngineAt(fen, 3);
    const Move stored = moveNamed(*e, "c2c3");
    e->hashTable.store(WHITE, low(e->board.key), high(e->board.key), 9, 0, HASH_EXACT, 123, stored, 0, 0);
    EXPECT_EQ(e->think(), stored);
    EXPECT_EQ(e->rootScore, 123);
    EXPECT_EQ(rootLine(*e), (std::vector<std::string>{"c2c3"}));
    // A stored move that is not legal here is ignored.
    auto f = searchEngineAt(fen, 3);
    f->hashTable.store(WHITE, low(f->board.key), high(f->board.key), 9, 0, HASH_EXACT, 123,
                       buildMove(E1, E3, KING), 0, 0);
    f->think();
    EXPECT_NE(f->rootScore, 123);
}

TEST(Think, TimeAllowances) {
    auto e = searchEngineAt("4k3/8/8/8/8/8/8/4K3 w - -");
    e->timeMode = 0;
    // 40 moves in 5 minutes at the start, within four plies of the book.
    e->movesPerControl = 40;
    e->engineClockMs = 300000;
    e->incrementMs = 0;
    e->bookExitPly = 0;
    e->allocateTime(0);
    EXPECT_EQ(e->moveTimeMs, 11250);
    // Increment play out of book: 1714 + 1935, times 0.85.
    e->movesPerControl = 0;
    e->engineClockMs = 60000;
    e->incrementMs = 2000;
    e->allocateTime(20);
    EXPECT_EQ(e->moveTimeMs, 3101);
    // A search for a move to ponder on gets a third.
    e->ponderSearch = true;
    e->allocateTime(20);
    EXPECT_EQ(e->moveTimeMs, (3649 / 3) * 85 / 100);
    e->ponderSearch = false;
    // Moves left in the control: 40 - (30 / 2) = 25.
    e->movesPerControl = 40;
    e->engineClockMs = 100000;
    e->incrementMs = 1000;
    e->allocateTime(30);
    EXPECT_EQ(e->moveTimeMs, (1000 * 25 + 100000) / 25 * 85 / 100);
    // An empty clock gives nothing and divides by nothing.
    e->movesPerControl = 0;
    e->engineClockMs = 0;
    e->incrementMs = 0;
    e->allocateTime(20);
    EXPECT_EQ(e->moveTimeMs, 0);
    // Fixed time and fixed depth keep their allowance.
    e->timeMode = 1;
    e->moveTimeMs = 7000;
    e->allocateTime(20);
    EXPECT_EQ(e->moveTimeMs, 7000);
}

TEST(Think, TheClockRule) {
    auto e = searchEngineAt("4k3/8/8/8/8/8/8/4K3 w - -");
    auto stopsAfter = [&](int elapsedMs) {
        e->searchAborted = e->stopRequested = e->clockStopped = false;
        e->startTime = wallClockMs() - elapsedMs;
        e->checkTime();
        EXPECT_EQ(e->searchAborted, e->stopRequested);
        EXPECT_EQ(e->searchAborted, e->clockStopped);
        return e->searchAborted;
    };
    e->timeMode = 1;
    e->moveTimeMs = 5000;
    EXPECT_FALSE(stopsAfter(1000));
    EXPECT_TRUE(stopsAfter(6000));
    e->analyzeMode = true;
    EXPECT_FALSE(stopsAfter(60000));
    e->analyzeMode = false;
    e->pondering = true;
    EXPECT_FALSE(stopsAfter(60000));
    e->pondering = false;

    e->timeMode = 0;
    e->engineClockMs = 400000; // hard limit 100 s
    e->moveTimeMs = 20000;
    EXPECT_FALSE(stopsAfter(10000));
    EXPECT_TRUE(stopsAfter(30000));
    e->failLowCount = 1; // resolving a fail low: on to the hard limit
    EXPECT_FALSE(stopsAfter(30000));
    EXPECT_TRUE(stopsAfter(110000));
    e->failLowCount = 0;
    e->easyMove = true; // a fifth of the allowance
    EXPECT_FALSE(stopsAfter(2000));
    EXPECT_TRUE(stopsAfter(5000));
    // A stop that input asked for in the same poll is not the clock's.
    e->searchAborted = e->stopRequested = true;
    e->clockStopped = false;
    e->startTime = wallClockMs() - 5000;
    e->checkTime();
    EXPECT_FALSE(e->clockStopped);
}

TEST(Think, AScoreDropAtATimeOutBuysTimeAndRepeatsTheDepth) {
    auto e = searchEngineAt("4k3/8/8/8/8/8/8/4K3 w - -");
    auto stoppedWith = [&](int last, int root) {
        e->moveTimeMs = 1000;
        e->iteration = 7;
        e->searchAborted = e->stopRequested = e->clockStopped = true;
        e->lastScore = last;
        e->rootScore = root;
        e->extendAfterScoreDrop();
        EXPECT_EQ(e->lastScore, root);
    };
    stoppedWith(100, 0);
    EXPECT_EQ(e->moveTimeMs, 6000);
    EXPECT_FALSE(e->searchAborted);
    EXPECT_FALSE(e->stopRequested);
    EXPECT_EQ(e->iteration, 6) << "the interrupted depth again";
    stoppedWith(20, 0);
    EXPECT_EQ(e->moveTimeMs, 1000) << "a drop of 20 buys nothing";
    EXPECT_TRUE(e->searchAborted);
    EXPECT_EQ(e->iteration, 7);
    for (auto [drop, factor] : {std::pair{30, 2}, {50, 4}, {90, 6}, {150, 7}, {250, 8}, {9000, 8}}) {
        stoppedWith(drop - 500, -500);
        EXPECT_EQ(e->moveTimeMs, 1000 * factor) << drop;
    }
    stoppedWith(0, 100);
    EXPECT_EQ(e->moveTimeMs, 1000) << "a rising score needs no time";
}

TEST(Think, ThePrincipalVariationLineInBothFormats) {
    auto e = searchEngineAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    const char* moves[] = {"e2e4", "e7e5", "g1f3", "b8c6", "f1b5", "a7a6", "b5a4"};
    PlyRecord& root = e->ply(0);
    for (int i = 0; i < 7; ++i) {
        root.pv[i] = moveNamed(*e, moves[i]);
        e->pushMove(root.pv[i]);
    }
    for (int i = 0; i < 7; ++i) e->popMove();
    root.pvEnd = 7;
    e->iteration = 5;
    e->stats.selDepth = 9;
    e->stats.nodes = 12345;
    e->pvDepth = 5;
    e->rootAlpha = 0;
    e->rootBeta = 50;
    e->postMode = 1;
    e->startTime = wallClockMs();
    std::string out = captureOutput([&] { e->printPV(25); });
    EXPECT_EQ(withoutConsoleTime(out), "   5/9         12345    0.25  T  1. e4 e5 2. Nf3 Nc6 3. Bb5 a6\n"
                                       "\t\t\t\t      4. Ba4\n");
    out = captureOutput([&] { e->printPV(50); });
    EXPECT_EQ(withoutConsoleTime(out), "   5/9         12345    0.50  T  1+ e4 e5 2. Nf3 Nc6 3. Bb5 a6\n"
                                       "\t\t\t\t      4. Ba4\n");
    e->postMode = 2;
    out = captureOutput([&] { e->printPV(-20); });
    EXPECT_EQ(withoutXboardTime(out), "5 -20 T 12345 1- e4 e5 2. Nf3 Nc6 3. Bb5 a6 4. Ba4\n");
    e->pvDepth = 6;
    EXPECT_EQ(captureOutput([&] { e->printPV(25); }), "") << "below the pv depth";
    e->pvDepth = 0;
    e->postMode = 0;
    EXPECT_EQ(captureOutput([&] { e->printPV(25); }), "");
    EXPECT_EQ(e->board.fen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
}

TEST(Think, WithBlackToMoveTheLineStartsWithAnEllipsis) {
    auto e = searchEngineAt("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -");
    PlyRecord& root = e->ply(0);
    const char* moves[] = {"e7e5", "g1f3", "b8c6", "f1b5", "a7a6", "b5a4", "g8f6"};
    for (int i = 0; i < 7; ++i) {
        root.pv[i] = moveNamed(*e, moves[i]);
        e->pushMove(root.pv[i]);
    }
    for (int i = 0; i < 7; ++i) e->popMove();
    root.pvEnd = 7;
    e->iteration = 3;
    e->stats.selDepth = 3;
    e->stats.nodes = 7;
    e->pvDepth = 0;
    e->rootAlpha = 0;
    e->rootBeta = 50;
    e->postMode = 1;
    e->startTime = wallClockMs();
    const std::string out = captureOutput([&] { e->printPV(-5); });
    EXPECT_EQ(withoutConsoleTime(out),
              "   3/3             7   -0.05  T  1- ... e5 2. Nf3 Nc6 3. Bb5 a6\n\t\t\t\t      4. Ba4 Nf6\n");
}

TEST(Think, TheLineGoesOnWithTableMovesUntilARepetition) {
    auto e = searchEngineAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    // The table knows a knight dance: out and back, then out again.
    const char* dance[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    std::vector<Move> played;
    for (const char* text : dance) {
        const Move m = moveNamed(*e, text);
        e->hashTable.store(e->board.side, low(e->board.key), high(e->board.key), 1, 0, HASH_EXACT, 0, m, 0,
                           0);
        e->pushMove(m);
        played.push_back(m);
    }
    for (size_t i = 0; i < played.size(); ++i) e->popMove();
    PlyRecord& root = e->ply(0);
    root.pv[0] = played[0];
    root.pvEnd = 1;
    e->iteration = 1;
    e->pvDepth = 0;
    e->postMode = 2;
    e->rootAlpha = -50;
    e->rootBeta = 50;
    e->startTime = wallClockMs();
    const std::string out = captureOutput([&] { e->printPV(0); });
    EXPECT_EQ(withoutXboardTime(out), "1 0 T 0 1. Nf3 Nf6 2. Ng1 Ng8\n");
    EXPECT_EQ(e->searchPly, 0);
    EXPECT_EQ(e->gamePly, 0);
}

TEST(Think, TheLineStopsAtTheEndOfThePlyStack) {
    auto e = searchEngineAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    const char* dance[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
    PlyRecord& root = e->ply(0);
    for (int i = 0; i < MAX_PLY; ++i) {
        const Move m = moveNamed(*e, dance[i % 4]);
        if (i < MAX_PLY - 1) root.pv[i] = m;
        e->hashTable.store(e->board.side, low(e->board.key), high(e->board.key), 1, 0, HASH_EXACT, 0, m, 0,
                           0);
        e->pushMove(m);
    }
    for (int i = 0; i < MAX_PLY; ++i) e->popMove();
    root.pvEnd = MAX_PLY - 1;
    e->iteration = 1;
    e->pvDepth = 0;
    e->postMode = 2;
    e->startTime = wallClockMs();
    const std::string out = captureOutput([&] { e->printPV(0); });
    int moves = 0;
    for (size_t at = 0; (at = out.find('N', at)) != std::string::npos; ++at) ++moves;
    EXPECT_EQ(moves, MAX_PLY - 1) << out;
    EXPECT_EQ(e->searchPly, 0);
}

TEST(Think, HeadersAndTheStatisticsBlock) {
    auto e = searchEngineAt("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -", 2);
    e->postMode = 1;
    e->pvDepth = 1;
    e->timeMode = 1; // a fixed time that the two plies never use up
    e->moveTimeMs = 60000;
    const std::string out = captureOutput([&] { e->think(); });
    std::vector<std::string> lines = linesOf(out);
    ASSERT_GE(lines.size(), 10u) << out;
    EXPECT_EQ(lines[0], "stime=60.00");
    EXPECT_EQ(lines[1], " depth         nodes   score    time  pv");
    const size_t n = lines.size();
    const SearchStats& s = e->stats;
    char expected[200];
    std::snprintf(expected, sizeof expected, "nodes=%u <%.1f%% quisnodes> time=", s.nodes,
                  s.qnodes * 100.0 / s.nodes);
    EXPECT_EQ(lines[n - 7].rfind(expected, 0), 0u) << lines[n - 7];
    double seconds = 0;
    unsigned long long nps = 0;
    int consumed = 0;
    const std::string rest = lines[n - 7].substr(std::strlen(expected));
    EXPECT_EQ(std::sscanf(rest.c_str(), "%lf NPS=%llu%n", &seconds, &nps, &consumed), 2);
    EXPECT_EQ(consumed, static_cast<int>(rest.size())) << rest;
    auto percentOf = [](uint32_t part, uint32_t whole) { return whole == 0 ? 0.0 : part * 100.0 / whole; };
    std::snprintf(expected, sizeof expected, "TTh=%u TTp=%u <%.1f%%> pTTh=%u pTTp=%u <%.1f%%>",
                  e->hashTable.hits, e->hashTable.probes, percentOf(e->hashTable.hits, e->hashTable.probes),
                  pawnHashTable.hits, pawnHashTable.probes,
                  percentOf(pawnHashTable.hits, pawnHashTable.probes));
    EXPECT_EQ(lines[n - 6], expected);
    EXPECT_GT(e->hashTable.probes, 0u);
    std::snprintf(expected, sizeof expected, "egtbh=%u egtbp=%u <%.1f%%> evalh=%u evalp=%u <%.1f%%>",
                  tablebaseStats.hits, tablebaseStats.probes,
                  percentOf(tablebaseStats.hits, tablebaseStats.probes), evalCache.hits, evalCache.probes,
                  percentOf(evalCache.hits, evalCache.probes));
    EXPECT_EQ(lines[n - 5], expected);
    std::snprintf(expected, sizeof expected, "lazy=%u see=%u ", s.lazy, s.seePruned);
    EXPECT_EQ(lines[n - 4], expected);
    std::snprintf(expected, sizeof expected, "check=%u threat=%u force1=%u force2=%u", s.checkExt,
                  s.threatExt, s.force1Ext, s.force2Ext);
    EXPECT_EQ(lines[n - 3], expected);
    std::snprintf(expected, sizeof expected, "recap=%u pushext=%u bm=%u reductions=%u", s.recapExt, s.pushExt,
                  s.bmExt, s.reductions);
    EXPECT_EQ(lines[n - 2], expected);
    std::snprintf(expected, sizeof expected, "nulltried=%u <%.1f%%> ordering=%.2f%%", s.nullTried,
                  s.nullCutoffs * 100.0 / std::max(s.nullTried, 1u),
                  s.firstMoveCutoffs * 100.0 / std::max(s.cutoffs, 1u));
    EXPECT_EQ(lines[n - 1], expected);
    // The last PV line is followed by the kibitz line only in xboard mode.
    EXPECT_EQ(out.find("kibitz"), std::string::npos);
}

TEST(Think, AnalysisAndPonderingPrintNoStatistics) {
    for (int mode = 0; mode < 3; ++mode) {
        auto e = searchEngineAt("4k3/pp6/8/8/8/8/PPP5/4K3 w - -", 2);
        e->postMode = 1;
        e->analyzeMode = mode == 0;
        e->pondering = mode == 1;
        e->ponderSearch = mode == 2;
        const std::string out = captureOutput([&] { e->think(); });
        EXPECT_EQ(out.find("nodes="), std::string::npos) << mode;
        EXPECT_EQ(out.find("stime="), std::string::npos) << mode;
    }
}

TEST(Think, ARecaptureFarAheadOfTheOtherMovesIsAnEasyMove) {
    auto e = searchEngineAt("4k3/7r/8/1n6/3N4/2P5/5PPP/6K1 b - -", 1);
    e->pushGameMove(moveNamed(*e, "b5d4"));
    e->postMode = 1;
    e->pvDepth = 99;
    const std::string out = captureOutput([&] { EXPECT_EQ(coord(e->think()), "c3d4"); });
    EXPECT_TRUE(e->easyMove);
    EXPECT_EQ(out.rfind("easy move\n", 0), 0u) << out;
    auto quiet = searchEngineAt("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -", 1);
    quiet->think();
    EXPECT_FALSE(quiet->easyMove);
}

TEST(Think, XboardKibitzLineAfterTheSearch) {
    auto e = searchEngineAt("4k3/pp6/8/8/8/8/PPP5/4K3 w - -", 2);
    e->postMode = 2;
    e->xboardMode = true;
    e->pvDepth = 0;
    const std::string out = captureOutput([&] { e->think(); });
    bool kibitz = false, depthTwo = false;
    for (const std::string& line : linesOf(out)) {
        int depth = 0, consumed = 0;
        double score = 0, seconds = 0;
        unsigned long long nps = 0;
        if (line.rfind("kibitz", 0) == 0) {
            EXPECT_EQ(std::sscanf(line.c_str(), "kibitz depth = %d score = %lf time = %lf nps = %llu%n",
                                  &depth, &score, &seconds, &nps, &consumed),
                      4);
            EXPECT_EQ(consumed, static_cast<int>(line.size())) << line;
            EXPECT_EQ(depth, 1) << "one less than the iterations run";
            EXPECT_DOUBLE_EQ(score, e->rootScore / 100.0);
            kibitz = true;
        }
        int iteration = 0, pvScore = 0, centiseconds = 0;
        unsigned nodes = 0;
        if (std::sscanf(line.c_str(), "%d %d %d %u 1. %n", &iteration, &pvScore, &centiseconds, &nodes,
                        &consumed) == 4 &&
            consumed > 0 && iteration == 2)
            depthTwo = true;
    }
    EXPECT_TRUE(kibitz) << out;
    EXPECT_TRUE(depthTwo) << out;
}

TEST(Think, TheProgressLineShowsTheRootMoveBeingSearched) {
    auto e = searchEngineAt("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -", 1);
    e->think(); // leaves the root list in place
    PlyRecord& root = e->ply(0);
    ASSERT_EQ(root.moveCount, 20);
    EXPECT_EQ(e->rootMoveCount, 20);
    root.moves[1] = moveNamed(*e, "g8f6");
    e->iteration = 4;
    e->stats.nodes = 321;
    e->pvDepth = 4;
    e->postMode = 1;
    e->startTime = wallClockMs();
    std::string out = captureOutput([&] { e->printProgress(1); });
    // The time column ("%6.2f") starts after the carriage return and 30 columns.
    ASSERT_GE(out.size(), 37u);
    out = out.substr(0, 31) + "T" + out.substr(37);
    EXPECT_EQ(out, "\r     4           321    2/20  T  1. ... Nf6   \r");
    e->xboardMode = true;
    EXPECT_EQ(captureOutput([&] { e->printProgress(1); }), "");
    e->xboardMode = false;
    e->pvDepth = 5;
    EXPECT_EQ(captureOutput([&] { e->printProgress(1); }), "");
    e->pvDepth = 0;
    e->postMode = 2;
    EXPECT_EQ(captureOutput([&] { e->printProgress(1); }), "");
}

TEST(Think, AFailLowOrHighWidensTheWindowAndSearchesAgain) {
    const char* fen = "4k3/pp6/8/8/8/8/PPP5/4K3 w - -";
    for (int bound : {HASH_UPPER, HASH_LOWER}) {
        auto e = searchEngineAt(fen, 1);
        e->postMode = 2;
        e->pvDepth = 0;
        // A stored bound far outside the window: the root cuts off on it and fails.
        const int stored = bound == HASH_UPPER ? -1500 : 1500;
        e->hashTable.store(WHITE, low(e->board.key), high(e->board.key), 5, 0, bound, stored,
                           moveNamed(*e, "c2c3"), 0, 0);
        const std::string out = captureOutput([&] { e->think(); });
        // The re-search may in turn fail the other way; the bound's own count is one.
        EXPECT_EQ(bound == HASH_UPPER ? e->failLowCount : e->failHighCount, 1);
        const std::vector<std::string> lines = linesOf(out);
        ASSERT_GE(lines.size(), 2u) << out;
        // Its line carries the bound and its mark (the variation stays as it was).
        char first[64];
        std::snprintf(first, sizeof first, "1 %d T 0 1%s ", stored, bound == HASH_UPPER ? "-" : "+");
        EXPECT_EQ(withoutXboardTime(lines[0]).rfind(first, 0), 0u) << lines[0];
        // The search again, inside the widened window, finds the real score.
        EXPECT_NE(e->rootScore, stored);
        EXPECT_GT(e->stats.nodes, 0u);
    }
}
