#include "shell/settings.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "egtb/tablebases.h"
#include "shell/engine.h"
#include "shell/platform.h"
#include "shell/words.h"

int64_t (*machineMemoryMB)() = physicalMemoryMB;

bool readProfile(const std::string& word, SearchProfile& profile) {
    std::string lower = word;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "classic")
        profile = SearchProfile::Classic;
    else if (lower == "modern")
        profile = SearchProfile::Modern;
    else
        return false;
    return true;
}

const char* profileName(SearchProfile profile) {
    return profile == SearchProfile::Modern ? "modern" : "classic";
}

int32_t holdableMB(int64_t requestMB, int32_t fallbackMB, const char* what, Output& out) {
    const int64_t machine = machineMemoryMB();
    if (requestMB >= 0 && (machine <= 0 || requestMB <= machine)) return static_cast<int32_t>(requestMB);
    if (requestMB < 0)
        out.print("%s cannot be %lld MB; using %d MB\n", what, static_cast<long long>(requestMB), fallbackMB);
    else
        out.print("%s of %lld MB is more than the %lld MB of memory of this machine; using %d MB\n", what,
                  static_cast<long long>(requestMB), static_cast<long long>(machine), fallbackMB);
    return fallbackMB;
}

namespace {

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string checkText(bool on) { return on ? "true" : "false"; }

int32_t numberOf(const std::string& value) {
    int32_t n = 0;
    readInteger(value, n);
    return n;
}

bool copyPath(char (&target)[256], const std::string& value, Output& out) {
    if (value.size() >= sizeof target) {
        out.print("path too long: %s\n", value.c_str());
        return false;
    }
    std::memcpy(target, value.c_str(), value.size() + 1);
    return true;
}

// --- the actions --------------------------------------------------------------------

// Hash: the budget of all tables, as xboard's memory.
bool applyHash(Engine& e, const std::string& value, Output& out) {
    resizeTables(e, numberOf(value), out);
    return true;
}

bool clearHash(Engine& e, const std::string&, Output&) {
    e.hashTable.clear();
    e.evaluator.caches().clear();
    return true;
}

bool applyPonder(Engine& e, const std::string& value, Output&) {
    e.modes.ponderEnabled = value == "true";
    return true;
}

bool applyOwnBook(Engine& e, const std::string& value, Output& out) {
    const bool on = value == "true";
    if (on && !e.books.isOpen() && !e.books.load(e.settings.bookPath, out)) {
        out.print("Book not loaded\n");
        e.search.options.useBook = false;
        return false;
    }
    e.search.options.useBook = on;
    return true;
}

bool applyBookFile(Engine& e, const std::string& value, Output& out) {
    if (!copyPath(e.settings.bookPath, value, out)) return false;
    if (!e.books.load(e.settings.bookPath, out)) {
        out.print("Book not loaded: %s\n", value.c_str());
        return false;
    }
    return true;
}

bool applyBookBestMove(Engine& e, const std::string& value, Output&) {
    e.settings.bookBestMove = value == "true";
    return true;
}

bool applyLearning(Engine& e, const std::string& value, Output& out) {
    const bool on = value == "true";
    if (on && !e.books.learnStore.isOpen() && !e.books.learnStore.open()) {
        out.print("Learn file not found\n");
        e.search.options.useLearn = false;
        return false;
    }
    e.search.options.useLearn = on;
    return true;
}

bool applyLearnFile(Engine& e, const std::string& value, Output& out) {
    if (!copyPath(e.books.learnStore.path, value, out)) return false;
    e.books.learnStore.close();
    if (e.search.options.useLearn && !e.books.learnStore.open()) {
        out.print("Learn file not found\n");
        e.search.options.useLearn = false;
        return false;
    }
    return true;
}

// The tables are registered again from the path in force; empty turns them off.
bool registerTables(Engine& e, Output& out) {
    if (e.settings.tbPath[0] == '\0') {
        e.search.options.useTablebases = false;
        return true;
    }
    e.search.options.useTablebases = reloadTablebases(e.settings.tbPath, e.settings.egtbCacheMB);
    if (!e.search.options.useTablebases) {
        out.print("Nalimov table base NOT loaded!\n");
        return false;
    }
    const int found = tablebasesRegistered();
    if (found == 0)
        out.print("no tablebases found in %s\n", e.settings.tbPath);
    else
        out.print("%d tablebase%s found in %s\n", found, found == 1 ? "" : "s", e.settings.tbPath);
    return true;
}

bool applyTablebasePath(Engine& e, const std::string& value, Output& out) {
    const std::string path = value == "<empty>" ? "" : value;
    return copyPath(e.settings.tbPath, path, out) && registerTables(e, out);
}

bool applyTablebaseCache(Engine& e, const std::string& value, Output& out) {
    e.settings.egtbCacheMB = holdableMB(numberOf(value), e.settings.egtbCacheMB, "NalimovCache", out);
    return !e.search.options.useTablebases || registerTables(e, out);
}

bool applyThreads(Engine& e, const std::string& value, Output&) {
    e.setThreads(numberOf(value));
    return true;
}

const char* const PROFILE_CHOICES[] = {"classic", "modern", nullptr};

bool applyProfile(Engine& e, const std::string& value, Output&) {
    if (!readProfile(value, e.search.options.profile)) return false;
    // Each profile evaluates with its own parameters.
    applyEvaluationChange(e);
    return true;
}

bool applyEvalParams(Engine& e, const std::string& value, Output& out) {
    const std::string path = value == "<empty>" ? "" : value;
    if (path.size() >= sizeof e.settings.evalParamsPath) {
        out.print("path too long: %s\n", path.c_str());
        return false;
    }
    if (!loadModernEvalParams(e, path, out)) return false;
    std::memcpy(e.settings.evalParamsPath, path.c_str(), path.size() + 1);
    return true;
}

// The milliseconds of the clock kept back for delays outside the search (the
// link to the GUI or server, a busy machine); every protocol's clock rule
// counts with the clock less this.
bool applyMoveOverhead(Engine& e, const std::string& value, Output&) {
    e.search.time.clockReserveMs = numberOf(value);
    return true;
}

bool applyChess960(Engine& e, const std::string& value, Output&) {
    e.setChess960(value == "true");
    return true;
}

bool applyMultiPv(Engine& e, const std::string& value, Output&) {
    e.search.options.multiPv = numberOf(value);
    return true;
}

bool applyLimitStrength(Engine& e, const std::string& value, Output&) {
    e.settings.limitStrength = value == "true";
    e.search.options.eloLimit = e.settings.limitStrength ? e.settings.elo : 0;
    return true;
}

bool applyElo(Engine& e, const std::string& value, Output&) {
    e.settings.elo = numberOf(value);
    if (e.settings.limitStrength) e.search.options.eloLimit = e.settings.elo;
    return true;
}

bool applyReductions(Engine& e, const std::string& value, Output&) {
    e.search.options.useReductions = value == "true";
    return true;
}

template <int Piece> bool applyPieceValue(Engine& e, const std::string& value, Output&) {
    e.evalParams.pieceValue[Piece] = numberOf(value);
    applyEvaluationChange(e);
    return true;
}

template <int EvalWeights::*Weight> bool applyWeight(Engine& e, const std::string& value, Output&) {
    e.evalParams.weights.*Weight = numberOf(value);
    applyEvaluationChange(e);
    return true;
}

const std::vector<EngineOption> OPTIONS = {
    {"Hash", OptionKind::Spin, 1, 65536, [](const Engine& e) { return std::to_string(memoryBudgetMB(e)); },
     applyHash},
    {"Clear Hash", OptionKind::Button, 0, 0, [](const Engine&) { return std::string(); }, clearHash},
    {"Threads", OptionKind::Spin, 1, Engine::MAX_THREADS,
     [](const Engine& e) { return std::to_string(e.settings.threads); }, applyThreads},
    {"Ponder", OptionKind::Check, 0, 0, [](const Engine& e) { return checkText(e.modes.ponderEnabled); },
     applyPonder},
    {"OwnBook", OptionKind::Check, 0, 0, [](const Engine& e) { return checkText(e.search.options.useBook); },
     applyOwnBook},
    {"BookFile", OptionKind::String, 0, 0, [](const Engine& e) { return std::string(e.settings.bookPath); },
     applyBookFile},
    {"BookBestMove", OptionKind::Check, 0, 0,
     [](const Engine& e) { return checkText(e.settings.bookBestMove); }, applyBookBestMove},
    {"Learning", OptionKind::Check, 0, 0,
     [](const Engine& e) { return checkText(e.search.options.useLearn); }, applyLearning},
    {"LearnFile", OptionKind::String, 0, 0,
     [](const Engine& e) { return std::string(e.books.learnStore.path); }, applyLearnFile},
    {"NalimovPath", OptionKind::String, 0, 0,
     [](const Engine& e) { return e.settings.tbPath[0] ? std::string(e.settings.tbPath) : "<empty>"; },
     applyTablebasePath},
    {"NalimovCache", OptionKind::Spin, 1, 1024,
     [](const Engine& e) { return std::to_string(e.settings.egtbCacheMB); }, applyTablebaseCache},
    {"Move Overhead", OptionKind::Spin, 0, 5000,
     [](const Engine& e) { return std::to_string(e.search.time.clockReserveMs); }, applyMoveOverhead},
    {"MultiPV", OptionKind::Spin, 1, MAX_LINES,
     [](const Engine& e) { return std::to_string(e.search.options.multiPv); }, applyMultiPv},
    {"UCI_LimitStrength", OptionKind::Check, 0, 0,
     [](const Engine& e) { return checkText(e.settings.limitStrength); }, applyLimitStrength},
    {"UCI_Elo", OptionKind::Spin, MIN_ELO, MAX_ELO,
     [](const Engine& e) { return std::to_string(e.settings.elo); }, applyElo},
    {"UCI_Chess960", OptionKind::Check, 0, 0, [](const Engine& e) { return checkText(e.game().chess960()); },
     applyChess960},
    {"Reductions", OptionKind::Check, 0, 0,
     [](const Engine& e) { return checkText(e.search.options.useReductions); }, applyReductions},
    {"Profile", OptionKind::Combo, 0, 0,
     [](const Engine& e) { return std::string(profileName(e.search.options.profile)); }, applyProfile,
     PROFILE_CHOICES},
    {"EvalParams", OptionKind::String, 0, 0,
     [](const Engine& e) {
         return e.settings.evalParamsPath[0] ? std::string(e.settings.evalParamsPath) : "<empty>";
     },
     applyEvalParams},
    {"PawnValue", OptionKind::Spin, 1, 1000,
     [](const Engine& e) { return std::to_string(e.evalParams.pieceValue[PAWN]); }, applyPieceValue<PAWN>},
    {"KnightValue", OptionKind::Spin, 1, 2000,
     [](const Engine& e) { return std::to_string(e.evalParams.pieceValue[KNIGHT]); },
     applyPieceValue<KNIGHT>},
    {"BishopValue", OptionKind::Spin, 1, 2000,
     [](const Engine& e) { return std::to_string(e.evalParams.pieceValue[BISHOP]); },
     applyPieceValue<BISHOP>},
    {"RookValue", OptionKind::Spin, 1, 3000,
     [](const Engine& e) { return std::to_string(e.evalParams.pieceValue[ROOK]); }, applyPieceValue<ROOK>},
    {"QueenValue", OptionKind::Spin, 1, 5000,
     [](const Engine& e) { return std::to_string(e.evalParams.pieceValue[QUEEN]); }, applyPieceValue<QUEEN>},
    {"PieceFavour", OptionKind::Spin, 0, 500,
     [](const Engine& e) { return std::to_string(e.evalParams.weights.pieceFavour); },
     applyWeight<&EvalWeights::pieceFavour>},
    {"PieceMobility", OptionKind::Spin, 0, 500,
     [](const Engine& e) { return std::to_string(e.evalParams.weights.pieceMobility); },
     applyWeight<&EvalWeights::pieceMobility>},
    {"KingAttack", OptionKind::Spin, 0, 500,
     [](const Engine& e) { return std::to_string(e.evalParams.weights.kingAttack); },
     applyWeight<&EvalWeights::kingAttack>},
    {"SpaceControl", OptionKind::Spin, 0, 500,
     [](const Engine& e) { return std::to_string(e.evalParams.weights.spaceControl); },
     applyWeight<&EvalWeights::spaceControl>},
    {"PawnStructure", OptionKind::Spin, 0, 500,
     [](const Engine& e) { return std::to_string(e.evalParams.weights.pawnStructure); },
     applyWeight<&EvalWeights::pawnStructure>},
};

// The value as the option's kind takes it: "true"/"false" for a check, a
// number inside the range for a spin; false when it does not fit.
bool normalise(const EngineOption& option, std::string& value, Output& out) {
    switch (option.kind) {
        case OptionKind::Check: {
            const std::string v = lowerCase(value);
            if (v == "true" || v == "1" || v == "on")
                value = "true";
            else if (v == "false" || v == "0" || v == "off")
                value = "false";
            else
                break;
            return true;
        }
        case OptionKind::Spin: {
            int32_t n = 0;
            if (!readInteger(value, n) || n < option.min || n > option.max) {
                out.print("%s takes a number from %d to %d, not \"%s\"; unchanged\n", option.name, option.min,
                          option.max, value.c_str());
                return false;
            }
            value = std::to_string(n);
            return true;
        }
        case OptionKind::String:
        case OptionKind::Button:
            return true;
        case OptionKind::Combo:
            for (const char* const* c = option.choices; *c; ++c) {
                if (lowerCase(value) == *c) {
                    value = *c;
                    return true;
                }
            }
            out.print("%s takes one of its choices, not \"%s\"; unchanged\n", option.name, value.c_str());
            return false;
    }
    out.print("%s takes true or false, not \"%s\"; unchanged\n", option.name, value.c_str());
    return false;
}

} // namespace

