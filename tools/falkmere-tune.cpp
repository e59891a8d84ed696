// falkmere-tune: fits the evaluation parameters to game results. Usage:
//   falkmere-tune --data FILE --out FILE [--params FILE] [--threads N]
//                 [--rounds N] [--steps N] [--rate R] [--limit N]
// The data are lines "FEN ; result" (falkmere-datagen writes them), the
// result 1, 0.5 or 0 from white's side. Every tenth block of 1000 lines is
// held out for validation: a block holds a few whole games, so the held-out
// positions are not near-copies of trained ones.
//
// The error is the mean of (result - sigmoid(K * eval / 400))^2 over the
// static evaluations from white's side, with K fitted first to the starting
// parameters. Each round measures how every parameter moves every training
// evaluation (a finite difference of the real evaluation), fits the
// parameters to that linear model with Adam, rounds them into their ranges,
// and keeps them when the real error on the held-out positions falls. The
// start is the modern profile's built-in set, or --params.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "board/board.h"
#include "eval/evaluator.h"
#include "eval/tables.h"

namespace {

struct Settings {
    std::string data;
    std::string out;
    std::string paramsPath;
    int threads = 2;
    int rounds = 2;
    int steps = 400;
    double rate = 0.2;
    long limit = 0; // positions read at most (0: all)
};

struct Sample {
    std::string fen;
    float result;
};

// One tunable value: the field and the index of the value in it.
struct Knob {
    const EvalParamField* field;
    int index;
    int& in(EvalParams& p) const { return field->of(p)[index]; }
    int span() const { return field->range.max - field->range.min; }
    // The change that measures a slope: large enough to survive the
    // evaluation's integer divisions.
    int step() const { return std::max(1, span() / 100); }
    // Adam's unit of movement: a wide range moves faster.
    double unit() const { return std::max(1.0, span() / 400.0); }
};

double elapsed(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double sigmoid(double k, double eval) { return 1.0 / (1.0 + std::exp(-k * eval / 400.0)); }

// Runs work(thread, begin, end) over [0, count) split between the threads.
template <typename Work> void parallel(int threads, size_t count, Work work) {
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        const size_t begin = count * t / threads, end = count * (t + 1) / threads;
        pool.emplace_back([&work, t, begin, end] { work(t, begin, end); });
    }
    for (std::thread& thread : pool) thread.join();
}

// Evaluates samples with one parameter set: a board and an uncached evaluator of its own.
class Scorer {
  public:
    explicit Scorer(const EvalParams& params) : params_(params), tables_(buildPieceSquareTables(params_)) {
        board_ = std::make_unique<Board>();
        board_->usePieceSquareTables(tables_);
        evaluator_ = std::make_unique<Evaluator>(params_);
    }
    EvalParams& params() { return params_; }
    // After a change of params(): the tables follow.
    void refresh() {
        tables_ = buildPieceSquareTables(params_);
        board_->usePieceSquareTables(tables_);
    }
    // The static evaluation from white's side.
    int whiteEval(const Sample& s) {
        board_->readFen(s.fen.c_str());
        const int score = evaluator_->evaluate(*board_);
        return board_->side == WHITE ? score : -score;
    }

  private:
    EvalParams params_;
    PieceSquareTables tables_;
    std::unique_ptr<Board> board_;
    std::unique_ptr<Evaluator> evaluator_;
};

std::vector<float> evaluateAll(const EvalParams& params, const std::vector<Sample>& samples, int threads) {
    std::vector<float> evals(samples.size());
    parallel(threads, samples.size(), [&](int, size_t begin, size_t end) {
        Scorer scorer(params);
        for (size_t i = begin; i < end; ++i) evals[i] = static_cast<float>(scorer.whiteEval(samples[i]));
    });
    return evals;
}

double meanError(double k, const std::vector<float>& evals, const std::vector<Sample>& samples) {
    double sum = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const double d = samples[i].result - sigmoid(k, evals[i]);
        sum += d * d;
    }
    return sum / static_cast<double>(std::max<size_t>(1, samples.size()));
}

