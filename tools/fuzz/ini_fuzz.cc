// libFuzzer target: falkmere.ini, read at start-up as the program reads it,
// with the book and the tablebases brought up as its settings ask. The
// machine is taken to have 4 MB of memory, so that table sizes beyond that
// must be refused and fall back. THREADS lines are left out (each helper
// thread has caches of its own, which would make every run slow). The input
// follows lines that set the tables to 1 MB: without them every input that
// names no size would allocate the 16 MB defaults, at about ten runs a second
// under the sanitizers. An input's own size lines still take effect, the
// last line of a key being the one that counts. The tablebases are looked for
// again only when the path or the cache size differ from the last input's:
// the search tries some thousands of file names, which took half the time of
// a run, and in the unchanged scratch directory it finds what it found before.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <unistd.h>

#include "egtb/tablebases.h"
#include "engine_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::enterScratchDirectory();
    machineMemoryMB = [] { return int64_t{4}; };
    fuzzsupport::startEngine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string SMALL_TABLES = "MAIN_HASH_SIZE 1\nPAWN_HASH_SIZE 1\nEVAL_HASH_SIZE 1\n";
    const std::string kept = SMALL_TABLES + fuzzsupport::keptLines(
        std::string(reinterpret_cast<const char*>(data), size), [](const std::string& line, bool) {
            std::string word = line.substr(std::min(line.size(), line.find_first_not_of(' ')));
            word = word.substr(0, word.find(' '));
            for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            return word.rfind("THREADS", 0) != 0;
        });
    fuzzsupport::writeFile("falkmere.ini", reinterpret_cast<const uint8_t*>(kept.data()), kept.size());
    const int fd = fuzzsupport::inputDescriptor("");
    Engine& engine = fuzzsupport::resetEngine(fd);
    if (engine.logFile) std::fclose(engine.logFile);
    engine.logFile = nullptr;
    engine.init();
    if (engine.search.options.useBook) engine.loadBook(engine.settings.bookPath);
    static std::string lastPath;
    static int32_t lastCacheMB = -1;
    if (engine.search.options.useTablebases &&
        (engine.settings.tbPath != lastPath || engine.settings.egtbCacheMB != lastCacheMB)) {
        lastPath = engine.settings.tbPath;
        lastCacheMB = engine.settings.egtbCacheMB;
        loadTablebases(engine.settings.tbPath, engine.settings.egtbCacheMB, false);
    }
    engine.newGame();
    close(fd);
    return 0;
}
