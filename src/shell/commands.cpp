// The command tables: every command word, whether it may run while a search
// is going on, and what it does.
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "eval/weights.h"
#include "shell/engine.h"
#include "shell/help.h"
#include "shell/version.h"
#include "shell/words.h"

namespace {

struct Args {
    const char* line;
    std::vector<std::string> words; // words[0] is the command word

    const char* word(size_t i) const { return i < words.size() ? words[i].c_str() : ""; }
    bool has(size_t i) const { return i < words.size(); }
};

using Handler = void (*)(Engine&, const Args&);

struct Command {
    const char* word;
    bool duringSearch; // may run from the input poll of a running search
    Handler handler;
};

// The line as typed, without its line end.
std::string withoutLineEnd(const char* line) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// A command whose arguments are missing or malformed changes nothing and says so.
void refuse(Engine& e, const Args& a, const char* reason) {
    e.print("Error (%s): %s\n", reason, withoutLineEnd(a.line).c_str());
}

void requestStop(Engine& e) { e.stopRequested = e.searchAborted = true; }

// Changing the side to move by command: the check status of the position
// follows the new side.
void setSideToMove(Engine& e, int side) {
    e.board.side = side;
    if (e.board.hasBothKings()) e.top().inCheck = e.board.isAttacked(side ^ 1, e.board.kingSquare(side));
}

// --- commands allowed during a search -----------------------------------------

void cmdQuit(Engine& e, const Args&) {
    e.print("Bye Bye!\n");
    std::exit(0);
}

void cmdForce(Engine& e, const Args&) {
    e.computerSide = NEUTRAL;
    requestStop(e);
}

void cmdMoveNow(Engine& e, const Args&) { requestStop(e); }

void cmdExit(Engine& e, const Args&) {
    if (e.analyzeMode) requestStop(e);
}

void cmdResult(Engine& e, const Args& a) {
    const std::string result = a.word(1);
    e.gameResult = result == "1-0" ? 1 : result == "0-1" ? 2 : result == "1/2-1/2" ? 3 : 0;
    e.computerSide = NEUTRAL;
    requestStop(e);
}

void cmdHard(Engine& e, const Args&) { e.ponderEnabled = true; }

void cmdEasy(Engine& e, const Args&) {
    e.ponderEnabled = false;
    requestStop(e);
}

void cmdPost(Engine& e, const Args&) { e.postMode = e.xboardMode ? 2 : 1; }
void cmdNoPost(Engine& e, const Args&) { e.postMode = 0; }

void cmdSt(Engine& e, const Args& a) {
    int32_t seconds;
    if (!readInteger(a.word(1), seconds) || seconds < 0 || seconds > INT_MAX / 1000)
        return refuse(e, a, "st needs seconds from 0 to 2147483; unchanged");
    e.moveTimeMs = seconds * 1000;
    e.timeMode = 1;
}

void cmdSd(Engine& e, const Args& a) {
    int32_t depth;
    if (!readInteger(a.word(1), depth) || depth < 1)
        return refuse(e, a, "sd needs a depth of 1 or more; unchanged");
    e.depthLimit = depth < MAX_PLY ? depth : MAX_PLY;
    e.timeMode = 2;
}

// level MOVES BASE INCREMENT: BASE in minutes or minutes:seconds, INCREMENT in
// seconds, possibly with a fraction (xboard sends "level 0 0:05 0.1").
void cmdLevel(Engine& e, const Args& a) {
    int32_t moves, baseMs, incrementMs;
    if (!readInteger(a.word(1), moves) || moves < 0 || !readClockTime(a.word(2), baseMs) ||
        !readSeconds(a.word(3), incrementMs))
        return refuse(e, a, "level needs moves, base time and increment; unchanged");
    e.movesPerControl = moves;
    e.engineClockMs = e.opponentClockMs = baseMs;
    e.incrementMs = incrementMs;
    e.timeMode = 0;
}

// Clock times in centiseconds.
bool readCentiseconds(const Args& a, int32_t& ms) {
    int32_t cs;
    if (!readInteger(a.word(1), cs) || cs > INT_MAX / 10 || cs < INT_MIN / 10) return false;
    ms = cs * 10;
    return true;
}

void cmdTime(Engine& e, const Args& a) {
    if (!readCentiseconds(a, e.engineClockMs)) refuse(e, a, "time needs centiseconds; unchanged");
}

void cmdOtim(Engine& e, const Args& a) {
    if (!readCentiseconds(a, e.opponentClockMs)) refuse(e, a, "otim needs centiseconds; unchanged");
}

// The analysis status line; only a running search has one.
void cmdStatus(Engine& e, const Args&) {
    if (!e.searching) return;
    char text[8] = "";
    if (e.rootMoveIndex >= 0 && e.rootMoveIndex < e.rootMoveCount && e.rootMoveCount <= MAX_MOVES)
        moveToCoord(e.ply(0).moves[e.rootMoveIndex], text);
    const int64_t elapsedCs = (wallClockMs() - e.startTime) / 10;
    e.print("stat01: %d %d %d %d %d %s\n", static_cast<int>(elapsedCs), static_cast<int>(e.stats.nodes),
            e.iteration, e.rootMoveCount - e.rootMoveIndex - 1, e.rootMoveCount, text);
}

void cmdPv(Engine& e, const Args& a) {
    if (!readInteger(a.word(1), e.pvDepth)) refuse(e, a, "pv needs a depth; unchanged");
}

void cmdDisplay(Engine& e, const Args&) { e.board.display(stdout); }

void cmdHistory(Engine& e, const Args&) {
    e.print(" white     black\n");
    const int plies = e.gamePly - e.searchPly;
    char text[8];
    for (int i = 0; i < plies; ++i) {
        moveToCoord(e.history[i].move, text);
        if (i % 2 == 0) {
            e.print("%d.%s     ", i / 2 + 1, text);
            if (i == plies - 1) e.print("\n");
        } else {
            e.print("%s\n", text);
        }
    }
}

void cmdMoves(Engine& e, const Args&) {
    if (!e.positionPlayable()) return;
    Move moves[MAX_MOVES];
    int count = 0;
    e.generateMoves(moves, count);
    char text[8];
    for (int i = 0; i < count; ++i) {
        if (moveCaptured(moves[i]) == KING) continue;
        e.pushMove(moves[i]);
        const bool legal = !e.board.leavesKingInCheck(moves[i], 1);
        e.popMove();
        if (!legal) continue;
        moveToCoord(moves[i], text);
        std::printf("%s\n", text);
    }
    std::fflush(stdout);
}

void cmdScore(Engine& e, const Args&) {
    if (!e.positionPlayable()) return;
    Board& b = e.board;
    b.updateStage();
    int score = 0;
    if (!(b.castling == 0 && b.pieceMaterial[WHITE] < 15 && b.pieceMaterial[BLACK] < 15 &&
          b.recognize(score)))
        score = b.evaluate();
    e.print("score=%d\n", score);
}

void cmdFen(Engine& e, const Args&) {
    char text[96];
    e.board.writeFen(text);
    e.print("%s\n", text);
}

void cmdHelp(Engine& e, const Args& a) { printHelp(e, a.word(1)); }

// --- the other commands ----------------------------------------------------------

void cmdXboard(Engine& e, const Args&) {
    e.xboardMode = true;
    ignoreInterruptSignal();
    std::printf("\n");
    std::printf("kibitz Greetings from Falkmere %s\n", FALKMERE_VERSION);
    std::fflush(stdout);
}

void cmdProtover(Engine& e, const Args&) {
    e.print("feature setboard=1 analyze=1 draw=0 done=1 name=1 myname=\"Falkmere %s\"\n", FALKMERE_VERSION);
}

void cmdGo(Engine& e, const Args&) {
    if (e.computerSide != e.board.side) e.lastScore = -e.lastScore;
    e.computerSide = e.learnColor = e.board.side;
}

void cmdNew(Engine& e, const Args&) {
    e.newGame();
    e.computerSide = e.learnColor = BLACK;
    e.gameResult = 0;
}

void cmdWhite(Engine& e, const Args&) {
    if (e.computerSide != WHITE) e.lastScore = -e.lastScore;
    e.computerSide = e.learnColor = BLACK;
    setSideToMove(e, WHITE);
}

void cmdBlack(Engine& e, const Args&) {
    if (e.computerSide != BLACK) e.lastScore = -e.lastScore;
    e.computerSide = e.learnColor = WHITE;
    setSideToMove(e, BLACK);
}

void cmdUndo(Engine& e, const Args&) {
    if (e.gamePly >= 1) e.popGameMove();
    if (!e.xboardMode) e.computerSide = NEUTRAL;
}

void cmdRemove(Engine& e, const Args&) {
    if (e.gamePly < 2) return;
    e.popGameMove();
    e.popGameMove();
    if (!e.xboardMode) e.computerSide = NEUTRAL;
}

void cmdAnalyze(Engine& e, const Args&) {
    if (!e.positionPlayable()) return;
    e.analyzeMode = true;
    e.runSearch();
    e.analyzeMode = false;
}

// The board editor reads its lines from the engine's input, logged like all input.
struct EditorInput : LineSource {
    Engine& engine;
    explicit EditorInput(Engine& e) : engine(e) {}
    bool readLine(std::string& line) override {
        if (!engine.readInputLine(line)) return false;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        return true;
    }
};

void cmdEdit(Engine& e, const Args&) {
    EditorInput lines(e);
    e.board.edit(lines);
    e.resetHistory();
}

void cmdSetboard(Engine& e, const Args& a) {
    std::string fen;
    for (size_t i = 1; i < a.words.size() && i <= 4; ++i) fen += (i > 1 ? " " : "") + a.words[i];
    if (e.board.readFen(fen.c_str()))
        e.resetHistory();
    else
        e.newGame();
    if (e.computerSide != e.board.side) e.lastScore = -e.lastScore;
}

void cmdHint(Engine& e, const Args&) {
    if (!e.positionPlayable()) return;
    const Move move = e.runSearch();
    if (movePiece(move) != NO_PIECE) {
        char text[8];
        moveToCoord(move, text);
        e.print("Hint: %s\n", text);
    }
}

void cmdPerf(Engine& e, const Args&) {
    if (e.positionPlayable()) e.perf();
}

void cmdPerft(Engine& e, const Args& a) { e.perftCommand(a.line); }

void cmdBook(Engine& e, const Args& a) {
    const std::string sub = a.word(1);
    if (sub == "on") {
        // Book use needs an open book; open the configured one if none is.
        if (!e.bookFile && !e.loadBook(e.bookPath)) {
            e.print("Book not loaded\n");
            return;
        }
        e.useBook = true;
    } else if (sub == "off") {
        e.useBook = false;
    } else if (sub == "cpgn") {
        int32_t depth, elo;
        if (!a.has(2) || !readInteger(a.word(3), depth) || !readInteger(a.word(4), elo))
            return refuse(e, a, "book cpgn needs a file, a depth and a rating");
        e.createBook(a.word(2), depth, elo);
    } else if (sub == "load") {
        if (!a.has(2)) return refuse(e, a, "book load needs a file");
        if (!e.loadBook(a.word(2))) e.print("Book not loaded\n");
    } else if (sub == "add") {
        if (!a.has(3)) return refuse(e, a, "book add needs two files");
        e.mergeBook(a.word(2), a.word(3));
    } else {
        if (e.positionPlayable()) e.listBook();
    }
}

// Mirrors the position. The game record cannot be taken back across the
// mirror, so it starts anew from the mirrored position.
void cmdVboard(Engine& e, const Args&) {
    e.board.flip();
    e.resetHistory();
}

void cmdRuneval(Engine& e, const Args& a) {
    if (!a.has(1)) return refuse(e, a, "runeval needs a file");
    e.runEval(a.word(1));
}

void cmdRunepd(Engine& e, const Args& a) {
    int32_t seconds;
    if (!a.has(1) || !readInteger(a.word(2), seconds) || seconds < 0 || seconds > INT_MAX / 1000)
        return refuse(e, a, "runepd needs a file and seconds from 0 to 2147483");
    e.moveTimeMs = seconds * 1000;
    e.timeMode = 1;
    e.runEpd(a.word(1));
}

void cmdName(Engine& e, const Args& a) {
    if (a.has(1)) e.print("Opponent is %s\n", a.word(1));
}

void cmdIgnored(Engine&, const Args&) {}

// bench [depth]: the search's fixed benchmark; no depth (or 0) leaves the
// choice of depth to the benchmark.
void cmdBench(Engine& e, const Args& a) {
    int32_t depth = 0;
    if (a.has(1) && (!readInteger(a.word(1), depth) || depth < 0 || depth > MAX_PLY - 1))
        return refuse(e, a, "bench needs a depth from 0 to 64");
    e.bench(depth);
}

const Command COMMANDS[] = {
    // allowed during a search, in the order they are tried
    {"quit", true, cmdQuit},
    {"force", true, cmdForce},
    {"?", true, cmdMoveNow},
    {"exit", true, cmdExit},
    {"result", true, cmdResult},
    {"hard", true, cmdHard},
    {"easy", true, cmdEasy},
    {"post", true, cmdPost},
    {"nopost", true, cmdNoPost},
    {"st", true, cmdSt},
    {"sd", true, cmdSd},
    {"level", true, cmdLevel},
    {"time", true, cmdTime},
    {"otim", true, cmdOtim},
    {".", true, cmdStatus},
    {"pv", true, cmdPv},
    {"d", true, cmdDisplay},
    {"history", true, cmdHistory},
    {"moves", true, cmdMoves},
    {"score", true, cmdScore},
    {"fen", true, cmdFen},
    {"help", true, cmdHelp},
    // only between searches
    {"xboard", false, cmdXboard},
    {"protover", false, cmdProtover},
    {"go", false, cmdGo},
    {"new", false, cmdNew},
    {"white", false, cmdWhite},
    {"black", false, cmdBlack},
    {"undo", false, cmdUndo},
    {"remove", false, cmdRemove},
    {"analyze", false, cmdAnalyze},
    {"edit", false, cmdEdit},
    {"setboard", false, cmdSetboard},
    {"hint", false, cmdHint},
    {"perf", false, cmdPerf},
    {"perft", false, cmdPerft},
    {"book", false, cmdBook},
    {"vboard", false, cmdVboard},
    {"runeval", false, cmdRuneval},
    {"runepd", false, cmdRunepd},
    {"name", false, cmdName},
    {"accepted", false, cmdIgnored},
    {"rejected", false, cmdIgnored},
    {"random", false, cmdIgnored},
    {"computer", false, cmdIgnored},
    {"bk", false, cmdIgnored},
    {"bench", false, cmdBench},
};

int runCommand(Engine& e, const char* line, bool duringSearch) {
    Args args{line, splitWords(line)};
    const std::string word = firstWord(line);
    for (const Command& c : COMMANDS) {
        if (c.duringSearch != duringSearch || word != c.word) continue;
        c.handler(e, args);
        return 1;
    }
    return 0;
}

} // namespace

int Engine::parseSearchCommand(const char* line) { return runCommand(*this, line, true); }

int Engine::parseCommand(const char* line) {
    if (parseSearchCommand(line)) return 1;
    return runCommand(*this, line, false);
}