// The K of least error, by a golden-section search on [0.1, 4].
double fitK(const std::vector<float>& evals, const std::vector<Sample>& samples) {
    double a = 0.1, b = 4.0;
    const double g = (std::sqrt(5.0) - 1) / 2;
    for (int i = 0; i < 60; ++i) {
        const double c = b - g * (b - a), d = a + g * (b - a);
        if (meanError(c, evals, samples) < meanError(d, evals, samples))
            b = d;
        else
            a = c;
    }
    return (a + b) / 2;
}

// How each knob moves the evaluations: per knob, the samples it changes and
// by how many centipawns per unit of the knob.
struct Column {
    std::vector<uint32_t> rows;
    std::vector<float> slopes;
};

std::vector<Column> measureSlopes(const EvalParams& params, const std::vector<Knob>& knobs,
                                  const std::vector<Sample>& samples, const std::vector<float>& base, int threads) {
    std::vector<Column> columns(knobs.size());
    parallel(threads, knobs.size(), [&](int, size_t begin, size_t end) {
        Scorer scorer(params);
        for (size_t j = begin; j < end; ++j) {
            int& value = knobs[j].in(scorer.params());
            const int original = value;
            const EvalParamRange range = knobs[j].field->range;
            const int step = original + knobs[j].step() <= range.max ? knobs[j].step() : -knobs[j].step();
            value = original + step;
            scorer.refresh();
            for (size_t i = 0; i < samples.size(); ++i) {
                const float change = static_cast<float>(scorer.whiteEval(samples[i])) - base[i];
                if (change == 0) continue;
                columns[j].rows.push_back(static_cast<uint32_t>(i));
                columns[j].slopes.push_back(change / static_cast<float>(step));
            }
            value = original;
        }
    });
    return columns;
}

// Adam on the linear model eval = base + sum slope x (value - start); returns
// the fitted values (unrounded, within the ranges).
std::vector<double> fitLinear(const std::vector<Knob>& knobs, const std::vector<double>& start,
                              const std::vector<Column>& columns, const std::vector<Sample>& samples,
                              const std::vector<float>& base, double k, const Settings& settings) {
    const size_t n = knobs.size();
    std::vector<double> x = start, m(n, 0), v(n, 0), grad(n);
    std::vector<double> eval(samples.size()), weight(samples.size());
    const double beta1 = 0.9, beta2 = 0.999;
    for (int step = 1; step <= settings.steps; ++step) {
        for (size_t i = 0; i < samples.size(); ++i) eval[i] = base[i];
        for (size_t j = 0; j < n; ++j) {
            const double delta = x[j] - start[j];
            if (delta == 0) continue;
            for (size_t r = 0; r < columns[j].rows.size(); ++r) eval[columns[j].rows[r]] += delta * columns[j].slopes[r];
        }
        // d error / d eval for each sample (the constant factors fold into the rate).
        for (size_t i = 0; i < samples.size(); ++i) {
            const double s = sigmoid(k, eval[i]);
            weight[i] = (s - samples[i].result) * s * (1 - s);
        }
        for (size_t j = 0; j < n; ++j) {
            double g = 0;
            for (size_t r = 0; r < columns[j].rows.size(); ++r) g += weight[columns[j].rows[r]] * columns[j].slopes[r];
            grad[j] = g / static_cast<double>(samples.size());
        }
        const double c1 = 1 - std::pow(beta1, step), c2 = 1 - std::pow(beta2, step);
        for (size_t j = 0; j < n; ++j) {
            m[j] = beta1 * m[j] + (1 - beta1) * grad[j];
            v[j] = beta2 * v[j] + (1 - beta2) * grad[j] * grad[j];
            const double move = settings.rate * knobs[j].unit() * (m[j] / c1) / (std::sqrt(v[j] / c2) + 1e-12);
            const EvalParamRange range = knobs[j].field->range;
            x[j] = std::clamp(x[j] - move, double(range.min), double(range.max));
        }
    }
    return x;
}

