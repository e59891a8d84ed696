// The command tables: every command word, whether it may run while a search
// is going on, and what it does.
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "board/movetext.h"
#include "book/bookwriter.h"
#include "search/bench.h"
#include "shell/engine.h"
#include "shell/help.h"
#include "shell/settings.h"
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

void requestStop(Engine& e) { e.stopSearch(); }

// Changing the side to move by command: the check status of the position
// follows the new side, and an en-passant square goes (it was the other
// side's capture, and no position with the new side to move can have it).
void setSideToMove(Engine& e, int side) {
    Position& position = e.game().position;
    Board& board = position.board;
    const bool sideChanges = board.side != side;
    board.side = side;
    if (sideChanges) {
        board.setEnPassant(0);
        position.top().epSquare = 0; // what taking back a search move restores
        position.top().key = board.key;
    }
    if (board.hasBothKings()) position.top().inCheck = board.isAttacked(side ^ 1, board.kingSquare(side));
    // The recorded moves were made with the other side to move: taking one
    // back now would leave the wrong side to move and corrupt the board's
    // sums. The record restarts here, as after vboard.
    if (sideChanges && position.gamePly > 0) position.resetHistory();
}

// --- commands allowed during a search -----------------------------------------

void cmdQuit(Engine& e, const Args&) {
    e.print("Bye Bye!\n");
    std::exit(0);
}

void cmdForce(Engine& e, const Args&) {
    e.modes.computerSide = NEUTRAL;
    requestStop(e);
}

void cmdMoveNow(Engine& e, const Args&) { requestStop(e); }

void cmdExit(Engine& e, const Args&) {
    if (e.search.modes.analyze) requestStop(e);
}

void cmdResult(Engine& e, const Args& a) {
    const std::string result = a.word(1);
    e.game().result = result == "1-0"       ? WHITE_WON
                      : result == "0-1"     ? BLACK_WON
                      : result == "1/2-1/2" ? DRAWN
                                            : NO_RESULT;
    e.modes.computerSide = NEUTRAL;
    requestStop(e);
}

void cmdHard(Engine& e, const Args&) { e.modes.ponderEnabled = true; }

void cmdEasy(Engine& e, const Args&) {
    e.modes.ponderEnabled = false;
    requestStop(e);
}

void cmdPost(Engine& e, const Args&) { e.modes.post = e.modes.xboard ? PostMode::Xboard : PostMode::Console; }
void cmdNoPost(Engine& e, const Args&) { e.modes.post = PostMode::Silent; }

void cmdSt(Engine& e, const Args& a) {
    int32_t seconds;
    if (!readInteger(a.word(1), seconds) || seconds < 0 || seconds > INT_MAX / 1000)
        return refuse(e, a, "st needs seconds from 0 to 2147483; unchanged");
    e.search.time.moveTimeMs = seconds * 1000;
    e.search.time.mode = TimeMode::FixedTime;
}

// Under xboard, and whenever a clock is in force, the depth limit works beside
// the time control: whichever comes first ends the search, and input is read.
// At the console without a clock it asks for a search to that depth.
void cmdSd(Engine& e, const Args& a) {
    int32_t depth;
    if (!readInteger(a.word(1), depth) || depth < 1)
        return refuse(e, a, "sd needs a depth of 1 or more; unchanged");
    TimeControl& time = e.search.time;
    time.depthLimit = depth < MAX_PLY ? depth : MAX_PLY;
    if (!e.modes.xboard && time.mode != TimeMode::Clock) time.mode = TimeMode::FixedDepth;
}

// level MOVES BASE INCREMENT: BASE in minutes or minutes:seconds, INCREMENT in
// seconds, possibly with a fraction (xboard sends "level 0 0:05 0.1").
void cmdLevel(Engine& e, const Args& a) {
    int32_t moves, baseMs, incrementMs;
    if (!readInteger(a.word(1), moves) || moves < 0 || !readClockTime(a.word(2), baseMs) ||
        !readSeconds(a.word(3), incrementMs))
        return refuse(e, a, "level needs moves, base time and increment; unchanged");
    TimeControl& time = e.search.time;
    time.movesPerControl = moves;
    time.engineClockMs = time.opponentClockMs = baseMs;
    time.incrementMs = incrementMs;
    time.mode = TimeMode::Clock;
}

