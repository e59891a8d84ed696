// Polyglot opening books (.bin): a file of 16-byte big-endian entries
//   u64 key, u16 move, u16 weight, u32 learn,
// sorted by key, one entry per book move of a position. The move word holds
// the to-square in bits 0-5, the from-square in bits 6-11 (both rank * 8 +
// file) and the promotion piece in bits 12-14 (1 knight .. 4 queen); castling
// is written as the king taking its own rook (e1h1, e1a1, e8h8, e8a8).
//
// The reader keeps the whole file in memory and answers lookups by binary
// search. Nothing in it depends on the shell, so any front end can probe it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "board/board.h"

struct PolyglotEntry {
    uint64_t key;
    uint16_t move;
    uint16_t weight;
    uint32_t learn;
};

constexpr size_t POLYGLOT_ENTRY_BYTES = 16;
// Larger files are refused rather than read into memory.
constexpr uint64_t POLYGLOT_MAX_BYTES = uint64_t{1} << 30;

PolyglotEntry decodePolyglotEntry(const unsigned char* bytes);

// The Polyglot move word of an engine move, and back. Decoding looks the move
// up among the legal moves of the position, so it gives NO_MOVE for anything
// that cannot be played there; a castling written king-to-destination (e1g1),
// as some other book writers do, is found as well.
uint16_t polyglotMoveCode(Move move);
Move polyglotMoveToEngine(const Board& board, uint16_t code, const Move* legal, int legalCount);

enum class PolyglotStatus {
    OK,
    MISSING,      // no file at the path
    NOT_A_FILE,   // a directory or a device
    EMPTY,        // zero bytes
    BAD_SIZE,     // not a whole number of entries
    TOO_LARGE,    // beyond POLYGLOT_MAX_BYTES
    UNREADABLE,   // the file could not be read to its end
    OUT_OF_ORDER, // keys are not sorted
    NO_MEMORY
};

struct PolyglotLoad {
    PolyglotStatus status = PolyglotStatus::OK;
    std::string message; // empty on success, else one line naming the file and the fault
    bool ok() const { return status == PolyglotStatus::OK; }
};

// A book move of a position: a legal engine move and the weight the book gives it.
struct BookChoice {
    Move move;
    uint32_t weight;
};

class PolyglotBook {
  public:
    // Reads and checks the whole file. On any failure the book is left closed.
    PolyglotLoad open(const std::string& path);
    void close();
    bool isOpen() const { return !entries.empty(); }
    size_t entryCount() const { return entries.size(); }
    const std::string& path() const { return bookPath; }

    // The entries stored under a key, in file order; valid until the book is
    // closed or reopened.
    std::span<const PolyglotEntry> entriesFor(uint64_t key) const;

    // Every legal move of the position that the book lists, once each, in
    // file order. Entries that name no legal move are skipped; an entry that
    // repeats a move adds its weight to the first.
    std::vector<BookChoice> movesFor(const Board& board) const;

    // A book move for the position, or NO_MOVE. By default the choice is
    // random with chances in proportion to the weights, driven by `random`
    // (any uniformly drawn 64-bit number). `bestOnly` takes the highest weight,
    // the first one listed on ties. A move of weight zero is never chosen.
    Move chooseMove(const Board& board, uint64_t random, bool bestOnly) const;

  private:
    std::vector<PolyglotEntry> entries;
    std::string bookPath;
};

// The pick among the moves of one position, as chooseMove makes it.
Move chooseBookMove(const std::vector<BookChoice>& choices, uint64_t random, bool bestOnly);
