#include "shell/uci.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>

#include "board/movetext.h"
#include "board/score.h"
#include "egtb/tablebases.h"
#include "shell/frontend.h"
#include "shell/settings.h"
#include "shell/version.h"
#include "shell/words.h"

namespace {

// The root move being searched is announced once a search has run this long.
constexpr int64_t CURRMOVE_AFTER_MS = 1000;

// The engine's messages in UCI mode: each line becomes an "info string" line,
// so that nothing but protocol reaches the GUI.
class InfoStringOutput : public Output {
  public:
    explicit InfoStringOutput(Output& target) : out(target) {}
    void write(const std::string& text) override {
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            while (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) out.print("info string %s\n", line.c_str());
            start = end + 1;
        }
    }

  private:
    Output& out;
};

bool readCount(const std::string& word, int32_t& value) { return readInteger(word, value) && value >= 0; }

} // namespace

GoCommand parseGo(const std::vector<std::string>& words) {
    GoCommand go;
    for (size_t i = 1; i < words.size(); ++i) {
        const std::string& w = words[i];
        const std::string next = i + 1 < words.size() ? words[i + 1] : "";
        int64_t wide = 0;
        if (w == "infinite") {
            go.infinite = true;
        } else if (w == "ponder") {
            go.ponder = true;
        } else if (w == "searchmoves") {
            while (i + 1 < words.size() && coordToMove(words[i + 1].c_str()) != NO_MOVE)
                go.searchMoves.push_back(words[++i]);
        } else if (!readInteger64(next, wide)) {
            continue; // a word without its number
        } else {
            ++i;
            // Times beyond 32 bits (weeks) are as good as that much.
            const int32_t n = static_cast<int32_t>(std::clamp<int64_t>(wide, INT32_MIN, INT32_MAX));
            if (w == "wtime")
                go.whiteMs = n < 0 ? 0 : n;
            else if (w == "btime")
                go.blackMs = n < 0 ? 0 : n;
            else if (w == "winc")
                go.whiteIncrementMs = n < 0 ? 0 : n;
            else if (w == "binc")
                go.blackIncrementMs = n < 0 ? 0 : n;
            else if (w == "movestogo")
                go.movesToGo = n < 0 ? 0 : n;
            else if (w == "movetime")
                go.moveTimeMs = n < 0 ? 0 : n;
            else if (w == "depth")
                go.depth = n < 1 ? 1 : n;
            else if (w == "nodes")
                go.nodes = wide < 1 ? 1u : static_cast<uint64_t>(wide);
            else if (w == "mate")
                go.mate = n < 1 ? 1 : n;
            else
                --i; // an unknown word: its "number" is the next word
        }
    }
    return go;
}

std::string uciMove(Move move) {
    char text[8];
    moveToCoord(move, text);
    for (char* c = text; *c; ++c) *c = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    return text;
}

std::string uciScore(int score) {
    if (score >= MATE_THRESHOLD) return "mate " + std::to_string((MATE_SCORE - score + 1) / 2);
    if (score <= -MATE_THRESHOLD) return "mate " + std::to_string(-((MATE_SCORE + score) / 2));
    return "cp " + std::to_string(score);
}

UciSession::UciSession(FrontEndServices& engine) : e(engine) {}

void UciSession::run() {
    e.enterUci(*this);
    setTablebaseOutput([this](const char* text) { InfoStringOutput(e).print("%s", text); });
    handshake();
    std::string line;
    while (!quitting && nextCommand(line)) execute(line);
}

bool UciSession::nextCommand(std::string& line) {
    if (!pending.empty()) {
        line = pending.front();
        pending.pop_front();
        return true;
    }
    return e.inputQueue().read(line) != 0;
}

// The identification, the options with their current values, "uciok". The
// blank line first ends whatever the console printed before the first command
// was read, so that "id name" starts a line of its own.
void UciSession::handshake() {
    e.print("\nid name Falkmere %s\n", FALKMERE_VERSION);
    e.print("id author the Falkmere developers\n");
    for (const EngineOption& option : engineOptions())
        e.print("%s\n", uciOptionLine(option, e.optionValue(option)).c_str());
    e.print("uciok\n");
}

namespace {

constexpr const char* COMMAND_WORDS[] = {"uci",  "isready", "ucinewgame", "position", "go",      "setoption",
                                         "quit", "stop",    "ponderhit",  "debug",    "register"};

bool isCommandWord(const std::string& word) {
    return std::ranges::find(COMMAND_WORDS, word) != std::end(COMMAND_WORDS);
}

} // namespace

