// Test and analysis utilities: perft, move-generator timing, the evaluation
// symmetry test and test-suite runs.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "board/movetext.h"
#include "search/bench.h"
#include "shell/engine.h"
#include "shell/perft.h"
#include "shell/settings.h"
#include "shell/words.h"

namespace {

// Reads a suite's position into the board, saying what was wrong with its text.
bool readFenSaying(Output& out, Board& board, const std::string& fen) {
    std::string complaint;
    const bool read = board.readFen(fen.c_str(), &complaint);
    if (!complaint.empty()) out.print("%s\n", complaint.c_str());
    return read;
}

// Deepest perft the shell runs: the tree must fit the search stack, and
// deeper counts would take days anyway.
constexpr int MAX_PERFT_DEPTH = 20;

// Elapsed seconds for a rate: at least one millisecond, so a rate never
// divides by zero.
double secondsSince(int64_t startMs) {
    const int64_t elapsed = wallClockMs() - startMs;
    return static_cast<double>(elapsed < 1 ? 1 : elapsed) * 0.001;
}

// The FEN text of words 1-4, each followed by a blank; empty with fewer words.
std::string fenOf(const std::vector<std::string>& words) {
    if (words.size() < 4) return "";
    std::string fen;
    for (int i = 0; i < 4; ++i) fen += words[i] + " ";
    return fen;
}

} // namespace

void Engine::perftCommand(const char* line) {
    const std::vector<std::string> words = splitWords(line);
    int32_t depth = 1;
    if (words.size() > 1 && (!readInteger(words[1], depth) || depth < 0 || depth > MAX_PERFT_DEPTH)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        print("Error (perft depth must be 0 to %d): %s\n", MAX_PERFT_DEPTH, text.c_str());
        return;
    }
    if (!positionPlayable()) return;
    const int64_t start = wallClockMs();
    const uint64_t count = perft(game().position, depth, this);
    const double seconds = secondsSince(start);
    print("\nsearched %llu moves in %.2f secs at a rate of %ld moves/sec\n",
          static_cast<unsigned long long>(count), seconds,
          static_cast<long>(static_cast<double>(count) / seconds));
}

void Engine::perf(int iterations) {
    Position& position = game().position;
    Move moves[MAX_MOVES];
    long total = 0;
    int64_t start = wallClockMs();
    for (int i = 0; i < iterations; ++i) {
        int count = 0;
        position.generateMoves(moves, count);
        total += count;
    }
    double seconds = secondsSince(start);
    print("generated %ld moves in %.2f secs at a rate of %ld moves/sec\n", total, seconds,
          static_cast<long>(static_cast<double>(total) / seconds));

    total = 0;
    start = wallClockMs();
    for (int i = 0; i < iterations; ++i) {
        int count = 0;
        position.generateMoves(moves, count);
        for (int j = 0; j < count; ++j) {
            position.pushMove(moves[j]);
            position.popMove();
        }
        total += count;
    }
    seconds = secondsSince(start);
    print("generated/made/unmade %ld moves in %.2f secs at a rate of %ld moves/sec\n", total, seconds,
          static_cast<long>(static_cast<double>(total) / seconds));
}

// Evaluates each position of the file and its colour-mirrored copy; the two
// scores must be equal.
void Engine::runEval(const char* path) {
    Board& board = game().board();
    FILE* file = std::fopen(path, "r");
    if (!file) {
        print("Can't find epd file\n");
        return;
    }
    std::string line;
    while (readTextLine(file, line)) {
        const std::string fen = fenOf(blankSeparated(line));
        if (fen.empty() || !readFenSaying(*this, board, fen)) continue;
        if (!board.hasBothKings()) {
            print("Illegal position (each side needs exactly one king): %s\n", line.c_str());
            continue;
        }
        resetHistory();
        const int sc = evaluator.evaluate(board);
        board.flip();
        const int sc1 = evaluator.evaluate(board);
        if (sc != sc1)
            print("*****WRONG RESULT***** \n [ %s ] \nsc = %6d sc1 = %6d\n********************** \n",
                  line.c_str(), sc, sc1);
        else
            print("sc = %6d sc1 = %6d\n", sc, sc1);
    }
    std::fclose(file);
    newGame();
}

// Searches every position of a test suite for the fixed time in force and
// counts those where the search finds one of the listed moves.
void Engine::runEpd(const char* path) {
    Position& position = game().position;
    Board& board = position.board;
    FILE* file = std::fopen(path, "r");
    if (!file) {
        print("Can't find epd file\n");
        return;
    }
    int total = 0, solved = 0;
    std::string line;
    while (readTextLine(file, line)) {
        print("----------------------------------------------------------------------------\n");
        print("%s\n", line.c_str());
        const std::vector<std::string> words = blankSeparated(line);
        const std::string fen = fenOf(words);
        if (fen.empty() || !readFenSaying(*this, board, fen)) continue;
        if (!board.hasBothKings()) {
            print("Illegal position (each side needs exactly one king)\n");
            continue;
        }
        resetHistory();
        // Each position is a test of its own: its result must not depend on
        // the positions searched before it in the file.
        forgetSearchMemory();
        ++total;

        // Up to five candidate moves from word 6 on, each possibly ended by ";".
        Move candidates[5];
        int candidateCount = 0;
        for (size_t i = 5; i < words.size() && candidateCount < 5; ++i) {
            const std::string text = words[i].substr(0, words[i].find(';'));
            const Move move = parseMove(position, text.c_str());
            if (!board.isPseudoLegal(move)) break;
            candidates[candidateCount++] = move;
        }

        const Move found = runSearch();
        bool success = false;
        for (int i = 0; i < candidateCount; ++i) success = success || sameMove(found, candidates[i]);
        if (success) ++solved;
        print(success ? "\nSuccess! => %d/%d\n" : "\nFailure! => %d/%d\n", solved, total);
    }
    print("----------------------------------------------\n");
    print("             Total  = %d\n", total);
    print("             Solved = %d\n", solved);
    print("  percentage solved = %.1f%%\n", solved * 100.0 / (total == 0 ? 1 : total));
    print("----------------------------------------------\n");
    std::fclose(file);
    newGame();
}

void Engine::bench(int depth, int threads) {
    const BenchResult result =
        runBench(depth, threads, evaluator, pieceSquareTables, search.options.profile, search.modernParams);
    print("bench: %llu nodes %llu nps\n", static_cast<unsigned long long>(result.nodes),
          static_cast<unsigned long long>(result.nodes * 1000 / static_cast<uint64_t>(result.elapsedMs)));
}

void Engine::setThreads(int count) {
    settings.threads = count < 1 ? 1 : count > MAX_THREADS ? MAX_THREADS : count;
    // Under a memory budget the caches of the threads share it with the table.
    if (settings.memoryMB > 0)
        resizeTables(*this, settings.memoryMB, *this);
    else
        helpers.setCount(settings.threads - 1, evaluator.caches());
    search.attachHelpers(settings.threads > 1 ? &helpers : nullptr);
}
