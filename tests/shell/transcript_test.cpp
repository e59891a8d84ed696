// Transcripts of the real program: what it prints for what it reads, byte for
// byte, run through pipes in a fresh directory per case.
#include <algorithm>
#include <ranges>

#include "program.h"
#include "shell/help.h"
#include "shell/thinking.h"
#include "testutil.h"

namespace {

const std::string NO_INI = "Can't find falkmere.ini. Using defaults.\n\n";

// The answer to "protover 2" with the default settings: the features, the
// options xboard may set, then done=1.
const std::string FEATURES =
    "feature ping=1 setboard=1 analyze=1 draw=0 name=1 sigint=0 sigterm=0 memory=1 smp=1 egt=\"nalimov\" "
    "usermove=1 playother=1 colors=0 variants=\"normal,fischerandom\" myname=\"Falkmere 1.08\"\n"
    "feature option=\"Clear Hash -button\"\n"
    "feature option=\"OwnBook -check 0\"\n"
    "feature option=\"BookFile -string book.dat\"\n"
    "feature option=\"BookBestMove -check 0\"\n"
    "feature option=\"Learning -check 0\"\n"
    "feature option=\"LearnFile -string learn.dat\"\n"
    "feature option=\"NalimovCache -spin 2 1 1024\"\n"
    "feature option=\"Move Overhead -spin 50 0 5000\"\n"
    "feature option=\"MultiPV -spin 1 1 256\"\n"
    "feature option=\"UCI_LimitStrength -check 0\"\n"
    "feature option=\"UCI_Elo -spin 1500 1000 2400\"\n"
    "feature option=\"Reductions -check 0\"\n"
    "feature option=\"Profile -combo *classic /// modern\"\n"
    "feature option=\"EvalParams -string <empty>\"\n"
    "feature option=\"PawnValue -spin 100 1 1000\"\n"
    "feature option=\"KnightValue -spin 325 1 2000\"\n"
    "feature option=\"BishopValue -spin 325 1 2000\"\n"
    "feature option=\"RookValue -spin 500 1 3000\"\n"
    "feature option=\"QueenValue -spin 975 1 5000\"\n"
    "feature option=\"PieceFavour -spin 75 0 500\"\n"
    "feature option=\"PieceMobility -spin 100 0 500\"\n"
    "feature option=\"KingAttack -spin 120 0 500\"\n"
    "feature option=\"SpaceControl -spin 120 0 500\"\n"
    "feature option=\"PawnStructure -spin 100 0 500\"\n"
    "feature done=1\n";
const std::string HASH_LINE = "main cache    16 MB [262144 entries]\n";

// The session after the start-up lines of a run without falkmere.ini: it says
// so, prints no banner and writes no log.
std::string session(const std::string& input, const std::vector<std::string>& args = {}) {
    TempDir dir;
    std::string startup;
    const std::string rest = afterStartup(runProgram(dir.path(), input, args), &startup);
    EXPECT_EQ(startup, NO_INI + HASH_LINE + "\n");
    EXPECT_FALSE(dir.exists("fal000.log"));
    return rest;
}

const std::string START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

// The diagram of the initial position as "d" prints it.
const std::string START_DIAGRAM = [] {
    const std::string border = "       #====#====#====#====#====#====#====#====#\n";
    const std::string ranks[8] = {"# `r'# `n'# `b'# `q'# `k'# `b'# `n'# `r'#",
                                  "# `p'# `p'# `p'# `p'# `p'# `p'# `p'# `p'#",
                                  "",
                                  "",
                                  "",
                                  "",
                                  "#  P #  P #  P #  P #  P #  P #  P #  P #",
                                  "#  R #  N #  B #  Q #  K #  B #  N #  R #"};
    std::string d = "\n" + border;
    for (int i = 0; i < 8; ++i)
        d += "    " + std::to_string(8 - i) + "  " +
             (ranks[i].empty() ? "#    #    #    #    #    #    #    #    #" : ranks[i]) + "\n" + border;
    return d + "          a    b    c    d    e    f    g    h\n\n       " + START_FEN + "\n\n";
}();

// Splits the banner at its build-date line, which must look like "Feb  5 2005".
void expectBanner(const std::string& startup, const std::string& tail) {
    const std::string welcome = "Welcome to Falkmere 1.08\n";
    ASSERT_EQ(startup.substr(0, welcome.size()), welcome) << startup;
    const std::string date = startup.substr(welcome.size(), 13);
    EXPECT_TRUE(std::regex_match(date, std::regex("[A-Z][a-z]{2} [ 123][0-9] [0-9]{4}\n\n"))) << date;
    EXPECT_EQ(startup.substr(welcome.size() + 13), tail);
}

} // namespace

