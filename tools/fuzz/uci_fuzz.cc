// libFuzzer target: UCI command streams, from the "uci" that opens the session
// to the end of the input (which must end it, whether a search is running, an
// infinite or ponder search holds its best move, or nothing runs). Every "go"
// is held to a few hundred nodes; options that change the memory, threads or
// files are left out, and "quit" ends the session as it should.
#include <cstdint>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine_support.h"
#include "shell/uci.h"
#include "shell/words.h"

namespace {

bool optionAllowed(const std::string& line) {
    std::string text = line;
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* refused : {"hash", "threads", "nalimov", "learn", "bookfile"})
        if (text.find(refused) != std::string::npos) return false;
    return true;
}

// Options that would change memory, threads or files are dropped; every "go"
// gets a node limit (the last "nodes" of a go command is the one that counts).
bool lineAllowed(std::string& line, bool) {
    const std::vector<std::string> words = splitWords(line.c_str());
    if (!words.empty() && words[0] == "setoption" && !optionAllowed(line)) return false;
    if (!words.empty() && words[0] == "go") {
        const bool ended = !line.empty() && line.back() == '\n';
        if (ended) line.pop_back();
        line += " nodes " + std::to_string(fuzzsupport::SEARCH_NODES) + (ended ? "\n" : "");
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::enterScratchDirectory();
    fuzzsupport::startEngine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = fuzzsupport::inputDescriptor(
        fuzzsupport::keptLines(fuzzsupport::textWithoutNul(data, size), lineAllowed));
    Engine& engine = fuzzsupport::resetEngine(fd);
    UciSession(engine).run();
    close(fd);
    return 0;
}
