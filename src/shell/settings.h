// The engine's options as GUIs set them: UCI's setoption and the xboard option
// command share one table of names, kinds, ranges and actions. An option acts
// at once (a new hash size reallocates, a new tablebase path re-registers).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/output.h"
#include "search/limits.h"
#include "search/tt.h"

class Engine;
struct CacheAllocation;

enum class OptionKind { Check, Spin, String, Button, Combo };

struct EngineOption {
    const char* name;
    OptionKind kind;
    int32_t min; // spins only
    int32_t max;
    // The option's value now, as text ("true"/"false" for a check).
    std::string (*current)(const Engine&);
    // Applies a value already checked against the kind and the range; false,
    // with a message on `out`, when the engine cannot take it.
    bool (*apply)(Engine&, const std::string& value, Output& out);
    // A combo's choices, ending with a null (null for the other kinds).
    const char* const* choices = nullptr;
};

const std::vector<EngineOption>& engineOptions();
// The option of that name (compared without regard to case), or null.
const EngineOption* findOption(const std::string& name);

// Checks a value against the option's kind and range and applies it; a value
// that does not fit is refused with a message and changes nothing.
bool applyOption(Engine& engine, const EngineOption& option, const std::string& value, Output& out);

// "option name Hash type spin default 16 min 1 max 65536", for the option's
// value now (EngineOption::current).
std::string uciOptionLine(const EngineOption& option, const std::string& value);
// "option=\"Hash -spin 16 1 65536\"" for the xboard feature line.
std::string xboardOptionFeature(const EngineOption& option, const std::string& value);

// The options offered in the xboard feature line: those the protocol has no
// command of its own for (memory sets the hash, hard and easy pondering,
// egtpath the tablebase path, variant Chess960).
bool offeredToXboard(const EngineOption& option);

// The search profile a word names ("classic" or "modern", in any case); false
// for any other word.
bool readProfile(const std::string& word, SearchProfile& profile);
const char* profileName(SearchProfile profile);

// The megabytes of memory the tables may take at most: the machine's physical
// memory. Tests and fuzzers put a smaller figure in place.
extern int64_t (*machineMemoryMB)();

// The size a table of `what` gets for a request of `requestMB` megabytes: the
// request when the machine can hold it, else (or for a negative request)
// `fallbackMB`, with a message saying so. Every size that comes from outside
// (falkmere.ini, xboard's memory, UCI's Hash and NalimovCache) passes here.
int32_t holdableMB(int64_t requestMB, int32_t fallbackMB, const char* what, Output& out);

// The transposition table and the pawn and evaluation caches of every search
// thread take `totalMB` together from now on (also when the number of threads
// changes), shared out as the configured sizes share them, each at least 1 MB.
// A transposition table that cannot be had is halved until it can, with a message.
void resizeTables(Engine& engine, int32_t totalMB, Output& out);
// Sizes the transposition table from its mainHashMB; with `announce` its size
// line goes straight to standard output (as the caches', not logged).
void sizeMainTable(MainHashTable& table, bool announce);
// The megabytes all tables take: the budget in force, or the sum of their sizes.
int32_t memoryBudgetMB(const Engine& engine);

// The lines that report a cache's size (after a line saying its memory could
// not be had), and their printing on standard output. Like the transposition
// table's size line they do not go to the log.
std::string cacheSizeLines(const CacheAllocation& allocation);
void announceCache(const CacheAllocation& allocation);

// The engine's evaluation parameters have changed: the piece-square tables
// built from them are built again, every evaluator's caches emptied and the
// position's sums recomputed.
void applyEvaluationChange(Engine& engine);

// The modern profile's parameters from now on: those of the file at `path`
// (fields it leaves out keep their built-in values), or the built-in set for
// an empty path. A file that cannot be read or is refused changes nothing and
// is reported on `out`, naming the line; the return says which happened.
bool loadModernEvalParams(Engine& engine, const std::string& path, Output& out);
// The same without rebuilding the evaluation's tables, for start-up, which
// builds them once the whole configuration is read.
bool readModernEvalParams(Engine& engine, const std::string& path, Output& out);
