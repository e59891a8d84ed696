// Probing: from the board to a table entry, from the stored value to a score.
#include <mutex>

#include "board/position.h"
#include "board/score.h"
#include "egtb/registry.h"
#include "egtb/tablebases.h"

namespace egtb {

namespace {

constexpr int KPPKP_LONG_LOSS_VALUE = -32639;

// Slot of each board piece code (none, king, queen, rook, bishop, knight, pawn).
constexpr int SLOT_OF_PIECE[7] = {-1, KING_SLOT, QUEEN_SLOT, ROOK_SLOT, BISHOP_SLOT, KNIGHT_SLOT, PAWN_SLOT};
// Signature position of each piece code (pawns, knights, bishops, rooks, queens).
constexpr int COUNT_OF_PIECE[7] = {-1, -1, 4, 3, 2, 1, 0};

bool extentRegistered(const TableDescriptor& d, int side) {
    for (const auto& file : d.files[side])
        if (!file.name.empty()) return true;
    return false;
}

} // namespace

bool isKppkpLongLoss(int table, int side, uint64_t index) {
    constexpr uint64_t LONG_LOSSES[7] = {0x362BC7C, 0x362DE44, 0x3637648, 0x3639810,
                                         0x38D4F29, 0x40A2CAB, 0x43C778C};
    if (table != KPPKP_TABLE || side != 1) return false;
    for (uint64_t special : LONG_LOSSES)
        if (index == special) return true;
    return false;
}

int byteToStoredValue(int8_t b) {
    if (b == 0) return 0;
    if (b == 127) return STORED_BROKEN;
    if (b >= 1) return b + 32640;
    if (b >= -126) return b - 32640;
    if (b == -127) return -32640;
    return 32640;
}

bool storedValueToByte(int value, int8_t& byte) {
    if (value == 0 || value == STORED_BROKEN) {
        byte = static_cast<int8_t>(value == 0 ? 0 : 127);
        return true;
    }
    if (value >= 32641 && value <= 32766)
        byte = static_cast<int8_t>(value - 32640);
    else if (value == 32640)
        byte = -128;
    else if (value >= -32766 && value <= -32641)
        byte = static_cast<int8_t>(value + 32640);
    else if (value == -32640)
        byte = -127;
    else
        return false;
    return true;
}

int readStoredValue(int table, int side, uint64_t index) {
    FM_ASSERT(table >= 0 && table < TABLE_COUNT && (side == 0 || side == 1));
    TableDescriptor& d = descriptor(table);
    if (d.flags & TABLE_SYMMETRIC) side = 0;
    if (cacheEntries() == 0) return STORED_BROKEN;
    const bool twoBytes = (d.flags & TABLE_TWO_BYTES) != 0;
    const uint64_t block = twoBytes ? index >> 12 : index >> 13;
    const uint64_t extent = (d.flags & TABLE_SPLIT) ? block >> 18 : 0;
    if (extent >= EXTENTS || d.files[side][extent].name.empty()) return STORED_BROKEN;

    if (twoBytes) {
        const uint32_t offset = static_cast<uint32_t>(2 * (index & 0xFFF));
        uint8_t low, high;
        if (!cachedByte(table, side, block, offset, low) || !cachedByte(table, side, block, offset + 1, high))
            return STORED_BROKEN;
        return static_cast<int8_t>(high) * 256 + low;
    }
    uint8_t byte;
    if (!cachedByte(table, side, block, static_cast<uint32_t>(index & 0x1FFF), byte)) return STORED_BROKEN;
    // The few kppkp entries lost in 127 moves hold the longest loss a byte can say.
    if (static_cast<int8_t>(byte) == -127 && isKppkpLongLoss(table, side, index))
        return KPPKP_LONG_LOSS_VALUE;
    return byteToStoredValue(static_cast<int8_t>(byte));
}

} // namespace egtb

TablebaseStats tablebaseStats;

namespace {
std::mutex probeMutex;
} // namespace

bool probeTablebases(const Board& board, int ply, int& score) {
    FM_ASSERT(ply >= 0 && ply < MAX_PLY);
    using namespace egtb;
    ++tablebaseStats.probes;

    // 1. The two sides' men in slot arrays, and the material signature.
    int squares[2][SLOTS] = {};
    int counts[10] = {};
    for (int colour = 0; colour < 2; ++colour) {
        int used[7] = {0, 0, 0, 0, 0, 0, 0};
        for (int piece = KING; piece <= PAWN; ++piece) {
            for (const PieceEntry* e = board.pieceList[colour][piece]; e; e = e->next) {
                const int limit = piece == KING ? 1 : 3;
                if (used[piece] == limit) return false;
                squares[colour][SLOT_OF_PIECE[piece] + used[piece]++] = square64(e->square);
            }
        }
        if (used[KING] != 1) return false;
        for (int piece = QUEEN; piece <= PAWN; ++piece)
            counts[colour * 5 + COUNT_OF_PIECE[piece]] = used[piece];
    }

    // 2. The table, possibly with colours exchanged. The registry, the block
    //    cache and the files are shared by every search thread: one probe at a time.
    const std::lock_guard<std::mutex> lock(probeMutex);
    int table = registeredTree().lookup(counts);
    if (table == 0) return false;
    const bool exchanged = table < 0;
    if (exchanged) table = -table;
    int side = exchanged ? 1 - board.side : board.side;
    const int* first = exchanged ? squares[BLACK] : squares[WHITE];
    const int* second = exchanged ? squares[WHITE] : squares[BLACK];
    const TableDescriptor& d = descriptor(table);
    const int fileSide = (d.flags & TABLE_SYMMETRIC) ? 0 : side;
    if (!extentRegistered(d, fileSide)) return false;

    // 3. The entry and its stored value.
    const uint64_t index = tableIndex(d.plan[side], first, second, NO_EP_SQUARE, exchanged);
    if (index == NO_INDEX || index >= d.count[side]) return false;
    const int value = readStoredValue(table, side, index);
    if (value == STORED_BROKEN) return false;

    // 4. The search's own scale, where the side mated at ply p scores
    //    p - MATE_SCORE: a win in n moves (stored 32767 - n) mates at
    //    ply + 2n - 1, a loss in n moves (stored n - 32766) is mated at ply + 2n.
    if (value > 0)
        score = MATE_SCORE - (ply + 2 * (32767 - value) - 1);
    else if (value < 0)
        score = ply + 2 * (value + 32766) - MATE_SCORE;
    else
        score = 0;
    ++tablebaseStats.hits;
    return true;
}
