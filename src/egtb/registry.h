// The tablebase registry: the fixed list of table descriptors, the counter tree
// that finds a table from the material, the registered files, the block cache
// and the reading of stored values. Process-wide, built at start-up.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "egtb/emd.h"
#include "egtb/indexing.h"

namespace egtb {

constexpr int TABLE_COUNT = 376;
constexpr int EXTENTS = 18;
constexpr int CACHE_CHAINS = 32;
constexpr int CACHE_ENTRY_BYTES = 8260;
constexpr int CACHE_HEADER_BYTES = 32;
constexpr int CACHE_DATA_BYTES = 8228; // one 8,192-byte block and the decoder's slack
constexpr int BLOCK_BYTES = 8192;

// Stored values: 32767 broken or unknown, 0 draw, positive a win, negative a loss.
constexpr int STORED_BROKEN = 32767;

enum TableFlag : int { TABLE_SYMMETRIC = 1, TABLE_TWO_BYTES = 2, TABLE_SPLIT = 4 };

extern const char* const TABLE_NAMES[TABLE_COUNT];

struct TableFile {
    std::string name; // empty: not registered (or disabled after a failure)
    FILE* file = nullptr;
    std::unique_ptr<EmdDecoder> decoder;
};

struct TableDescriptor {
    const char* name = "";
    int flags = 0;
    TableMaterial material;
    IndexPlan plan[2];
    uint64_t count[2] = {0, 0};
    TableFile files[2][EXTENTS];
    std::vector<int32_t> chains[2]; // CACHE_CHAINS heads once a file of that side is registered
};

// The 376 descriptors, built once by initDescriptors().
TableDescriptor& descriptor(int table);
void initDescriptors();
int tableFlags(const char* name);
// Table number of a name, or -1.
int tableNumber(const char* name);

// From a material signature (pawns, knights, bishops, rooks, queens of the
// first side, then of the second) to a signed table number: +n the table as
// written, -n with colours exchanged, 0 none.
class CounterTree {
  public:
    CounterTree();
    void clear();
    bool enter(const int counts[10], int value);
    int lookup(const int counts[10]) const;

  private:
    int build(int level, int remaining);
    std::vector<int32_t> nodes_; // per node: its length, then children (or leaves)
};

// Signature of a table as written and exchanged.
void tableSignature(const TableMaterial& material, bool exchanged, int counts[10]);

// Every table of the list, registered or not (the generator's view).
const CounterTree& allTablesTree();

// The registered tables.
CounterTree& registeredTree();

// Output of the registry: every message goes through this hook (the engine
// routes it through its print routine; by default the messages go nowhere).
extern std::function<void(const char*)> tablebaseOutput;
void tablebasePrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Registration failures end the program through this hook (exit code 1).
extern std::function<void(int)> tablebaseExit;

// --- registration (registry.cpp) ----------------------------------------------
// Returns the men available (0, 3, 4, 5 or 6).
int initTablebases(const char* paths);
bool registerFile(int table, int side, int extent, const std::string& directory);
void closeTableFiles();
int highestRegisteredTable();

// --- block cache (blockcache.cpp) ---------------------------------------------
// Lays out a cache in `buffer` (the registry keeps it); false below 32 bytes.
bool setUpCache(uint8_t* buffer, size_t size);
size_t cacheEntries();
// The byte at `offset` of block `block` of (table, side); false when unreadable.
bool cachedByte(int table, int side, uint64_t block, uint32_t offset, uint8_t& value);
struct CacheCounters {
    uint64_t hits = 0;
    uint64_t misses = 0;
};
extern CacheCounters cacheCounters;

// --- stored values (probe.cpp) ---------------------------------------------------
int readStoredValue(int table, int side, uint64_t index);
// kppkp with black to move: seven entries whose losses of 127 moves are one
// move longer than a byte can say; they hold the byte of 126 moves.
constexpr int KPPKP_TABLE = 36;
bool isKppkpLongLoss(int table, int side, uint64_t index);
// Stored one-byte entry to stored value and back (generator).
int byteToStoredValue(int8_t byte);
bool storedValueToByte(int value, int8_t& byte);

} // namespace egtb
