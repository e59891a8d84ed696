// libFuzzer target: console and xboard command streams, run through the main
// loop as the program runs them (a line that is no command is a move; "xboard"
// switches protocol; edit mode, analysis, pondering and hints read the same
// input). The input ends with the stream, which must end every mode. Searches
// stop after a few hundred nodes. Lines that would end the process, take long
// by design (perf, bench, deep perft), write files or change the memory and
// threads are left out of the stream.
#include <cstdint>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine_support.h"
#include "shell/words.h"

namespace {

bool optionAllowed(const std::string& line) {
    std::string name = line.substr(std::min(line.size(), line.find_first_not_of(' ', 6)));
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* refused : {"hash", "threads", "nalimov", "learn", "bookfile"})
        if (name.rfind(refused, 0) == 0) return false;
    return true;
}

bool lineAllowed(std::string& line, bool first) {
    const std::string word = firstWord(line.c_str());
    const std::vector<std::string> words = splitWords(line.c_str());
    if (word == "quit" || word == "perf" || word == "bench" || word == "cores" || word == "egtpath")
        return false;
    if (first && word == "uci") return false; // the UCI target runs that protocol
    int32_t n = 0;
    if (word == "perft") return words.size() < 2 || !readInteger(words[1], n) || n <= 2;
    if (word == "memory") return words.size() < 2 || !readInteger(words[1], n) || n <= 4;
    if (word == "book")
        return words.size() < 2 || words[1] == "on" || words[1] == "off" || words[1] == "load";
    if (word == "option") return optionAllowed(line);
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
    char name[] = "falkmere";
    char* argv[] = {name, nullptr};
    engine.mainLoop(1, argv);
    close(fd);
    return 0;
}