// Clock times in centiseconds.
bool readCentiseconds(const Args& a, int32_t& ms) {
    int32_t cs;
    if (!readInteger(a.word(1), cs) || cs > INT_MAX / 10 || cs < INT_MIN / 10) return false;
    ms = cs * 10;
    return true;
}

void cmdTime(Engine& e, const Args& a) {
    if (!readCentiseconds(a, e.search.time.engineClockMs)) refuse(e, a, "time needs centiseconds; unchanged");
}

void cmdOtim(Engine& e, const Args& a) {
    if (!readCentiseconds(a, e.search.time.opponentClockMs))
        refuse(e, a, "otim needs centiseconds; unchanged");
}

// The analysis status line; only a running search has one.
void cmdStatus(Engine& e, const Args&) {
    if (!e.searching) return;
    const Search& s = e.search;
    char text[8] = "";
    const int index = s.rootMoveNumber(), count = s.rootMoveTotal();
    if (index >= 0 && index < count && count <= MAX_MOVES) moveToCoord(s.ply(0).moves[index], text);
    const int64_t elapsedCs = s.reportedElapsedMs() / 10;
    e.print("stat01: %lld %llu %d %d %d %s\n", static_cast<long long>(elapsedCs),
            static_cast<unsigned long long>(s.totalNodes()), s.currentIteration(), count - index - 1, count,
            text);
}

// multipv N: the search finds and shows the N best root moves as lines of their own.
void cmdMultiPv(Engine& e, const Args& a) {
    int32_t lines = 0;
    if (!readInteger(a.word(1), lines) || lines < 1 || lines > MAX_LINES)
        return refuse(e, a, "multipv needs a number of lines from 1 to 256; unchanged");
    e.search.options.multiPv = lines;
}

void cmdPv(Engine& e, const Args& a) {
    if (!readInteger(a.word(1), e.modes.pvDepth)) refuse(e, a, "pv needs a depth; unchanged");
}

// The diagram goes straight to the terminal, not to the log.
void cmdDisplay(Engine& e, const Args&) {
    const std::string diagram = e.shownPosition().board.diagram();
    std::fwrite(diagram.data(), 1, diagram.size(), stdout);
    std::fflush(stdout);
}