TEST(Startup, BannerShowsTheSettingsOfTheIniFile) {
    TempDir dir;
    dir.write("falkmere.ini", "; comment lines are lines whose first word is no key\n"
                              "this line is a comment too\n"
                              "\n"
                              "learn_path  my.dat\n"
                              "Use_Learn On\n"
                              "Resign_Value -3 pawns\n"
                              "MAIN_HASH_SIZE 0\n"
                              "MAIN_HASH_SIZE -5\n"
                              "pawn_value 90\n"
                              "KNIGHT_VALUE 330\n"
                              "queen_value x\n"
                              "king_attack -7\n"
                              "EGTB_CACHE 4\n"
                              "TB_PATH /tb/five;/tb/six\n"
                              "reductions ON\n"
                              "BOOK_PATH=other.dat\n"
                              "book_path opening.dat\n"
                              "book_path\n"
                              "USE_TB\tON\n");
    std::string startup;
    const std::string rest = afterStartup(runProgram(dir.path(), ""), &startup);
    expectBanner(startup, "book [opening.dat]\n"
                          "learning OFF\n"
                          "learn [my.dat]\n"
                          "egtb [/tb/five;/tb/six]\n"
                          "egtb cache     4 MB\n"
                          "resign @ [3 pawns]\n"
                          "reductions ON\n"
                          "pawn   =   90\tknight =  330\tbishop =  325\n"
                          "rook   =  500\tqueen  =  975\n"
                          "piece_favour   =   75\tpiece_mobility =  100\n"
                          "king_attack    =   -7\tspace_control  =  120\n"
                          "pawn_structure =  100\n" +
                              HASH_LINE + "\n");
    EXPECT_EQ(rest, "WHITE<1>: ");
}

TEST(Startup, APositiveResignValueAndAMainCacheSizeAreUsedAndAnOverlargeQueenValueIsNot) {
    TempDir dir;
    dir.write("falkmere.ini", "RESIGN_VALUE 3\nMAIN_HASH_SIZE 1\nQUEEN_VALUE 1000000000\n");
    std::string startup;
    afterStartup(runProgram(dir.path(), ""), &startup);
    // The settings the file leaves out keep their defaults.
    EXPECT_NE(startup.find("\nbook [book.dat]\nlearning OFF\nlearn [learn.dat]\negtb [d:\\nalimov]\n"
                           "egtb cache     2 MB\nresign @ [3 pawns]\nreductions OFF\npawn   =  100\t"),
              std::string::npos)
        << startup;
    EXPECT_TRUE(startup.starts_with("QUEEN_VALUE takes a number from -5000 to 5000, not 1000000000; "
                                    "unchanged\n"))
        << startup;
    EXPECT_NE(startup.find("queen  =  975\n"), std::string::npos) << startup;
    EXPECT_NE(startup.find("\nmain cache     1 MB [16384 entries]\n"), std::string::npos) << startup;
}

