#include "egtb/tbtestutil.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "egtb/tablebases.h"

namespace tbtest {

namespace {

// The descriptor list is built once, as the program does at start-up.
class DescriptorEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { egtb::initDescriptors(); }
};
const auto* const descriptorEnvironment = ::testing::AddGlobalTestEnvironment(new DescriptorEnvironment);

bool attacksSquare(const Placement& p, int man, int target, uint64_t occupied) {
    const int from = p.square[man];
    const int dr = (target >> 3) - (from >> 3), df = (target & 7) - (from & 7);
    const int adr = std::abs(dr), adf = std::abs(df);
    auto pathClear = [&] {
        const int sr = (dr > 0) - (dr < 0), sf = (df > 0) - (df < 0);
        for (int r = (from >> 3) + sr, f = (from & 7) + sf; r * 8 + f != target; r += sr, f += sf)
            if ((occupied >> (r * 8 + f)) & 1) return false;
        return true;
    };
    switch (p.piece[man]) {
        case KING:
            return adr <= 1 && adf <= 1 && (adr | adf);
        case KNIGHT:
            return (adr == 1 && adf == 2) || (adr == 2 && adf == 1);
        case PAWN:
            return adf == 1 && dr == (p.colour[man] == 0 ? 1 : -1);
        case BISHOP:
            return adr == adf && adr && pathClear();
        case ROOK:
            return (adr == 0) != (adf == 0) && pathClear();
        default:
            return ((adr == adf && adr) || ((adr == 0) != (adf == 0))) && pathClear();
    }
}

} // namespace

Placement menOf(const egtb::TableDescriptor& d) {
    static constexpr int PIECES[5] = {PAWN, KNIGHT, BISHOP, ROOK, QUEEN};
    Placement p;
    p.piece[0] = KING, p.colour[0] = 0;
    p.piece[1] = KING, p.colour[1] = 1;
    p.men = 2;
    for (int side = 0; side < 2; ++side) {
        const int* counts = side == 0 ? d.material.first : d.material.second;
        for (int k = 0; k < 5; ++k)
            for (int i = 0; i < counts[k] && p.men < 8; ++i) {
                p.piece[p.men] = PIECES[k];
                p.colour[p.men++] = side;
            }
    }
    return p;
}

bool legalPlacement(const Placement& p, int side) {
    uint64_t occupied = 0;
    for (int i = 0; i < p.men; ++i) {
        const uint64_t bit = uint64_t{1} << p.square[i];
        if (occupied & bit) return false;
        occupied |= bit;
        if (p.piece[i] == PAWN && (p.square[i] < 8 || p.square[i] > 55)) return false;
    }
    const int k0 = p.square[0], k1 = p.square[1];
    if (std::abs((k0 >> 3) - (k1 >> 3)) <= 1 && std::abs((k0 & 7) - (k1 & 7)) <= 1) return false;
    const int victimKing = p.square[1 - side];
    for (int i = 0; i < p.men; ++i)
        if (p.colour[i] == side && attacksSquare(p, i, victimKing, occupied)) return false;
    return true;
}

void slotArrays(const Placement& p, int first[16], int second[16]) {
    using namespace egtb;
    static constexpr int SLOT_OF_PIECE[7] = {-1,          KING_SLOT,   QUEEN_SLOT, ROOK_SLOT,
                                             BISHOP_SLOT, KNIGHT_SLOT, PAWN_SLOT};
    int used[2][7] = {};
    for (int i = 0; i < 16; ++i) first[i] = second[i] = 0;
    for (int i = 0; i < p.men; ++i) {
        int* target = p.colour[i] == 0 ? first : second;
        target[SLOT_OF_PIECE[p.piece[i]] + used[p.colour[i]][p.piece[i]]++] = p.square[i];
    }
}

