// The configuration file falkmere.ini, the numbered log file and the banner.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shell/config.h"
#include "shell/engine.h"
#include "shell/settings.h"
#include "shell/version.h"
#include "shell/words.h"

namespace {

// Option: the key sets the GUI option of that name, with its range and action.
// Elo: a rating limits the strength, 0 lifts the limit.
enum class KeyKind { Number, HashSize, Switch, Path, Resign, Profile, Option, Elo };

// One configuration key: its name, how its value is read, and where it goes.
struct ConfigKey {
    const char* name;
    KeyKind kind;
    int32_t defaultValue; // hash sizes: what 0 stands for
    int32_t* (*number)(Engine&);
    bool* (*flag)(Engine&);
    char* (*path)(Engine&);
    const char* option = nullptr; // KeyKind::Option: the option's name
};

int32_t* noNumber(Engine&) { return nullptr; }
bool* noFlag(Engine&) { return nullptr; }
char* noPath(Engine&) { return nullptr; }

// Hash sizes go to the configured sizes, which the tables take once the file is read.
const ConfigKey CONFIG_KEYS[] = {
    {"MAIN_HASH_SIZE", KeyKind::HashSize, 16, [](Engine& e) { return &e.settings.configuredMB[0]; }, noFlag,
     noPath},
    {"PAWN_HASH_SIZE", KeyKind::HashSize, 5, [](Engine& e) { return &e.settings.configuredMB[1]; }, noFlag,
     noPath},
    {"EVAL_HASH_SIZE", KeyKind::HashSize, 2, [](Engine& e) { return &e.settings.configuredMB[2]; }, noFlag,
     noPath},
    {"USE_BOOK", KeyKind::Switch, 0, noNumber, [](Engine& e) { return &e.search.options.useBook; }, noPath},
    {"USE_LEARN", KeyKind::Switch, 0, noNumber, [](Engine& e) { return &e.search.options.useLearn; }, noPath},
    {"USE_TB", KeyKind::Switch, 0, noNumber, [](Engine& e) { return &e.search.options.useTablebases; },
     noPath},
    {"USE_LOG", KeyKind::Switch, 0, noNumber, [](Engine& e) { return &e.settings.useLog; }, noPath},
    {"THREADS", KeyKind::Number, 1, [](Engine& e) { return &e.settings.threads; }, noFlag, noPath},
    {"EGTB_CACHE", KeyKind::Number, 2, [](Engine& e) { return &e.settings.egtbCacheMB; }, noFlag, noPath},
    {"TB_PATH", KeyKind::Path, 0, noNumber, noFlag, [](Engine& e) { return e.settings.tbPath; }},
    {"BOOK_PATH", KeyKind::Path, 0, noNumber, noFlag, [](Engine& e) { return e.settings.bookPath; }},
    {"BOOK_BEST_MOVE", KeyKind::Switch, 0, noNumber, [](Engine& e) { return &e.settings.bookBestMove; },
     noPath},
    {"LEARN_PATH", KeyKind::Path, 0, noNumber, noFlag, [](Engine& e) { return e.books.learnStore.path; }},
    {"RESIGN_VALUE", KeyKind::Resign, -800, [](Engine& e) { return &e.settings.resignValue; }, noFlag,
     noPath},
    {"PAWN_VALUE", KeyKind::Number, 0, [](Engine& e) { return &e.evalParams.pieceValue[PAWN]; }, noFlag,
     noPath},
    {"KNIGHT_VALUE", KeyKind::Number, 0, [](Engine& e) { return &e.evalParams.pieceValue[KNIGHT]; }, noFlag,
     noPath},
    {"BISHOP_VALUE", KeyKind::Number, 0, [](Engine& e) { return &e.evalParams.pieceValue[BISHOP]; }, noFlag,
     noPath},
    {"ROOK_VALUE", KeyKind::Number, 0, [](Engine& e) { return &e.evalParams.pieceValue[ROOK]; }, noFlag,
     noPath},
    {"QUEEN_VALUE", KeyKind::Number, 0, [](Engine& e) { return &e.evalParams.pieceValue[QUEEN]; }, noFlag,
     noPath},
    {"PIECE_FAVOUR", KeyKind::Number, 0, [](Engine& e) { return &e.evalParams.weights.pieceFavour; }, noFlag,
     noPath},
    {"PIECE_MOBILITY", KeyKind::Number, 0, [](Engine& e) { return &e.evalParams.weights.pieceMobility; },
     noFlag, noPath},
    {"KING_ATTACK", KeyKind::Number, 0, [](Engine& e) { return &e.evalParams.weights.kingAttack; }, noFlag,
     noPath},
    {"SPACE_CONTROL", KeyKind::Number, 0, [](Engine& e) { return &e.evalParams.weights.spaceControl; },
     noFlag, noPath},
    {"PAWN_STRUCTURE", KeyKind::Number, 0, [](Engine& e) { return &e.evalParams.weights.pawnStructure; },
     noFlag, noPath},
    {"REDUCTIONS", KeyKind::Switch, 0, noNumber, [](Engine& e) { return &e.search.options.useReductions; },
     noPath},
    {"PROFILE", KeyKind::Profile, 0, noNumber, noFlag, noPath},
    {"ELO_LIMIT", KeyKind::Elo, 0, noNumber, noFlag, noPath},
    {"MULTI_PV", KeyKind::Option, 0, noNumber, noFlag, noPath, "MultiPV"},
    {"MOVE_OVERHEAD", KeyKind::Option, 0, noNumber, noFlag, noPath, "Move Overhead"},
    {"EVAL_PARAMS", KeyKind::Path, 0, noNumber, noFlag, [](Engine& e) { return e.settings.evalParamsPath; }},
};

// The piece values and evaluation weights are bounded in size by the ranges of
// their GUI options (either sign, as the file has always taken negative
// weights), so that the sums built from them cannot overflow.
const EngineOption* rangeOf(const ConfigKey& key) {
    static const char* const OPTION_OF[][2] = {
        {"PAWN_VALUE", "PawnValue"},         {"KNIGHT_VALUE", "KnightValue"},
        {"BISHOP_VALUE", "BishopValue"},     {"ROOK_VALUE", "RookValue"},
        {"QUEEN_VALUE", "QueenValue"},       {"PIECE_FAVOUR", "PieceFavour"},
        {"PIECE_MOBILITY", "PieceMobility"}, {"KING_ATTACK", "KingAttack"},
        {"SPACE_CONTROL", "SpaceControl"},   {"PAWN_STRUCTURE", "PawnStructure"},
    };
    for (const auto& pair : OPTION_OF)
        if (std::strcmp(pair[0], key.name) == 0) return findOption(pair[1]);
    return nullptr;
}

void applyKey(Engine& engine, const ConfigKey& key, const std::string& value) {
    switch (key.kind) {
        case KeyKind::Switch:
            *key.flag(engine) = value == "ON" || value == "on";
            break;
        case KeyKind::Path: {
            char* target = key.path(engine);
            std::strncpy(target, value.c_str(), 255);
            target[255] = '\0';
            break;
        }
        case KeyKind::Number: {
            int32_t n;
            if (!readInteger(value, n)) break;
            const EngineOption* range = rangeOf(key);
            if (range && (n > range->max || n < -range->max)) {
                engine.print("%s takes a number from %d to %d, not %s; unchanged\n", key.name, -range->max,
                             range->max, value.c_str());
                break;
            }
            *key.number(engine) = n;
            break;
        }
        case KeyKind::HashSize: {
            // Negative sizes are ignored; 0 stands for the default size.
            int32_t n;
            if (readInteger(value, n) && n >= 0) *key.number(engine) = n == 0 ? key.defaultValue : n;
            break;
        }
        case KeyKind::Profile: {
            SearchProfile profile;
            if (readProfile(value, profile))
                engine.search.options.profile = profile;
            else
                engine.print("PROFILE takes classic or modern, not %s; unchanged\n", value.c_str());
            break;
        }
        case KeyKind::Option: {
            const EngineOption* option = findOption(key.option);
            if (option) engine.setOption(*option, value, engine);
            break;
        }
        case KeyKind::Elo: {
            int32_t n = 0;
            if (!readInteger(value, n) || (n != 0 && (n < MIN_ELO || n > MAX_ELO))) {
                engine.print("ELO_LIMIT takes 0 or a rating from %d to %d, not %s; unchanged\n", MIN_ELO,
                             MAX_ELO, value.c_str());
                break;
            }
            engine.settings.limitStrength = n != 0;
            if (n != 0) engine.settings.elo = n;
            engine.search.options.eloLimit = n;
            break;
        }
        case KeyKind::Resign: {
            // Whole pawns, either sign; stored as a negative centipawn score.
            // A value that is no number leaves the setting as it was.
            int32_t n;
            if (readInteger(value, n)) {
                const int64_t pawns = std::min<int64_t>(std::llabs(int64_t{n}), 1000000);
                *key.number(engine) = static_cast<int32_t>(-100 * pawns);
            }
            break;
        }
    }
}

} // namespace

