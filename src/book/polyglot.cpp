// Reading a Polyglot book into memory, with every check a damaged file needs,
// and looking positions up in it.
#include "book/polyglot.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <new>

namespace {

uint64_t bigEndian(const unsigned char* bytes, int count) {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | bytes[i];
    return value;
}

PolyglotLoad failure(PolyglotStatus status, const std::string& path, const std::string& fault) {
    return {status, "polyglot book '" + path + "': " + fault};
}

// What the file system says before a byte is read: the file exists, is a
// regular file (a FIFO or device could block or never end) and has a size
// that a book can have. The size is the only number the allocation trusts.
PolyglotLoad checkFile(const std::string& path, uint64_t& size) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found)
        return failure(PolyglotStatus::MISSING, path, "no such file");
    if (error) return failure(PolyglotStatus::UNREADABLE, path, error.message());
    if (fs::is_directory(status)) return failure(PolyglotStatus::NOT_A_FILE, path, "is a directory");
    if (!fs::is_regular_file(status))
        return failure(PolyglotStatus::NOT_A_FILE, path, "is not a regular file");
    size = fs::file_size(path, error);
    if (error) return failure(PolyglotStatus::UNREADABLE, path, error.message());
    if (size == 0) return failure(PolyglotStatus::EMPTY, path, "the file is empty");
    if (size % POLYGLOT_ENTRY_BYTES != 0)
        return failure(PolyglotStatus::BAD_SIZE, path,
                       std::to_string(size) + " bytes is not a whole number of 16-byte entries");
    if (size > POLYGLOT_MAX_BYTES)
        return failure(PolyglotStatus::TOO_LARGE, path,
                       std::to_string(size) + " bytes is more than the " +
                           std::to_string(POLYGLOT_MAX_BYTES) + " this reader accepts");
    return {};
}

// Reads `count` entries in blocks, checking the key order on the way.
PolyglotLoad readEntries(const std::string& path, std::vector<PolyglotEntry>& entries) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return failure(PolyglotStatus::UNREADABLE, path, "cannot be opened for reading");
    constexpr size_t BLOCK_ENTRIES = 4096;
    std::vector<unsigned char> block(BLOCK_ENTRIES * POLYGLOT_ENTRY_BYTES);
    for (size_t done = 0; done < entries.size();) {
        const size_t n = std::min(BLOCK_ENTRIES, entries.size() - done);
        const auto bytes = static_cast<std::streamsize>(n * POLYGLOT_ENTRY_BYTES);
        if (!in.read(reinterpret_cast<char*>(block.data()), bytes) || in.gcount() != bytes)
            return failure(
                PolyglotStatus::UNREADABLE, path,
                "reading stopped at entry " +
                    std::to_string(done + static_cast<size_t>(in.gcount()) / POLYGLOT_ENTRY_BYTES));
        for (size_t i = 0; i < n; ++i, ++done) {
            entries[done] = decodePolyglotEntry(block.data() + i * POLYGLOT_ENTRY_BYTES);
            if (done > 0 && entries[done].key < entries[done - 1].key)
                return failure(PolyglotStatus::OUT_OF_ORDER, path,
                               "entry " + std::to_string(done) + " has a smaller key than the one before it");
        }
    }
    return {};
}

} // namespace

PolyglotEntry decodePolyglotEntry(const unsigned char* bytes) {
    return {bigEndian(bytes, 8), static_cast<uint16_t>(bigEndian(bytes + 8, 2)),
            static_cast<uint16_t>(bigEndian(bytes + 10, 2)), static_cast<uint32_t>(bigEndian(bytes + 12, 4))};
}

PolyglotLoad PolyglotBook::open(const std::string& path) {
    close();
    uint64_t size = 0;
    PolyglotLoad result = checkFile(path, size);
    if (!result.ok()) return result;

    std::vector<PolyglotEntry> loaded;
    try {
        loaded.resize(size / POLYGLOT_ENTRY_BYTES);
    } catch (const std::bad_alloc&) {
        return failure(PolyglotStatus::NO_MEMORY, path,
                       "not enough memory for " + std::to_string(size) + " bytes");
    }
    result = readEntries(path, loaded);
    if (!result.ok()) return result;
    entries = std::move(loaded);
    bookPath = path;
    return result;
}

void PolyglotBook::close() {
    entries = {};
    bookPath.clear();
}

std::span<const PolyglotEntry> PolyglotBook::entriesFor(uint64_t key) const {
    const auto [first, last] =
        std::equal_range(entries.begin(), entries.end(), PolyglotEntry{key, 0, 0, 0},
                         [](const PolyglotEntry& a, const PolyglotEntry& b) { return a.key < b.key; });
    return {first, last};
}
