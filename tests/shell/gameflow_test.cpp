// The engine's turn, pondering and the search-time input poll, driven by a
// scripted search that polls the input the way the real search does.
#include <unistd.h>

#include "program.h"
#include "testutil.h"

namespace {

// A search that writes the next batch of test input, polls it like the real
// search (up to a fixed number of polls or until stopped) and returns the
// first legal move of its root position.
struct ScriptedSearch {
    static inline std::vector<std::vector<std::string>> inputs;
    static inline size_t calls = 0;
    static inline int writeFd = -1;
    static inline int score = 0;

    static Move search(Engine& e) {
        inside(e.search).stopRequested = inside(e.search).searchAborted = false;
        e.game().position.searchPly = 0;
        inside(e.search).startTime = wallClockMs();
        inside(e.search).startCpuTime = cpuClockMs();
        inside(e.search).stats = SearchStats{};
        inside(e.search).iteration = 1;
        inside(e.search).rootScore = score;
        const std::vector<Move> moves = legalMoves(e.game().position);
        for (size_t i = 0; i < moves.size(); ++i) e.search.ply(0).moves[i] = moves[i];
        inside(e.search).rootMoveCount = static_cast<int>(moves.size());
        inside(e.search).rootMoveIndex = 0;
        if (calls < inputs.size()) {
            for (const auto& line : inputs[calls]) {
                if (line == "<eof>") {
                    close(writeFd);
                    writeFd = -1;
                } else if (write(writeFd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
                    ADD_FAILURE() << "write failed";
                }
            }
        }
        ++calls;
        for (int polls = 0; polls < 50 && !inside(e.search).searchAborted; ++polls)
            e.search.pollInputAndClock();
        return moves.empty() ? NO_MOVE : moves[0];
    }
};

// An engine at a position whose input is a pipe the test writes to.
class GameFlow : public ::testing::Test {
  protected:
    std::unique_ptr<Engine> engine;
    int fds[2] = {-1, -1};

    void SetUp() override { start("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -"); }
    void TearDown() override {
        if (ScriptedSearch::writeFd >= 0) close(ScriptedSearch::writeFd);
        if (fds[0] >= 0) close(fds[0]);
        ScriptedSearch::writeFd = -1;
    }

    void start(const std::string& fen) {
        if (fds[0] >= 0) close(fds[0]);
        if (ScriptedSearch::writeFd >= 0) close(ScriptedSearch::writeFd);
        engine = engineAt(fen);
        ASSERT_EQ(pipe(fds), 0);
        engine->inputQueue().readFrom(fds[0]);
        ScriptedSearch::writeFd = fds[1];
        ScriptedSearch::inputs.clear();
        ScriptedSearch::calls = 0;
        ScriptedSearch::score = 0;
        engine->searchFunction = ScriptedSearch::search;
        engine->modes.computerSide = engine->game().board().side;
    }