std::string withoutUnknownTokens(const std::string& line) {
    const std::vector<std::string> words = splitWords(line.c_str());
    const auto command = std::ranges::find_if(words, isCommandWord);
    if (command == words.begin() || command == words.end()) return line;
    // The line from the command word on, as it was written.
    size_t at = 0;
    for (auto w = words.begin(); w != command; ++w) at = line.find(*w, at) + w->size();
    return line.substr(line.find(*command, at));
}

void UciSession::execute(const std::string& text) {
    const std::string line = withoutUnknownTokens(text);
    const std::vector<std::string> words = splitWords(line.c_str());
    if (words.empty()) return;
    const std::string& command = words[0];
    if (command == "uci") {
        handshake();
    } else if (command == "isready") {
        e.print("readyok\n");
    } else if (command == "ucinewgame") {
        newGame();
    } else if (command == "position") {
        setPosition(words);
    } else if (command == "go") {
        go(words);
    } else if (command == "setoption") {
        setOption(line);
    } else if (command == "quit") {
        quitting = true;
    } else if (command == "stop" || command == "ponderhit" || command == "debug" || command == "register") {
        // Nothing runs that they could act on.
    } else {
        InfoStringOutput(e).print("unknown command: %s", command.c_str());
    }
}

void UciSession::newGame() {
    InfoStringOutput out(e);
    e.newGame(out);
    e.game().result = NO_RESULT;
    previousStart.clear();
    previousMoves.clear();
}

// position startpos | fen <fields> [moves <move>...]. A FEN that cannot be read
// leaves the position as it was; the moves stop at the first that is not legal.
// The transposition table and the score-drop reference stay: GUIs send the
// whole game before every search, and only ucinewgame starts a new one.
void UciSession::setPosition(const std::vector<std::string>& words) {
    Position& position = e.game().position;
    InfoStringOutput out(e);
    size_t i = 1;
    std::string start;
    int32_t fifty = 0, moveNumber = 1;
    if (i < words.size() && words[i] == "startpos") {
        position.board.setStartPosition();
        start = "startpos";
        ++i;
    } else if (i < words.size() && words[i] == "fen") {
        std::string fen;
        for (++i; i < words.size() && words[i] != "moves"; ++i) fen += (fen.empty() ? "" : " ") + words[i];
        const std::vector<std::string> fields = splitWords(fen.c_str());
        std::string complaint;
        if (!position.board.readFen(fen.c_str(), &complaint)) {
            out.print("invalid FEN: %s", complaint.c_str());
            return;
        }
        if (!complaint.empty()) out.print("%s", complaint.c_str());
        if (fields.size() < 5 || !readCount(fields[4], fifty)) fifty = 0;
        if (fields.size() < 6 || !readCount(fields[5], moveNumber)) moveNumber = 1;
        start = fen;
    } else {
        out.print("position needs startpos or fen");
        return;
    }
    position.resetHistory();
    position.setMoveCounters(fifty, moveNumber);
    if (i < words.size() && words[i] == "moves") ++i;
    std::vector<std::string> moves;
    for (; i < words.size(); ++i) {
        const Move text = coordToMove(words[i].c_str());
        const Move move = text == NO_MOVE ? NO_MOVE
                                          : moveFromSquares(position.board, moveFrom(text), moveTo(text),
                                                            movePromotion(text));
        if (move == NO_MOVE || !position.isLegalBySquares(moveFrom(move), moveTo(move))) {
            out.print("illegal move %s: the moves after it are left out", words[i].c_str());
            break;
        }
        // A game longer than the record holds restarts the record, keeping the
        // fifty-move count: only repetitions from before that are forgotten.
        if (!position.hasRoomForMove()) {
            const int keptFifty = position.top().fifty;
            position.resetHistory();
            position.top().fifty = keptFifty;
        }
        position.pushGameMove(move);
        moves.push_back(words[i]);
    }
    followGame(start, moves);
}

// The score-drop reference follows the game the GUI plays: kept while the
// position continues the last one (turned round when the other side is to
// move), else taken from the new position as for a new game.
void UciSession::followGame(const std::string& start, const std::vector<std::string>& moves) {
    const bool continues = start == previousStart && moves.size() >= previousMoves.size() &&
                           std::equal(previousMoves.begin(), previousMoves.end(), moves.begin());
    const Board& board = e.game().board();
    if (!continues)
        e.takeScoreReference();
    else if (board.side != previousSide)
        e.turnScoreReference();
    previousStart = start;
    previousMoves = moves;
    previousSide = board.side;
}

