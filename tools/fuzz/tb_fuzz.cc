// libFuzzer target: plain (uncompressed) tablebase files as the registry and
// the probe code read them. The first byte picks a three-man table; its files
// are written at the length the table needs (a wrong length is refused at
// registration by design) with the remaining bytes, repeated, as contents.
// Then positions built from the same bytes are probed: any byte value in the
// file must come back as a score or as no answer, never as a crash.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "board/board.h"
#include "egtb/registry.h"
#include "egtb/tablebases.h"
#include "eval/weights.h"
#include "fuzz_support.h"

namespace {

const char* const TABLES[] = {"kqk", "krk", "kbk", "knk", "kpk"};
const char PIECES[] = {'Q', 'R', 'B', 'N', 'P'};

void writeTable(const char* name, int side, uint64_t length, const uint8_t* data, size_t size) {
    const std::string path = std::string("tb/") + name + (side == 0 ? ".nbw" : ".nbb");
    std::vector<uint8_t> bytes(length);
    for (uint64_t i = 0; i < length; ++i) bytes[i] = data[i % size];
    fuzzsupport::writeFile(path.c_str(), bytes.data(), bytes.size());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::enterScratchDirectory();
    initEvalTables();
    egtb::initDescriptors();
    std::filesystem::create_directory("tb");
    setTablebaseOutput([](const char*) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int which = data[0] % 5;
    ++data;
    --size;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("tb")) std::filesystem::remove(entry, ignored);
    const int table = egtb::tableNumber(TABLES[which]);
    if (table < 0) std::abort();
    const egtb::TableDescriptor& d = egtb::descriptor(table);
    const int sides = (d.flags & egtb::TABLE_SYMMETRIC) ? 1 : 2;
    for (int side = 0; side < sides; ++side) writeTable(TABLES[which], side, d.count[side], data, size);
    if (!loadTablebases("tb", 1, true)) return 0;

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
        rows[7 - piece / 8][piece % 8] = (data[i + 2] & 64) ? static_cast<char>(PIECES[which] + 32) : PIECES[which];
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
