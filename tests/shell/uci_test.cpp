// The UCI protocol as GUIs speak it, through the real program: the handshake,
// positions, every kind of go, stop, ponderhit, isready during a search,
// options, and best moves that are always legal.
#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

#include "board/score.h"
#include "book/booktest.h"
#include "program.h"
#include "shell/uci.h"
#include "shell/words.h"
#include "testutil.h"

namespace {

const char* START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

// A UCI session with the program in a fresh directory, past its handshake.
class Uci : public ::testing::Test {
  protected:
    TempDir dir;
    std::unique_ptr<Program> program;

    void SetUp() override {
        program = std::make_unique<Program>(dir.path());
        program->send("uci\n");
        ASSERT_TRUE(program->waitFor("uciok\n"));
    }
    void TearDown() override {
        program->send("quit\n");
        EXPECT_EQ(program->finish(), 0);
    }
    // Sends a line and waits for `text` to appear after everything printed so far.
    bool sendAndWait(const std::string& line, const std::string& text) {
        const size_t from = program->output().size();
        program->send(line);
        return program->waitFor(text, from);
    }
    // The move of the last "bestmove" line, and its ponder move ("" if none).
    std::pair<std::string, std::string> lastBestMove() const {
        const std::string& out = program->output();
        const size_t at = out.rfind("bestmove ");
        if (at == std::string::npos) return {};
        std::istringstream words(out.substr(at, out.find('\n', at) - at));
        std::string word, best, ponder;
        words >> word >> best >> word >> ponder;
        return {best, ponder};
    }
};

// The best move must be a legal move, in coordinates, of the position reached
// by playing `moves` from `fen`, and the ponder move (if any) a legal reply to
// it; each must be written as UCI writes that move.
void expectLegal(const std::string& fen, const std::vector<std::string>& moves,
                 const std::pair<std::string, std::string>& best) {
    EXPECT_TRUE(std::regex_match(best.first, std::regex("[a-h][1-8][a-h][1-8][qrbn]?"))) << best.first;
    auto position = positionAt(fen);
    ASSERT_TRUE(playMoves(*position, moves)) << fen;
    for (const std::string& text : {best.first, best.second}) {
        if (text.empty()) return;
        const std::vector<Move> legal = legalMoves(*position);
        const auto move = std::ranges::find(legal, text, uciMove);
        ASSERT_NE(move, legal.end()) << text << " in " << position->board.fen();
        position->pushGameMove(*move);
    }
}

} // namespace

TEST(UciText, MovesAndScoresAsTheProtocolWritesThem) {
    EXPECT_EQ(uciMove(buildMove(E7, E8, PAWN, 0, QUEEN, MOVE_PAWN | MOVE_PROMOTION)), "e7e8q");
    EXPECT_EQ(uciMove(CASTLE_WHITE_KINGSIDE), "e1g1");
    EXPECT_EQ(uciScore(-37), "cp -37");
    EXPECT_EQ(uciScore(MATE_SCORE - 1), "mate 1");
    EXPECT_EQ(uciScore(MATE_SCORE - 5), "mate 3");
    EXPECT_EQ(uciScore(-(MATE_SCORE - 2)), "mate -1");
    EXPECT_EQ(uciScore(-(MATE_SCORE - 4)), "mate -2");
    const GoCommand go = parseGo(
        splitWords("go wtime 300000 btime 290000 winc 2000 binc 1000 movestogo 17 depth x searchmoves "
                   "e2e4 d2d4 ponder"));
    EXPECT_EQ(go.whiteMs, 300000);
    EXPECT_EQ(go.blackIncrementMs, 1000);
    EXPECT_EQ(go.movesToGo, 17);
    EXPECT_EQ(go.depth, 0) << "a malformed number is skipped";
    EXPECT_EQ(go.searchMoves, (std::vector<std::string>{"e2e4", "d2d4"}));
    EXPECT_TRUE(go.ponder);
}

TEST_F(Uci, TheHandshakeNamesTheEngineAndItsOptionsOnLinesOfTheirOwn) {
    const std::string& out = program->output();
    EXPECT_NE(out.find("\nid name Falkmere 1.08\nid author "), std::string::npos) << out;
    const std::regex option(
        "option name [A-Za-z0-9_ ]+ type (check default (true|false)|spin default -?[0-9]+ min "
        "-?[0-9]+ max -?[0-9]+|string default [^ ]+|button|combo default [a-z]+( var [a-z]+)+)");
    int options = 0;
    std::istringstream lines(out.substr(out.find("\nid name")));
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("option ", 0) != 0) continue;
        EXPECT_TRUE(std::regex_match(line, option)) << line;
        ++options;
    }
    EXPECT_GE(options, 10);
    for (const char* name : {"Hash", "Clear Hash", "Ponder", "OwnBook", "BookFile", "LearnFile",
                             "NalimovPath", "NalimovCache", "Reductions", "QueenValue", "KingAttack"})
        EXPECT_NE(out.find(std::string("option name ") + name + " type"), std::string::npos) << name;
    EXPECT_TRUE(sendAndWait("isready\n", "readyok\n"));
}