std::string fenOf(const Placement& p, int side, bool exchanged) {
    char board[64] = {};
    for (int i = 0; i < p.men; ++i) {
        const int colour = exchanged ? 1 - p.colour[i] : p.colour[i];
        const int square = exchanged ? p.square[i] ^ 56 : p.square[i];
        board[square] = PIECE_LETTERS[p.piece[i] + (colour == 0 ? 0 : 6)];
    }
    // Empty squares count up the digit before them.
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
        for (int file = 0; file < 8; ++file) {
            const char c = board[rank * 8 + file];
            if (!c && !fen.empty() && fen.back() >= '1' && fen.back() <= '7')
                ++fen.back();
            else
                fen += c ? c : '1';
        }
        if (rank) fen += '/';
    }
    const int toMove = exchanged ? 1 - side : side;
    fen += toMove == 0 ? " w - -" : " b - -";
    return fen;
}

bool fullTableTests() { return !kSlowBuild && std::getenv("FALKMERE_EGTB_FULL_TESTS") != nullptr; }

std::vector<int> testTables() {
    std::vector<int> tables = {1, 2, 3, 4, 5}; // kpk knk kbk krk kqk
    if (!kSlowBuild)
        for (const char* name : {"kqkr", "kbnk", "kbbk", "knnk"}) tables.push_back(egtb::tableNumber(name));
    // kpkp needs nearly every other four-man table for its promotions.
    if (fullTableTests()) tables.push_back(egtb::tableNumber("kpkp"));
    return tables;
}

const GeneratedTables& generatedTables() {
    static GeneratedTables tables = [] {
        // Kept next to the program so that later runs of the same build reuse them.
        const std::string root =
            std::filesystem::path(FALKMERE_BINARY).parent_path().string() + "/egtb-test-tables-1";
        GeneratedTables t;
        t.plain = root + "/plain";
        t.packed = root + "/packed";
        std::filesystem::create_directories(t.plain);
        std::filesystem::create_directories(t.packed);
        // Test processes run side by side: one generates, the others wait and read its files.
        const int lock = open((root + "/lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
        if (lock >= 0) flock(lock, LOCK_EX);
        t.store = new egtb::TableStore(t.plain, true, false, true);
        for (int n : testTables()) {
            std::string error;
            if (!t.store->get(n, &error)) {
                ADD_FAILURE() << egtb::descriptor(n).name << ": " << error;
                continue;
            }
            const egtb::TableDescriptor& d = egtb::descriptor(n);
            const int sides = (d.flags & egtb::TABLE_SYMMETRIC) ? 1 : 2;
            for (int side = 0; side < sides; ++side) {
                const std::string packed = t.packed + "/" + d.name + (side == 0 ? ".nbw.emd" : ".nbb.emd");
                if (std::filesystem::exists(packed)) continue;
                std::vector<uint8_t> bytes;
                EXPECT_TRUE(egtb::encodeTableBytes(*t.store->get(n), side, bytes, error)) << error;
                const auto file = egtb::emdCompress(bytes.data(), bytes.size());
                std::ofstream(packed, std::ios::binary)
                    .write(reinterpret_cast<const char*>(file.data()),
                           static_cast<std::streamsize>(file.size()));
            }
        }
        return t;
    }();
    return tables;
}

std::string freshDirectory(const std::string& tag) {
    static int serial = 0;
    const std::string path =
        (std::filesystem::temp_directory_path() /
         ("falkmere-egtb-" + std::to_string(getpid()) + "-" + tag + "-" + std::to_string(serial++)))
            .string();
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path;
}

CapturedOutput::CapturedOutput() {
    egtb::tablebaseOutput = [this](const char* text) { text_ += text; };
}

CapturedOutput::~CapturedOutput() {
    egtb::tablebaseOutput = [](const char* text) {
        std::fputs(text, stdout);
        std::fflush(stdout);
    };
}

int load(const std::string& paths, int cacheMB) {
    CapturedOutput quiet;
    EXPECT_TRUE(loadTablebases(paths.c_str(), cacheMB, false)) << quiet.text();
    return tablebaseMenAvailable();
}

} // namespace tbtest
