// The input layer and the reading of numbers in command lines.
#include <unistd.h>

#include "shell/words.h"
#include "testutil.h"

namespace {

struct PipeInput {
    int fds[2];
    LineInput input;
    PipeInput() {
        EXPECT_EQ(pipe(fds), 0);
        input.reset(fds[0]);
    }
    ~PipeInput() {
        close(fds[0]);
        if (fds[1] >= 0) close(fds[1]);
    }
    void write(const std::string& text) {
        EXPECT_EQ(::write(fds[1], text.data(), text.size()), (ssize_t)text.size());
    }
    void end() {
        close(fds[1]);
        fds[1] = -1;
    }
    // The next line; the test fails when there is none.
    std::string line() {
        std::string text;
        EXPECT_TRUE(input.readLine(text));
        return text;
    }
};

} // namespace

TEST(LineInput, SeveralLinesInOneReadAreAllKept) {
    PipeInput p;
    EXPECT_FALSE(p.input.waiting());
    p.write("time 500\notim 480\ne2e4\npartial");
    EXPECT_TRUE(p.input.waiting());
    EXPECT_EQ(p.line(), "time 500\n");
    EXPECT_TRUE(p.input.waiting());
    EXPECT_EQ(p.line(), "otim 480\n");
    EXPECT_EQ(p.line(), "e2e4\n");
    // Part of a line is not yet a line.
    EXPECT_FALSE(p.input.waiting());
    p.write(" line\n");
    EXPECT_TRUE(p.input.waiting());
    EXPECT_EQ(p.line(), "partial line\n");
}

TEST(LineInput, EndOfInputIsReportedAsWaitingThenAsTheEnd) {
    PipeInput p;
    p.write("last line without end");
    EXPECT_FALSE(p.input.waiting());
    p.end();
    EXPECT_TRUE(p.input.waiting());
    EXPECT_EQ(p.line(), "last line without end");
    EXPECT_TRUE(p.input.waiting());
    std::string line;
    EXPECT_FALSE(p.input.readLine(line));
    EXPECT_FALSE(p.input.readLine(line));
}

TEST(LineInput, OverlongLinesAreCutAndTheirRestDropped) {
    PipeInput p;
    const std::string longLine(LineInput::MAX_LINE + 100, 'x');
    // Written in pieces while reading, so the pipe never fills.
    for (size_t at = 0; at < longLine.size(); at += 4096) {
        p.write(longLine.substr(at, 4096));
        if (at == 0)
            EXPECT_FALSE(p.input.waiting());
        else
            p.input.waiting();
    }
    p.write("\nfen\n");
    EXPECT_EQ(p.line().size(), LineInput::MAX_LINE + 1);
    EXPECT_EQ(p.line(), "fen\n");
}

TEST(Words, NumbersAndTimesAsFormattedInputReadsThem) {
    // {reader, text, read, value}; a failed number leaves the value as it was
    // (7); ANY: the value is not looked at.
    constexpr int32_t ANY = -1;
    using Reader = bool (*)(const std::string&, int32_t&);
    const std::tuple<Reader, const char*, bool, int32_t> cases[] = {
        {readInteger, "42", true, 42},
        {readInteger, "-3pawns", true, -3},
        {readInteger, "+5", true, 5},
        {readInteger, "x", false, 7},
        {readInteger, "", false, 7},
        {readInteger, "-", false, 7},
        {readInteger, "99999999999", false, 7},
        // xboard times in both forms: minutes, or minutes and seconds.
        {readClockTime, "5", true, 300000},
        {readClockTime, "0:05", true, 5000},
        {readClockTime, "1:30", true, 90000},
        {readClockTime, "1:", false, ANY},
        {readClockTime, "-5", false, ANY},
        {readClockTime, "a:05", false, ANY},
        {readSeconds, "0.1", true, 100},
        {readSeconds, "2", true, 2000},
        {readSeconds, "0.05", true, 50},
        {readSeconds, "1.2345", true, 1234},
        {readSeconds, "0.x", false, ANY},
        {readSeconds, "", false, ANY},
    };
    for (const auto& [reader, text, read, value] : cases) {
        int32_t v = 7;
        EXPECT_EQ(reader(text, v), read) << text;
        if (value != ANY) {
            EXPECT_EQ(v, value) << text;
        }
    }
    EXPECT_EQ(splitWords("  st\t 5 \n"), (std::vector<std::string>{"st", "5"}));
    EXPECT_EQ(firstWord(" go"), "");
    EXPECT_EQ(firstWord("news\n"), "news");
}

