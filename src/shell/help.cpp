#include "shell/help.h"

#include <algorithm>
#include <cstring>

#include "shell/engine.h"

namespace {

const char* const EDIT_HELP[] = {
    "             - '#' clears board\n",        "             - 'c' changes side to be edited\n",
    "             - 'ka4' insert king at a4\n", "             - 'xa4' remove piece at a4\n",
    "             - '.' exit edit mode\n",
};

const char* const BOOK_HELP[] = {
    "book:\n",
    "         +                           - shows available book moves\n",
    "         + on                        - turns book use on\n",
    "         + off                       - turns book use off\n",
    "+ load   + [path]                    - loads book\n",
    "+  add   + [path1] + [path2]         - Add book path2 on book path1\n",
    "+ cpgn   + [path]  + [depth] + [elo] - creates book from a collection of games\n",
};

const char* const GENERAL_HELP[] = {
    "go              - computer plays for the side to move\n",
    "force           - computer stops playing for any side\n",
    "?               - computer moves immediately\n",
    "quit            - exit the program\n",
    "st <n>          - sets search time per move to n seconds\n",
    "sd <n>          - sets search depth per move to n\n",
    "undo            - takes back a half move\n",
    "remove          - takes back a full move\n",
    "new             - starts a new game\n",
    "hard/easy       - turns pondering on/off\n",
    "hint            - gives a hint move for the side to move\n",
    "post/nopost     - turns output posting on/off\n",
    "perf            - times move generator\n",
    "perft <n>       - tests move generator\n",
    "xboard          - switch to XBoard mode\n",
    "d               - display the board\n",
    "vboard          - inverts board symmetrically to the opponent\n",
    "runepd <f> <t>  - analyzes epd position in file f at t seconds\n",
    "runeval <f>     - evaluates positions in epd file\n",
    "d               - display the board\n",
    "pv <n>          - display pv after depth n\n",
    "multipv <n>     - searches and shows the n best moves\n",
    "score           - displays the evaluation for the position\n",
    "fen             - display the fen\n",
    "history         - display game history\n",
    "setboard <s>    - sets board to a FEN string s\n",
    "variant <v>     - plays normal chess or fischerandom (Chess960)\n",
    "analyze         - analyzes current position\n",
    "edit            - sets you in edit mode[more]\n",
    "book            - manages book[more]\n",
};

template <size_t N> void printLines(Engine& engine, const char* const (&lines)[N]) {
    for (const char* line : lines) engine.print("%s", line);
}

} // namespace

void printHelp(Engine& engine, const char* topic) {
    if (!std::strcmp(topic, "edit"))
        printLines(engine, EDIT_HELP);
    else if (!std::strcmp(topic, "book"))
        printLines(engine, BOOK_HELP);
    else
        printLines(engine, GENERAL_HELP);
}

std::vector<std::string> helpCommandWords() {
    std::vector<std::string> words;
    for (const char* line : GENERAL_HELP) {
        const std::string entry(line, std::strcspn(line, " "));
        for (size_t start = 0; start <= entry.size();) {
            const size_t end = std::min(entry.find('/', start), entry.size());
            const std::string word = entry.substr(start, end - start);
            if (std::find(words.begin(), words.end(), word) == words.end()) words.push_back(word);
            start = end + 1;
        }
    }
    return words;
}
