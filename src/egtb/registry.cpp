// Registration: finding the table files in the configured directories,
// checking their lengths (or compressed indexes) and recording their names.
// Files found broken here end the program; files are opened for probing later.
#include "egtb/registry.h"
#include "board/types.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace egtb {

std::function<void(const char*)> tablebaseOutput = [](const char*) {};

std::function<void(int)> tablebaseExit = [](int code) { std::exit(code); };

void tablebasePrint(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    tablebaseOutput(text);
}

std::unique_ptr<DecodeBlock> sharedDecodeBlock;

namespace {

int highestRegistered = 0;

[[noreturn]] void fail() {
    tablebaseExit(1);
    std::exit(1); // the hook must not return
}

char extentLetter(int extent) { return static_cast<char>(extent < 10 ? '0' + extent : 'a' + extent - 10); }

// The names tried for one file: plain, then the compressed spellings.
void candidateNames(const std::string& base, const char* suffix, std::string names[5]) {
    const std::string plain = base + "." + suffix;
    names[0] = plain;
    names[1] = plain + ".emd";               // kqk.nbw.emd
    names[2] = base + "_" + suffix + ".emd"; // kqk_nbw.emd
    names[3] = base + "_" + suffix + "_emd"; // kqk_nbw_emd
    names[4] = base + suffix + ".emd";       // kqknbw.emd
}

// Accepted lengths of an uncompressed one-byte file (or decompressed bytes).
void acceptedLengths(const TableDescriptor& d, int side, uint64_t& first, uint64_t& second) {
    const uint64_t count = d.count[side];
    if (d.flags & TABLE_SPLIT) {
        const uint64_t extent = (d.flags & TABLE_TWO_BYTES) ? uint64_t{1} << 30 : uint64_t{1} << 31;
        first = extent;
        second = count % extent;
    } else {
        first = second = count;
    }
}

bool ensureDecodeBlock() {
    if (sharedDecodeBlock) return true;
    const int code = emdCreateDecodeBlock(BLOCK_BYTES, sharedDecodeBlock);
    if (code == EMD_OK) return true;
    tablebasePrint("*** Cannot allocate decode block: error code %d\n", code);
    return false;
}

// A table file's length (in entries) must be one the descriptor allows; any
// other length ends the program with the "corrupted" message.
void checkLength(const std::string& name, const TableDescriptor& d, int side, uint64_t length) {
    uint64_t first, second;
    acceptedLengths(d, side, first, second);
    if (length != first && length != second) {
        tablebasePrint("*** %s corrupted %" PRIu64 " %" PRIu64 " %" PRIu64 "\n", name.c_str(), first, second,
                       length);
        fail();
    }
}

// A compressed file: index, block size, length and a decoded last block.
std::unique_ptr<EmdDecoder> openCompressed(FILE* file, const std::string& name, const TableDescriptor& d,
                                           int side) {
    FileSource source(file);
    std::unique_ptr<EmdDecoder> decoder;
    const int code = emdOpen(source, decoder);
    if (code != EMD_OK) {
        tablebasePrint("*** Unable to read %s - ", name.c_str());
        switch (code & 0xFF) {
            case EMD_READ_ERROR:
                tablebasePrint("read error\n");
                break;
            case EMD_OUT_OF_MEMORY:
                tablebasePrint("out of memory\n");
                break;
            case EMD_FILE_BROKEN:
                tablebasePrint("file broken\n");
                break;
            default:
                tablebasePrint("error %d\n", code);
                break;
        }
        fail();
    }
    if (decoder->blockSize != BLOCK_BYTES) {
        tablebasePrint("*** %s: Unsupported block size %d\n", name.c_str(),
                       static_cast<int>(decoder->blockSize));
        fail();
    }
    uint64_t length = decoder->decompressedSize();
    if (d.flags & TABLE_TWO_BYTES) length /= 2;
    checkLength(name, d, side, length);
    if (!ensureDecodeBlock()) fail();
    std::vector<uint8_t> block(CACHE_DATA_BYTES);
    if (decoder->blocks == 0 ||
        emdDecompress(*decoder, source, decoder->blocks - 1, block.data(), *sharedDecodeBlock) != EMD_OK) {
        tablebasePrint("*** Sanity check on %s failed\n", name.c_str());
        fail();
    }
    return decoder;
}

// An uncompressed one-byte file whose length must match the descriptor.
void checkUncompressedLength(FILE* file, const std::string& name, const TableDescriptor& d, int side) {
    if (d.flags & TABLE_TWO_BYTES) return;
    if (!(d.flags & TABLE_SPLIT) && d.count[side] >= (uint64_t{1} << 31)) return;
    if (fseeko(file, 0, SEEK_END) != 0) {
        tablebasePrint("*** Seek in %s failed\n", name.c_str());
        fail();
    }
    const off_t end = ftello(file);
    if (end < 0) {
        tablebasePrint("*** Seek in %s failed\n", name.c_str());
        fail();
    }
    const uint64_t length = static_cast<uint64_t>(end);
    checkLength(name, d, side, length);
}

} // namespace

