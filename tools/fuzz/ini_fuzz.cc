// libFuzzer target: falkmere.ini, read at start-up as the program reads it,
// with the book and the tablebases brought up as its settings ask. The
// machine is taken to have 4 MB of memory, so that table sizes beyond that
// must be refused and fall back. THREADS lines are left out (each helper
// thread has caches of its own, which would make every run slow). The input
// follows lines that set the tables to 1 MB: without them every input that
// names no size would allocate the 16 MB defaults, at about ten runs a second
// under the sanitizers. An input's own size lines still take effect, the
// last line of a key being the one that counts.
//
// The tablebases are looked for only when the cache size and the directories
// they would be found in make a search not made before in this process. The
// search tries some thousands of file names in every directory of the path,
// which took most of the time of a run. A path's entries that name no
// directory yield no file, and a directory whose modification time is
// unchanged has the same files as before (runs do create files in the
// scratch directory: logs, and learn files under names the input chooses).
// So "tb;." and "tr;.," make the same search of one directory, made once
// until a file is added there. Nothing after the search in a run probes a
// tablebase, so a run that skips it goes on as it would have after searching.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <unistd.h>

#include "egtb/tablebases.h"
#include "engine_support.h"

namespace {

// What a tablebase search with this path and cache size would look at: the
// cache size and, in order, the directories the path's entries name
// (separated by ',' or ';'), each as its canonical path with its
// modification time.
std::string tablebaseSearch(const std::string& path, int32_t cacheMB) {
    std::string search = std::to_string(cacheMB);
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of(",;", start);
        if (end == std::string::npos) end = path.size();
        const std::string entry = path.substr(start, end - start);
        start = end + 1;
        std::error_code error;
        if (entry.empty() || !std::filesystem::is_directory(entry, error)) continue;
        const std::filesystem::path directory = std::filesystem::canonical(entry, error);
        search += '\n';
        search += error ? entry : directory.string();
        search += ' ';
        search += std::to_string(std::filesystem::last_write_time(entry, error).time_since_epoch().count());
    }
    return search;
}

} // namespace

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
    Engine& engine = fuzzsupport::resetEngine(fd, true);
    if (engine.logFile) std::fclose(engine.logFile);
    engine.logFile = nullptr;
    engine.init();
    if (engine.search.options.useBook) engine.loadBook(engine.settings.bookPath);
    static std::set<std::string> searchesMade;
    if (engine.search.options.useTablebases &&
        searchesMade.insert(tablebaseSearch(engine.settings.tbPath, engine.settings.egtbCacheMB)).second) {
        if (searchesMade.size() > 4096) searchesMade.clear(); // a bound on the memory kept
        loadTablebases(engine.settings.tbPath, engine.settings.egtbCacheMB, false);
    }
    engine.newGame();
    close(fd);
    return 0;
}
