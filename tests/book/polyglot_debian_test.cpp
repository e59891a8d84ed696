// A book made by Debian's polyglot program from the lichess games, read back
// by the engine. Two oracles that share nothing with the reader: polyglot's
// own dump of the book (moves in SAN with their share in percent, for every
// position on its lines) and a plain walk over the file's bytes.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "book/booktest.h"
#include "book/polyglotkey.h"
#include "book/polyglottest.h"

namespace {

const std::string START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// Debian installs the program under /usr/games, which is often not on PATH.
std::string findPolyglot() {
    std::vector<std::string> dirs;
    if (const char* path = std::getenv("PATH")) {
        std::istringstream in(path);
        for (std::string dir; std::getline(in, dir, ':');) dirs.push_back(dir);
    }
    dirs.push_back("/usr/games");
    for (const std::string& dir : dirs) {
        const std::filesystem::path candidate = std::filesystem::path(dir) / "polyglot";
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) return candidate.string();
    }
    return "";
}

std::string withoutCheckMark(const std::string& san) { return san.substr(0, san.find_first_of("+#")); }

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

// One position on polyglot's dumped lines and the book moves it shows there.
struct DumpedPosition {
    std::string fen;
    std::map<std::string, int> percent; // SAN -> share in percent
};

// Dump lines look like "12: 1. d4{37%} d5 2. c4{58%} e6 {trans: line=3, ply=4}":
// the moves of the dumped colour carry their share; a comment ends the line.
void readDump(const std::string& path, std::map<std::string, DumpedPosition>& positions) {
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
                DumpedPosition& p = positions[engine->board.fen()];
                p.fen = engine->board.fen();
                p.percent[withoutCheckMark(san)] = std::atoi(word.c_str() + brace + 1);
            }
            ASSERT_TRUE(playMoves(*engine, {san})) << line;
        }
    }
}

// The entries stored under a key, found by reading every 16 bytes of the file.
std::vector<PolyglotEntry> walkFile(const std::string& bytes, uint64_t key) {
    std::vector<PolyglotEntry> found;
    for (size_t at = 0; at + 16 <= bytes.size(); at += 16) {
        uint64_t fields[4] = {0, 0, 0, 0};
        const int widths[4] = {8, 2, 2, 4};
        size_t i = at;
        for (int f = 0; f < 4; ++f) {
            for (int b = 0; b < widths[f]; ++b)
                fields[f] = fields[f] << 8 | static_cast<unsigned char>(bytes[i++]);
        }
        if (fields[0] == key)
            found.push_back({fields[0], static_cast<uint16_t>(fields[1]), static_cast<uint16_t>(fields[2]),
                             static_cast<uint32_t>(fields[3])});
    }
    return found;
}

class PolyglotDebianBook : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        const std::string program = findPolyglot();
        if (program.empty()) {
            skipReason = "Debian's polyglot program is not installed (apt-get install polyglot)";
            return;
        }
        if (!sharedDataPresent()) {
            skipReason = NO_SHARED_DATA;
            return;
        }
        dir = new ScratchDir;
        const std::string quiet = " >" + dir->path("log.txt") + " 2>&1";
        bookPath = dir->path("book.bin");
        made = run(program + " make-book -pgn " + dataFile("games-lichess.pgn") + " -bin " + bookPath +
                   " -max-ply 16" + quiet) &&
               run(program + " dump-book -bin " + bookPath + " -color white -out " + dir->path("white.txt") +
                   quiet) &&
               run(program + " dump-book -bin " + bookPath + " -color black -out " + dir->path("black.txt") +
                   quiet);
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override {
        if (!skipReason.empty()) GTEST_SKIP() << skipReason;
        ASSERT_TRUE(made) << "polyglot failed; its output is in " << dir->path("log.txt");
        const PolyglotLoad load = book.open(bookPath);
        ASSERT_TRUE(load.ok()) << load.message;
    }

    static inline std::string skipReason;
    static inline ScratchDir* dir = nullptr;
    static inline std::string bookPath;
    static inline bool made = false;
    PolyglotBook book;
};

} // namespace

// On every position of the dumped lines the engine lists exactly the moves
// polyglot shows, each with the share polyglot prints (rounded to a percent),
// and exactly one move per entry of the file, with that entry's word and weight.
TEST_F(PolyglotDebianBook, MovesMatchPolyglotsOwnDumpAndTheRawEntries) {
    std::map<std::string, DumpedPosition> positions;
    readDump(dir->path("white.txt"), positions);
    readDump(dir->path("black.txt"), positions);
    ASSERT_GT(positions.size(), 200u);
    ASSERT_EQ(positions.count(positionAt(START)->board.fen()), 1u);
    const std::string bytes = readBytes(bookPath);
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
            const auto it = dumped.percent.find(text);
            if (it == dumped.percent.end()) continue; // the comparison of the move sets reports it
            EXPECT_LE(std::abs(100.0 * c.weight / static_cast<double>(total) - it->second), 0.5)
                << fen << " " << text << " weight " << c.weight << " of " << total;
        }
        for (const auto& shownMove : dumped.percent) shown.insert(shownMove.first);
        EXPECT_EQ(listed, shown) << fen;

        const std::vector<PolyglotEntry> raw = walkFile(bytes, polyglotKey(engine->board));
        for (const PolyglotEntry& e : raw) fromFile[e.move] = e.weight;
        EXPECT_EQ(raw.size(), moves.size()) << fen;
        EXPECT_EQ(fromEngine, fromFile) << fen;
    }
    EXPECT_GT(castlingMoves, 0) << "the dumped lines should include castling";
}
