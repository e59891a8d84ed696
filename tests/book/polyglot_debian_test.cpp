// A book made by Debian's polyglot program from the lichess games, read back
// by the engine. Two oracles that share nothing with the reader: polyglot's
// own dump of the book (moves in SAN with their share in percent, for every
// position on its lines) and a plain walk over the file's bytes.
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

#include "book/booktest.h"
#include "book/polyglotkey.h"
#include "book/polyglottest.h"

namespace {

const std::string START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// Debian installs the program under /usr/games, which is often not on PATH.
const std::string WITH_GAMES_PATH = "PATH=\"$PATH:/usr/games\" ";

std::string withoutCheckMark(const std::string& san) { return san.substr(0, san.find_first_of("+#")); }

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

// The positions on polyglot's dumped lines (FEN) and the book moves shown
// there (SAN) with their share in percent.
using DumpedPositions = std::map<std::string, std::map<std::string, int>>;

// Dump lines look like "12: 1. d4{37%} d5 2. c4{58%} e6 {trans: line=3, ply=4}":
// the moves of the dumped colour carry their share; a comment ends the line.
void readDump(const std::string& path, DumpedPositions& positions) {
    for (const std::string& line : readLines(path)) {
        std::istringstream in(line);
        std::string word;
        if (!(in >> word) || word.back() != ':') continue; // the title line
        auto engine = positionAt(START);
        while (in >> word && word[0] != '{') {
            if (word.back() == '.') continue; // a move number
            const size_t brace = word.find('{');
            const std::string san = word.substr(0, brace);
            if (brace != std::string::npos) {
                positions[engine->board.fen()][withoutCheckMark(san)] = std::atoi(word.c_str() + brace + 1);
            }
            ASSERT_TRUE(playMoves(*engine, {san})) << line;
        }
    }
}

// The entries stored under a key, found by reading every 16 bytes of the file.
std::vector<PolyglotEntry> walkFile(const std::string& bytes, uint64_t key) {
    std::vector<PolyglotEntry> found;
    for (size_t at = 0; at + 16 <= bytes.size(); at += 16) {
        // The big-endian number of `width` bytes at `from` in this entry.
        auto field = [&](size_t from, int width) {
            uint64_t value = 0;
            for (int b = 0; b < width; ++b)
                value = value << 8 | static_cast<unsigned char>(bytes[at + from + b]);
            return value;
        };
        if (field(0, 8) == key)
            found.push_back({key, static_cast<uint16_t>(field(8, 2)), static_cast<uint16_t>(field(10, 2)),
                             static_cast<uint32_t>(field(12, 4))});
    }
    return found;
}

} // namespace

// On every position of the dumped lines the engine lists exactly the moves
// polyglot shows, each with the share polyglot prints (rounded to a percent),
// and exactly one move per entry of the file, with that entry's word and weight.
TEST(PolyglotDebianBook, MovesMatchPolyglotsOwnDumpAndTheRawEntries) {
    if (!run(WITH_GAMES_PATH + "command -v polyglot >/dev/null"))
        GTEST_SKIP() << "Debian's polyglot program is not installed (apt-get install polyglot)";
    if (!sharedDataPresent()) GTEST_SKIP() << NO_SHARED_DATA;
    TempDir dir;
    const std::string polyglot = WITH_GAMES_PATH + "polyglot ", bookPath = dir.path("book.bin");
    const std::string quiet = " >>" + dir.path("log.txt") + " 2>&1";
    ASSERT_TRUE(
        run(polyglot + "make-book -pgn " + dataFile("games-lichess.pgn") + " -bin " + bookPath +
            " -max-ply 16" + quiet) &&
        run(polyglot + "dump-book -bin " + bookPath + " -color white -out " + dir.path("white.txt") +
            quiet) &&
        run(polyglot + "dump-book -bin " + bookPath + " -color black -out " + dir.path("black.txt") + quiet))
        << "polyglot failed: " << dir.read("log.txt");
    PolyglotBook book;
    const PolyglotLoad load = book.open(bookPath);
    ASSERT_TRUE(load.ok()) << load.message;

    DumpedPositions positions;
    readDump(dir.path("white.txt"), positions);
    readDump(dir.path("black.txt"), positions);
    ASSERT_GT(positions.size(), 200u);
    ASSERT_EQ(positions.count(positionAt(START)->board.fen()), 1u);
    const std::string bytes = dir.read("book.bin");
    EXPECT_EQ(book.entryCount() * POLYGLOT_ENTRY_BYTES, bytes.size());

    int castlingMoves = 0;
    for (const auto& [fen, dumped] : positions) {
        auto engine = positionAt(fen);
        const std::vector<BookChoice> moves = book.movesFor(engine->board);
        uint64_t total = 0;
        for (const BookChoice& c : moves) total += c.weight;
        std::set<std::string> listed, shown;
        std::map<uint16_t, uint32_t> fromEngine, fromFile;
        for (const BookChoice& c : moves) {
            const std::string text = withoutCheckMark(san(*engine, c.move));
            listed.insert(text);
            fromEngine[polyglotMoveCode(c.move)] = c.weight;
            castlingMoves += (c.move & MOVE_CASTLE) != 0;
            const auto it = dumped.find(text);
            if (it == dumped.end()) continue; // the comparison of the move sets reports it
            EXPECT_LE(std::abs(100.0 * c.weight / static_cast<double>(total) - it->second), 0.5)
                << fen << " " << text << " weight " << c.weight << " of " << total;
        }
        for (const auto& shownMove : dumped) shown.insert(shownMove.first);
        EXPECT_EQ(listed, shown) << fen;

        const std::vector<PolyglotEntry> raw = walkFile(bytes, polyglotKey(engine->board));
        for (const PolyglotEntry& e : raw) fromFile[e.move] = e.weight;
        EXPECT_EQ(raw.size(), moves.size()) << fen;
        EXPECT_EQ(fromEngine, fromFile) << fen;
    }
    EXPECT_GT(castlingMoves, 0) << "the dumped lines should include castling";
}
