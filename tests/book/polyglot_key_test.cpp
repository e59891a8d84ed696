// The Polyglot position key: the example keys published with the book format,
// and the en-passant rule that sets it apart from a plain FEN hash.
#include "book/polyglotkey.h"
#include "book/polyglottest.h"

namespace {

struct PublishedKey {
    std::vector<std::string> moves; // played after the row before; none: a game starts here
    const char* fen;
    uint64_t key;
};

// The test positions that come with the Polyglot book format description: two
// games from the initial position.
const std::vector<PublishedKey> PUBLISHED = {
    {{}, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 0x463b96181691fc9cull},
    {{"e2e4"}, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1", 0x823c9b50fd114196ull},
    {{"d7d5"}, "rnbqkbnr/ppp1pppp/8/3p4/4P3/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 2", 0x0756b94461c50fb0ull},
    {{"e4e5"}, "rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR b KQkq - 0 2", 0x662fafb965db29d4ull},
    {{"f7f5"}, "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3", 0x22a48b5a8e47ff78ull},
    {{"e1e2"}, "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPPKPPP/RNBQ1BNR b kq - 0 3", 0x652a607ca3f242c1ull},
    {{"e8f7"}, "rnbq1bnr/ppp1pkpp/8/3pPp2/8/8/PPPPKPPP/RNBQ1BNR w - - 0 4", 0x00fdd303c946bdd9ull},
    {{}, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 0x463b96181691fc9cull},
    {{"a2a4", "b7b5", "h2h4", "b5b4", "c2c4"},
     "rnbqkbnr/p1pppppp/8/8/PpP4P/8/1P1PPPP1/RNBQKBNR b KQkq c3 0 3",
     0x3c8123ea7b067637ull},
    {{"b4c3", "a1a3"}, "rnbqkbnr/p1pppppp/8/8/P6P/R1p5/1P1PPPP1/1NBQKBNR b Kkq - 0 4", 0x5c3f9b829b279560ull},
};

uint64_t keyOfFen(const std::string& fen) { return polyglotKey(positionAt(fen)->board); }

// The FEN with its en-passant field replaced by "-".
std::string withoutEnPassant(const std::string& fen) {
    const std::string fields = fenFields(fen);
    return fields.substr(0, fields.rfind(' ')) + " -";
}

} // namespace

TEST(PolyglotKey, PublishedPositionsFromTheirFenAndByPlayingTheirMoves) {
    std::unique_ptr<Position> engine;
    for (const PublishedKey& p : PUBLISHED) {
        EXPECT_EQ(keyOfFen(p.fen), p.key) << p.fen;
        if (p.moves.empty()) engine = positionAt(p.fen);
        ASSERT_TRUE(playMoves(*engine, p.moves)) << p.fen;
        EXPECT_EQ(polyglotKey(engine->board), p.key) << p.fen;
    }
}

// Each row: a position with an en-passant field and the file Polyglot hashes (-1: none).
TEST(PolyglotKey, EnPassantFileCountsOnlyBesideAPawnOfTheSideToMove) {
    const struct {
        const char* fen;
        int file;
        const char* why;
    } rows[] = {
        {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", 3, "a white pawn beside the pushed pawn"},
        {"4k3/8/8/r2pP2K/8/8/8/8 w - d6 0 1", 3, "the capture would expose the king, yet it counts"},
        {"4k3/8/8/3p2P1/8/8/8/4K3 w - d6 0 1", -1, "the white pawn is two files away"},
        {"4k3/8/8/3pN3/8/8/8/4K3 w - d6 0 1", -1, "a knight beside the pawn is no capturer"},
        {"4k3/8/8/2ppp3/8/8/8/4K3 w - d6 0 1", -1, "the pawns beside it are black"},
        {"4k3/8/8/8/Pp6/8/8/4K3 b - a3 0 1", 0, "black captures towards the a-file"},
        {"4k3/8/8/8/6pP/8/8/4K3 b - h3 0 1", 7, "black captures towards the h-file"},
        {"4k3/8/8/8/P6p/8/8/4K3 b - a3 0 1", -1, "a pawn on the h-file is not beside the a-file"},
        {"4k3/8/8/8/4P3/8/8/4K3 b - e3 0 1", -1, "no black pawn at all"},
    };
    for (const auto& row : rows) {
        auto engine = positionAt(row.fen);
        EXPECT_EQ(polyglotEnPassantFile(engine->board), row.file) << row.fen << ": " << row.why;
        const uint64_t expected = row.file < 0 ? 0 : POLYGLOT_RANDOM[POLYGLOT_EN_PASSANT + row.file];
        EXPECT_EQ(keyOfFen(row.fen) ^ keyOfFen(withoutEnPassant(row.fen)), expected) << row.fen;
    }
}
