// The front end's side of a search: the input poll, and the thinking output in
// the console and xboard formats.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "board/movetext.h"
#include "egtb/tablebases.h"
#include "shell/engine.h"
#include "shell/thinking.h"
#include "shell/words.h"

namespace {

// A line of text assembled piece by piece in a fixed buffer.
class LineBuffer {
  public:
    void add(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        if (length >= sizeof text - 1) return;
        va_list args;
        va_start(args, format);
        const int n = std::vsnprintf(text + length, sizeof text - length, format, args);
        va_end(args);
        if (n > 0) length = std::min(length + static_cast<size_t>(n), sizeof text - 1);
    }
    const char* str() const { return text; }

  private:
    char text[4096] = {};
    size_t length = 0;
};

double percent(uint32_t part, uint32_t whole) { return whole == 0 ? 0.0 : part * 100.0 / whole; }

} // namespace

void Engine::poll(Search& s) {
    if (!inputAvailable()) return;
    // The commands come from the program's arguments: an input that has ended
    // (a script, cron, < /dev/null) stops nothing.
    if (inputQueue().runningArguments && inputQueue().atEnd()) return;
    std::string line;
    if (!inputQueue().read(line)) {
        s.stop();
        return;
    }
    takeLineDuringSearch(s, line);
}

namespace {

// The move text of a line: its first word, or the word after "usermove".
std::string moveTextOf(const std::string& line) {
    const std::vector<std::string> words = splitWords(line.c_str());
    if (words.empty()) return "";
    if (words[0] == "usermove") return words.size() > 1 ? words[1] : "";
    return words[0];
}

} // namespace

void Engine::takeLineDuringSearch(Search& s, const std::string& line) {
    const std::string word = firstWord(line.c_str());
    // Once a line waits for the search to end, the later ones wait behind it,
    // so that commands act in the order they came; only quit and move-now act
    // at once.
    if (inputQueue().holdingBack() && word != "quit" && word != "?") {
        inputQueue().holdBack(line);
        return;
    }
    if (parseSearchCommand(line.c_str())) return;
    if (word == "hint" && hintFromRunningSearch()) return;
    const bool onOpponentsTime = s.modes.pondering || s.modes.ponderSearch;
    if (onOpponentsTime) {
        const Move move = opponentMoveFrom(moveTextOf(line));
        if (move != NO_MOVE) {
            ponderReply = move;
            if (s.modes.ponderSearch) {
                s.stop();
            } else if (sameMove(move, ponderMove)) {
                s.ponderHit();
                print("Expected move!\n");
            } else {
                s.stop();
                print("Unexpected move!\n");
            }
            return;
        }
    }
    // Any other line runs once the search has ended. In analysis and on the
    // opponent's time that is at once: the engine is not on move, and the
    // command may change the position it thinks about.
    inputQueue().holdBack(line);
    if (s.modes.analyze || onOpponentsTime) s.stop();
}

bool Engine::hintFromRunningSearch() {
    const SearchModes& m = search.modes;
    Move hint = NO_MOVE;
    if (m.pondering)
        hint = ponderMove;
    else if (m.ponderSearch || m.analyze)
        hint = search.ply(0).bestMove;
    else
        return false;
    Position& where = shownPosition();
    if (hint != NO_MOVE && where.board.hasBothKings() && where.board.isPseudoLegal(hint) &&
        where.isLegalMove(hint))
        print("Hint: %s\n", game().xboardMoveText(hint).c_str());
    return true;
}

Position& Engine::shownPosition() {
    if (!searching) return game().position;
    if (!shown) shown = std::make_unique<Position>();
    copyRootOf(game().position, *shown);
    if (search.modes.pondering && shown->gamePly > 0) shown->popGameMove();
    return *shown;
}

Move Engine::opponentMoveFrom(const std::string& text) {
    Position& game = shownPosition();
    if (!game.board.hasBothKings()) return NO_MOVE;
    Move move = parseMove(game, text.c_str());
    if (move != NO_MOVE && movePiece(move) == NO_PIECE)
        move = moveFromSquares(game.board, moveFrom(move), moveTo(move), movePromotion(move));
    if (move == NO_MOVE || !game.board.isPseudoLegal(move) || moveCaptured(move) == KING ||
        !game.isLegalMove(move))
        return NO_MOVE;
    return move;
}

bool Engine::wantsLines(const Search& s) const {
    return s.currentIteration() >= modes.pvDepth && modes.post != PostMode::Silent;
}

std::string thinkingLine(const PvReport& report, bool console) {
    LineBuffer text;
    if (console) {
        char depthField[32];
        std::snprintf(depthField, sizeof depthField, "%d/%d", report.iteration, report.selDepth);
        text.add("%6s%14llu  %6.2f  %6.2f ", depthField, static_cast<unsigned long long>(report.nodes),
                 report.score / 100.0, report.elapsedMs / 1000.0);
    } else {
        text.add("%d %d %lld %llu", report.iteration, report.score,
                 static_cast<long long>(report.elapsedMs / 10),
                 static_cast<unsigned long long>(report.nodes));
    }

    const char* mark = report.bound == ScoreBound::Lower   ? "+ "
                       : report.bound == ScoreBound::Upper ? "- "
                                                           : ". ";
    Position line;
    line.copyFrom(report.root);
    int firstNumber = 1;
    if (line.board.side == BLACK) {
        firstNumber = 2;
        text.add(" 1%c ...", mark[0]);
    }
    for (int made = 0; made < report.length; ++made) {
        if (line.board.side == WHITE) {
            const int number = made / 2 + firstNumber;
            if (console && number - 1 != 0 && (number - 1) % 3 == 0) text.add("\n\t\t\t\t     ");
            text.add(" %d", number);
            text.add("%s", made == 0 ? mark : ". ");
        } else {
            text.add(" ");
        }
        char san[16];
        line.board.moveToSanText(report.moves[made], san);
        text.add("%s", san);
        line.pushMove(report.moves[made]);
    }
    text.add("\n");
    return text.str();
}

