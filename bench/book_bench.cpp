// Opening book speed: building a book from the lichess games (games and
// megabytes of PGN per second) and probing the book file (lookups per second).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "book/book.h"
#include "book/bookwriter.h"
#include "book/openingbook.h"
#include "eval/tables.h"

namespace {

const std::string PGN_PATH = std::string(FALKMERE_DATA_DIR) + "/games-lichess.pgn";
constexpr int LICHESS_GAMES = 984;

// A scratch directory for the book files, removed at the end.
struct Scratch {
    std::string root;
    Scratch() {
        char name[] = "/tmp/falkmere-book-bench-XXXXXX";
        root = mkdtemp(name) ? name : "";
    }
    ~Scratch() {
        std::error_code ignored;
        if (!root.empty()) std::filesystem::remove_all(root, ignored);
    }
};

// Runs `action` with standard output sent to /dev/null (the builder reports its progress there).
template <typename Action> void quietly(Action action) {
    std::fflush(stdout);
    const int saved = dup(1);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    action();
    std::fflush(stdout);
    dup2(saved, 1);
    close(null);
    close(saved);
}

// A game at the initial position with a book at `path` (not yet written).
struct BookHolder {
    Position position;
    OpeningBook book;
    SilentOutput out;

    explicit BookHolder(const std::string& path) {
        initEvalTables();
        std::snprintf(book.path, sizeof book.path, "%s", path.c_str());
        newGame();
    }
    void newGame() {
        position.board.setStartPosition();
        position.resetHistory();
    }
    void create(int depth) {
        createBook(PGN_PATH.c_str(), depth, 0, position, book, out, [this] { newGame(); });
    }
};

void createBookBenchmark(benchmark::State& state) {
    const int depth = static_cast<int>(state.range(0));
    Scratch scratch;
    auto holder = std::make_unique<BookHolder>(scratch.root + "/book.dat");
    const double megabytes = static_cast<double>(std::filesystem::file_size(PGN_PATH)) / (1024.0 * 1024.0);
    for (auto _ : state) quietly([&] { holder->create(depth); });
    if (holder->book.whiteCount() == 0) state.SkipWithError("no book was written");
    state.counters["positions"] = holder->book.whiteCount() + holder->book.blackCount();
    state.counters["games_per_second"] = benchmark::Counter(
        LICHESS_GAMES * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["pgn_MB_per_second"] =
        benchmark::Counter(megabytes * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Lookups of positions that are in the book (all of them, in turn) and of
// positions that are not (their keys changed in one bit).
void lookupBenchmark(benchmark::State& state) {
    const bool present = state.range(0) != 0;
    Scratch scratch;
    const std::string path = scratch.root + "/book.dat";
    auto holder = std::make_unique<BookHolder>(path);
    OpeningBook& book = holder->book;
    quietly([&] { holder->create(40); });
    std::vector<std::pair<int, uint64_t>> keys;
    {
        FILE* file = std::fopen(path.c_str(), "rb");
        unsigned char bytes[16];
        for (uint32_t i = 0; file && i < book.whiteCount() + book.blackCount(); ++i) {
            if (!readAt(file, 8 + 16 * int64_t{i}, bytes, 16)) break;
            const BookRecord r = decodeBookRecord(bytes);
            keys.push_back({i < book.whiteCount() ? 0 : 1, bookKey(r) ^ (present ? 0 : 1)});
        }
        if (file) std::fclose(file);
    }
    if (keys.empty()) {
        state.SkipWithError("no book was written");
        return;
    }
    size_t next = 0, found = 0;
    for (auto _ : state) {
        const auto& [section, key] = keys[next];
        next = (next * 7919 + 1) % keys.size(); // a scattered walk through the book
        BookRecord r;
        found += book.lookup(keyLow(key), keyHigh(key), section, r) != 0;
    }
    if ((found != 0) != present) state.SkipWithError("lookups gave the wrong answer");
    state.counters["book_positions"] = static_cast<double>(keys.size());
    state.counters["lookups_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(createBookBenchmark)->Arg(20)->Arg(60)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(lookupBenchmark)->Arg(1)->Arg(0)->UseRealTime();