TEST_F(Uci, PositionsWithMovesAndFensGiveLegalBestMoves) {
    struct Case {
        const char* fen; // null: startpos
        std::vector<std::string> moves;
    };
    const Case cases[] = {
        {nullptr, {}},
        {nullptr, {"e2e4", "e7e5", "g1f3", "b8c6", "f1c4", "g8f6", "e1g1"}}, // castling as the king's move
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", {"e1c1", "e8g8"}},
        {"8/1P4k1/8/8/8/8/6K1/8 w - - 0 1", {"b7b8q", "g7f6"}}, // a promotion
        {"8/8/8/3pP3/8/8/5k2/K7 w - d6 0 2", {"e5d6"}},         // en passant
    };
    for (const Case& c : cases) {
        std::string command = c.fen ? std::string("position fen ") + c.fen : "position startpos";
        if (!c.moves.empty()) command += " moves";
        for (const std::string& m : c.moves) command += " " + m;
        ASSERT_TRUE(sendAndWait(command + "\ngo depth 3\n", "bestmove"));
        ASSERT_TRUE(sendAndWait("isready\n", "readyok\n"));
        expectLegal(c.fen ? c.fen : START, c.moves, lastBestMove());
    }
    // An illegal move ends the list: the position is the one before it.
    ASSERT_TRUE(
        sendAndWait("position startpos moves e2e4 e7e5 e1e3 d7d5\n", "info string illegal move e1e3"));
    ASSERT_TRUE(sendAndWait("go depth 2\n", "bestmove"));
    expectLegal(START, {"e2e4", "e7e5"}, lastBestMove());
}

TEST_F(Uci, DepthNodesAndMovetimeLimitTheSearch) {
    ASSERT_TRUE(sendAndWait("position startpos\ngo depth 4\n", "bestmove"));
    const std::string& out = program->output();
    EXPECT_NE(out.find("info depth 4 "), std::string::npos);
    EXPECT_EQ(out.find("info depth 5 "), std::string::npos);
    for (int depth = 1; depth <= 4; ++depth)
        EXPECT_NE(out.find("info depth " + std::to_string(depth) + " seldepth"), std::string::npos)
            << "every iteration is reported";

    size_t from = out.size();
    ASSERT_TRUE(sendAndWait("go nodes 3000\n", "bestmove"));
    const size_t last = out.rfind("info nodes ");
    ASSERT_GT(last, from);
    unsigned nodes = 0;
    ASSERT_EQ(std::sscanf(out.c_str() + last, "info nodes %u", &nodes), 1);
    EXPECT_GE(nodes, 3000u);
    EXPECT_LE(nodes, 3001u);

    ASSERT_TRUE(sendAndWait("go movetime 200\n", "bestmove"));
    expectLegal(START, {}, lastBestMove());
}

TEST_F(Uci, AnInfiniteSearchAnswersIsreadyAndMovesOnlyWhenStopped) {
    ASSERT_TRUE(sendAndWait("position startpos moves d2d4\ngo infinite\n", "info depth 4 "));
    ASSERT_TRUE(sendAndWait("isready\n", "readyok\n"));
    EXPECT_EQ(program->output().find("bestmove"), std::string::npos);
    ASSERT_TRUE(sendAndWait("stop\n", "bestmove"));
    expectLegal(START, {"d2d4"}, lastBestMove());
}

TEST_F(Uci, APonderSearchWaitsForPonderhitOrStop) {
    // A ponder hit turns the search into the engine's own, timed by its clock.
    ASSERT_TRUE(
        sendAndWait("position startpos moves e2e4 e7e5\ngo ponder wtime 2000 btime 2000 winc 0 binc 0\n",
                    "info depth 3 "));
    EXPECT_EQ(program->output().find("bestmove"), std::string::npos);
    ASSERT_TRUE(sendAndWait("ponderhit\n", "bestmove"));
    expectLegal(START, {"e2e4", "e7e5"}, lastBestMove());

    // A miss: the GUI stops the search (and ignores its move).
    size_t from = program->output().size();
    ASSERT_TRUE(sendAndWait("position startpos moves e2e4 e7e5 g1f3\ngo ponder wtime 2000 btime 2000\n",
                            "info depth 3 "));
    ASSERT_TRUE(sendAndWait("stop\n", "bestmove"));
    EXPECT_GT(program->output().rfind("bestmove"), from);

    // A search that ends by itself (a mate in one) still waits for the hit.
    ASSERT_TRUE(sendAndWait("position fen 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1\ngo ponder depth 3\n",
                            "score mate 1"));
    ASSERT_TRUE(sendAndWait("isready\n", "readyok\n"));
    EXPECT_EQ(program->output().find("bestmove", program->output().rfind("score mate 1")), std::string::npos);
    ASSERT_TRUE(sendAndWait("ponderhit\n", "bestmove"));
    EXPECT_EQ(lastBestMove().first, "a1a8");
}

