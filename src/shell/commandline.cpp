#include "shell/commandline.h"

#include <cstring>

#include "shell/version.h"

namespace {

const char* const USAGE = "Falkmere, a chess engine for the console and for xboard and UCI interfaces.\n"
                          "\n"
                          "Usage: falkmere [-h | --help] [-v | --version] [GROUP...]\n"
                          "\n"
                          "Started without arguments, falkmere reads commands from standard input, one\n"
                          "a line:\n"
                          "  at the console   type moves (e2e4, Nf3, O-O) and commands; \"help\" lists\n"
                          "                   the commands. The engine plays Black; \"go\" makes it move.\n"
                          "  under xboard     the interface sends \"xboard\" first, for example\n"
                          "                   xboard -fcp falkmere -fd DIRECTORY-WITH-falkmere.ini\n"
                          "  under UCI        the interface sends \"uci\" first, which switches to UCI.\n"
                          "\n"
                          "Settings are read from falkmere.ini in the current directory (table sizes,\n"
                          "book, learning, tablebases, log file, evaluation weights); without it the\n"
                          "defaults apply. falkmere(6) and the sample falkmere.ini describe every key.\n"
                          "\n"
                          "Arguments run as commands before any input is read, in groups that begin\n"
                          "with one of these words (words before the first group are ignored):\n"
                          "  runepd FILE SECS   search each EPD position of FILE for SECS seconds and\n"
                          "                     count the solved ones\n"
                          "  runeval FILE       check that each EPD position of FILE evaluates like\n"
                          "                     its colour-mirrored copy\n"
                          "  score              print the evaluation of the position (score=N)\n"
                          "  quit               end the program\n"
                          "For example: falkmere runepd wac.epd 5 quit\n"
                          "\n"
                          "The command \"bench [DEPTH [THREADS]]\" searches fixed positions and prints the\n"
                          "total nodes and nodes per second, for example: echo bench | falkmere\n"
                          "\n"
                          "Options:\n"
                          "  -h, --help         print this help and exit\n"
                          "  -v, --version      print the version and exit\n";

} // namespace

bool startsArgumentGroup(const char* word) {
    return !std::strcmp(word, "runeval") || !std::strcmp(word, "runepd") || !std::strcmp(word, "score") ||
           !std::strcmp(word, "quit");
}

const char* usageText() { return USAGE; }

std::optional<int> handleOptions(int argc, char** argv, FILE* out, FILE* err) {
    for (int i = 1; i < argc && !startsArgumentGroup(argv[i]); ++i) {
        const char* word = argv[i];
        if (word[0] != '-') continue;
        if (!std::strcmp(word, "-h") || !std::strcmp(word, "--help")) {
            std::fputs(USAGE, out);
            return 0;
        }
        if (!std::strcmp(word, "-v") || !std::strcmp(word, "--version")) {
            std::fprintf(out, "Falkmere %s\n", FALKMERE_VERSION);
            return 0;
        }
        std::fprintf(err, "falkmere: unknown option '%s' (falkmere --help lists the options)\n", word);
        return 2;
    }
    return std::nullopt;
}
