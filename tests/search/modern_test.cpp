// The modern search profile: legal moves and variations, repeatable node
// counts, mates found with exact scores, the switches of its techniques, and
// the profile read from every front end.
#include <cstdio>

#include "board/score.h"
#include "eval/params.h"
#include "search/modern/history.h"
#include "searchtest.h"
#include "shell/program.h"

namespace {

std::unique_ptr<SearchRig> modernAt(const std::string& fen, int depth) {
    auto rig = searchAt(fen, depth);
    rig->search.options.profile = SearchProfile::Modern;
    return rig;
}

// The first positions of a data file, FEN fields only.
std::vector<std::string> firstPositions(const std::string& file, size_t count) {
    std::vector<std::string> fens;
    for (const std::string& line : readLines(dataFile(file))) {
        if (fens.size() == count) break;
        if (!line.empty()) fens.push_back(fenFields(line));
    }
    return fens;
}

// Every move of the line is legal where it is played.
void expectLegalLine(const std::string& fen, const std::vector<std::string>& line) {
    auto position = positionAt(fen);
    EXPECT_TRUE(playMoves(*position, line)) << fen;
}

// The node count a UCI search gives at its end ("info nodes N"), the first
// after `from` in the output; 0 when there is none.
unsigned long long searchNodes(const std::string& out, size_t from) {
    const size_t at = out.find("info nodes ", from);
    return at == std::string::npos ? 0ull : std::stoull(out.substr(at + 11));
}

} // namespace

TEST(ModernSearch, BestMovesAndVariationsAreLegal) {
    if (!sharedDataPresent()) GTEST_SKIP() << NO_SHARED_DATA;
    const int depth = kSlowBuild ? 5 : 8;
    for (const std::string& fen : firstPositions("wac.epd", kSlowBuild ? 8 : 40)) {
        auto rig = modernAt(fen, depth);
        rig->listener.recordLines = true;
        const Move best = rig->search.think();
        ASSERT_NE(best, NO_MOVE) << fen;
        EXPECT_TRUE(isLegalIn(rig->position, best)) << fen;
        expectLegalLine(fen, rootLine(rig->search));
        for (const auto& line : rig->listener.lines) expectLegalLine(fen, line.moves);
    }
}

TEST(ModernSearch, AFixedDepthSearchIsRepeatable) {
    const char* fen = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -";
    uint64_t nodes[2];
    Move moves[2];
    for (int i = 0; i < 2; ++i) {
        auto rig = modernAt(fen, kSlowBuild ? 7 : 10);
        moves[i] = rig->search.think();
        nodes[i] = rig->search.statistics().nodes;
    }
    EXPECT_EQ(nodes[0], nodes[1]);
    EXPECT_EQ(moves[0], moves[1]);
}

// Walking a line to report it makes and unmakes its moves; the search after
// it must be the one it would have been unwatched.
TEST(ModernSearch, ReportingItsLinesDoesNotChangeTheSearch) {
    if (!sharedDataPresent()) GTEST_SKIP() << NO_SHARED_DATA;
    const int depth = kSlowBuild ? 5 : 8;
    for (const std::string& fen : firstPositions("wac.epd", kSlowBuild ? 8 : 30)) {
        uint64_t nodes[2];
        Move moves[2];
        for (int watched = 0; watched < 2; ++watched) {
            auto rig = modernAt(fen, depth);
            rig->listener.recordLines = watched == 1;
            moves[watched] = rig->search.think();
            nodes[watched] = rig->search.statistics().nodes;
        }
        EXPECT_EQ(nodes[0], nodes[1]) << fen;
        EXPECT_EQ(moves[0], moves[1]) << fen;
    }
}

