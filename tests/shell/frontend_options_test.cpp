// The options analysts, players and bots reach for, through the real program:
// the move overhead, Chess960, several lines of analysis and strength levels,
// each in UCI, xboard and falkmere.ini.
#include <algorithm>
#include <cstring>
#include <set>
#include <sstream>

#include "shell/uci.h"

#include "program.h"
#include "testutil.h"

namespace {

// The program's answer to `input` in a fresh directory whose falkmere.ini is `ini`.
std::string runWithIni(const std::string& ini, const std::string& input) {
    TempDir dir;
    dir.write("falkmere.ini", ini);
    return runProgram(dir.path(), input);
}

// The lines of `text` that begin with `prefix`.
std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream split(text);
    for (std::string line; std::getline(split, line);)
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    return lines;
}

} // namespace

TEST(MoveOverhead, TheIniKeySetsTheOptionBothProtocolsOffer) {
    const std::string uci = runWithIni("MOVE_OVERHEAD 250\n", "uci\nquit\n");
    EXPECT_EQ(linesStartingWith(uci, "option name Move Overhead"),
              std::vector<std::string>{"option name Move Overhead type spin default 250 min 0 max 5000"});
    const std::string xboard = runWithIni("MOVE_OVERHEAD 0\n", "xboard\nprotover 2\nquit\n");
    EXPECT_EQ(linesStartingWith(xboard, "feature option=\"Move"),
              std::vector<std::string>{"feature option=\"Move Overhead -spin 0 0 5000\""});
}

TEST(MoveOverhead, AValueOutsideTheRangeIsRefusedAndChangesNothing) {
    const std::string ini = runWithIni("MOVE_OVERHEAD -5\n", "uci\nquit\n");
    EXPECT_NE(ini.find("Move Overhead takes a number from 0 to 5000, not \"-5\"; unchanged\n"),
              std::string::npos);
    EXPECT_NE(ini.find("option name Move Overhead type spin default 50 min"), std::string::npos);
    const std::string uci = runWithIni(
        "", "uci\nsetoption name Move Overhead value 9000\nsetoption name move overhead value 120\n"
            "uci\nquit\n");
    EXPECT_NE(uci.find("info string Move Overhead takes a number from 0 to 5000, not \"9000\"; unchanged\n"),
              std::string::npos);
    EXPECT_NE(uci.find("option name Move Overhead type spin default 120 min"), std::string::npos);
}