void cmdHistory(Engine& e, const Args&) {
    e.print(" white     black\n");
    const Position& game = e.shownPosition();
    const int plies = game.gamePly;
    char text[8];
    for (int i = 0; i < plies; ++i) {
        moveToCoord(game.history[i].move, text);
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
    const int count = e.shownPosition().legalMoves(moves);
    char text[8];
    for (int i = 0; i < count; ++i) {
        moveToCoord(moves[i], text);
        std::printf("%s\n", text);
    }
    std::fflush(stdout);
}

void cmdScore(Engine& e, const Args&) {
    if (!e.positionPlayable()) return;
    Board& b = e.shownPosition().board;
    b.updateStage();
    int score = 0;
    if (!(b.recognizersApply() && e.evaluator.recognize(b, score))) score = e.evaluator.evaluate(b);
    e.print("score=%d\n", score);
}

void cmdFen(Engine& e, const Args&) {
    char text[96];
    e.shownPosition().board.writeFen(text);
    e.print("%s\n", text);
}

void cmdHelp(Engine& e, const Args& a) { printHelp(e, a.word(1)); }

// bk: the book moves of the position, as xboard shows them: every line begins
// with a blank, and an empty line ends the answer.
void cmdBk(Engine& e, const Args&) {
    CollectedOutput text;
    if (!e.books.isOpen())
        text.print("no book open\n");
    else if (e.shownPosition().board.hasBothKings())
        e.books.list(e.shownPosition(), text);
    else
        text.print("no book moves: the position is not playable\n");
    size_t start = 0;
    while (start < text.text.size()) {
        const size_t end = text.text.find('\n', start);
        const std::string line = text.text.substr(start, end - start);
        e.print(" %s\n", line.c_str());
        if (end == std::string::npos) break;
        start = end + 1;
    }
    e.print("\n");
}

// --- the other commands ----------------------------------------------------------

void cmdXboard(Engine& e, const Args&) {
    e.modes.xboard = true;
    ignoreInterruptSignal();
    std::printf("\n");
    std::printf("kibitz Greetings from Falkmere %s\n", FALKMERE_VERSION);
    std::fflush(stdout);
}

// The features, the options the GUI may set, then done=1 to end the list.
// Moves come as "usermove MOVE", "playother" starts pondering for the other
// side, and the obsolete "white" and "black" are not wanted.
void cmdProtover(Engine& e, const Args&) {
    e.print("feature ping=1 setboard=1 analyze=1 draw=0 name=1 sigint=0 sigterm=0 memory=1 smp=1 "
            "egt=\"nalimov\" usermove=1 playother=1 colors=0 variants=\"normal,fischerandom\" "
            "myname=\"Falkmere %s\"\n",
            FALKMERE_VERSION);
    for (const EngineOption& option : engineOptions()) {
        if (!offeredToXboard(option)) continue;
        e.print("feature %s\n", xboardOptionFeature(option, e.optionValue(option)).c_str());
    }
    e.print("feature done=1\n");
}

// ping N: pong N once every earlier command is done. While the engine searches
// its own move, that is after the move; while it ponders or analyses, at once.
void cmdPing(Engine& e, const Args& a) {
    const std::string pong = std::string("pong ") + a.word(1) + "\n";
    const SearchModes& m = e.search.modes;
    if (e.searching && !m.pondering && !m.ponderSearch && !m.analyze)
        e.inputQueue().deferPong(pong);
    else
        e.print("%s", pong.c_str());
}

// memory N: the tables take N megabytes together (the transposition table
// and every thread's caches), shared out as the configured sizes share them.
void cmdMemory(Engine& e, const Args& a) {
    int32_t total = 0;
    if (!readInteger(a.word(1), total) || total < 1) return refuse(e, a, "memory needs megabytes; unchanged");
    resizeTables(e, total, e);
}

// cores N: the search runs on N threads (the GUI's limit for the engine).
void cmdCores(Engine& e, const Args& a) {
    int32_t cores = 0;
    if (!readInteger(a.word(1), cores) || cores < 1) return refuse(e, a, "cores needs a number; unchanged");
    e.setThreads(cores);
}

// egtpath nalimov DIR: the tables are registered again from there.
void cmdEgtpath(Engine& e, const Args& a) {
    if (std::string(a.word(1)) != "nalimov" || !a.has(2)) return;
    std::string path = a.word(2);
    for (size_t i = 3; i < a.words.size(); ++i) path += " " + a.words[i];
    const EngineOption* option = findOption("NalimovPath");
    if (option) e.setOption(*option, path, e);
}

// option NAME=VALUE (a button: option NAME).
void cmdOption(Engine& e, const Args& a) {
    std::string text = withoutLineEnd(a.line);
    text = text.substr(std::min(text.size(), text.find_first_not_of(' ', std::strlen("option"))));
    const size_t equals = text.find('=');
    const std::string name = text.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : text.substr(equals + 1);
    const EngineOption* option = findOption(name);
    if (!option) return refuse(e, a, "no such option");
    e.setOption(*option, value, e);
}

// Turns the score-drop reference round unless the engine plays `side` already.
void turnLastScoreFor(Engine& e, int engineSide) {
    if (e.modes.computerSide != engineSide) e.turnScoreReference();
}

void cmdGo(Engine& e, const Args&) {
    turnLastScoreFor(e, e.game().board().side);
    e.modes.computerSide = e.modes.learnColor = e.game().board().side;
}

// A new game also ends a depth limit set by "sd" (a search to a depth without
// a limit would never end).
// Under xboard a new game is of standard chess until a variant command says
// otherwise; at the console it keeps the variant.
void cmdNew(Engine& e, const Args&) {
    if (e.modes.xboard) e.setChess960(false);
    e.newGame();
    e.modes.computerSide = e.modes.learnColor = BLACK;
    e.game().result = NO_RESULT;
    e.ponderOnOpponentsTurn = false;
    TimeControl& time = e.search.time;
    time.depthLimit = TimeControl{}.depthLimit;
    if (time.mode == TimeMode::FixedDepth) time.mode = TimeMode::FixedTime;
}

// playother: the engine takes the side not to move and ponders while the
// opponent thinks.
void cmdPlayother(Engine& e, const Args&) {
    const int engineSide = e.game().board().side ^ 1;
    turnLastScoreFor(e, engineSide);
    e.modes.computerSide = e.modes.learnColor = engineSide;
    e.ponderOnOpponentsTurn = true;
}

// usermove MOVE: the opponent's move, named as such.
void cmdUsermove(Engine& e, const Args& a) { e.playMoveText(a.word(1), true); }

// variant NAME: standard chess (normal) or Chess960 (fischerandom); the
// position stays, and xboard sends the game's start with setboard.
void cmdVariant(Engine& e, const Args& a) {
    const std::string name = a.word(1);
    if (name == "normal" || name == "fischerandom")
        e.setChess960(name == "fischerandom");
    else
        e.print("Error (unsupported variant): %s\n", a.word(1));
}

void cmdWhite(Engine& e, const Args&) {
    turnLastScoreFor(e, WHITE);
    e.modes.computerSide = e.modes.learnColor = BLACK;
    setSideToMove(e, WHITE);
}

void cmdBlack(Engine& e, const Args&) {
    turnLastScoreFor(e, BLACK);
    e.modes.computerSide = e.modes.learnColor = WHITE;
    setSideToMove(e, BLACK);
}

void cmdUndo(Engine& e, const Args&) {
    if (e.game().position.gamePly >= 1) e.game().position.popGameMove();
    if (!e.modes.xboard) e.modes.computerSide = NEUTRAL;
}

void cmdRemove(Engine& e, const Args&) {
    if (e.game().position.gamePly < 2) return;
    e.game().position.popGameMove();
    e.game().position.popGameMove();
    if (!e.modes.xboard) e.modes.computerSide = NEUTRAL;
}

void cmdAnalyze(Engine& e, const Args&) {
    if (!e.positionPlayable()) return;
    e.analyze();
}

// The board editor reads its lines from the engine's input, logged like all input.
struct EditorInput : LineSource {
    Engine& engine;
    explicit EditorInput(Engine& e) : engine(e) {}
    bool readLine(std::string& line) override {
        if (!engine.inputQueue().read(line)) return false;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        return true;
    }
};

void cmdEdit(Engine& e, const Args&) {
    EditorInput lines(e);
    e.game().board().edit(lines, e);
    e.resetHistory();
}

// setboard FEN: the four fields of the position, then the move counters when
// they are given. A FEN that cannot be read leaves the position as it was.
void cmdSetboard(Engine& e, const Args& a) {
    std::string fen;
    for (size_t i = 1; i < a.words.size() && i <= 4; ++i) fen += (i > 1 ? " " : "") + a.words[i];
    std::string complaint;
    if (!e.game().board().readFen(fen.c_str(), &complaint)) {
        if (e.modes.xboard)
            e.print("tellusererror Illegal position\n");
        else
            e.print("%s; the position stays as it was\n", complaint.c_str());
        return;
    }
    if (!complaint.empty() && !e.modes.xboard) e.print("%s\n", complaint.c_str());
    e.resetHistory();
    int32_t fifty = 0, moveNumber = 1;
    if (!readInteger(a.word(5), fifty)) fifty = 0;
    if (!readInteger(a.word(6), moveNumber)) moveNumber = 1;
    e.game().position.setMoveCounters(fifty, moveNumber);
    turnLastScoreFor(e, e.game().board().side);
}

// While the engine ponders or analyses, the move it expects or thinks best is
// the hint, given at once; otherwise a search finds one.
void cmdHint(Engine& e, const Args&) {
    if (e.hintFromRunningSearch()) return;
    if (!e.positionPlayable()) return;
    const Move move = e.runSearch();
    if (movePiece(move) != NO_PIECE) e.print("Hint: %s\n", e.game().xboardMoveText(move).c_str());
}

void cmdPerf(Engine& e, const Args&) {
    if (e.positionPlayable()) e.perf();
}

void cmdPerft(Engine& e, const Args& a) { e.perftCommand(a.line); }

void cmdBook(Engine& e, const Args& a) {
    const std::string sub = a.word(1);
    if (sub == "on") {
        // Book use needs an open book; open the configured one if none is.
        if (!e.books.isOpen() && !e.books.load(e.settings.bookPath, e)) {
            e.print("Book not loaded\n");
            return;
        }
        e.search.options.useBook = true;
    } else if (sub == "off") {
        e.search.options.useBook = false;
    } else if (sub == "cpgn") {
        int32_t depth, elo;
        if (!a.has(2) || !readInteger(a.word(3), depth) || !readInteger(a.word(4), elo))
            return refuse(e, a, "book cpgn needs a file, a depth and a rating");
        e.books.noteReadOnly("book cpgn", e);
        StandardOutput terminal; // the running count of games read: never logged
        createBook(
            a.word(2), depth, elo, e.game().position, e.books.book, e, [&e] { e.newGame(); }, &terminal);
        if (e.books.book.isOpen()) e.books.polyglotBook.close();
    } else if (sub == "load") {
        if (!a.has(2)) return refuse(e, a, "book load needs a file");
        if (!e.books.load(a.word(2), e)) e.print("Book not loaded\n");
    } else if (sub == "add") {
        if (!a.has(3)) return refuse(e, a, "book add needs two files");
        e.books.noteReadOnly("book add", e);
        mergeBook(a.word(2), a.word(3), e);
    } else {
        if (e.positionPlayable()) e.books.list(e.game().position, e);
    }
}

// Mirrors the position. The game record cannot be taken back across the
// mirror, so it starts anew from the mirrored position.
void cmdVboard(Engine& e, const Args&) {
    e.game().board().flip();
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
    e.search.time.moveTimeMs = seconds * 1000;
    e.search.time.mode = TimeMode::FixedTime;
    e.runEpd(a.word(1));
}

void cmdName(Engine& e, const Args& a) {
    if (a.has(1)) e.print("Opponent is %s\n", a.word(1));
}

void cmdIgnored(Engine&, const Args&) {}

// bench [depth] [threads]: the search's fixed benchmark; no depth (or 0) leaves the
// choice of depth to the benchmark.
void cmdBench(Engine& e, const Args& a) {
    int32_t depth = 0, threads = 1;
    if (a.has(1) && (!readInteger(a.word(1), depth) || depth < 0 || depth > MAX_PLY - 1))
        return refuse(e, a, "bench needs a depth from 0 to 64");
    if (a.has(2) && (!readInteger(a.word(2), threads) || threads < 1 || threads > Engine::MAX_THREADS))
        return refuse(e, a, "bench needs threads from 1 to 64");
    e.bench(depth, threads);
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
    {"ping", true, cmdPing},
    {"bk", true, cmdBk},
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
    {"usermove", false, cmdUsermove},
    {"playother", false, cmdPlayother},
    {"variant", false, cmdVariant},
    {"multipv", false, cmdMultiPv},
    {"accepted", false, cmdIgnored},
    {"rejected", false, cmdIgnored},
    {"random", false, cmdIgnored},
    {"computer", false, cmdIgnored},
    {"draw", false, cmdIgnored},
    {"rating", false, cmdIgnored},
    {"ics", false, cmdIgnored},
    {"memory", false, cmdMemory},
    {"cores", false, cmdCores},
    {"egtpath", false, cmdEgtpath},
    {"option", false, cmdOption},
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
