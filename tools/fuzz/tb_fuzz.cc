// libFuzzer target: plain (uncompressed) tablebase files as the probe code
// reads them. Every three-man table of the target is written and registered
// once per process, at the length the table needs (a wrong length is refused
// at registration by design). Each input picks a table with its first byte
// and rewrites that table's files in place with the remaining bytes, repeated;
// the block cache is then emptied and the files closed, so that every probe
// reads the new contents. Positions built from the same bytes are probed: any
// byte value in the file must come back as a score or as no answer, never as
// a crash. (Registering per input would spend nearly all the time opening
// every spelling of every table name.)
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "board/board.h"
#include "egtb/registry.h"
#include "egtb/tablebases.h"
#include "eval/tables.h"
#include "fuzz_support.h"

namespace {

const char* const TABLES[] = {"kqk", "krk", "kbk", "knk", "kpk"};
const char PIECES[] = {'Q', 'R', 'B', 'N', 'P'};

void writeTable(const char* name, int side, uint64_t length, const uint8_t* data, size_t size) {
    const std::string path = std::string("tb/") + name + (side == 0 ? ".nbw" : ".nbb");
    // The bytes repeated: one copy, then the filled part doubled (a byte loop
    // here, instrumented for coverage, would take most of each run).
    static std::vector<uint8_t> bytes;
    bytes.resize(length);
    size_t filled = std::min<size_t>(size, length);
    std::memcpy(bytes.data(), data, filled);
    while (filled < length) {
        const size_t part = std::min<size_t>(filled, length - filled);
        std::memcpy(bytes.data() + filled, bytes.data(), part);
        filled += part;
    }
    fuzzsupport::writeFile(path.c_str(), bytes.data(), bytes.size());
}

// Writes every file of table `name` with the bytes, repeated.
void writeTableFiles(const char* name, const uint8_t* data, size_t size) {
    const egtb::TableDescriptor& d = egtb::descriptor(egtb::tableNumber(name));
    const int sides = (d.flags & egtb::TABLE_SYMMETRIC) ? 1 : 2;
    for (int side = 0; side < sides; ++side) writeTable(name, side, d.count[side], data, size);
}

// Registers the tables of the scratch directory's tb/ (again after a read
// failure has made the cache drop a file); false when that fails.
bool tablesRegistered() {
    for (const char* name : TABLES)
        if (egtb::descriptor(egtb::tableNumber(name)).files[0][0].name.empty())
            return loadTablebases("tb", 1, true);
    return true;
}

// The block cache, emptied before each input (this also closes the files).
std::vector<uint8_t>& cacheBuffer() {
    static std::vector<uint8_t> buffer(size_t{1} << 20);
    return buffer;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::enterScratchDirectory();
    initEvalTables();
    egtb::initDescriptors();
    std::filesystem::create_directory("tb");
    setTablebaseOutput([](const char*) {});
    const uint8_t zero = 0;
    for (const char* name : TABLES) {
        if (egtb::tableNumber(name) < 0) std::abort();
        writeTableFiles(name, &zero, 1);
    }
    if (!loadTablebases("tb", 1, true)) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int which = data[0] % 5;
    ++data;
    --size;
    writeTableFiles(TABLES[which], data, size);
    if (!tablesRegistered()) std::abort();
    if (!egtb::setUpCache(cacheBuffer().data(), cacheBuffer().size())) std::abort();

    // Positions: white king, black king and the piece on squares from the bytes.
    Board board;
    for (size_t i = 0; i + 3 <= size && i < 96; i += 3) {
        const int wk = data[i] & 63, bk = data[i + 1] & 63, piece = data[i + 2] & 63;
        if (wk == bk || wk == piece || bk == piece) continue;
        if (PIECES[which] == 'P' && (piece < 8 || piece >= 56)) continue;
        char rows[8][9] = {};
        for (auto& row : rows) std::snprintf(row, sizeof row, "11111111");
        rows[7 - wk / 8][wk % 8] = 'K';
        rows[7 - bk / 8][bk % 8] = 'k';
        rows[7 - piece / 8][piece % 8] =
            (data[i + 2] & 64) ? static_cast<char>(PIECES[which] + 32) : PIECES[which];
        std::string fen;
        for (int r = 0; r < 8; ++r) fen += std::string(rows[r]) + (r < 7 ? "/" : "");
        fen += (data[i + 2] & 128) ? " b - -" : " w - -";
        if (!board.readFen(fen.c_str())) std::abort();
        // Only positions a game can reach: the side not to move is not in check.
        const int side = board.side;
        if (board.isAttacked(side, board.kingSquare(side ^ 1))) continue;
        int score = 0;
        probeTablebases(board, 0, score);
    }
    return 0;
}
