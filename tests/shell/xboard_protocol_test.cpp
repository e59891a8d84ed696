// What a strict xboard GUI relies on, through the real program: commands sent
// while the engine ponders act in order, illegal moves are answered so that
// the GUI can take them back, set-up positions keep their move counters, a
// depth limit works beside the clock, and the protocol's newer commands.
#include <chrono>
#include <thread>

#include "program.h"
#include "shell/uci.h"
#include "testutil.h"

namespace {

const std::string START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

// An engine in xboard mode in a fresh directory, past its feature list.
class Xboard : public ::testing::Test {
  protected:
    TempDir dir;
    std::unique_ptr<Program> program;

    void SetUp() override {
        program = std::make_unique<Program>(dir.path());
        program->send("xboard\nprotover 2\n");
        ASSERT_TRUE(program->waitFor("feature done=1\n"));
    }
    void TearDown() override {
        program->send("quit\n");
        EXPECT_EQ(program->finish(), 0);
    }
    // Sends lines and waits for `text` to appear after everything printed so far.
    bool sendAndWait(const std::string& lines, const std::string& text, int timeoutMs = 60000) {
        const size_t from = program->output().size();
        program->send(lines);
        return program->waitFor(text, from, timeoutMs);
    }
    // What was printed after position `from`.
    std::string since(size_t from) const { return program->output().substr(from); }
    // The engine plays black from the initial position and ponders after its
    // reply to 1. e4: the output up to the ponder announcement.
    void ponderAfterE4() {
        ASSERT_TRUE(sendAndWait("new\nhard\nst 1\nnopost\ne2e4\n", "pondering on move ["));
        ASSERT_TRUE(program->waitFor("]\n", program->output().rfind("pondering on move [")));
    }
    // The engine's last "move ..." line.
    std::string lastMove() const {
        const std::string& out = program->output();
        const size_t at = out.rfind("\nmove ");
        return at == std::string::npos ? "" : out.substr(at + 6, out.find('\n', at + 1) - at - 6);
    }
};

} // namespace