TEST(Log, TheFirstFreeNumberIsUsedAndOnlyPrintedOutputAndInputGoThere) {
    TempDir dir;
    dir.write("falkmere.ini", "USE_LOG ON\n");
    dir.write("fal000.log", "older log\n");
    const std::string out = runProgram(dir.path(), "d\nfen\nmoves\nxboard\nprotover 2\nnews\n");
    EXPECT_EQ(dir.read("fal000.log"), "older log\n");
    ASSERT_TRUE(dir.exists("fal001.log"));
    const std::string log = dir.read("fal001.log");
    std::string banner;
    const std::string rest = afterStartup(out, &banner);
    // The log holds the banner and everything printed through the one printing
    // routine, and the input lines; not the hash line, the prompt, the diagram,
    // the move list or the answer to "xboard".
    const std::string bannerPart = banner.substr(0, banner.find("main cache"));
    EXPECT_EQ(log, bannerPart + "\n" + "xboard>: d\n" + "xboard>: fen\n" + START_FEN + "\n" +
                       "xboard>: moves\n" + "xboard>: xboard\n" + "xboard>: protover 2\n" + FEATURES +
                       "xboard>: news\n" + "Error (unknown command): news\n");
    EXPECT_NE(rest.find(START_DIAGRAM), std::string::npos);
    EXPECT_NE(rest.find("\nkibitz Greetings from Falkmere 1.08\n"), std::string::npos);
}

TEST(Log, AnUnterminatedLastLineKeepsItsLastCharacter) {
    const std::pair<const char*, bool> cases[] = {
        {"USE_LOG ON", true}, {"USE_LOG ON\r\n", true}, {"use_log  on\n", true}, {"USE_LOG On\n", false}};
    for (const auto& [ini, logs] : cases) {
        TempDir dir;
        dir.write("falkmere.ini", ini);
        runProgram(dir.path(), "fen\n");
        EXPECT_EQ(dir.exists("fal000.log"), logs) << ini;
    }
}

// A directory with logging on and the log names fal000.log up to `count` - 1 taken.
static void logsTaken(const TempDir& dir, int count) {
    dir.write("falkmere.ini", "USE_LOG ON\n");
    char name[32];
    for (int n = 0; n < count; ++n) {
        std::snprintf(name, sizeof name, "fal%03d.log", n);
        dir.write(name, "old\n");
    }
}

TEST(Log, AllNamesTakenReusesTheLastOne) {
    TempDir dir;
    logsTaken(dir, 200);
    runProgram(dir.path(), "fen\n");
    EXPECT_EQ(dir.read("fal198.log"), "old\n");
    EXPECT_NE(dir.read("fal199.log").find("xboard>: fen\n" + START_FEN + "\n"), std::string::npos);
    EXPECT_FALSE(dir.exists("fal200.log"));
}

TEST(Log, ALogThatCannotBeCreatedSwitchesLoggingOff) {
    TempDir dir;
    logsTaken(dir, 199);
    // A directory in the way of the last name: it opens for reading, not for writing.
    ASSERT_EQ(mkdir(dir.file("fal199.log").c_str(), 0755), 0);
    std::string startup;
    const std::string rest = afterStartup(runProgram(dir.path(), "fen\n"), &startup);
    EXPECT_EQ(startup.substr(0, 51), "Can't create log file fal199.log: logging is off\nWe");
    EXPECT_EQ(rest, "WHITE<1>: " + START_FEN + "\nWHITE<1>: ");
}

// The texts between the prompts: one for each topic, the general help for
// an unknown one.
TEST(Commands, HelpTopics) {
    std::vector<std::string> texts;
    for (const auto text :
         std::views::split(session("help\nhelp book\nhelp edit\nhelp me\n"), std::string_view("WHITE<1>: ")))
        texts.emplace_back(text.begin(), text.end());
    ASSERT_EQ(texts.size(), 6u) << "nothing before the first prompt or after the last";
    EXPECT_EQ(texts.front() + texts.back(), "");
    const std::string& general = texts[1];
    EXPECT_EQ(texts[4], general);
    EXPECT_EQ(std::ranges::count(general, '\n'), 30);
    for (const std::string& word : helpCommandWords())
        EXPECT_NE(general.find(word), std::string::npos) << word;
    EXPECT_TRUE(texts[2].starts_with("book:\n")) << texts[2];
    EXPECT_NE(texts[3].find("             - '.' exit edit mode\n"), std::string::npos) << texts[3];
}