TEST(TimeCommands, WhatRealXboardSendsIsReadExactly) {
    auto e = engineAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    const TimeControl& t = e->search.time;
    // The clock settings after a command; "level" sets both clocks.
    const auto expectAfter = [&](const char* command, TimeMode mode, int moves, int engineMs, int opponentMs,
                                 int incrementMs) {
        e->parseCommand(command);
        EXPECT_EQ(t.mode, mode) << command;
        EXPECT_EQ(t.movesPerControl, moves) << command;
        EXPECT_EQ(t.engineClockMs, engineMs) << command;
        EXPECT_EQ(t.opponentClockMs, opponentMs) << command;
        EXPECT_EQ(t.incrementMs, incrementMs) << command;
    };
    testing::internal::CaptureStdout();
    expectAfter("level 0 0:05 0.1\n", TimeMode::Clock, 0, 5000, 5000, 100);
    expectAfter("level 40 0:20 0\n", TimeMode::Clock, 40, 20000, 20000, 0);
    expectAfter("level 40 5 2\n", TimeMode::Clock, 40, 300000, 300000, 2000);
    expectAfter("time 509\n", TimeMode::Clock, 40, 5090, 300000, 2000);
    expectAfter("otim 496\n", TimeMode::Clock, 40, 5090, 4960, 2000);
    expectAfter("st 3\n", TimeMode::FixedTime, 40, 5090, 4960, 2000);
    EXPECT_EQ(t.moveTimeMs, 3000);
    expectAfter("sd 100\n", TimeMode::FixedDepth, 40, 5090, 4960, 2000);
    EXPECT_EQ(t.depthLimit, MAX_PLY);
    expectAfter("level 40\n", TimeMode::FixedDepth, 40, 5090, 4960, 2000); // refused: nothing changes
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error (level needs moves, base time and increment; unchanged): level 40\n");
}

// Changing the side to move after a move restarts the record: taking back a
// move made with the other side to move would corrupt the board.
TEST(SideCommands, ASideChangeAfterAMoveLeavesNothingToTakeBack) {
    auto e = engineAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    e->parseCommand("force\n");
    e->playInputMove("e2e4\n");
    e->parseCommand("white\n");
    e->parseCommand("undo\n");
    std::string why;
    EXPECT_TRUE(e->game().board().isConsistent(&why)) << why;
    // The double step's en-passant square was Black's to use; with White to
    // move it goes, and the text reads back as the same position.
    const std::string fen = e->game().board().fen();
    EXPECT_EQ(fen, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq -");
    EXPECT_EQ(engineAt(fen)->game().board().key, e->game().board().key);

    // With no move recorded, the record's first entry forgets the square too:
    // a null move taken back in a search must not bring it back.
    auto set = engineAt("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3");
    set->parseCommand("white\n");
    set->game().position.pushNullMove();
    set->game().position.popNullMove();
    EXPECT_EQ(set->game().board().fen(), fen);
    EXPECT_EQ(set->game().position.top().key, e->game().board().key);
    EXPECT_EQ(e->game().position.gamePly, 0);
}

TEST(SideCommands, GoWhiteAndBlackFollowTheProtocol) {
    auto e = engineAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    const auto expectAfter = [&](const char* command, int engineSide, int sideToMove, int lastScore) {
        e->parseCommand(command);
        EXPECT_EQ(e->modes.computerSide, engineSide) << command;
        EXPECT_EQ(e->game().board().side, sideToMove) << command;
        EXPECT_EQ(inside(e->search).lastScore, lastScore) << command;
    };
    e->modes.computerSide = BLACK;
    inside(e->search).lastScore = 40;
    expectAfter("go\n", WHITE, WHITE, -40);
    EXPECT_EQ(e->modes.learnColor, WHITE);
    // "black": black to move, the engine plays white; the sign changes because
    // the engine did not play black.
    expectAfter("black\n", WHITE, BLACK, 40);
    // "white" while the engine plays white, or "black" while it plays black:
    // no change of sign.
    expectAfter("white\n", BLACK, WHITE, 40);
    expectAfter("black\n", WHITE, BLACK, 40);
    e->modes.computerSide = NEUTRAL;
    expectAfter("white\n", BLACK, WHITE, -40);
    e->parseCommand("result 1-0 {White mates}\n");
    EXPECT_EQ(e->game().result, 1);
    EXPECT_EQ(e->modes.computerSide, NEUTRAL);
    EXPECT_TRUE(inside(e->search).stopRequested && inside(e->search).searchAborted);
    e->parseCommand("result *\n");
    EXPECT_EQ(e->game().result, 0);
}
