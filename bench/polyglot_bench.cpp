// Polyglot book lookups on a book made by Debian's polyglot program from the
// lichess games: raw key lookups (present and absent keys) and the full probe
// of a position (key, lookup, legal moves, decoding).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "board/position.h"
#include "book/polyglot.h"
#include "book/polyglotkey.h"
#include "eval/tables.h"

namespace {

const std::string PGN_PATH = std::string(FALKMERE_DATA_DIR) + "/games-lichess.pgn";

std::string polyglotProgram() {
    for (const char* candidate : {"/usr/games/polyglot", "/usr/bin/polyglot", "/usr/local/bin/polyglot"}) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) return candidate;
    }
    return "";
}

// The book and every position reachable from the initial one through book
// moves, as boards ready to probe.
struct BookFixture {
    std::string root;
    PolyglotBook book;
    std::vector<std::unique_ptr<Board>> boards;
    std::string error;

    BookFixture() {
        initEvalTables();
        char name[] = "/tmp/falkmere-polyglot-bench-XXXXXX";
        root = mkdtemp(name) ? name : "";
        const std::string program = polyglotProgram();
        if (program.empty() || root.empty()) {
            error = "Debian's polyglot program or a scratch directory is missing";
            return;
        }
        const std::string path = root + "/book.bin";
        const std::string command =
            program + " make-book -pgn " + PGN_PATH + " -bin " + path + " -max-ply 16 >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0 || !book.open(path).ok()) {
            error = "polyglot make-book failed";
            return;
        }
        auto position = std::make_unique<Position>();
        position->board.setStartPosition();
        position->resetHistory();
        std::set<uint64_t> seen;
        collect(*position, seen);
    }
    ~BookFixture() {
        std::error_code ignored;
        if (!root.empty()) std::filesystem::remove_all(root, ignored);
    }

    void collect(Position& position, std::set<uint64_t>& seen) {
        if (!seen.insert(polyglotKey(position.board)).second) return;
        const std::vector<BookChoice> moves = book.movesFor(position.board);
        if (moves.empty()) return;
        auto board = std::make_unique<Board>();
        board->readFen(position.board.fen().c_str());
        boards.push_back(std::move(board));
        for (const BookChoice& c : moves) {
            position.pushGameMove(c.move);
            collect(position, seen);
            position.popGameMove();
        }
    }
};

BookFixture& fixture() {
    static BookFixture f;
    return f;
}

void setCounters(benchmark::State& state, size_t positions) {
    state.counters["book_positions"] = static_cast<double>(positions);
    state.counters["lookups_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Raw lookups by key: keys of book positions (arg 1) or the same keys with one bit changed (arg 0).
void polyglotKeyLookup(benchmark::State& state) {
    BookFixture& f = fixture();
    if (!f.error.empty()) return state.SkipWithError(f.error.c_str());
    const bool present = state.range(0) != 0;
    std::vector<uint64_t> keys;
    for (const auto& b : f.boards) keys.push_back(polyglotKey(*b) ^ (present ? 0 : 1));
    size_t next = 0, found = 0;
    for (auto _ : state) {
        found += f.book.entriesFor(keys[next]).size();
        next = (next * 7919 + 1) % keys.size(); // a scattered walk through the book
    }
    if ((found != 0) != present) state.SkipWithError("lookups gave the wrong answer");
    setCounters(state, keys.size());
}

// Full probes of book positions: the key, the lookup and the legal book moves.
void polyglotPositionProbe(benchmark::State& state) {
    BookFixture& f = fixture();
    if (!f.error.empty()) return state.SkipWithError(f.error.c_str());
    size_t next = 0, moves = 0;
    for (auto _ : state) {
        moves += f.book.movesFor(*f.boards[next]).size();
        next = (next * 7919 + 1) % f.boards.size();
    }
    if (moves == 0) state.SkipWithError("no book moves were found");
    setCounters(state, f.boards.size());
}

} // namespace

BENCHMARK(polyglotKeyLookup)->Arg(1)->Arg(0)->UseRealTime();
BENCHMARK(polyglotPositionProbe)->UseRealTime();