// setoption name <name, possibly several words> [value <value>].
void UciSession::setOption(const std::string& line) {
    const std::vector<std::string> words = splitWords(line.c_str());
    std::string name, value;
    bool inValue = false;
    for (size_t i = 1; i < words.size(); ++i) {
        if (i == 1 && words[i] == "name") continue;
        if (!inValue && words[i] == "value") {
            inValue = true;
            continue;
        }
        std::string& part = inValue ? value : name;
        part += (part.empty() ? "" : " ") + words[i];
    }
    const EngineOption* option = findOption(name);
    if (!option) {
        InfoStringOutput(e).print("no such option: %s", name.c_str());
        return;
    }
    InfoStringOutput out(e);
    e.setOption(*option, value, out);
}

void UciSession::configure(const GoCommand& go) {
    TimeControl& time = e.searchLimits();
    const bool white = e.game().board().side == WHITE;
    // Mate in n moves: 2n - 1 plies, counted wide so that no n overflows.
    const int64_t matePlies = 2 * int64_t{go.mate} - 1;
    time.depthLimit = go.depth > 0  ? go.depth
                      : go.mate > 0 ? static_cast<int32_t>(std::min<int64_t>(matePlies, MAX_PLY))
                                    : 65;
    if (time.depthLimit > MAX_PLY) time.depthLimit = MAX_PLY;
    time.nodeLimit = go.nodes;
    time.movesToGo = 0;
    time.movesPerControl = 0;
    const int32_t ownClock = white ? go.whiteMs : go.blackMs;
    if (go.moveTimeMs >= 0 && !go.infinite) {
        time.mode = TimeMode::FixedTime;
        time.moveTimeMs = go.moveTimeMs;
    } else if (ownClock >= 0 && !go.infinite) {
        // Clock play: moves to go, or sudden death with increment.
        time.mode = TimeMode::Clock;
        time.engineClockMs = ownClock;
        time.opponentClockMs = white ? go.blackMs : go.whiteMs;
        time.incrementMs = white ? go.whiteIncrementMs : go.blackIncrementMs;
        time.movesToGo = go.movesToGo;
    } else {
        time.mode = TimeMode::Infinite;
    }
    SearchModes& modes = e.searchModes();
    modes = SearchModes{};
    modes.analyze = go.infinite;
    modes.pondering = go.ponder;
}

std::vector<Move> UciSession::rootMoves(const GoCommand& go) {
    std::vector<Move> moves;
    for (const std::string& text : go.searchMoves) {
        const Move m = coordToMove(text.c_str());
        moves.push_back(moveFromSquares(e.game().board(), moveFrom(m), moveTo(m), movePromotion(m)));
    }
    return moves;
}

void UciSession::go(const std::vector<std::string>& words) {
    const GoCommand command = parseGo(words);
    configure(command);
    stopped = ponderHitCame = false;
    holdBestMove = command.infinite || command.ponder;
    lastCurrmoveMs = 0;
    lineReported = false;
    const Move best = e.think(rootMoves(command));
    if (!lineReported) reportUnsearchedMove(best);
    // An infinite or ponder search that ended by itself (a mate, the depth
    // limit, a single legal move) keeps its move until it is released.
    if (holdBestMove && !stopped && !ponderHitCame && !quitting) awaitRelease();
    if (quitting) return;
    sendBestMove(best);
}

void UciSession::awaitRelease() {
    std::string line;
    while (!quitting) {
        if (!e.inputQueue().read(line)) {
            quitting = true;
            return;
        }
        const std::string word = firstWord(withoutUnknownTokens(line).c_str());
        if (word == "stop" || word == "ponderhit") return;
        if (!handleDuringSearch(line)) pending.push_back(line);
    }
}

// The best move, and the reply expected to it: the variation's second move, or
// the table's move for the position after the best move, when it is legal.
void UciSession::sendBestMove(Move best) {
    Position& position = e.game().position;
    if (best == NO_MOVE || !position.board.isPseudoLegal(best) || !position.isLegalMove(best)) {
        Move moves[MAX_MOVES];
        const int count = position.legalMoves(moves);
        if (count == 0) {
            // Mated or stalemated: no move, and the score says which.
            e.print("info depth 0 score %s\n", position.top().inCheck ? "mate 0" : "cp 0");
            e.print("bestmove 0000\n");
            return;
        }
        best = moves[0]; // a search cut short before it had a move: any legal move
    }
    const PlyRecord& root = e.lastSearch().ply(0);
    Move reply = root.pvEnd >= 2 && sameMove(root.pv[0], best) ? root.pv[1] : NO_MOVE;
    position.pushMove(best);
    if (reply == NO_MOVE) reply = e.tableMove(position.board);
    const bool replyPlayable =
        reply != NO_MOVE && position.board.isPseudoLegal(reply) && position.isLegalMove(reply);
    position.popMove();
    position.searchPly = 0;
    if (replyPlayable)
        e.print("bestmove %s ponder %s\n", uciMove(best).c_str(), uciMove(reply).c_str());
    else
        e.print("bestmove %s\n", uciMove(best).c_str());
}