const std::vector<EngineOption>& engineOptions() { return OPTIONS; }

const EngineOption* findOption(const std::string& name) {
    const std::string wanted = lowerCase(name);
    for (const EngineOption& option : OPTIONS) {
        if (lowerCase(option.name) == wanted) return &option;
    }
    return nullptr;
}

bool applyOption(Engine& engine, const EngineOption& option, const std::string& value, Output& out) {
    std::string checked = value;
    if (!normalise(option, checked, out)) return false;
    return option.apply(engine, checked, out);
}

std::string uciOptionLine(const EngineOption& option, const std::string& value) {
    std::string line = std::string("option name ") + option.name + " type ";
    switch (option.kind) {
        case OptionKind::Check:
            return line + "check default " + value;
        case OptionKind::Spin:
            return line + "spin default " + value + " min " + std::to_string(option.min) + " max " +
                   std::to_string(option.max);
        case OptionKind::String:
            return line + "string default " + (value.empty() ? "<empty>" : value);
        case OptionKind::Button:
            return line + "button";
        case OptionKind::Combo: {
            line += "combo default " + value;
            for (const char* const* c = option.choices; *c; ++c) line += std::string(" var ") + *c;
            return line;
        }
    }
    return line;
}

std::string xboardOptionFeature(const EngineOption& option, const std::string& value) {
    std::string text = std::string("option=\"") + option.name;
    switch (option.kind) {
        case OptionKind::Check:
            text += std::string(" -check ") + (value == "true" ? "1" : "0");
            break;
        case OptionKind::Spin:
            text += " -spin " + value + " " + std::to_string(option.min) + " " + std::to_string(option.max);
            break;
        case OptionKind::String:
            text += " -string " + value;
            break;
        case OptionKind::Button:
            text += " -button";
            break;
        case OptionKind::Combo: {
            text += " -combo";
            for (const char* const* c = option.choices; *c; ++c)
                text += std::string(c == option.choices ? " " : " /// ") + (value == *c ? "*" : "") + *c;
            break;
        }
    }
    return text + "\"";
}

