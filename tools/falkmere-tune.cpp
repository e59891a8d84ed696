// falkmere-tune: fits the evaluation parameters to game results. Usage:
//   falkmere-tune --data FILE --out FILE [--params FILE] [--threads N]
//                 [--rounds N] [--steps N] [--rate R] [--ridge N] [--limit N]
//                 [--fields NAME,NAME,...]
// The data are lines "FEN ; result" (falkmere-datagen writes them), the
// result 1, 0.5 or 0 from white's side. They are read in blocks of 1000
// lines, a few whole games each, so that no part holds near-copies of
// another's positions: of every ten blocks, eight are trained on, one
// decides when a fit stops, and one is held out to measure the result.
//
// The error is the mean of (result - sigmoid(K * eval / 400))^2 over the
// static evaluations from white's side, with K fitted first to the starting
// parameters. Each round measures how every parameter moves every
// evaluation (a finite difference of the real evaluation), fits the
// parameters to that linear model by preconditioned descent, stopping where the model's error
// on the stopping part is least, rounds them into their ranges, and keeps
// them when the real error on the stopping part falls. The start is the
// modern profile's built-in set, or --params.
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
    int steps = 200;
    double rate = 1.0;  // the longest step tried along the direction
    double ridge = 200; // positions' worth of damping
    long limit = 0;     // positions read at most (0: all)
    std::string fields; // comma-separated field names to tune (empty: all)
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
                                  const std::vector<Sample>& samples, const std::vector<float>& base,
                                  int threads) {
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

// The samples of one part (training or held out) with their evaluations
// under the round's starting values and the slopes of every knob there.
struct LinearPart {
    const std::vector<Sample>& samples;
    const std::vector<float>& base;
    std::vector<Column> columns;
};

// The linear model's evaluations of the part at values x.
void predict(const LinearPart& part, const std::vector<double>& x, const std::vector<double>& start,
             std::vector<double>& eval) {
    eval.assign(part.base.begin(), part.base.end());
    for (size_t j = 0; j < x.size(); ++j) {
        const double delta = x[j] - start[j];
        if (delta == 0) continue;
        const Column& c = part.columns[j];
        for (size_t r = 0; r < c.rows.size(); ++r) eval[c.rows[r]] += delta * c.slopes[r];
    }
}

double linearError(const LinearPart& part, double k, const std::vector<double>& eval) {
    double sum = 0;
    for (size_t i = 0; i < eval.size(); ++i) {
        const double d = part.samples[i].result - sigmoid(k, eval[i]);
        sum += d * d;
    }
    return sum / static_cast<double>(std::max<size_t>(1, eval.size()));
}

// The values a step of `alpha` along `direction` leads to, within the ranges.
std::vector<double> stepped(const std::vector<Knob>& knobs, const std::vector<double>& x,
                            const std::vector<double>& direction, double alpha) {
    std::vector<double> next(x.size());
    for (size_t j = 0; j < x.size(); ++j) {
        const EvalParamRange range = knobs[j].field->range;
        next[j] = std::clamp(x[j] + alpha * direction[j], double(range.min), double(range.max));
    }
    return next;
}

// The descent direction at x: the gradient of the training error scaled, for
// each value, by its damped Gauss-Newton curvature. A value few positions
// inform has little curvature and a noisy gradient; the damping, worth
// --ridge positions of curvature, keeps it near its start.
std::vector<double> direction(const LinearPart& train, const std::vector<double>& x,
                              const std::vector<double>& start, double k, double ridge) {
    const double count = static_cast<double>(train.samples.size());
    const double scale = k / 400.0; // d sigmoid / d eval = scale x s x (1 - s)
    const double damping = ridge / count * 0.0625 * scale * scale;
    std::vector<double> eval, gain(train.samples.size()), slope(train.samples.size()), dir(x.size(), 0);
    predict(train, x, start, eval);
    for (size_t i = 0; i < eval.size(); ++i) {
        const double s = sigmoid(k, eval[i]);
        slope[i] = scale * s * (1 - s);
        gain[i] = (s - train.samples[i].result) * slope[i];
    }
    for (size_t j = 0; j < x.size(); ++j) {
        const Column& c = train.columns[j];
        double g = 0, h = 0;
        for (size_t r = 0; r < c.rows.size(); ++r) {
            const double d = slope[c.rows[r]] * c.slopes[r];
            g += gain[c.rows[r]] * c.slopes[r];
            h += d * d;
        }
        if (h > 0) dir[j] = -(g / count) / (h / count + damping);
    }
    return dir;
}

// Descent on the linear model eval = base + sum slope x (value - start) of
// the training part, each step as long as a backtracking search finds it
// lowers the training error (the values move together, and many of them
// shift the same evaluations). Returns the values (unrounded, within the
// ranges) of the step whose model error on the stopping part is least: the
// positions come from a few thousand games, far fewer than it takes to pin a
// thousand values, and the fit must stop before it learns the games by heart.
std::vector<double> fitLinear(const std::vector<Knob>& knobs, const std::vector<double>& start,
                              const LinearPart& train, const LinearPart& stop, double k,
                              const Settings& settings) {
    std::vector<double> x = start, best = start, eval;
    predict(train, x, start, eval);
    double trainError = linearError(train, k, eval);
    predict(stop, x, start, eval);
    double bestStop = linearError(stop, k, eval);
    int bestStep = 0;
    double alpha = settings.rate;
    for (int step = 1; step <= settings.steps; ++step) {
        const std::vector<double> dir = direction(train, x, start, k, settings.ridge);
        bool moved = false;
        for (alpha = std::min(settings.rate, alpha * 4); alpha > 1e-6; alpha /= 2) {
            std::vector<double> next = stepped(knobs, x, dir, alpha);
            predict(train, next, start, eval);
            const double error = linearError(train, k, eval);
            if (error >= trainError) continue;
            trainError = error;
            x = std::move(next);
            moved = true;
            break;
        }
        if (!moved) break;
        predict(stop, x, start, eval);
        const double stopError = linearError(stop, k, eval);
        if (stopError < bestStop) {
            bestStop = stopError;
            best = x;
            bestStep = step;
        }
        if (step % 10 == 0) {
            std::printf("  step %d: model training error %.6f, stopping error %.6f\n", step, trainError,
                        stopError);
            std::fflush(stdout);
        }
    }
    std::printf("  linear model: least stopping error %.6f at step %d\n", bestStop, bestStep);
    return best;
}

bool readSamples(const Settings& settings, std::vector<Sample>& train, std::vector<Sample>& stop,
                 std::vector<Sample>& held) {
    std::ifstream in(settings.data);
    if (!in) return false;
    long line = 0;
    for (std::string text; std::getline(in, text);) {
        const size_t bar = text.find(" ; ");
        if (bar == std::string::npos) continue;
        Sample s{text.substr(0, bar), std::strtof(text.c_str() + bar + 3, nullptr)};
        const long block = (line / 1000) % 10;
        (block == 9 ? held : block == 8 ? stop : train).push_back(std::move(s));
        if (++line == settings.limit) break;
    }
    return true;
}

bool parse(int argc, char** argv, Settings& s) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (arg == "--data")
            s.data = value;
        else if (arg == "--out")
            s.out = value;
        else if (arg == "--params")
            s.paramsPath = value;
        else if (arg == "--threads")
            s.threads = std::atoi(value);
        else if (arg == "--rounds")
            s.rounds = std::atoi(value);
        else if (arg == "--steps")
            s.steps = std::atoi(value);
        else if (arg == "--rate")
            s.rate = std::atof(value);
        else if (arg == "--limit")
            s.limit = std::atol(value);
        else if (arg == "--ridge")
            s.ridge = std::atof(value);
        else if (arg == "--fields")
            s.fields = "," + std::string(value) + ",";
        else
            return false;
    }
    return !s.data.empty() && !s.out.empty() && s.threads >= 1 && s.rounds >= 1 && s.steps >= 1;
}

