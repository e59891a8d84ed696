#include "book/booktest.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

ScratchDir::ScratchDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/falkmere-book-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const char* made = mkdtemp(name.data());
    EXPECT_NE(made, nullptr);
    root = made ? made : "/tmp";
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    if (root != "/tmp") std::filesystem::remove_all(root, ignored);
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

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
    writeText(path, bytes);
}

BookContents readBookContents(const std::string& path) {
    BookContents book;
    const std::string bytes = readBytes(path);
    if (bytes.size() < 8) return book;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const uint64_t white = getU32(data), black = getU32(data + 4);
    if (bytes.size() != 8 + 16 * (white + black)) return book;
    for (uint64_t i = 0; i < white + black; ++i)
        (i < white ? book.white : book.black).push_back(decodeBookRecord(data + 8 + 16 * i));
    book.complete = true;
    return book;
}

std::unique_ptr<Engine> bookEngine(const std::string& bookPath) {
    auto engine = std::make_unique<Engine>();
    std::snprintf(engine->bookPath, sizeof engine->bookPath, "%s", bookPath.c_str());
    engine->newGame();
    return engine;
}

bool playMoves(Engine& engine, const std::vector<std::string>& sanMoves) {
    for (const std::string& san : sanMoves) {
        Move move = NO_MOVE;
        engine.parseMove(move, san.c_str());
        bool legal = false;
        for (Move m : legalMoves(engine)) legal = legal || m == move;
        if (!legal) return false;
        engine.pushGameMove(move);
    }
    return true;
}

uint64_t keyAfter(const std::vector<std::string>& sanMoves) {
    auto engine = std::make_unique<Engine>();
    engine->newGame();
    EXPECT_TRUE(playMoves(*engine, sanMoves));
    return engine->board.key;
}

void fillRootMoves(Engine& engine) {
    const std::vector<Move> moves = legalMoves(engine);
    PlyRecord& root = engine.ply(0);
    root.moveCount = static_cast<int32_t>(moves.size());
    for (size_t i = 0; i < moves.size(); ++i) {
        root.moves[i] = moves[i];
        root.orderScores[i] = 0;
    }
}