TEST(Commands, DisplayFenAndHistory) {
    EXPECT_EQ(session("d\nfen\n"), "WHITE<1>: " + START_DIAGRAM + "WHITE<1>: " + START_FEN + "\nWHITE<1>: ");
    EXPECT_EQ(session("force\ne2e4\ne7e5\ng1f3\nhistory\nfen\n"),
              "WHITE<1>: WHITE<1>: BLACK<1>: WHITE<2>: BLACK<2>:  white     black\n"
              "1.e2e4     e7e5\n"
              "2.g1f3     \n"
              "BLACK<2>: rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq -\n"
              "BLACK<2>: ");
}

TEST(Commands, MovesListsEveryLegalMove) {
    const std::string fen = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -";
    const std::string out = session("setboard " + fen + " 0 1\nmoves\n");
    const std::string prompt = "WHITE<1>: ";
    ASSERT_EQ(out.substr(0, 2 * prompt.size()), prompt + prompt);
    ASSERT_EQ(out.substr(out.size() - prompt.size()), prompt);
    std::istringstream listed(out.substr(2 * prompt.size(), out.size() - 3 * prompt.size()));
    std::vector<std::string> printed, expected;
    for (std::string line; std::getline(listed, line);) printed.push_back(line);
    for (Move m : legalMoves(*positionAt(fen))) expected.push_back(coord(m));
    EXPECT_EQ(printed.size(), 48u);
    std::sort(printed.begin(), printed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(printed, expected);
}

TEST(Commands, UndoAndRemoveInConsoleMode) {
    // Console undo always ends in force mode, so the engine does not reply.
    EXPECT_EQ(session("undo\ne2e4\nfen\nremove\nfen\ne7e5\nremove\nfen\nundo\nundo\nfen\n"),
              "WHITE<1>: WHITE<1>: BLACK<1>: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3\n"
              "BLACK<1>: BLACK<1>: rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3\n"
              "BLACK<1>: WHITE<2>: WHITE<1>: " +
                  START_FEN + "\nWHITE<1>: WHITE<1>: WHITE<1>: " + START_FEN + "\nWHITE<1>: ");
}

TEST(Commands, UndoAndRemoveInXboardModeLeaveTheEnginesSideAlone) {
    const std::string out =
        session("xboard\nnew\nforce\ne2e4\ne7e5\nundo\nfen\nremove\nfen\nundo\nfen\nnew\nundo\nsd 1\n"
                "nopost\neasy\ne2e4\nping 1\n");
    const std::string head = "WHITE<1>: \nkibitz Greetings from Falkmere 1.08\n"
                             "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3\n"
                             "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3\n" +
                             START_FEN + "\n";
    ASSERT_EQ(out.substr(0, head.size()), head) << out;
    // After "new" and an "undo" that took nothing back, the engine still plays black.
    std::smatch m;
    const std::string tail = out.substr(head.size());
    ASSERT_TRUE(std::regex_match(tail, m, std::regex("move ([a-h][1-8][a-h][1-8][QRBN]?)\npong 1\n")))
        << tail;
}

TEST(Commands, IllegalMoveOrUnknownCommand) {
    EXPECT_EQ(session("force\nnews\ne2e5\n\nNf6\n"),
              "WHITE<1>: WHITE<1>: Illegal Move!\nWHITE<1>: Illegal Move!\nWHITE<1>: Illegal Move!\n"
              "WHITE<1>: Illegal Move!\nWHITE<1>: ");
    // Under xboard a line written as a move that is not legal is an illegal
    // move (so that the GUI takes it back), whatever the notation; other lines
    // are unknown commands.
    EXPECT_EQ(
        session("xboard\nforce\nnews\ne2e5\n\nNf6\ne7e8k\nusermove e2e5\nusermove e2e4\nfen\nO-O\nexd5\n"),
        "WHITE<1>: \nkibitz Greetings from Falkmere 1.08\nError (unknown command): news\n"
        "Illegal move: e2e5\nError (unknown command): \nIllegal move: Nf6\nIllegal move: e7e8k\n"
        "Illegal move: e2e5\nrnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3\n"
        "Illegal move: O-O\nIllegal move: exd5\n");
}

TEST(Commands, XboardHandshake) {
    EXPECT_EQ(
        session(
            "xboard\nprotover 2\naccepted setboard\nrejected ping\nrandom\ncomputer\nbk\nname Phalanx XXV\n"
            "draw\nrating 1800 1900\nics -\ncores 2\nping 7\n"),
        "WHITE<1>: \nkibitz Greetings from Falkmere 1.08\n" + FEATURES +
            " no book open\n\nOpponent is Phalanx\npong 7\n");
}

TEST(Commands, MissingOrMalformedNumbersChangeNothingAndSaySo) {
    EXPECT_EQ(
        session("st\nsd x\nlevel 40\nlevel 40 5:x 0\nperft -3\nperft 21\npv\ntime\notim 1e\nst -1\nsd 0\n"),
        "WHITE<1>: Error (st needs seconds from 0 to 2147483; unchanged): st\n"
        "WHITE<1>: Error (sd needs a depth of 1 or more; unchanged): sd x\n"
        "WHITE<1>: Error (level needs moves, base time and increment; unchanged): level 40\n"
        "WHITE<1>: Error (level needs moves, base time and increment; unchanged): level 40 5:x 0\n"
        "WHITE<1>: Error (perft depth must be 0 to 20): perft -3\n"
        "WHITE<1>: Error (perft depth must be 0 to 20): perft 21\n"
        "WHITE<1>: Error (pv needs a depth; unchanged): pv\n"
        "WHITE<1>: Error (time needs centiseconds; unchanged): time\n"
        "WHITE<1>: "
        "WHITE<1>: Error (st needs seconds from 0 to 2147483; unchanged): st -1\n"
        "WHITE<1>: Error (sd needs a depth of 1 or more; unchanged): sd 0\n"
        "WHITE<1>: ");
}

TEST(Commands, PerftCountsAndReportsARate) {
    const std::string out = session("perft\nperft 3\n");
    EXPECT_TRUE(std::regex_match(
        out, std::regex("WHITE<1>: \\.{20}\nsearched 20 moves in [0-9]+\\.[0-9]{2} secs at a "
                        "rate of [1-9][0-9]* moves/sec\n"
                        "WHITE<1>: \\.{20}\nsearched 8902 moves in [0-9]+\\.[0-9]{2} secs at "
                        "a rate of [1-9][0-9]* moves/sec\nWHITE<1>: ")))
        << out;
}

TEST(Commands, LinesOfAnyLengthOrContentAreSafe) {
    std::string input = "force\n";
    input += std::string(10000, 'x') + "\n";
    input += "\x01\x02\xff\xfe binary\n";
    input += std::string("e2e4\0garbage\n", 13);
    input += std::string(300, ' ') + "\n";
    input += "st " + std::string(5000, '9') + "\n";
    input += "setboard " + std::string(400, 'p') + " w - -\n";
    input += "fen\n";
    const std::string out = session(input);
    // The NUL ends the text of its line: e2e4 is played.
    EXPECT_NE(out.find("Illegal Move!\nWHITE<1>: Illegal Move!\nWHITE<1>: BLACK<1>: Illegal Move!\n"),
              std::string::npos)
        << out.substr(0, 300);
    EXPECT_NE(out.find("Error (st needs seconds"), std::string::npos);
    // A refused FEN leaves the position as it was.
    const std::string afterE4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3";
    EXPECT_EQ(out.substr(out.size() - afterE4.size() - 11), afterE4 + "\nBLACK<1>: ");
}

TEST(Commands, PositionsWithoutOneKingPerSideAreKeptButNotPlayed) {
    std::string refusals; // of go, analyze, hint, perft, moves and score
    for (int i = 0; i < 6; ++i) refusals += "WHITE<1>: Illegal position: each side needs exactly one king\n";
    EXPECT_EQ(
        session("setboard 8/8/8/8/8/8/4P3/8 w - -\ne2e4\nfen\ngo\nanalyze\nhint\nperft 2\nmoves\nscore\n"
                "setboard 4k3/8/8/8/8/8/4P3/4K3 w - -\ne2e4\n"),
        "WHITE<1>: WHITE<1>: Illegal position: each side needs exactly one king\n"
        "WHITE<1>: 8/8/8/8/8/8/4P3/8 w - -\n" +
            refusals + "WHITE<1>: WHITE<1>: BLACK<1>: ");
    // xboard: the protocol's own message, for the engine's turn (it plays black),
    // "go" and a move; each time the engine is left in force mode.
    EXPECT_EQ(
        session("xboard\nsetboard 2k1k3/8/8/8/8/8/4P3/4K3 b - -\ngo\ne2e4\nedit\n#\nKe1\nc\nke8\n.\nfen\n"),
        "WHITE<1>: \nkibitz Greetings from Falkmere 1.08\n"
        "tellusererror Illegal position\n"
        "tellusererror Illegal position\n"
        "tellusererror Illegal position\n"
        "4k3/8/8/8/8/8/8/4K3 b - -\n");
}

TEST(Arguments, GroupsRunAsCommandsBeforeInput) {
    TempDir dir;
    // The only legal move is the solution: the search returns it without output.
    dir.write("suite.epd", "k7/8/8/8/8/8/1r6/K7 w - - bm Kxb2; id \"one\";\n"
                           "8/8/8/8/8/8/8/9 w - - bm e4;\n"
                           "too short\n");
    int status = 0;
    const std::string out = afterStartup(
        runProgram(dir.path(), "fen\n", {"ignored", "words", "runepd", "suite.epd", "1", "quit"}, &status));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "----------------------------------------------------------------------------\n"
                   "k7/8/8/8/8/8/1r6/K7 w - - bm Kxb2; id \"one\";\n"
                   "\nSuccess! => 1/1\n"
                   "----------------------------------------------------------------------------\n"
                   "8/8/8/8/8/8/8/9 w - - bm e4;\n"
                   "unknown char in fen [ 8/8/8/8/8/8/8/9 w - -  ]\n"
                   "----------------------------------------------------------------------------\n"
                   "too short\n"
                   "----------------------------------------------\n"
                   "             Total  = 1\n"
                   "             Solved = 1\n"
                   "  percentage solved = 100.0%\n"
                   "----------------------------------------------\n"
                   "Bye Bye!\n");
}