std::string progressLine(const ProgressReport& report) {
    char san[16];
    report.root.board.moveToSanText(report.move, san);
    LineBuffer text;
    text.add("\r%6d%14llu   %2d/%2d  %6.2f ", report.iteration, static_cast<unsigned long long>(report.nodes),
             report.index + 1, report.count, report.elapsedMs / 1000.0);
    text.add(report.root.board.side == BLACK ? " 1. ... %s   \r" : " 1. %s   \r", san);
    return text.str();
}

void Engine::line(const PvReport& report) {
    print("%s", thinkingLine(report, modes.post == PostMode::Console).c_str());
}

// The progress line bypasses the log: it is overwritten on the screen at once.
void Engine::progress(const ProgressReport& report) {
    if (modes.post != PostMode::Console || modes.xboard) return;
    const std::string text = progressLine(report);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void Engine::easyMove(const Search&) { print("easy move\n"); }

void Engine::deepeningStarts(const Search& s) {
    if (s.time.mode != TimeMode::FixedDepth && modes.post != PostMode::Silent && !s.modes.analyze &&
        !s.modes.ponderSearch)
        print("stime=%.2f\n", s.time.moveTimeMs / 1000.0);
    if (modes.post == PostMode::Console) print(" depth         nodes   score    time  pv\n");
}

// The learning store keeps standard positions only: its keys do not say which
// rooks castle.
void Engine::scoreDropped(const Search& s) {
    if (!s.position().board.chess960) books.learnStore.learnPosition(s.position(), hashTable);
}

// The books hold standard games: none of their moves fits a Chess960 game.
Move Engine::bookMove(Position& root, Move* moves, int32_t* scores, int count) {
    if (root.board.chess960) return NO_MOVE;
    return books.choose(root, moves, scores, count, settings.bookBestMove);
}

void Engine::bookMoveFound(const Search& s) {
    if (modes.post != PostMode::Silent && modes.xboard && !s.modes.analyze && !s.modes.pondering &&
        !s.modes.ponderSearch) {
        std::printf("kibitz bookmove\n");
        std::fflush(stdout);
    }
}

void Engine::finished(const Search& s) {
    if (modes.post != PostMode::Silent && !s.modes.analyze && !s.modes.pondering && !s.modes.ponderSearch)
        printStatistics();
}

void Engine::printStatistics() {
    const SearchStats& stats = search.statistics();
    const uint64_t nodes = search.totalNodes(); // of every thread
    int64_t elapsed = search.reportedElapsedMs();
    if (elapsed <= 1) elapsed = 1;
    const uint64_t nps = nodes * 1000 / static_cast<uint64_t>(elapsed);
    const double seconds = elapsed / 1000.0;
    if (modes.xboard) {
        std::printf("kibitz depth = %d score = %.2f time = %.2f nps = %llu\n", search.currentIteration() - 1,
                    search.bestScore() / 100.0, seconds, static_cast<unsigned long long>(nps));
        std::fflush(stdout);
    }
    print("nodes=%llu <%.1f%% quisnodes> time=%.2f NPS=%llu\n", static_cast<unsigned long long>(nodes),
          stats.qnodes * 100.0 / (stats.nodes > 0 ? stats.nodes : 1), seconds,
          static_cast<unsigned long long>(nps));
    const uint32_t ttHits = hashTable.hits, ttProbes = hashTable.probes;
    const CacheSet& caches = evaluator.caches();
    const uint32_t pawnHits = caches.pawn.hits, pawnProbes = caches.pawn.probes;
    const uint32_t tbHits = tablebaseStats.hits, tbProbes = tablebaseStats.probes;
    const uint32_t evalHits = caches.eval.hits, evalProbes = caches.eval.probes;
    print("TTh=%u TTp=%u <%.1f%%> pTTh=%u pTTp=%u <%.1f%%>\n", ttHits, ttProbes, percent(ttHits, ttProbes),
          pawnHits, pawnProbes, percent(pawnHits, pawnProbes));
    print("egtbh=%u egtbp=%u <%.1f%%> evalh=%u evalp=%u <%.1f%%>\n", tbHits, tbProbes,
          percent(tbHits, tbProbes), evalHits, evalProbes, percent(evalHits, evalProbes));
    print("lazy=%u see=%u \n", stats.lazy, stats.seePruned);
    print("check=%u threat=%u force1=%u force2=%u\n", stats.checkExt, stats.threatExt, stats.force1Ext,
          stats.force2Ext);
    print("recap=%u pushext=%u bm=%u reductions=%u\n", stats.recapExt, stats.pushExt, stats.bmExt,
          stats.reductions);
    print("nulltried=%u <%.1f%%> ordering=%.2f%%\n", stats.nullTried,
          stats.nullCutoffs * 100.0 / (stats.nullTried > 0 ? stats.nullTried : 1),
          stats.firstMoveCutoffs * 100.0 / (stats.cutoffs > 0 ? stats.cutoffs : 1));
}