std::string cacheSizeLines(const CacheAllocation& allocation) {
    std::string lines;
    if (!allocation.allocated)
        lines = std::string("Couldn't allocate memory for ") + allocation.failureName + "!\n";
    char size[160];
    std::snprintf(size, sizeof size, "%s %5.3g MB [%llu entries]\n", allocation.label,
                  static_cast<double>(allocation.bytes) / 1048576.0,
                  static_cast<unsigned long long>(allocation.entries));
    return lines + size;
}

void announceCache(const CacheAllocation& allocation) {
    std::fputs(cacheSizeLines(allocation).c_str(), stdout);
    std::fflush(stdout);
}

void applyEvaluationChange(Engine& engine) {
    const EvalParams& params = engine.activeEvalParams();
    engine.pieceSquareTables = buildPieceSquareTables(params);
    engine.evaluator.useParams(params);
    engine.evaluator.caches().clear();
    engine.helpers.clearCaches();
    // The piece-square sums of the position follow the new tables.
    engine.game().board().usePieceSquareTables(engine.pieceSquareTables);
}

bool readModernEvalParams(Engine& engine, const std::string& path, Output& out) {
    EvalParams params = modernEvalParams();
    if (!path.empty()) {
        std::ifstream file(path);
        std::string error;
        if (!file) {
            out.print("EvalParams: cannot open %s; the parameters stay as they were\n", path.c_str());
            return false;
        }
        if (!readEvalParams(file, params, error)) {
            out.print("EvalParams: %s, %s; the parameters stay as they were\n", path.c_str(), error.c_str());
            return false;
        }
    }
    engine.modernParams = params;
    return true;
}