std::vector<std::string> configKeyNames() {
    std::vector<std::string> names;
    for (const ConfigKey& key : CONFIG_KEYS) names.emplace_back(key.name);
    return names;
}

void Engine::readConfig() {
    CacheSet& caches = evaluator.caches();
    caches.pawn.sizeMB = 5;
    caches.eval.sizeMB = 2;
    search.options = SearchOptions{};
    settings = EngineSettings{};
    std::strcpy(books.book.path, "book.dat");
    std::strcpy(books.learnStore.path, "learn.dat");
    hashTable.mainHashMB = 16;

    FILE* file = std::fopen("falkmere.ini", "r");
    if (!file) {
        print("Can't find falkmere.ini. Using defaults.\n\n");
        return;
    }
    std::string line;
    while (readTextLine(file, line)) {
        const std::vector<std::string> words = blankSeparated(line);
        if (words.size() < 2) continue; // no word, or a key without a value
        std::string name = words[0];
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (const ConfigKey& key : CONFIG_KEYS) {
            if (name == key.name) {
                applyKey(*this, key, words[1]);
                break;
            }
        }
    }
    std::fclose(file);
    std::array<int32_t, 3>& sizes = settings.configuredMB;
    sizes[0] = holdableMB(sizes[0], 16, "MAIN_HASH_SIZE", *this);
    sizes[1] = holdableMB(sizes[1], 5, "PAWN_HASH_SIZE", *this);
    sizes[2] = holdableMB(sizes[2], 2, "EVAL_HASH_SIZE", *this);
    settings.egtbCacheMB = holdableMB(settings.egtbCacheMB, 2, "EGTB_CACHE", *this);
    hashTable.mainHashMB = static_cast<uint32_t>(sizes[0]);
    caches.pawn.sizeMB = sizes[1];
    caches.eval.sizeMB = sizes[2];

    if (settings.useLog) {
        // The first free name of fal000.log .. fal199.log; fal199.log when all exist.
        char name[32];
        for (int n = 0; n < 200; ++n) {
            std::snprintf(name, sizeof name, "fal%03d.log", n);
            FILE* existing = std::fopen(name, "r");
            if (!existing) break;
            std::fclose(existing);
        }
        logFile = std::fopen(name, "w");
        if (!logFile) {
            settings.useLog = false;
            print("Can't create log file %s: logging is off\n", name);
        }
    }
    inputQueue().copyTo(settings.useLog ? logFile : nullptr);

    print("Welcome to Falkmere %s\n", FALKMERE_VERSION);
    print("%s\n\n", __DATE__);
    // Books of the engine's own format are built and learned in at this path.
    if (!isPolyglotBookFile(settings.bookPath)) std::strcpy(books.book.path, settings.bookPath);
    print("book [%s]\n", settings.bookPath);
    print("learning %s\n", search.options.useLearn ? "ON" : "OFF");
    print("learn [%s]\n", books.learnStore.path);
    print("egtb [%s]\n", settings.tbPath);
    print("egtb cache %5.3g MB\n", static_cast<double>(settings.egtbCacheMB));
    print("resign @ [%d pawns]\n", settings.resignValue / -100);
    print("reductions %s\n", search.options.useReductions ? "ON" : "OFF");
    // The classic profile is the default and keeps the banner it always had.
    if (search.options.profile != SearchProfile::Classic)
        print("profile [%s]\n", profileName(search.options.profile));
    // Likewise full strength: a limit is announced.
    if (search.options.eloLimit > 0) print("strength [%d Elo]\n", search.options.eloLimit);
    // The modern profile's parameter file is read before its values are shown;
    // a bad file leaves the profile its built-in set.
    if (!readModernEvalParams(*this, settings.evalParamsPath, *this))
        settings.evalParamsPath[0] = '\0';
    else if (settings.evalParamsPath[0])
        print("eval params [%s]\n", settings.evalParamsPath);
    // The values in force: the modern profile has its own set.
    const EvalParams& params = activeEvalParams();
    const std::array<int, 7>& value = params.pieceValue;
    print("pawn   = %4d\t", value[PAWN]);
    print("knight = %4d\t", value[KNIGHT]);
    print("bishop = %4d\n", value[BISHOP]);
    print("rook   = %4d\t", value[ROOK]);
    print("queen  = %4d\n", value[QUEEN]);
    const EvalWeights& weights = params.weights;
    print("piece_favour   = %4d\t", weights.pieceFavour);
    print("piece_mobility = %4d\n", weights.pieceMobility);
    print("king_attack    = %4d\t", weights.kingAttack);
    print("space_control  = %4d\n", weights.spaceControl);
    print("pawn_structure = %4d\n", weights.pawnStructure);
}