bool UciSession::handleDuringSearch(const std::string& text) {
    const std::string word = firstWord(withoutUnknownTokens(text).c_str());
    if (word == "isready") {
        e.print("readyok\n");
    } else if (word == "stop") {
        stopped = true;
        e.stopSearch();
    } else if (word == "ponderhit") {
        ponderHitCame = true;
        if (e.searchModes().pondering) e.ponderHit();
    } else if (word == "quit") {
        quitting = true;
        e.stopSearch();
    } else if (word == "debug") {
        // no debug output to switch
    } else {
        return false;
    }
    return true;
}

void UciSession::poll(Search& s) {
    while (e.inputQueue().waiting()) {
        std::string line;
        if (!e.inputQueue().read(line)) {
            // The GUI went away.
            quitting = true;
            s.stop();
            return;
        }
        if (!handleDuringSearch(line)) pending.push_back(line);
    }
}

// A move the search gave without a line (the only legal move, the book's, or
// a search stopped at once) still gets a score before it goes out: the static
// evaluation of the position.
void UciSession::reportUnsearchedMove(Move best) {
    Position& position = e.game().position;
    if (best == NO_MOVE || !position.board.hasBothKings() || !position.board.isPseudoLegal(best) ||
        !position.isLegalMove(best))
        return;
    const Search& search = e.lastSearch();
    const int64_t elapsed = std::max<int64_t>(search.reportedElapsedMs(), 0);
    e.print("info depth 1 score %s nodes %llu time %lld pv %s\n", uciScore(e.evaluation()).c_str(),
            static_cast<unsigned long long>(search.totalNodes()), static_cast<long long>(elapsed),
            uciMove(best).c_str());
}

void UciSession::line(const PvReport& r) {
    lineReported = true;
    const int64_t time = r.elapsedMs < 1 ? 1 : r.elapsedMs;
    const char* bound = r.bound == ScoreBound::Lower   ? " lowerbound"
                        : r.bound == ScoreBound::Upper ? " upperbound"
                                                       : "";
    // Several lines: each says its rank.
    const std::string rank = r.multiPv > 0 ? " multipv " + std::to_string(r.multiPv) : "";
    char head[256];
    std::snprintf(
        head, sizeof head,
        "info depth %d seldepth %d%s score %s%s nodes %llu nps %llu time %lld hashfull %d tbhits %u pv",
        r.iteration, r.selDepth, rank.c_str(), uciScore(r.score).c_str(), bound,
        static_cast<unsigned long long>(r.nodes),
        static_cast<unsigned long long>(r.nodes * 1000 / static_cast<uint64_t>(time)),
        static_cast<long long>(r.elapsedMs), e.tablePermilleUsed(),
        static_cast<uint32_t>(tablebaseStats.hits));
    std::string text = head;
    for (int i = 0; i < r.length; ++i) {
        text += ' ';
        text += uciMove(r.moves[i]);
    }
    e.print("%s\n", text.c_str());
}

// On long searches, now and then, the root move being searched.
void UciSession::progress(const ProgressReport& r) {
    if (r.elapsedMs < CURRMOVE_AFTER_MS || r.elapsedMs - lastCurrmoveMs < CURRMOVE_AFTER_MS) return;
    lastCurrmoveMs = r.elapsedMs;
    e.print("info depth %d currmove %s currmovenumber %d\n", r.iteration, uciMove(r.move).c_str(),
            r.index + 1);
}

Move UciSession::bookMove(Position& root, Move* moves, int32_t* scores, int count) {
    return e.bookMove(root, moves, scores, count);
}

void UciSession::scoreDropped(const Search& s) { e.scoreDropped(s); }

void UciSession::finished(const Search& s) {
    int64_t elapsed = s.reportedElapsedMs();
    if (elapsed < 1) elapsed = 1;
    const uint64_t nodes = s.totalNodes();
    e.print(
        "info nodes %llu nps %llu time %lld hashfull %d tbhits %u\n", static_cast<unsigned long long>(nodes),
        static_cast<unsigned long long>(nodes * 1000 / static_cast<uint64_t>(elapsed)),
        static_cast<long long>(elapsed), e.tablePermilleUsed(), static_cast<uint32_t>(tablebaseStats.hits));
}
