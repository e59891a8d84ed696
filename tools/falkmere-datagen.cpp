// falkmere-datagen: plays fast self-play games with the modern profile and
// writes quiet positions labelled with the game's result, the tuner's input.
// Usage:
//   falkmere-datagen --out FILE [--positions N] [--nodes N] [--threads N]
//                    [--seed N] [--params FILE] [--per-game N]
// Each game opens with 6 to 9 random legal plies, kept only when a short
// search scores the position within 150 centipawns; then both sides search a
// fixed number of nodes per move. From every position after the opening
// whose search score is not a mate, the end of the capture line a small
// quiescence search prefers is written (when its side to move is not in
// check) as "FEN ; result", the result 1, 0.5 or 0 from white's side.
// `--per-game N` keeps only N of each game's positions, drawn at random, so
// that a file of a given size holds positions from more games.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "board/legalmoves.h"
#include "board/position.h"
#include "board/score.h"
#include "eval/evaluator.h"
#include "eval/tables.h"
#include "search/search.h"
#include "search/tt.h"

namespace {

struct Settings {
    std::string out;
    std::string paramsPath;
    long positions = 200000;
    uint64_t nodes = 8000;
    int threads = 1;
    uint64_t seed = 1;
    int perGame = 0; // 0: every position of the game
};

constexpr int OPENING_BOUND = 150;     // centipawns: a sane start
constexpr int ADJUDICATE_SCORE = 1000; // both sides agree on a win this large
constexpr int ADJUDICATE_PLIES = 6;
// A game whose searches stay this close to even this long after the opening
// is a draw: such endings rarely change, and playing them out costs the most.
constexpr int DRAW_SCORE = 8;
constexpr int DRAW_PLIES = 16;
constexpr int DRAW_FROM_PLY = 80;
constexpr int MAX_PLIES = 400; // a longer game is scored a draw
constexpr int QUIET_DEPTH = 12;

// What every worker shares: the output file and the running count.
struct Sink {
    std::mutex mutex;
    std::ofstream file;
    std::atomic<long> written{0};
    std::atomic<long> games{0};
    long target = 0;
    bool done() const { return written.load() >= target; }
};

// A capture-only search with stand pat, captures that do not lose material
// only; `line` receives the capture line it prefers.
int quiet(Position& pos, Evaluator& eval, int alpha, int beta, int depth, std::vector<Move>& line) {
    line.clear();
    const int standPat = eval.evaluate(pos.board);
    if (standPat >= beta || depth >= QUIET_DEPTH) return standPat;
    if (standPat > alpha) alpha = standPat;
    Move moves[MAX_MOVES];
    int count = 0;
    pos.board.generateCaptures(moves, count);
    std::vector<Move> child;
    for (int i = 0; i < count; ++i) {
        const Move m = moves[i];
        if (pos.board.staticExchange(m) < 0 || !pos.isLegalMove(m)) continue;
        pos.pushMove(m);
        const int score = -quiet(pos, eval, -beta, -alpha, depth + 1, child);
        pos.popMove();
        if (score <= alpha) continue;
        alpha = score;
        line.assign(1, m);
        line.insert(line.end(), child.begin(), child.end());
        if (score >= beta) break;
    }
    return alpha;
}

// The FEN at the end of the position's quiet line, or "" when it is in check.
std::string quietFen(Position& pos, Evaluator& eval) {
    std::vector<Move> line;
    quiet(pos, eval, -INFINITE_SCORE, INFINITE_SCORE, 0, line);
    for (Move m : line) pos.pushMove(m);
    std::string fen = sideToMoveInCheck(pos.board) ? "" : pos.board.fen();
    for (size_t i = line.size(); i > 0; --i) pos.popMove();
    return fen;
}

class Worker {
  public:
    Worker(const Settings& settings, const EvalParams& params, const PieceSquareTables& tables, Sink& sink,
           uint64_t seed)
        : settings_(settings), tables_(tables), sink_(sink), random_(seed), evaluator_(params),
          quietEvaluator_(params) {
        position_ = std::make_unique<Position>();
        position_->board.usePieceSquareTables(tables);
        table_ = std::make_unique<MainHashTable>();
        table_->mainHashMB = 8;
        table_->allocate();
        evaluator_.caches().pawn.sizeMB = 1;
        evaluator_.caches().eval.sizeMB = 1;
        evaluator_.caches().pawn.allocate();
        evaluator_.caches().eval.allocate();
        search_ = std::make_unique<Search>(*position_, *table_, listener_, evaluator_);
        search_->options = SearchOptions{};
        search_->options.profile = SearchProfile::Modern;
        search_->time.mode = TimeMode::FixedDepth;
        search_->time.depthLimit = 64;
    }

    void run() {
        while (!sink_.done()) playGame();
    }

  private:
    const Settings& settings_;
    const PieceSquareTables& tables_;
    Sink& sink_;
    std::mt19937_64 random_;
    SearchListener listener_;
    Evaluator evaluator_;
    Evaluator quietEvaluator_; // without caches: the quiet line walks far from the game
    std::unique_ptr<Position> position_;
    std::unique_ptr<MainHashTable> table_;
    std::unique_ptr<Search> search_;

    Move searchMove(uint64_t nodes, int& score) {
        search_->time.nodeLimit = nodes;
        const Move best = search_->think();
        score = search_->bestScore();
        return best;
    }