    std::string turn(const std::vector<std::vector<std::string>>& inputs) {
        ScriptedSearch::inputs = inputs;
        testing::internal::CaptureStdout();
        engine->enginesTurn();
        return testing::internal::GetCapturedStdout();
    }
};

// What the scripted search plays, the first legal move, and its SAN; played
// on `e` when `play`.
std::pair<Move, std::string> first(Engine& e, bool play = true) {
    const Move m = legalMoves(e.game().position).at(0);
    std::pair<Move, std::string> result{m, san(e.game().position, m)};
    if (play) e.game().position.pushGameMove(m);
    return result;
}

} // namespace

TEST_F(GameFlow, PonderHitPrintsExpectedMoveAndTheSearchGoesOnAsTheEnginesOwn) {
    auto shadow = engineAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    const auto [w1, w1San] = first(*shadow);
    const auto [b1, b1San] = first(*shadow);
    const auto [w2, w2San] = first(*shadow, false);

    const std::string out = turn({{}, {}, {coord(b1) + "\n"}, {"result 1/2-1/2\n"}});
    EXPECT_EQ(out, "WHITE<1>: " + w1San + "\nBLACK<1>: " + b1San +
                       " [pondering]\nExpected move!\nWHITE<2>: " + w2San + "\n");
    EXPECT_EQ(engine->game().position.gamePly, 3);
    EXPECT_EQ(engine->game().position.searchPly, 0);
    EXPECT_EQ(engine->game().position.history[2].move, w2);
    EXPECT_EQ(engine->modes.computerSide, NEUTRAL);
    EXPECT_EQ(engine->game().result, 3); // the book is off: the result stays until "new"
}

TEST_F(GameFlow, PonderMissPlaysTheReplyAndThinksAtOnce) {
    engine->modes.xboard = true;
    auto shadow = engineAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    const Move w1 = first(*shadow).first;
    const auto [b1, b1San] = first(*shadow, false);
    const Move other = legalMoves(shadow->game().position).back();
    ASSERT_FALSE(sameMove(other, b1));
    shadow->game().position.pushGameMove(other);
    const Move w2 = first(*shadow).first;

    // The search for a move to ponder on after w2 meets "force": the engine
    // then plays neither side and does not ponder.
    const std::string out = turn({{}, {}, {coord(other) + "\n"}, {}, {"force\n"}, {}});
    EXPECT_EQ(out, "move " + coord(w1) + "\npondering on move [" + b1San + "]\nUnexpected move!\nmove " +
                       coord(w2) + "\n");
    EXPECT_EQ(ScriptedSearch::calls, 5u);
    EXPECT_EQ(engine->game().position.gamePly, 3);
    EXPECT_EQ(engine->game().position.history[1].move, other);
    EXPECT_EQ(engine->game().board().key, shadow->game().board().key);
    EXPECT_EQ(engine->modes.computerSide, NEUTRAL);
}

TEST_F(GameFlow, TheOpponentsMoveIsRecognisedInSanWhilePondering) {
    engine->modes.xboard = true;
    // The expected reply typed in SAN, as the prompt shows it, is a ponder
    // hit; the result then ends the engine's own search with the reply played.
    const std::string out = turn({{}, {}, {"Nc6\n", "result 0-1\n"}});
    EXPECT_NE(out.find("pondering on move [Nc6]\nExpected move!\n"), std::string::npos) << out;
    EXPECT_EQ(engine->game().position.gamePly, 2);
    EXPECT_EQ(engine->game().board().side, WHITE);
    EXPECT_EQ(engine->modes.computerSide, NEUTRAL);
    EXPECT_EQ(engine->game().result, 2);
    EXPECT_FALSE(engine->search.modes.pondering);
}

TEST_F(GameFlow, ForceDuringTheEnginesSearchStillPlaysTheMove) {
    engine->modes.ponderEnabled = false;
    const std::string w1San = first(*engine, false).second;
    EXPECT_EQ(turn({{"force\n"}}), "WHITE<1>: " + w1San + "\n");
    EXPECT_EQ(engine->game().position.gamePly, 1);
    EXPECT_EQ(engine->modes.computerSide, NEUTRAL);
}

TEST_F(GameFlow, MoveNowStopsTheSearchAndLaterLinesWaitForTheMainLoop) {
    engine->modes.ponderEnabled = false;
    turn({{"?\n", "st 7\n"}});
    EXPECT_EQ(engine->game().position.gamePly, 1);
    EXPECT_EQ(engine->search.time.moveTimeMs, 2000);
    std::string line;
    ASSERT_EQ(engine->inputQueue().read(line), 1);
    EXPECT_EQ(line, "st 7\n");
}

TEST_F(GameFlow, DotPrintsTheStatusOfTheRunningSearch) {
    engine->modes.ponderEnabled = false;
    const std::string move = coord(first(*engine, false).first);
    const std::string out = turn({{".\n", "?\n"}});
    EXPECT_TRUE(std::regex_match(out, std::regex("stat01: [0-9]+ 0 1 19 20 " + move + "\nWHITE<1>: .*\n")))
        << out;
    // At the prompt no search runs, and there is no status to print.
    testing::internal::CaptureStdout();
    engine->parseCommand(".\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(GameFlow, AFixedDepthSearchReadsNoInput) {
    engine->modes.ponderEnabled = false;
    engine->parseCommand("sd 3\n");
    turn({{"force\n"}});
    EXPECT_EQ(engine->modes.computerSide, WHITE);
    std::string line;
    ASSERT_EQ(engine->inputQueue().read(line), 1);
    EXPECT_EQ(line, "force\n");
}

TEST_F(GameFlow, EndOfInputDuringASearchEndsTheSearchAndThenTheLoop) {
    ScriptedSearch::inputs = {{"<eof>"}};
    const std::string w1San = first(*engine, false).second;
    testing::internal::CaptureStdout();
    engine->mainLoop(1, nullptr);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.substr(0, 10 + w1San.size()), "WHITE<1>: " + w1San) << out;
    EXPECT_EQ(engine->game().position.gamePly, 1);
    EXPECT_FALSE(engine->search.modes.pondering);
}

TEST_F(GameFlow, ResignsExactlyInsideTheWindow) {
    struct Case {
        int score;
        bool resigns;
    };
    for (const Case c : {Case{-800, true}, Case{-799, false}, Case{-9935, true}, Case{-9936, false}}) {
        start("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
        engine->modes.ponderEnabled = false;
        ScriptedSearch::score = c.score;
        const std::string out = turn({{}});
        EXPECT_EQ(out == "WHITE<1>: resigns\n", c.resigns) << c.score << ": " << out;
        EXPECT_EQ(engine->game().position.gamePly, c.resigns ? 0 : 1);
        EXPECT_EQ(engine->modes.computerSide, c.resigns ? NEUTRAL : WHITE);
    }
    start("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    engine->modes.xboard = true;
    ScriptedSearch::score = -1000;
    EXPECT_EQ(turn({{}}), "resign\n");
}

TEST_F(GameFlow, NoLegalMoveIsReportedAndForceModeFollows) {
    for (const bool xboard : {false, true}) {
        start("7k/5Q2/6K1/8/8/8/8/8 b - -");
        engine->modes.xboard = xboard;
        EXPECT_EQ(turn({{}}), xboard ? "(no legal moves)\n" : "No Legal Moves!\n");
        EXPECT_EQ(engine->modes.computerSide, NEUTRAL);
    }
}

TEST_F(GameFlow, AMoveThatEndsTheGameEndsTheTurn) {
    start("6k1/5ppp/8/8/8/8/8/R5K1 w - -");
    // A search that plays the mate.
    ASSERT_NE(moveNamed(engine->game().position, "a1a8"), NO_MOVE);
    engine->searchFunction = [](Engine& e) { return parseMove(e.game().position, "Ra8"); };
    EXPECT_EQ(turn({}), "WHITE<1>: Ra8#\n1-0 {White mates}\n");
    EXPECT_EQ(engine->modes.computerSide, NEUTRAL);
}

TEST_F(GameFlow, AFullGameRecordRefusesFurtherMoves) {
    engine->modes.computerSide = NEUTRAL;
    const char* cycle[] = {"g1f3\n", "g8f6\n", "f3g1\n", "f6g8\n"};
    testing::internal::CaptureStdout();
    for (int i = 0; i < MAX_GAME_PLY; ++i) engine->playInputMove(cycle[i % 4]);
    EXPECT_EQ(engine->game().position.gamePly, MAX_GAME_PLY);
    engine->playInputMove("e2e4\n");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(engine->game().position.gamePly, MAX_GAME_PLY);
    EXPECT_NE(out.find("Game too long: no room for more moves\n"), std::string::npos);
    engine->modes.computerSide = engine->game().board().side;
    EXPECT_EQ(turn({{}}), "Game too long: no room for more moves\n");
    EXPECT_EQ(engine->modes.computerSide, NEUTRAL);
}

TEST_F(GameFlow, AResultIsHandedToTheBookLearningOnlyWithTheBookOn) {
    for (const bool book : {true, false}) {
        start("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
        engine->search.options.useBook = book;
        engine->modes.computerSide = BLACK;
        ASSERT_EQ(write(fds[1], "result 1-0\n", 11), 11);
        close(fds[1]);
        ScriptedSearch::writeFd = -1;
        testing::internal::CaptureStdout();
        engine->mainLoop(1, nullptr);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(engine->game().result, book ? 0 : 1);
        EXPECT_EQ(engine->modes.computerSide, NEUTRAL);
    }
}

TEST(Utilities, PerfCountsEveryGeneratedMoveTwiceAndLeavesThePosition) {
    const std::string start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";
    auto e = engineAt(start);
    testing::internal::CaptureStdout();
    e->perf(10);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(out.starts_with("generated 200 moves in ")) << out;
    EXPECT_NE(out.find(" moves/sec\ngenerated/made/unmade 200 moves in "), std::string::npos) << out;
    EXPECT_EQ(e->game().board().fen(), start);
}