TEST(Arguments, MissingFilesAndEmptySuites) {
    TempDir dir;
    dir.write("empty.epd", "");
    int status = 0;
    const std::string out = afterStartup(
        runProgram(dir.path(), "", {"runeval", "nothere.epd", "runepd", "empty.epd", "2", "quit"}, &status));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "Can't find epd file\n"
                   "----------------------------------------------\n"
                   "             Total  = 0\n"
                   "             Solved = 0\n"
                   "  percentage solved = 0.0%\n"
                   "----------------------------------------------\n"
                   "Bye Bye!\n");
}

TEST(Arguments, RunevalComparesEachPositionWithItsMirror) {
    TempDir dir;
    dir.write("eval.epd", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 bm e5;\n"
                          "4k3/8/8/8/8/8/8/8 w - - bm Kd2;\n");
    const std::string out = afterStartup(runProgram(dir.path(), "fen\n", {"runeval", "eval.epd"}));
    EXPECT_TRUE(
        std::regex_match(out, std::regex("sc = +-?[0-9]+ sc1 = +-?[0-9]+\n"
                                         "Illegal position \\(each side needs exactly one king\\): 4k3.*\n"
                                         "WHITE<1>: " +
                                         std::string("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -") +
                                         "\nWHITE<1>: ")))
        << out;
    const std::string line = out.substr(0, out.find('\n'));
    int sc = 0, sc1 = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "sc = %d sc1 = %d", &sc, &sc1), 2);
    EXPECT_EQ(sc, sc1);
}

TEST(ThinkingOutput, NodeCountsBeyondThirtyTwoBitsArePrintedWhole) {
    auto root = positionAt(START_FEN + " 0 1");
    PvReport report{*root, 12, 20, 5000000000ull, 31, 123456, ScoreBound::Exact, {}, 1, 0};
    report.moves[0] = moveNamed(*root, "e2e4");
    EXPECT_EQ(thinkingLine(report, false), "12 31 12345 5000000000 1. e4\n");
    EXPECT_NE(thinkingLine(report, true).find(" 5000000000 "), std::string::npos);
}