TEST_F(Xboard, NewAndAMoveWhilePonderingStartANewGame) {
    ponderAfterE4();
    const size_t from = program->output().size();
    ASSERT_TRUE(sendAndWait("new\nforce\ne2e4\nfen\nping 1\n", "pong 1\n"));
    EXPECT_EQ(since(from), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3\npong 1\n");
}

TEST_F(Xboard, RemoveWhilePonderingTakesBackTheLastTwoPliesOfTheGame) {
    ponderAfterE4();
    const size_t from = program->output().size();
    ASSERT_TRUE(sendAndWait("remove\nfen\nping 2\n", "pong 2\n"));
    EXPECT_EQ(since(from), START_FEN + "\npong 2\n");
}

TEST_F(Xboard, HintWhilePonderingIsTheExpectedReplyAndTheEngineGoesOnPondering) {
    ponderAfterE4();
    const std::string& out = program->output();
    const size_t at = out.rfind("pondering on move [") + 19;
    const std::string expectedSan = out.substr(at, out.find(']', at) - at);
    ASSERT_TRUE(sendAndWait("hint\n", "Hint: ", 5000));
    ASSERT_TRUE(program->waitFor("\n", out.rfind("Hint: ")));
    const std::string hint = out.substr(out.rfind("Hint: ") + 6, 4);
    // The hint names the move the engine ponders on, in coordinates.
    auto game = positionAt(START_FEN);
    ASSERT_TRUE(playMoves(*game, {"e2e4", lastMove()}));
    const Move named = moveNamed(*game, hint);
    EXPECT_EQ(san(*game, named), expectedSan);
    // Still pondering: the expected reply is a hit.
    ASSERT_TRUE(sendAndWait(hint + "\n", "Expected move!\n"));
    ASSERT_TRUE(program->waitFor("move ", program->output().find("Expected move!")));
}

TEST_F(Xboard, AnIllegalMoveWhilePonderingIsAnsweredAsSuch) {
    ponderAfterE4();
    ASSERT_TRUE(sendAndWait("e2e5\n", "Illegal move: e2e5\n"));
    ASSERT_TRUE(sendAndWait("force\nping 3\n", "pong 3\n"));
}

TEST_F(Xboard, ABadSetboardKeepsThePositionAndTheMoveCountersAreRead) {
    size_t from = program->output().size();
    ASSERT_TRUE(sendAndWait("force\ne2e4\nsetboard 8/8/8 w - -\nfen\nping 1\n", "pong 1\n"));
    EXPECT_EQ(
        since(from),
        "tellusererror Illegal position\nrnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3\npong 1\n");
    // 99 plies without a capture or pawn move: one more is a draw.
    from = program->output().size();
    ASSERT_TRUE(sendAndWait("setboard 4k3/8/8/8/8/8/8/R3K3 w - - 99 80\na1a2\nping 2\n", "pong 2\n"));
    EXPECT_EQ(since(from), "1/2-1/2 {Draw by fifty move rule}\npong 2\n");
}

TEST_F(Xboard, ADepthLimitWorksBesideTheClockAndNewEndsIt) {
    // On a clock of half a second the depth limit of 9 must not keep the
    // engine thinking (nor deaf: "?" and the clock stop it).
    size_t from = program->output().size();
    ASSERT_TRUE(
        sendAndWait("new\neasy\nlevel 40 0:01 0\nsd 9\npost\ntime 50\notim 50\nforce\ngo\n", "move "));
    const std::string thinking = since(from).substr(0, since(from).find("move "));
    EXPECT_EQ(thinking.find("\n9 "), std::string::npos) << thinking;
    // After "new" the limit is gone: a second per move goes deeper than 2 plies
    // (the thinking lines start at 5).
    from = program->output().size();
    ASSERT_TRUE(sendAndWait("sd 2\nnew\neasy\nst 1\nforce\ngo\n", "move "));
    EXPECT_NE(since(from).find("\n5 "), std::string::npos) << since(from);
}

TEST_F(Xboard, NormalChessAndFischerandomArePlayed) {
    EXPECT_NE(program->output().find(" variants=\"normal,fischerandom\" "), std::string::npos);
    const size_t from = program->output().size();
    ASSERT_TRUE(
        sendAndWait("variant normal\nvariant fischerandom\nvariant crazyhouse\nping 1\n", "pong 1\n"));
    EXPECT_EQ(since(from), "Error (unsupported variant): crazyhouse\npong 1\n");
}

TEST_F(Xboard, HintAndBookAreAnsweredAtOnceDuringAnalysis) {
    ASSERT_TRUE(sendAndWait("new\nforce\npost\nanalyze\n", "\n6 "));
    ASSERT_TRUE(sendAndWait("hint\n", "Hint: ", 5000));
    ASSERT_TRUE(sendAndWait("bk\n", " no book open\n\n", 5000));
    ASSERT_TRUE(sendAndWait("exit\nping 1\n", "pong 1\n"));
    const std::string& out = program->output();
    const std::string hint = out.substr(out.find("Hint: ") + 6, 4);
    auto game = positionAt(START_FEN);
    EXPECT_TRUE(playMoves(*game, {hint})) << hint;
}

TEST_F(Xboard, UsermoveAndPlayother) {
    EXPECT_NE(program->output().find(" usermove=1 playother=1 colors=0 "), std::string::npos);
    // The engine takes white after 1. e4 was set up, ponders, and answers 1... e5.
    ASSERT_TRUE(sendAndWait("new\nhard\nst 1\nforce\nusermove e2e4\nplayother\n", "pondering on move ["));
    ASSERT_TRUE(sendAndWait("usermove e7e5\n", "move "));
    ASSERT_TRUE(program->waitFor("\n", program->output().rfind("move ")));
    auto game = positionAt(START_FEN);
    EXPECT_TRUE(playMoves(*game, {"e2e4", "e7e5", lastMove()})) << lastMove();
}

TEST(XboardMemory, TheWholeProcessKeepsWithinTheMemoryItIsGiven) {
    if (kSlowBuild) GTEST_SKIP() << "sanitizers and checks take memory of their own";
    TempDir dir;
    Program program(dir.path());
    program.send("xboard\nprotover 2\nmemory 64\ncores 8\nping 1\n");
    ASSERT_TRUE(program.waitFor("pong 1\n"));
    std::ifstream status("/proc/" + std::to_string(program.pid()) + "/status");
    long residentKB = -1;
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) residentKB = std::stol(line.substr(6));
    ASSERT_GT(residentKB, 0);
    // The tables share the 64 MB; the program itself takes about 10 MB more.
    EXPECT_LE(residentKB, (64 + 16) * 1024);
    program.send("quit\n");
    EXPECT_EQ(program.finish(), 0);
}