TEST(ModernSearch, FindsMatesWithExactScores) {
    struct Case {
        const char* fen;
        const char* move;
        int moves; // mate in
    };
    const Case cases[] = {
        {"6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -", "a1a8", 1},
        {"r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq -", "h5f7", 1},
        {"2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - -", "g3g6", 2}, // WAC.001
        {"k7/8/2K5/8/8/8/8/7R w - -", nullptr, 2}, // Kb6 and Kc7 both mate in two
    };
    for (const Case& c : cases) {
        // The modern search reduces late moves: a quiet sacrifice needs a few plies more.
        auto rig = modernAt(c.fen, 2 * c.moves + 8);
        const Move best = rig->search.think();
        if (c.move) {
            EXPECT_EQ(coord(best), c.move) << c.fen;
        }
        EXPECT_EQ(rig->search.bestScore(), MATE_SCORE - (2 * c.moves - 1)) << c.fen;
    }
}

TEST(ModernSearch, TheCheckingSacrificeSwitchesFindAMateBehindARookOffer) {
    // WAC 99: Rh5 mates in two (gxh5 Qf6#, or Qxe7 Qxh7#, a queen given for a
    // pawn). With checking captures spared from exchange pruning and quiet
    // checks in the quiescence search, depth 12 sees it.
    auto rig = modernAt("r1bq1r1k/1pp1Np1p/p2p2pQ/4R3/n7/8/PPPP1PPP/R1B3K1 w - -", 12);
    rig->search.modernParams.exchangePruningSparesChecks = true;
    rig->search.modernParams.useQuiescenceChecks = true;
    EXPECT_EQ(coord(rig->search.think()), "e5h5");
    EXPECT_EQ(rig->search.bestScore(), MATE_SCORE - 3);
}

TEST(ModernSearch, EveryTechniqueCanBeSwitchedOffAlone) {
    // With each switch off in turn the search still gives a legal move, and on
    // at least one of a few positions differs from the full search in its
    // node count: every switch acts.
    const char* fens[] = {"r2q1rk1/pp2bppp/2n1pn2/3p4/3P4/2NBPN2/PP3PPP/R2Q1RK1 w - -",
                          "r1bq1rk1/pp3ppp/2nbpn2/3p4/2PP4/2N1PN2/PP3PPP/R1BQKB1R w KQ -",
                          "8/5pk1/6p1/3P4/1p3P2/1P4P1/5K2/8 w - -"};
    const int depth = kSlowBuild ? 6 : 10;
    struct Switch {
        bool ModernParams::*field;
        const char* name;
    };
    const Switch switches[] = {
        {&ModernParams::useAspiration, "aspiration"},
        {&ModernParams::useReverseFutility, "reverse futility"},
        {&ModernParams::useRazoring, "razoring"},
        {&ModernParams::useNullMove, "null move"},
        {&ModernParams::useFutility, "futility"},
        {&ModernParams::useLateMovePruning, "late-move pruning"},
        {&ModernParams::useReductions, "reductions"},
        {&ModernParams::reduceMoreAfterTableCapture, "more reduction after a table capture"},
        {&ModernParams::useHistoryPruning, "history pruning"},
        {&ModernParams::useExchangePruning, "exchange pruning"},
        {&ModernParams::useCounterMoves, "counter moves"},
        {&ModernParams::useContinuationHistory, "continuation history"},
        {&ModernParams::useIterativeReduction, "iterative reduction"},
        {&ModernParams::useSingularExtension, "singular extension"},
        {&ModernParams::useCheckExtension, "check extension"},
        {&ModernParams::useQuiescenceExchange, "quiescence exchange pruning"},
        {&ModernParams::useDeltaPruning, "delta pruning"},
        {&ModernParams::useCorrectionHistory, "correction history"},
        {&ModernParams::useMoveCorrection, "last-move correction"},
    };
    // The slow builds search shallower: singular extensions then start lower
    // and history pruning asks less of the histories, which a shallow search
    // has had little time to fill, so that both still act.
    auto shallowEnough = [](ModernParams& params) {
        if (!kSlowBuild) return;
        params.singularDepth = 4;
        params.historyPruningMargin = 500;
    };
    std::vector<uint64_t> fullNodes;
    for (const char* fen : fens) {
        auto full = modernAt(fen, depth);
        shallowEnough(full->search.modernParams);
        full->search.think();
        fullNodes.push_back(full->search.statistics().nodes);
    }
    for (const Switch& sw : switches) {
        bool differs = false;
        for (size_t i = 0; i < std::size(fens); ++i) {
            auto rig = modernAt(fens[i], depth);
            shallowEnough(rig->search.modernParams);
            rig->search.modernParams.*sw.field = false;
            const Move best = rig->search.think();
            EXPECT_TRUE(isLegalIn(rig->position, best)) << sw.name;
            differs = differs || rig->search.statistics().nodes != fullNodes[i];
        }
        EXPECT_TRUE(differs) << sw.name << " off changes nothing";
    }
}