bool writeParams(const EvalParams& params, const std::string& path) {
    std::ofstream out(path);
    if (writeEvalParams(params, out) && out.flush()) return true;
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
}

// Every value of the fields named in `fields` (",a,b,"; empty: of all fields).
std::vector<Knob> knobsOf(const std::string& fields) {
    std::vector<Knob> knobs;
    for (const EvalParamField& field : evalParamFields()) {
        if (!fields.empty() && fields.find("," + std::string(field.name) + ",") == std::string::npos)
            continue;
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
        std::fprintf(stderr,
                     "usage: falkmere-tune --data FILE --out FILE [--params FILE] [--threads N] "
                     "[--rounds N] [--steps N] [--rate R] [--ridge N] [--limit N] [--fields A,B,...]\n");
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
    std::vector<Sample> train, stop, held;
    if (!readSamples(settings, train, stop, held)) {
        std::fprintf(stderr, "cannot read %s\n", settings.data.c_str());
        return 1;
    }
    if (held.empty() || stop.empty()) {
        std::fprintf(stderr, "%s: too few positions to hold two tenths back (10000 at least)\n",
                     settings.data.c_str());
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    const std::vector<Knob> knobs = knobsOf(settings.fields);
    std::vector<float> base = evaluateAll(params, train, settings.threads);
    std::vector<float> stopBase = evaluateAll(params, stop, settings.threads);
    const double k = fitK(base, train);
    double stopError = meanError(k, stopBase, stop);
    const double heldBefore = meanError(k, evaluateAll(params, held, settings.threads), held);
    std::printf("%zu training, %zu stopping, %zu held-out positions, %zu parameters\n", train.size(),
                stop.size(), held.size(), knobs.size());
    std::printf("K %.4f: training error %.6f, stopping error %.6f, held-out error %.6f (%.0f s)\n", k,
                meanError(k, base, train), stopError, heldBefore, elapsed(start));
    std::fflush(stdout);
    for (int round = 1; round <= settings.rounds; ++round) {
        const LinearPart trainPart{train, base, measureSlopes(params, knobs, train, base, settings.threads)};
        const LinearPart stopPart{stop, stopBase,
                                  measureSlopes(params, knobs, stop, stopBase, settings.threads)};
        std::vector<double> values;
        for (const Knob& knob : knobs) values.push_back(knob.in(params));
        const std::vector<double> fitted = fitLinear(knobs, values, trainPart, stopPart, k, settings);
        EvalParams next = params;
        for (size_t j = 0; j < knobs.size(); ++j)
            knobs[j].in(next) = static_cast<int>(std::lround(fitted[j]));
        const std::vector<float> nextBase = evaluateAll(next, train, settings.threads);
        const std::vector<float> nextStopBase = evaluateAll(next, stop, settings.threads);
        const double nextStop = meanError(k, nextStopBase, stop);
        std::printf("round %d: training error %.6f, stopping error %.6f (%.0f s)\n", round,
                    meanError(k, nextBase, train), nextStop, elapsed(start));
        std::fflush(stdout);
        if (nextStop >= stopError) break;
        params = next;
        base = nextBase;
        stopBase = nextStopBase;
        stopError = nextStop;
        // Each kept round is written at once: a long run stopped later keeps it.
        if (!writeParams(params, settings.out)) return 1;
    }
    const double heldAfter = meanError(k, evaluateAll(params, held, settings.threads), held);
    std::printf("held-out error %.6f before, %.6f after (%.0f s)\n", heldBefore, heldAfter, elapsed(start));
    if (!writeParams(params, settings.out)) return 1;
    return 0;
}