void closeTableFiles() {
    for (int n = 0; n < TABLE_COUNT; ++n) {
        TableDescriptor& d = descriptor(n);
        for (auto& side : d.files)
            for (auto& extent : side)
                if (extent.file) {
                    std::fclose(extent.file);
                    extent.file = nullptr;
                }
    }
}

int highestRegisteredTable() { return highestRegistered; }

bool registerFile(int table, int side, int extent, const std::string& directory) {
    FM_ASSERT(table >= 0 && table < TABLE_COUNT && (side == 0 || side == 1) && extent >= 0 &&
              extent < EXTENTS);
    TableDescriptor& d = descriptor(table);
    if (d.flags & TABLE_SYMMETRIC) side = 0;
    TableFile& slot = d.files[side][extent];
    // 1. Already known.
    if (!slot.name.empty() || slot.decoder) return true;

    // 2-4. Build the name and try its spellings. (Drive letters have no
    // meaning here, so there is no drive check.)
    std::string base = directory;
    if (!base.empty() && base.back() != '/') base += '/';
    base += d.name;
    if (d.flags & TABLE_SPLIT) {
        base += '.';
        base += extentLetter(extent);
    }
    std::string names[5];
    candidateNames(base, side == 0 ? "nbw" : "nbb", names);
    FILE* file = nullptr;
    int which = 0;
    for (; which < 5 && !file; ++which) file = std::fopen(names[which].c_str(), "rb");
    if (!file) return false;
    --which;
    const std::string& name = names[which];

    // 5-6. Compressed index, or the length of a plain file.
    std::unique_ptr<EmdDecoder> decoder;
    if (which > 0) {
        decoder = openCompressed(file, name, d, side);
    } else {
        checkUncompressedLength(file, name, d, side);
    }
    std::fclose(file);

    // 7. Into the counter tree, as written and with colours exchanged.
    int counts[10];
    tableSignature(d.material, false, counts);
    bool entered = registeredTree().enter(counts, table);
    if (!(d.flags & TABLE_SYMMETRIC)) {
        tableSignature(d.material, true, counts);
        entered = entered && registeredTree().enter(counts, -table);
    }
    if (!entered) {
        tablebasePrint("*** Unable to register %s\n", name.c_str());
        fail();
    }

    // 8. Record the file.
    slot.name = name;
    slot.decoder = std::move(decoder);
    if (d.chains[side].empty()) d.chains[side].assign(CACHE_CHAINS, -1);
    return true;
}

int initTablebases(const char* paths) {
    // 1-3. Close files, build the shared tables once, forget earlier registrations.
    // (Drive letters have no meaning on this system: there is no drive check.)
    closeTableFiles();
    emdMemoryInUse = sharedDecodeBlock ? sizeof(DecodeBlock) + sharedDecodeBlock->input.size() : 0;
    initDescriptors();
    registeredTree().clear();
    for (int n = 0; n < TABLE_COUNT; ++n) {
        TableDescriptor& d = descriptor(n);
        for (auto& side : d.files)
            for (auto& extent : side) {
                extent.name.clear();
                extent.decoder.reset();
            }
        for (auto& chains : d.chains) chains.clear();
    }
    highestRegistered = 0;

    // 4. Every directory, every table, each side and extent.
    const std::string list = paths ? paths : "";
    size_t start = 0;
    bool anyCompressed = false;
    while (start <= list.size()) {
        size_t end = list.find_first_of(",;", start);
        if (end == std::string::npos) end = list.size();
        const std::string directory = list.substr(start, end - start);
        start = end + 1;
        if (directory.empty()) continue;
        for (int n = 1; n < TABLE_COUNT; ++n) {
            const TableDescriptor& d = descriptor(n);
            const int sides = (d.flags & TABLE_SYMMETRIC) ? 1 : 2;
            const int extents = (d.flags & TABLE_SPLIT) ? EXTENTS : 1;
            bool found = false;
            for (int side = 0; side < sides; ++side)
                for (int e = 0; e < extents; ++e) found = registerFile(n, side, e, directory) || found;
            if (found && n > highestRegistered) highestRegistered = n;
        }
    }
    for (int n = 1; n < TABLE_COUNT; ++n)
        for (auto& side : descriptor(n).files)
            for (auto& extent : side) anyCompressed = anyCompressed || extent.decoder != nullptr;

    // 5. The shared decode block for compressed files.
    if (anyCompressed && !sharedDecodeBlock) ensureDecodeBlock();

    // 6. Men available from the highest registered table.
    if (highestRegistered >= 146) return 6;
    if (highestRegistered >= 36) return 5;
    if (highestRegistered >= 6) return 4;
    if (highestRegistered >= 1) return 3;
    return 0;
}

} // namespace egtb
