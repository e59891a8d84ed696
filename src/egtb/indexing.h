// Index functions of the tablebase files: a position of a table's material
// maps to its entry number. Built from shared tables (board symmetries, king
// pair numberings, per-kind square enumerations and the pair offsets of every
// combination of piece kinds) and one plan per table and side to move.
#pragma once

#include <cstdint>

namespace egtb {

// Squares are 0..63 (rank * 8 + file). A side's men come in a 16-slot array:
// pawns 0-2, knights 3-5, bishops 6-8, rooks 9-11, queens 12-14, king 15.
constexpr int PAWN_SLOT = 0, KNIGHT_SLOT = 3, BISHOP_SLOT = 6, ROOK_SLOT = 9, QUEEN_SLOT = 12, KING_SLOT = 15;
constexpr int SLOTS = 16;

// The en-passant square argument when there is none.
constexpr int NO_EP_SQUARE = 127;

// Returned for positions that have no entry (touching kings, a piece on a
// square its enumeration excludes, a malformed en-passant square).
constexpr uint64_t NO_INDEX = ~uint64_t{0};

// The six enumeration kinds: a pawn that may attack the other king (p), a pawn
// that may not (P), and the four pieces, each excluded from the squares where
// it would give check to the other king at contact range.
enum EnumerationKind : uint8_t {
    KIND_PAWN_FREE = 0,
    KIND_PAWN,
    KIND_KNIGHT,
    KIND_BISHOP,
    KIND_ROOK,
    KIND_QUEEN
};
constexpr int KIND_COUNT = 6;
constexpr uint8_t NOT_ALLOWED = 255;
constexpr uint16_t NO_PAIR = 4000;
constexpr int PAWN_KING_PAIRS = 1806;
constexpr int PAWNLESS_KING_PAIRS = 462;

struct IndexTables {
    uint8_t enumeration[KIND_COUNT][64][64]; // [kind][king][square] -> number or NOT_ALLOWED
    uint8_t allowed[KIND_COUNT][64];         // [kind][king] -> count of allowed squares
    uint16_t pawnPair[64][64];               // first king on files a-d
    uint16_t pawnlessPair[64][64];           // first king in the triangle a1-d1-d4
    uint8_t pawnPairKings[PAWN_KING_PAIRS][2];
    uint8_t pawnlessPairKings[PAWNLESS_KING_PAIRS][2];
    uint8_t fileMirror[64];
    uint8_t quarterMask[64];
    uint8_t transpose[64];
    bool inTriangle[64];
    bool offDiagonal[64];
    bool onOrBelowDiagonal[64];
};

// Built by initIndexTables(); read-only afterwards.
const IndexTables& indexTables();
void initIndexTables();

// n choose k for the small arguments of piece combinations (k <= 3).
constexpr uint64_t choose(uint64_t n, int k) {
    if (k == 0) return 1;
    if (n < static_cast<uint64_t>(k)) return 0;
    if (k == 1) return n;
    if (k == 2) return n * (n - 1) / 2;
    return n * (n - 1) * (n - 2) / 6;
}

// Men of one kind and side that are numbered together.
struct ManGroup {
    uint8_t kind;  // EnumerationKind for pair-offset groups; piece slot kind for digits
    uint8_t count; // 1 to 3
    uint8_t slot;  // first slot in the side's array
    bool pawn;     // pawns as digits skip placed pawns only
};

// How one table and side to move maps positions to entries.
//  - The men of the side to move (or, when it has none, the other side's pawns
//    as free pawns) are numbered through the enumerations relative to the other
//    king and form, after the pair offset, mixed-radix digits, queens most
//    significant, pawns least.
//  - The other side's pawns follow as digits over ranks 2-7 less the placed
//    pawns, then its pieces, queens first, each over the squares no placed man holds.
struct IndexPlan {
    bool pawnFrame = false;     // the table has pawns
    bool moverIsSecond = false; // side 1: the second array's side is to move
    bool epEntries = false;     // en-passant entries follow the normal ones (kpkp)
    uint8_t offsetGroupCount = 0;
    uint8_t digitGroupCount = 0;
    uint8_t moverPawns = 0;         // pawns placed before the other side's pawn digits
    uint8_t offsetMenFromMover = 1; // 0 when the offset men are the other side's pawns
    ManGroup offsetGroups[3]{};
    ManGroup digitGroups[4]{};
    uint64_t digitRadix[4]{};
    const uint64_t* pairOffsets = nullptr; // per king pair, plus the total at the end
    int pairCount = 0;
    uint64_t normalCount = 0; // entries without en passant
    uint64_t count = 0;       // every entry of the file
};

// Men per side parsed from a table name such as "krbkr": counts by slot kind
// (0 pawns, 1 knights, 2 bishops, 3 rooks, 4 queens) for the first and second side.
struct TableMaterial {
    int first[5] = {0, 0, 0, 0, 0};
    int second[5] = {0, 0, 0, 0, 0};
    bool hasPawns() const { return first[0] + second[0] > 0; }
    int men() const;
};
bool parseTableName(const char* name, TableMaterial& material);

// Builds the plan for `side` (0: first side to move, 1: second side to move).
// Needs initIndexTables(). False when the material cannot be indexed.
bool buildIndexPlan(const TableMaterial& material, int side, IndexPlan& plan);

// The entry of a position: `first` and `second` are the two sides' 16-slot
// arrays in table order, `exchanged` is set when the first side is Black.
// NO_INDEX when the position has no entry.
uint64_t tableIndex(const IndexPlan& plan, const int* first, const int* second, int epSquare, bool exchanged);

} // namespace egtb
