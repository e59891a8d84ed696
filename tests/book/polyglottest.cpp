#include "book/polyglottest.h"

#include <fstream>

void writePolyglotFile(const std::string& path, const std::vector<PolyglotEntry>& entries) {
    std::ofstream out(path, std::ios::binary);
    auto put = [&](uint64_t value, int bytes) {
        for (int i = bytes - 1; i >= 0; --i) out.put(static_cast<char>(value >> (8 * i) & 0xFF));
    };
    for (const PolyglotEntry& e : entries) {
        put(e.key, 8);
        put(e.move, 2);
        put(e.weight, 2);
        put(e.learn, 4);
    }
}

uint16_t polyglotWord(const std::string& squares, int promotion) {
    const int from = (squares[1] - '1') * 8 + (squares[0] - 'a');
    const int to = (squares[3] - '1') * 8 + (squares[2] - 'a');
    return static_cast<uint16_t>(to | from << 6 | promotion << 12);
}