TEST_F(Uci, MateAndStalemateRoots) {
    ASSERT_TRUE(sendAndWait("position fen 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1\ngo depth 5\n", "bestmove"));
    EXPECT_NE(program->output().find("score mate 1 "), std::string::npos);
    EXPECT_EQ(lastBestMove().first, "a1a8");
    // Mated, and stalemated: no legal move at all.
    for (const char* fen : {"R5k1/5ppp/8/8/8/8/5PPP/6K1 b - - 0 1", "k7/2Q5/1K6/8/8/8/8/8 b - - 0 1"}) {
        ASSERT_TRUE(sendAndWait(std::string("position fen ") + fen + "\ngo movetime 100\n", "bestmove"));
        EXPECT_EQ(lastBestMove().first, "0000") << fen;
    }
}

TEST_F(Uci, OptionsActAtOnce) {
    ASSERT_TRUE(sendAndWait("setoption name Hash value 64\nisready\n", "readyok\n"));
    ASSERT_TRUE(sendAndWait("setoption name Hash value 0\n", "info string Hash takes a number from 1"));
    ASSERT_TRUE(sendAndWait("setoption name No Such Thing value 3\n", "info string no such option"));
    ASSERT_TRUE(sendAndWait("setoption name Clear Hash\nisready\n", "readyok\n"));
    // A book that knows only 1. e4: with OwnBook on, it is played at once.
    const uint64_t key = keyAfter({"e4"});
    writeBookRecords(dir.file("e4.dat"), {BookRecord{keyLow(key), keyHigh(key), 50, 0, 0, 100}}, {});
    ASSERT_TRUE(sendAndWait("setoption name BookFile value " + dir.file("e4.dat") + "\n",
                            "info string 1 book positions\n"));
    ASSERT_TRUE(
        sendAndWait("setoption name OwnBook value true\nposition startpos\ngo movetime 60000\n", "bestmove"));
    EXPECT_EQ(lastBestMove().first, "e2e4");
}

namespace {

// The "info nodes" count of the last search's final line.
uint64_t finalNodes(const std::string& out) {
    const size_t last = out.rfind("info nodes ");
    return last == std::string::npos ? 0 : std::stoull(out.substr(last + 11));
}

} // namespace

TEST_F(Uci, PositionKeepsTheTableOnlyUcinewgameEmptiesIt) {
    const std::string position = "position startpos moves e2e4 e7e5\n";
    const std::string go = kSlowBuild ? "go depth 6\n" : "go depth 7\n";
    ASSERT_TRUE(sendAndWait(position + go, "bestmove"));
    const uint64_t first = finalNodes(program->output());
    ASSERT_TRUE(sendAndWait(go, "bestmove"));
    const uint64_t second = finalNodes(program->output());
    ASSERT_TRUE(sendAndWait(position + go, "bestmove"));
    const uint64_t third = finalNodes(program->output());
    EXPECT_LT(second, first / 2);
    EXPECT_LT(third, first / 2) << "the same position again finds the table full";
    ASSERT_TRUE(sendAndWait("ucinewgame\n" + position + go, "bestmove"));
    EXPECT_EQ(finalNodes(program->output()), first) << "a new game starts from an empty table";
}

TEST_F(Uci, NodesCountEveryThreadEverywhere) {
    ASSERT_TRUE(
        sendAndWait("setoption name Threads value 2\nposition startpos\ngo nodes 100000\n", "bestmove"));
    const std::string& out = program->output();
    const uint64_t total = finalNodes(out);
    // Each thread stops at its next poll after the limit: a little more, never less.
    EXPECT_GE(total, 100000u);
    EXPECT_LE(total, 120000u);
    // The lines of the variation count the helper's nodes too: the last one
    // comes late in the search, when both threads have counted many nodes.
    const size_t lastPv = out.rfind(" pv ");
    const size_t nodesAt = out.rfind(" nodes ", lastPv);
    EXPECT_GT(std::stoull(out.substr(nodesAt + 7)), 15000u) << out;
    EXPECT_LE(std::stoull(out.substr(nodesAt + 7)), total);
}