    // Random plies from the initial position until one the engine scores near even.
    void openGame() {
        Position& pos = *position_;
        for (;;) {
            pos.board.setStartPosition();
            pos.board.usePieceSquareTables(tables_);
            pos.resetHistory();
            const int plies = 6 + static_cast<int>(random_() % 4);
            bool ok = true;
            for (int p = 0; p < plies && ok; ++p) {
                Move moves[MAX_MOVES];
                const int count = pos.legalMoves(moves);
                if (count == 0)
                    ok = false;
                else
                    pos.pushGameMove(moves[random_() % count]);
            }
            if (!ok || pos.gameEnd() != GameEnd::None) continue;
            table_->clear();
            search_->forgetHistory();
            int score = 0;
            if (searchMove(settings_.nodes, score) == NO_MOVE) continue;
            if (std::abs(score) <= OPENING_BOUND) return;
        }
    }

    // 1 white won, 0 black won, 0.5 a draw; the positions of the game meanwhile.
    void playGame() {
        openGame();
        Position& pos = *position_;
        std::vector<std::string> fens;
        double result = 0.5;
        int whiteWinning = 0, blackWinning = 0, level = 0;
        for (int ply = 0;; ++ply) {
            const GameEnd end = pos.gameEnd();
            if (end == GameEnd::WhiteMates) result = 1;
            if (end == GameEnd::BlackMates) result = 0;
            if (end != GameEnd::None || ply >= MAX_PLIES || !pos.hasRoomForMove()) break;
            int score = 0;
            const Move best = searchMove(settings_.nodes, score);
            if (best == NO_MOVE) break;
            const int whiteScore = pos.board.side == WHITE ? score : -score;
            whiteWinning = whiteScore >= ADJUDICATE_SCORE ? whiteWinning + 1 : 0;
            blackWinning = whiteScore <= -ADJUDICATE_SCORE ? blackWinning + 1 : 0;
            if (whiteWinning >= ADJUDICATE_PLIES || blackWinning >= ADJUDICATE_PLIES) {
                result = whiteWinning > 0 ? 1 : 0;
                break;
            }
            level = std::abs(score) <= DRAW_SCORE ? level + 1 : 0;
            if (ply >= DRAW_FROM_PLY && level >= DRAW_PLIES) break;
            if (std::abs(score) < MATE_THRESHOLD) {
                std::string fen = quietFen(pos, quietEvaluator_);
                if (!fen.empty()) fens.push_back(std::move(fen));
            }
            pos.pushGameMove(best);
        }
        if (settings_.perGame > 0 && fens.size() > static_cast<size_t>(settings_.perGame)) {
            std::shuffle(fens.begin(), fens.end(), random_);
            fens.resize(static_cast<size_t>(settings_.perGame));
        }
        const char* label = result == 1 ? "1" : result == 0 ? "0" : "0.5";
        std::string text;
        for (const std::string& fen : fens) text += fen + " ; " + label + "\n";
        std::lock_guard lock(sink_.mutex);
        sink_.file << text;
        sink_.file.flush();
        sink_.written += static_cast<long>(fens.size());
        ++sink_.games;
    }
};

bool parse(int argc, char** argv, Settings& s) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (arg == "--out")
            s.out = value;
        else if (arg == "--params")
            s.paramsPath = value;
        else if (arg == "--positions")
            s.positions = std::atol(value);
        else if (arg == "--nodes")
            s.nodes = std::strtoull(value, nullptr, 10);
        else if (arg == "--threads")
            s.threads = std::atoi(value);
        else if (arg == "--seed")
            s.seed = std::strtoull(value, nullptr, 10);
        else if (arg == "--per-game")
            s.perGame = std::atoi(value);
        else
            return false;
    }
    return !s.out.empty() && s.positions > 0 && s.nodes > 0 && s.threads >= 1 && s.perGame >= 0;
}

} // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!parse(argc, argv, settings)) {
        std::fprintf(stderr, "usage: falkmere-datagen --out FILE [--positions N] [--nodes N] [--threads N] "
                             "[--seed N] [--params FILE] [--per-game N]\n");
        return 2;
    }
    initEvalTables();
    EvalParams params = modernEvalParams();
    if (!settings.paramsPath.empty()) {
        std::ifstream in(settings.paramsPath);
        std::string error;
        if (!in || !readEvalParams(in, params, error)) {
            std::fprintf(stderr, "%s: %s\n", settings.paramsPath.c_str(), in ? error.c_str() : "cannot open");
            return 1;
        }
    }
    const PieceSquareTables tables = buildPieceSquareTables(params);
    Sink sink;
    sink.target = settings.positions;
    sink.file.open(settings.out, std::ios::app);
    if (!sink.file) {
        std::fprintf(stderr, "cannot write %s\n", settings.out.c_str());
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::unique_ptr<Worker>> workers;
    for (int t = 0; t < settings.threads; ++t)
        workers.push_back(std::make_unique<Worker>(settings, params, tables, sink, settings.seed * 1000 + t));
    std::vector<std::thread> threads;
    for (auto& worker : workers) threads.emplace_back([&worker] { worker->run(); });
    for (std::thread& thread : threads) thread.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%ld positions from %ld games in %.0f s\n", sink.written.load(), sink.games.load(), seconds);
    return 0;
}
