// libFuzzer target: falkmere.ini, read at start-up as the program reads it,
// with the book and the tablebases brought up as its settings ask. The
// machine is taken to have 4 MB of memory, so that table sizes beyond that
// must be refused and fall back. THREADS lines are left out (each helper
// thread has caches of its own, which would make every run slow), and so are
// LEARN_PATH lines with a '/': the learn file is created when missing, and the
// runs must not write outside their scratch directory. The input
// follows lines that set the tables to 1 MB: without them every input that
// names no size would allocate the 16 MB defaults, at about ten runs a second
// under the sanitizers. An input's own size lines still take effect, the
// last line of a key being the one that counts.
//
// Every run starts with falkmere.ini alone in the scratch directory: what
// earlier runs wrote there (logs, and learn files and books under names the
// input chooses) is removed first, so that no run depends on the ones before
// it, and the log's search for a free name stays short.
//
// The tablebases are looked for only when what the search could find differs
// from every search made before in this process. The search tries some
// thousands of file names in every directory of the path, which took most of
// the time of a run. Every name it tries is a table's name with an ending
// that holds "nbw" or "nbb"; a directory without such files yields nothing,
// and the cache is set up only when a table is found. So the searches that
// could find no table are made once for each mix of path entry kinds (the
// search's own branches), and the others once for each cache size and set of
// candidate files. A candidate counts by its content (a compressed table's
// index is read): small files by a hash of their bytes, since runs write their
// learn files and books anew under names the input chooses, table-like ones
// included, and a new modification time on every run would make every search
// new; large files, which runs do not write, by their modification time.
// Nothing after the search in a run probes a tablebase, so a run that skips
// it goes on as it would have after searching.
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "egtb/tablebases.h"
#include "engine_support.h"

namespace {

void removeEarlierFiles() {
    std::error_code error;
    std::vector<std::filesystem::path> earlier;
    for (const auto& entry : std::filesystem::directory_iterator(".", error))
        if (entry.path().filename() != "falkmere.ini") earlier.push_back(entry.path());
    for (const auto& path : earlier) std::filesystem::remove_all(path, error);
}

// Whether the search could open a file of this name: a table's name (the
// white king first, then pieces, the black king and pieces: two kings and
// piece letters only), perhaps with an extent letter after a '.', then one of
// the plain or compressed spellings of "nbw" or "nbb". Files that runs write
// under other names never make a search differ.
bool mayBeTable(const std::string& name) {
    static const std::array<std::string_view, 10> endings = {".nbw",     ".nbb",     ".nbw.emd", ".nbb.emd",
                                                             "_nbw.emd", "_nbb.emd", "_nbw_emd", "_nbb_emd",
                                                             "nbw.emd",  "nbb.emd"};
    for (const std::string_view ending : endings) {
        if (name.size() <= ending.size() || !name.ends_with(ending)) continue;
        std::string_view stem(name.data(), name.size() - ending.size());
        if (stem.size() > 2 && stem[stem.size() - 2] == '.') stem.remove_suffix(2);
        const bool twoKings = std::count(stem.begin(), stem.end(), 'k') == 2;
        if (stem.starts_with('k') && twoKings && stem.find_first_not_of("kqrbnp") == std::string_view::npos)
            return true;
    }
    return false;
}

// Stands for a candidate file's content: a hash of its bytes when it is small
// enough to read on every run, its modification time otherwise.
std::string contentMark(const std::filesystem::directory_entry& file) {
    constexpr uintmax_t READ_LIMIT = uintmax_t{1} << 20;
    std::error_code error;
    const uintmax_t size = file.file_size(error);
    if (!error && size <= READ_LIMIT) {
        if (std::ifstream in(file.path(), std::ios::binary); in) {
            const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            return "h" + std::to_string(std::hash<std::string>{}(bytes));
        }
    }
    return "t" + std::to_string(file.last_write_time(error).time_since_epoch().count());
}

// What a tablebase search with this path and cache size could find: for each
// directory the path's entries name (separated by ',' or ';') that holds files
// that may be tables, in order, its canonical path and the name, size and
// content of each such file, with the cache size first; only the kinds of
// entry when no directory holds such a file. Directories without such files
// yield nothing, so a path that repeats them (a fuzzed path can name the root
// a hundred times) makes no new search. The kinds (empty, ending in '/', other)
// are the only thing about the path text that the search branches on, so each
// mix of them is still searched once. Nothing when a directory cannot be
// read: only a search can tell.
std::optional<std::string> tablebaseSearch(const std::string& path, int32_t cacheMB) {
    std::string search = std::to_string(cacheMB);
    std::string kinds = "---";
    bool anyCandidate = false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of(",;", start);
        if (end == std::string::npos) end = path.size();
        const std::string entry = path.substr(start, end - start);
        start = end + 1;
        if (entry.empty())
            kinds[0] = 'e';
        else if (entry.back() == '/')
            kinds[1] = 's';
        else
            kinds[2] = 'p';
        std::error_code error;
        if (entry.empty() || !std::filesystem::is_directory(entry, error)) continue;
        std::string candidates;
        std::filesystem::directory_iterator files(entry, error);
        if (error) return std::nullopt;
        for (const auto& file : files) {
            const std::string name = file.path().filename().string();
            if (!mayBeTable(name)) continue;
            candidates += ' ' + name + ':' + std::to_string(file.file_size(error)) + ':' + contentMark(file);
        }
        if (candidates.empty()) continue;
        anyCandidate = true;
        search += '\n' + std::filesystem::canonical(entry, error).string() + candidates;
    }
    return anyCandidate ? kinds + search : kinds;
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
    const std::string kept =
        SMALL_TABLES +
        fuzzsupport::keptLines(
            std::string(reinterpret_cast<const char*>(data), size), [](const std::string& line, bool) {
                std::string upper = line;
                for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                std::string word = upper.substr(std::min(upper.size(), upper.find_first_not_of(' ')));
                word = word.substr(0, word.find(' '));
                if (word.rfind("THREADS", 0) == 0) return false;
                // A learn file is created where its path says; one with a '/'
                // could leave the scratch directory.
                return upper.find("LEARN_PATH") == std::string::npos || line.find('/') == std::string::npos;
            });
    removeEarlierFiles();
    fuzzsupport::writeFile("falkmere.ini", reinterpret_cast<const uint8_t*>(kept.data()), kept.size());
    const int fd = fuzzsupport::inputDescriptor("");
    Engine& engine = fuzzsupport::resetEngine(fd, true);
    if (engine.logFile) std::fclose(engine.logFile);
    engine.logFile = nullptr;
    engine.init();
    if (engine.search.options.useBook) engine.books.load(engine.settings.bookPath, engine);
    static std::set<std::string> searchesMade;
    if (engine.search.options.useTablebases) {
        const std::optional<std::string> search =
            tablebaseSearch(engine.settings.tbPath, engine.settings.egtbCacheMB);
        if (!search || searchesMade.insert(*search).second) {
            if (searchesMade.size() > 4096) searchesMade.clear(); // a bound on the memory kept
            loadTablebases(engine.settings.tbPath, engine.settings.egtbCacheMB, false);
        }
    }
    engine.newGame();
    close(fd);
    return 0;
}
