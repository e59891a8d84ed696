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
};

} // namespace

TEST(LineInput, SeveralLinesInOneReadAreAllKept) {
    PipeInput p;
    EXPECT_FALSE(p.input.waiting());
    p.write("time 500\notim 480\ne2e4\npartial");
    std::string line;
    EXPECT_TRUE(p.input.waiting());
    ASSERT_TRUE(p.input.readLine(line));
    EXPECT_EQ(line, "time 500\n");
    EXPECT_TRUE(p.input.waiting());
    ASSERT_TRUE(p.input.readLine(line));
    EXPECT_EQ(line, "otim 480\n");
    ASSERT_TRUE(p.input.readLine(line));
    EXPECT_EQ(line, "e2e4\n");
    // Part of a line is not yet a line.
    EXPECT_FALSE(p.input.waiting());
    p.write(" line\n");
    EXPECT_TRUE(p.input.waiting());
    ASSERT_TRUE(p.input.readLine(line));
    EXPECT_EQ(line, "partial line\n");
}

TEST(LineInput, EndOfInputIsReportedAsWaitingThenAsTheEnd) {
    PipeInput p;
    p.write("last line without end");
    EXPECT_FALSE(p.input.waiting());
    p.end();
    EXPECT_TRUE(p.input.waiting());
    std::string line;
    ASSERT_TRUE(p.input.readLine(line));
    EXPECT_EQ(line, "last line without end");
    EXPECT_TRUE(p.input.waiting());
    EXPECT_FALSE(p.input.readLine(line));
    EXPECT_FALSE(p.input.readLine(line));
}

TEST(LineInput, OverlongLinesAreCutAndTheirRestDropped) {
    PipeInput p;
    const std::string longLine(LineInput::MAX_LINE + 100, 'x');
    std::string line;
    // Written in pieces while reading, so the pipe never fills.
    for (size_t at = 0; at < longLine.size(); at += 4096) {
        p.write(longLine.substr(at, 4096));
        if (at == 0)
            EXPECT_FALSE(p.input.waiting());
        else
            p.input.waiting();
    }
    p.write("\nfen\n");
    ASSERT_TRUE(p.input.readLine(line));
    EXPECT_EQ(line.size(), LineInput::MAX_LINE + 1);
    ASSERT_TRUE(p.input.readLine(line));
    EXPECT_EQ(line, "fen\n");
}

TEST(Words, NumbersAndTimesAsFormattedInputReadsThem) {
    // {reader, text, read, value}; a failed number leaves the value as it was
    // (7); ANY: the value is not looked at.
    constexpr int32_t ANY = -1;
    using Reader = bool (*)(const std::string&, int32_t&);
    const std::tuple<Reader, const char*, bool, int32_t> cases[] = {
        {readInteger, "42", true, 42}, {readInteger, "-3pawns", true, -3}, {readInteger, "+5", true, 5},
        {readInteger, "x", false, 7}, {readInteger, "", false, 7}, {readInteger, "-", false, 7},
        {readInteger, "99999999999", false, 7},
        // xboard times in both forms: minutes, or minutes and seconds.
        {readClockTime, "5", true, 300000}, {readClockTime, "0:05", true, 5000},
        {readClockTime, "1:30", true, 90000}, {readClockTime, "1:", false, ANY},
        {readClockTime, "-5", false, ANY}, {readClockTime, "a:05", false, ANY},
        {readSeconds, "0.1", true, 100}, {readSeconds, "2", true, 2000}, {readSeconds, "0.05", true, 50},
        {readSeconds, "1.2345", true, 1234}, {readSeconds, "0.x", false, ANY}, {readSeconds, "", false, ANY},
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
    e->parseCommand("level 0 0:05 0.1\n");
    EXPECT_EQ(e->search.time.mode, TimeMode::Clock);
    EXPECT_EQ(e->search.time.movesPerControl, 0);
    EXPECT_EQ(e->search.time.engineClockMs, 5000);
    EXPECT_EQ(e->search.time.opponentClockMs, 5000);
    EXPECT_EQ(e->search.time.incrementMs, 100);
    e->parseCommand("level 40 0:20 0\n");
    EXPECT_EQ(e->search.time.movesPerControl, 40);
    EXPECT_EQ(e->search.time.engineClockMs, 20000);
    EXPECT_EQ(e->search.time.incrementMs, 0);
    e->parseCommand("level 40 5 2\n");
    EXPECT_EQ(e->search.time.engineClockMs, 300000);
    EXPECT_EQ(e->search.time.incrementMs, 2000);
    e->parseCommand("time 509\n");
    e->parseCommand("otim 496\n");
    EXPECT_EQ(e->search.time.engineClockMs, 5090);
    EXPECT_EQ(e->search.time.opponentClockMs, 4960);
    e->parseCommand("st 3\n");
    EXPECT_EQ(e->search.time.mode, TimeMode::FixedTime);
    EXPECT_EQ(e->search.time.moveTimeMs, 3000);
    e->parseCommand("sd 100\n");
    EXPECT_EQ(e->search.time.mode, TimeMode::FixedDepth);
    EXPECT_EQ(e->search.time.depthLimit, MAX_PLY);
    testing::internal::CaptureStdout();
    e->parseCommand("level 40\n");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(e->search.time.mode, TimeMode::FixedDepth);
    EXPECT_EQ(e->search.time.movesPerControl, 40);
    EXPECT_EQ(e->search.time.engineClockMs, 4960 + 130);
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
    EXPECT_TRUE(e->board().isConsistent(&why)) << why;
    EXPECT_EQ(e->board().fen(), "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e3");
    EXPECT_EQ(e->position.gamePly, 0);
}

TEST(SideCommands, GoWhiteAndBlackFollowTheProtocol) {
    auto e = engineAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    e->modes.computerSide = BLACK;
    e->search.lastScore = 40;
    e->parseCommand("go\n");
    EXPECT_EQ(e->modes.computerSide, WHITE);
    EXPECT_EQ(e->modes.learnColor, WHITE);
    EXPECT_EQ(e->search.lastScore, -40);
    // "black": black to move, the engine plays white; the sign changes because
    // the engine did not play black.
    e->parseCommand("black\n");
    EXPECT_EQ(e->modes.computerSide, WHITE);
    EXPECT_EQ(e->board().side, BLACK);
    EXPECT_EQ(e->search.lastScore, 40);
    // "white" while the engine plays white: no change of sign.
    e->parseCommand("white\n");
    EXPECT_EQ(e->modes.computerSide, BLACK);
    EXPECT_EQ(e->board().side, WHITE);
    EXPECT_EQ(e->search.lastScore, 40);
    // "black" while the engine plays black: no change of sign either.
    e->parseCommand("black\n");
    EXPECT_EQ(e->search.lastScore, 40);
    e->modes.computerSide = NEUTRAL;
    e->parseCommand("white\n");
    EXPECT_EQ(e->search.lastScore, -40);
    e->parseCommand("result 1-0 {White mates}\n");
    EXPECT_EQ(e->gameResult, 1);
    EXPECT_EQ(e->modes.computerSide, NEUTRAL);
    EXPECT_TRUE(e->search.stopRequested && e->search.searchAborted);
    e->parseCommand("result *\n");
    EXPECT_EQ(e->gameResult, 0);
}
