#include "book/booktest.h"

#include <algorithm>
#include <fstream>

void writeBookRecords(const std::string& path, const std::vector<BookRecord>& white,
                      const std::vector<BookRecord>& black) {
    std::string bytes(8, '\0');
    putU32(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<uint32_t>(white.size()));
    putU32(reinterpret_cast<unsigned char*>(bytes.data()) + 4, static_cast<uint32_t>(black.size()));
    for (const auto* section : {&white, &black}) {
        for (const BookRecord& r : *section) {
            unsigned char record[16];
            encodeBookRecord(r, record);
            bytes.append(reinterpret_cast<const char*>(record), 16);
        }
    }
    std::ofstream(path, std::ios::binary) << bytes;
}

BookContents readBookContents(const std::string& bytes) {
    BookContents book;
    if (bytes.size() < 8) return book;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const uint64_t white = getU32(data), black = getU32(data + 4);
    if (bytes.size() != 8 + 16 * (white + black)) return book;
    for (uint64_t i = 0; i < white + black; ++i)
        (i < white ? book.white : book.black).push_back(decodeBookRecord(data + 8 + 16 * i));
    book.complete = true;
    return book;
}

BookRig::BookRig(const std::string& bookPath) {
    std::snprintf(book.path, sizeof book.path, "%s", bookPath.c_str());
    table.mainHashMB = 1;
    table.allocate();
    newGame();
}

void BookRig::newGame() {
    position.board.setStartPosition();
    position.resetHistory();
}

bool BookRig::load() {
    bool loaded = false;
    captureOutput([&] { loaded = book.load(book.path, out) != 0; });
    return loaded;
}

void BookRig::create(const std::string& pgnPath, int depth, int minElo) {
    createBook(
        pgnPath.c_str(), depth, minElo, position, book, out, [this] { newGame(); }, &out);
}

void BookRig::fillRootMoves() {
    const std::vector<Move> legal = legalMoves(position);
    count = static_cast<int>(legal.size());
    std::copy(legal.begin(), legal.end(), moves);
    std::fill_n(scores, count, 0);
}

std::unique_ptr<BookRig> bookRig(const std::string& bookPath) { return std::make_unique<BookRig>(bookPath); }

uint64_t keyAfter(const std::vector<std::string>& sanMoves) {
    auto position = positionAt("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    EXPECT_TRUE(playMoves(*position, sanMoves));
    return position->board.key;
}

BookRecord recordAfter(const std::vector<std::string>& moves, uint16_t wins, uint16_t losses, uint16_t draws,
                       uint16_t learn) {
    return recordOf(keyAfter(moves), wins, losses, draws, learn);
}

std::vector<BookRecord> sortedByKey(std::vector<BookRecord> records) {
    std::sort(records.begin(), records.end(),
              [](const BookRecord& a, const BookRecord& b) { return bookKey(a) < bookKey(b); });
    return records;
}

void expectRecords(const std::vector<BookRecord>& got, const std::vector<BookRecord>& expected) {
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(fieldsOf(got[i]), fieldsOf(expected[i])) << "record " << i;
}

BookOnDisk::BookOnDisk(const std::vector<BookRecord>& white, const std::vector<BookRecord>& black) {
    writeBookRecords(dir.path("book.dat"), sortedByKey(white), sortedByKey(black));
    engine = bookRig(dir.path("book.dat"));
    EXPECT_TRUE(engine->load());
}