bool loadModernEvalParams(Engine& engine, const std::string& path, Output& out) {
    if (!readModernEvalParams(engine, path, out)) return false;
    applyEvaluationChange(engine);
    return true;
}

bool offeredToXboard(const EngineOption& option) {
    const std::string name = option.name;
    return name != "Hash" && name != "Ponder" && name != "NalimovPath" && name != "Threads" &&
           name != "UCI_Chess960";
}

void sizeMainTable(MainHashTable& table, bool announce) {
    const uint64_t buckets = table.allocate();
    if (!announce) return;
    if (!table.allocated()) std::printf("Couldn't allocate memory for main hash table!\n");
    std::printf("main cache %5.3g MB [%llu entries]\n", static_cast<double>(buckets * 64) / 1048576.0,
                static_cast<unsigned long long>(buckets));
    std::fflush(stdout);
}

int32_t memoryBudgetMB(const Engine& engine) {
    if (engine.settings.memoryMB > 0) return engine.settings.memoryMB;
    const CacheSet& caches = engine.evaluator.caches();
    const int64_t perThread = int64_t{caches.pawn.sizeMB} + caches.eval.sizeMB;
    const int64_t total = int64_t{engine.hashTable.mainHashMB} + engine.settings.threads * perThread;
    return static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX));
}

