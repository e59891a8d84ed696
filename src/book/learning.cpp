// Learning: searched positions kept in learn.dat and loaded into the
// transposition table at every new game, and game results written back into
// the book records of the positions the engine's moves reached.
#include <algorithm>
#include <vector>

#include "book/book.h"
#include "book/learning.h"
#include "book/openingbook.h"

namespace {

constexpr uint8_t LEARN_WHITE_TO_MOVE = 0x80; // bit 7 of a stored entry's flags

uint64_t initialPositionKey() {
    static const uint64_t key = [] {
        Board board;
        board.setStartPosition();
        return board.key;
    }();
    return key;
}

bool writeLearnHeader(FILE* file, uint32_t count, uint32_t wrapped) {
    unsigned char header[LEARN_HEADER_BYTES];
    putU32(header, count);
    putU32(header + 4, wrapped);
    return writeAt(file, 0, header, sizeof header);
}

} // namespace

int LearnStore::open() {
    close();
    file = std::fopen(path, "r+b");
    if (file) {
        unsigned char header[LEARN_HEADER_BYTES];
        const bool read = readAt(file, 0, header, sizeof header);
        learnCount = read ? getU32(header) : 0;
        learnWrapped = read ? getU32(header + 4) : 0;
        return 1;
    }
    // A new store is opened for reading too, so that it can be loaded at once.
    file = std::fopen(path, "w+b");
    if (!file) return 0;
    learnCount = learnWrapped = 0;
    writeLearnHeader(file, 0, 0);
    std::fflush(file);
    return 1;
}

void LearnStore::close() {
    if (file) std::fclose(file);
    file = nullptr;
}

void LearnStore::load(MainHashTable& table, Output& out) {
    if (!file) return;
    // 1-2. Header; a ring that has wrapped is full: all its records count.
    unsigned char header[LEARN_HEADER_BYTES];
    const bool read = readAt(file, 0, header, sizeof header);
    learnCount = read ? getU32(header) : 0;
    learnWrapped = read ? getU32(header + 4) : 0;
    const uint32_t wanted = learnWrapped ? LEARN_RING_SIZE : std::min(learnCount, LEARN_RING_SIZE);

    // 3. Each entry goes to the half of its bucket for its side to move, marked learned.
    std::vector<unsigned char> bytes(size_t{wanted} * BOOK_RECORD_BYTES);
    size_t got = 0;
    if (wanted > 0 && seekFile(file, LEARN_HEADER_BYTES)) {
        got = std::fread(bytes.data(), BOOK_RECORD_BYTES, wanted, file);
    }
    int loaded = 0;
    for (size_t i = 0; i < got; ++i) {
        HashEntry entry = decodeHashEntry(bytes.data() + i * BOOK_RECORD_BYTES);
        if (entry.keyLow == 0 && entry.keyHigh == 0) continue;
        const int side = (entry.flags & LEARN_WHITE_TO_MOVE) ? WHITE : BLACK;
        entry.flags |= HASH_LEARNED;
        table.storeRaw(side, entry);
        ++loaded;
    }
    out.print("%d learned positions\n", loaded);
}

void LearnStore::learnPosition(const Position& position, MainHashTable& table) {
    if (!file) return;
    const Board& board = position.board;
    HashEntry entry = table.readEntry(tableKey(board.side, board.key));
    if (entry.keyLow == 0 && entry.keyHigh == 0) return;
    if (learnCount > LEARN_RING_LAST) {
        learnCount = 0;
        learnWrapped = 1;
    }
    if (board.side == WHITE)
        entry.flags |= LEARN_WHITE_TO_MOVE;
    else
        entry.flags &= static_cast<uint8_t>(~LEARN_WHITE_TO_MOVE);
    unsigned char bytes[BOOK_RECORD_BYTES];
    encodeHashEntry(entry, bytes);
    writeAt(file, LEARN_HEADER_BYTES + int64_t{learnCount} * BOOK_RECORD_BYTES, bytes, sizeof bytes);
    ++learnCount;
    writeLearnHeader(file, learnCount, learnWrapped);
    std::fflush(file);
}

void OpeningBook::learnFromResult(const Position& game, int result, int learnColor) {
    FM_ASSERT(result >= NO_RESULT && result <= DRAWN && game.gamePly < HISTORY_SIZE);
    if (!file || result < 1 || result > 3 || (learnColor != WHITE && learnColor != BLACK)) return;
    // Only games played from the standard initial position are learned.
    if (game.history[0].key != initialPositionKey()) return;

    // The result as the engine saw it.
    int outcome = result;
    if (learnColor == BLACK && result != 3) outcome = 3 - result;

    // Entry k holds the position after ply k; white made ply 1, so the engine's
    // moves reached the entries k with (k - 1) % 2 == learnColor. The final
    // position is not looked at.
    for (int k = 1 + learnColor; k < game.gamePly; k += 2) {
        const uint64_t key = game.history[k].key;
        BookRecord record;
        const int64_t offset = lookup(keyLow(key), keyHigh(key), learnColor, record);
        if (offset == 0) continue;
        if (outcome == 1) {
            record.wins = saturate16(record.wins + 1u);
            record.learn = saturate16(static_cast<uint64_t>(record.learn * 1.2));
        } else if (outcome == 2) {
            record.losses = saturate16(record.losses + 1u);
            record.learn = saturate16(static_cast<uint64_t>(record.learn * 0.833));
        } else {
            record.draws = saturate16(record.draws + 1u);
        }
        unsigned char bytes[BOOK_RECORD_BYTES];
        encodeBookRecord(record, bytes);
        writeAt(file, offset, bytes, sizeof bytes);
    }
    std::fflush(file);
}
