// Helpers of the tablebase tests: generated tables kept in the build tree, a
// plain position model with its own legality test, and FEN output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "egtb/generator.h"
#include "egtb/indexing.h"
#include "egtb/registry.h"
#include "testutil.h"

namespace tbtest {

// A position of a table's material: men in the table's order (first side's
// king, second side's king, first side's men, second side's men).
struct Placement {
    int piece[8];  // board piece codes
    int colour[8]; // 0 first side, 1 second side
    int square[8];
    int men = 0;
};

// The men of a table, squares unset.
Placement menOf(const egtb::TableDescriptor& d);

// Legal with `side` to move: distinct squares, pawns on ranks 2-7, kings apart,
// the side not to move not in check. Written independently of the generator.
bool legalPlacement(const Placement& p, int side);

// The 16-slot arrays of both sides.
void slotArrays(const Placement& p, int first[16], int second[16]);

// FEN of the position with the first side as White (or as Black when `exchanged`).
std::string fenOf(const Placement& p, int side, bool exchanged = false);

// The generated tables, made once per test run and kept in the build tree:
// a directory of uncompressed files and one of compressed files.
struct GeneratedTables {
    std::string plain;
    std::string packed;
    egtb::TableStore* store;
};
const GeneratedTables& generatedTables();

// Table numbers the tests generate: three-man tables always, some four-man
// tables in fast builds, kpkp only with FALKMERE_EGTB_FULL_TESTS set.
std::vector<int> testTables();
bool fullTableTests();

// A fresh empty directory under the system's temporary folder.
std::string freshDirectory(const std::string& tag);

// Captures the tablebase output while alive.
class CapturedOutput {
  public:
    CapturedOutput();
    ~CapturedOutput();
    const std::string& text() const { return text_; }

  private:
    std::string text_;
};

// Loads the tablebases from `paths` with a cache of `cacheMB`, quietly; returns men available.
int load(const std::string& paths, int cacheMB = 4);

} // namespace tbtest