void resizeTables(Engine& engine, int32_t totalMB, Output& out) {
    MainHashTable& table = engine.hashTable;
    const std::array<int32_t, 3>& configured = engine.settings.configuredMB;
    const int64_t threads = engine.settings.threads;
    const int64_t main = configured[0], pawn = configured[1], eval = configured[2];
    // Every search thread has a pawn and an evaluation cache of its own.
    const int64_t whole = std::max<int64_t>(main + threads * (pawn + eval), 1);
    totalMB = holdableMB(totalMB, static_cast<int32_t>(std::min<int64_t>(whole, INT32_MAX)), "memory", out);
    engine.settings.memoryMB = std::max(totalMB, 1);
    const auto share = [&](int64_t part) {
        return static_cast<int32_t>(std::max<int64_t>(1, int64_t{engine.settings.memoryMB} * part / whole));
    };
    const uint32_t newMain = static_cast<uint32_t>(share(main));
    const int32_t newPawn = share(pawn), newEval = share(eval);
    const bool announce = !engine.modes.uci;
    if (newMain != table.mainHashMB || !table.allocated()) {
        table.mainHashMB = newMain;
        sizeMainTable(table, announce);
        while (!table.allocated() && table.mainHashMB > 1) {
            table.mainHashMB /= 2;
            out.print("not enough memory: the hash table gets %u MB\n", table.mainHashMB);
            sizeMainTable(table, announce);
        }
    }
    CacheSet& caches = engine.evaluator.caches();
    if (newPawn != caches.pawn.sizeMB || newEval != caches.eval.sizeMB) {
        caches.pawn.sizeMB = newPawn;
        caches.eval.sizeMB = newEval;
        const CacheAllocation pawnCache = caches.pawn.allocate(), evalCache = caches.eval.allocate();
        if (announce) {
            announceCache(pawnCache);
            announceCache(evalCache);
        }
    }
    engine.helpers.setCount(engine.settings.threads - 1, caches); // the helpers' caches take the new sizes
}