bool readSamples(const Settings& settings, std::vector<Sample>& train, std::vector<Sample>& held) {
    std::ifstream in(settings.data);
    if (!in) return false;
    long line = 0;
    for (std::string text; std::getline(in, text);) {
        const size_t bar = text.find(" ; ");
        if (bar == std::string::npos) continue;
        Sample s{text.substr(0, bar), std::strtof(text.c_str() + bar + 3, nullptr)};
        ((line / 1000) % 10 == 9 ? held : train).push_back(std::move(s));
        if (++line == settings.limit) break;
    }
    return true;
}

bool parse(int argc, char** argv, Settings& s) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (arg == "--data") s.data = value;
        else if (arg == "--out") s.out = value;
        else if (arg == "--params") s.paramsPath = value;
        else if (arg == "--threads") s.threads = std::atoi(value);
        else if (arg == "--rounds") s.rounds = std::atoi(value);
        else if (arg == "--steps") s.steps = std::atoi(value);
        else if (arg == "--rate") s.rate = std::atof(value);
        else if (arg == "--limit") s.limit = std::atol(value);
        else return false;
    }
    return !s.data.empty() && !s.out.empty() && s.threads >= 1 && s.rounds >= 1 && s.steps >= 1;
}

std::vector<Knob> allKnobs() {
    std::vector<Knob> knobs;
    for (const EvalParamField& field : evalParamFields()) {
        EvalParams scratch = classicEvalParams();
        const int count = static_cast<int>(field.of(scratch).size());
        for (int i = 0; i < count; ++i) knobs.push_back({&field, i});
    }
    return knobs;
}

} // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!parse(argc, argv, settings)) {
        std::fprintf(stderr, "usage: falkmere-tune --data FILE --out FILE [--params FILE] [--threads N] "
                             "[--rounds N] [--steps N] [--rate R] [--limit N]\n");
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
    std::vector<Sample> train, held;
    if (!readSamples(settings, train, held)) {
        std::fprintf(stderr, "cannot read %s\n", settings.data.c_str());
        return 1;
    }
    if (held.empty() || train.empty()) {
        std::fprintf(stderr, "%s: too few positions to hold a tenth back (10000 at least)\n", settings.data.c_str());
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    const std::vector<Knob> knobs = allKnobs();
    std::vector<float> base = evaluateAll(params, train, settings.threads);
    const double k = fitK(base, train);
    double heldError = meanError(k, evaluateAll(params, held, settings.threads), held);
    std::printf("%zu training, %zu held-out positions, %zu parameters\n", train.size(), held.size(), knobs.size());
    std::printf("K %.4f: training error %.6f, held-out error %.6f (%.0f s)\n", k, meanError(k, base, train),
                heldError, elapsed(start));
    std::fflush(stdout);
    for (int round = 1; round <= settings.rounds; ++round) {
        const std::vector<Column> columns = measureSlopes(params, knobs, train, base, settings.threads);
        std::vector<double> values;
        for (const Knob& knob : knobs) values.push_back(knob.in(params));
        const std::vector<double> fitted = fitLinear(knobs, values, columns, train, base, k, settings);
        EvalParams next = params;
        for (size_t j = 0; j < knobs.size(); ++j) knobs[j].in(next) = static_cast<int>(std::lround(fitted[j]));
        const std::vector<float> nextBase = evaluateAll(next, train, settings.threads);
        const double nextHeld = meanError(k, evaluateAll(next, held, settings.threads), held);
        std::printf("round %d: training error %.6f, held-out error %.6f (%.0f s)\n", round,
                    meanError(k, nextBase, train), nextHeld, elapsed(start));
        std::fflush(stdout);
        if (nextHeld >= heldError) break;
        params = next;
        base = nextBase;
        heldError = nextHeld;
    }
    std::ofstream out(settings.out);
    if (!writeEvalParams(params, out)) {
        std::fprintf(stderr, "cannot write %s\n", settings.out.c_str());
        return 1;
    }
    std::printf("held-out error %.6f after tuning\n", heldError);
    return 0;
}