TEST_F(Uci, APonderHitKeepsTheReportedTimeRunningFromTheStart) {
    const size_t from = program->output().size();
    ASSERT_TRUE(sendAndWait("position startpos moves e2e4 e7e5\ngo ponder wtime 10000 btime 10000\n",
                            "info depth 3 "));
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    ASSERT_TRUE(sendAndWait("isready\n", "readyok\n")); // reads what came meanwhile
    const size_t hit = program->output().size();
    ASSERT_TRUE(sendAndWait("ponderhit\n", "bestmove"));
    // The reported time never runs back: the time pondered counts on.
    const std::string search = program->output().substr(from);
    long long previous = 0;
    for (size_t at = search.find(" time "); at != std::string::npos; at = search.find(" time ", at + 1)) {
        const long long time = std::stoll(search.substr(at + 6));
        EXPECT_GE(time, previous) << search;
        previous = time;
    }
    EXPECT_GE(previous, 1200);
    EXPECT_NE(program->output().find(" time ", hit), std::string::npos);
}

TEST(UciGo, NodeLimitsBeyondThirtyTwoBits) {
    const GoCommand go = parseGo(splitWords("go nodes 3000000000 wtime 99999999999"));
    EXPECT_EQ(go.nodes, 3000000000u);
    EXPECT_EQ(go.whiteMs, INT32_MAX) << "a clock beyond 32 bits is as good as the largest";
}

TEST_F(Uci, NalimovPathSaysHowManyTablesItFound) {
    ASSERT_TRUE(sendAndWait("setoption name NalimovPath value /no/such/folder\n",
                            "info string no tablebases found in /no/such/folder\n"));
    EXPECT_EQ(program->output().find("Success"), std::string::npos);
}

TEST_F(Uci, OnlyProtocolLinesAfterTheHandshake) {
    dir.write("learn.dat", std::string(8, '\0'));
    const std::string commands = "setoption name Hash value 32\n"
                                 "setoption name Threads value 2\nsetoption name Threads value 1\n"
                                 "setoption name Learning value true\nucinewgame\n"
                                 "setoption name Hash value 999999999\n"
                                 "position fen 8/8/8/8/8/8/8/8 x - -\n"
                                 "position fen 4k3/8/8/8/8/8/8/4K3 w - e3 0 1\n"
                                 "go depth 2\n"
                                 "position fen 7k/8/8/8/8/8/8/6RK b - - 0 1\ngo depth 3\n" // one legal move
                                 "position startpos\ngo depth 3 searchmoves e2e4\n" // one move to search
                                 "position fen R5k1/5ppp/8/8/8/8/5PPP/6K1 b - - 0 1\ngo depth 3\n" // mated
                                 "position fen k7/2Q5/1K6/8/8/8/8/8 b - - 0 1\ngo depth 3\n"; // stalemated
    ASSERT_TRUE(sendAndWait(commands, "info depth 0 score cp 0\nbestmove 0000\n"));
    ASSERT_TRUE(sendAndWait("position startpos moves e2e4 e7e5 e1e3\njoho isready\n", "readyok\n"));
    const std::string& out = program->output();
    std::istringstream lines(out.substr(out.find("\nid name") + 1));
    const std::regex protocol("(id|uciok|readyok|bestmove|info|option) .*|uciok|readyok");
    for (std::string line; std::getline(lines, line);) EXPECT_TRUE(std::regex_match(line, protocol)) << line;
    // Each search, even one without a choice, gives a score before its move.
    const std::regex scoredMove(
        "info [^\n]*score (cp -?[0-9]+|mate -?[0-9]+)[^\n]*\n(info [^\n]*\n)*bestmove");
    EXPECT_EQ(std::distance(std::sregex_iterator(out.begin(), out.end(), scoredMove), std::sregex_iterator()),
              5)
        << out;
    EXPECT_NE(out.find("info depth 0 score mate 0\nbestmove 0000\n"), std::string::npos);
    EXPECT_NE(out.find("info depth 0 score cp 0\nbestmove 0000\n"), std::string::npos);
    EXPECT_NE(out.find("info string 0 learned positions\n"), std::string::npos);
}

TEST_F(Uci, AKingPromotionIsNoMove) {
    ASSERT_TRUE(sendAndWait("position fen 8/4P1k1/8/8/8/8/8/4K3 w - - 0 1 moves e7e8k\n",
                            "info string illegal move e7e8k"));
}