TEST(ModernSearch, TheEvaluationCorrectionIsAMovingAverageWithinItsLimit) {
    int32_t entry = 0;
    updateCorrection(entry, 40, 64, 64); // a quarter of the way
    EXPECT_EQ(entry, 10 * CORRECTION_GRAIN);
    for (int i = 0; i < 200; ++i) updateCorrection(entry, 40, 16, 64);
    EXPECT_NEAR(entry / CORRECTION_GRAIN, 40, 1); // settles on the error
    for (int i = 0; i < 200; ++i) updateCorrection(entry, -40, 16, 64);
    EXPECT_NEAR(entry / CORRECTION_GRAIN, -40, 1); // and follows it when it changes sign
    updateCorrection(entry, 500, 256, 64);
    EXPECT_EQ(entry, 64 * CORRECTION_GRAIN); // never past the limit
    updateCorrection(entry, -500, 256, 64);
    EXPECT_EQ(entry, -64 * CORRECTION_GRAIN);
}

TEST(ModernProfile, IsReadFromTheIniFileXboardAndUci) {
    // The bench runs in the profile in force: its node count tells which.
    auto benchLine = [](const std::string& out) {
        const size_t at = out.find("bench: ");
        return at == std::string::npos ? std::string() : out.substr(at, out.find(" nodes", at) - at);
    };
    std::string modernBench, classicBench;
    {
        TempDir dir;
        dir.write("falkmere.ini", "PROFILE Modern\n");
        const std::string out = runProgram(dir.path(), "bench 4\n");
        EXPECT_NE(out.find("profile [modern]\n"), std::string::npos) << out;
        // The banner shows the piece values in force: the modern set's own.
        char queenLine[32];
        std::snprintf(queenLine, sizeof queenLine, "queen  = %4d\n", modernEvalParams().pieceValue[QUEEN]);
        EXPECT_NE(out.find(queenLine), std::string::npos) << out;
        modernBench = benchLine(out);
        classicBench = benchLine(runProgram(dir.path(), "option Profile=classic\nbench 4\n"));
    }
    ASSERT_NE(modernBench, "");
    EXPECT_NE(modernBench, classicBench);
    {
        TempDir dir;
        const std::string out =
            runProgram(dir.path(), "xboard\nprotover 2\noption Profile=modern\nbench 4\n");
        EXPECT_NE(out.find("feature option=\"Profile -combo *classic /// modern\"\n"), std::string::npos);
        EXPECT_EQ(benchLine(out), modernBench) << out;
    }
    {
        TempDir dir;
        Program program(dir.path());
        const std::string go = kSlowBuild ? "go depth 7\n" : "go depth 8\n";
        program.send("uci\nsetoption name Profile value modern\nposition startpos\n" + go);
        ASSERT_TRUE(program.waitFor("bestmove"));
        const std::string modern = program.output();
        program.send("setoption name Profile value classic\nucinewgame\nposition startpos\n" + go);
        ASSERT_TRUE(program.waitFor("bestmove", modern.size()));
        EXPECT_NE(modern.find("option name Profile type combo default classic var classic var modern"),
                  std::string::npos);
        // The modern search prunes far more: fewer nodes to the same depth.
        EXPECT_LT(searchNodes(modern, 0) * 3, searchNodes(program.output(), modern.size()));
        program.send("quit\n");
        EXPECT_EQ(program.finish(), 0);
    }
}

TEST(ModernProfile, ANewGameStartsWithoutWhatTheLastOneTaught) {
    // The same search after another one and a new game takes the node count
    // it took first: the histories and corrections of the other are gone.
    TempDir dir;
    dir.write("falkmere.ini", "PROFILE modern\n");
    Program program(dir.path());
    const std::string go = kSlowBuild ? "go depth 7\n" : "go depth 9\n";
    const std::string first =
        "position fen r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3\n";
    const std::string other =
        "position fen 2rq1rk1/pp1bppbp/3p1np1/8/3NP3/1BN1BP2/PPPQ2PP/R3K2R w KQ - 0 11\n";
    auto nodesOfSearch = [&](const std::string& commands) {
        const size_t from = program.output().size();
        program.send(commands);
        EXPECT_TRUE(program.waitFor("bestmove", from));
        return searchNodes(program.output(), from);
    };
    const unsigned long long fresh = nodesOfSearch("uci\nucinewgame\n" + first + go);
    ASSERT_GT(fresh, 0u);
    nodesOfSearch(other + go);
    EXPECT_EQ(nodesOfSearch("ucinewgame\n" + first + go), fresh);
    program.send("quit\n");
    EXPECT_EQ(program.finish(), 0);
}

TEST(ModernProfile, ASuitePositionIsSearchedAsIfItCameFirst) {
    // runepd empties the histories and corrections before each position, so a
    // position's search does not depend on the positions before it in the file.
    TempDir dir;
    dir.write("falkmere.ini", "PROFILE modern\n");
    const std::string first = "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - bm Qg6;\n";
    const std::string second = "8/7p/5k2/5p2/p1p2P2/Pr1pPK2/1P1R3P/8 b - - bm Rxb2;\n";
    dir.write("both.epd", first + second);
    dir.write("alone.epd", second);
    // The node counts of a suite's searches, each stopped by the depth limit.
    auto nodesOfSuite = [&](const std::string& file) {
        Program program(dir.path());
        program.send("sd 8\nrunepd " + file + " 60\n");
        EXPECT_TRUE(program.waitFor("percentage solved", 0, 60000));
        program.send("quit\n");
        EXPECT_EQ(program.finish(), 0);
        std::vector<unsigned long long> nodes;
        const std::string& out = program.output();
        for (size_t at = out.find("nodes="); at != std::string::npos; at = out.find("nodes=", at + 1))
            nodes.push_back(std::stoull(out.substr(at + 6)));
        return nodes;
    };
    const std::vector<unsigned long long> both = nodesOfSuite("both.epd");
    const std::vector<unsigned long long> alone = nodesOfSuite("alone.epd");
    ASSERT_EQ(both.size(), 2u);
    ASSERT_EQ(alone.size(), 1u);
    EXPECT_EQ(both[1], alone[0]);
}

TEST(ModernProfile, StopsOnTheClockAndOnInput) {
    TempDir dir;
    dir.write("falkmere.ini", "PROFILE modern\n");
    Program program(dir.path());
    program.send("uci\nposition startpos moves e2e4\ngo wtime 1000 btime 1000 winc 0 binc 0\n");
    ASSERT_TRUE(program.waitFor("bestmove", 0, 20000)) << "the clock stops the search";
    size_t from = program.output().size();
    program.send("go infinite\n");
    ASSERT_TRUE(program.waitFor("info depth 6 ", from));
    program.send("stop\n");
    ASSERT_TRUE(program.waitFor("bestmove", from, 20000)) << "stop ends an infinite search";
    from = program.output().size();
    program.send("go nodes 20000\n");
    ASSERT_TRUE(program.waitFor("bestmove", from, 20000));
    const size_t at = program.output().find("info nodes ", from);
    ASSERT_NE(at, std::string::npos);
    EXPECT_LE(std::stoull(program.output().substr(at + 11)), 21000u) << "a node limit holds";
    program.send("quit\n");
    EXPECT_EQ(program.finish(), 0);
}
