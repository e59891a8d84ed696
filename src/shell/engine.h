// The engine: the search that plays the game, the transposition table, the
// settings, and the modes of the console and xboard front end. The shell's
// routines are its member functions; the game, the search, the input queue and
// the books and learning are parts it owns, each with its own job. The front
// ends share these parts through FrontEndServices (shell/frontend.h), which
// the engine implements.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "board/output.h"
#include "board/position.h"
#include "eval/evaluator.h"
#include "eval/tables.h"
#include "search/helpers.h"
#include "search/search.h"
#include "search/tt.h"
#include "shell/books.h"
#include "shell/frontend.h"
#include "shell/game.h"
#include "shell/inputqueue.h"
#include "shell/platform.h"

// Settings from falkmere.ini that belong to the shell (the others sit with
// their owners: switches with the search options, paths with the book and the
// learning store, piece values and weights with the evaluation parameters).
struct EngineSettings {
    bool useLog = false;
    int32_t egtbCacheMB = 2;
    char tbPath[256] = "d:\\nalimov";
    int32_t resignValue = -800;      // resign at or below this score (centipawns)
    char bookPath[256] = "book.dat"; // the book to play from: the engine's format or Polyglot
    bool bookBestMove = false;       // from a Polyglot book always the highest weight, else at random
    int32_t threads = 1;             // search threads: the main search and threads - 1 helpers
    // The sizes falkmere.ini gives the transposition table, the pawn cache and
    // the evaluation cache: a memory budget is shared out in their proportions.
    std::array<int32_t, 3> configuredMB = {16, 5, 2};
    // The megabytes all tables may take together, as xboard's memory or UCI's
    // Hash set it (0: none given, every table has its configured size).
    int32_t memoryMB = 0;
    // UCI_LimitStrength and UCI_Elo: the rating the engine plays at while the
    // limit is on (the search's eloLimit, 0 while it is off).
    bool limitStrength = false;
    int32_t elo = 1500;
    // The parameter file the modern profile evaluates with ("": its built-in set).
    char evalParamsPath[256] = "";
};

// What thinking output looks like.
enum class PostMode : int32_t { Silent = 0, Console = 1, Xboard = 2 };

// The modes that commands set.
struct ShellModes {
    bool xboard = false;
    int32_t computerSide = BLACK; // NEUTRAL: force mode, the engine plays neither side
    int32_t learnColor = BLACK;   // the side whose moves result learning credits
    PostMode post = PostMode::Console;
    bool ponderEnabled = true;
    int32_t pvDepth = 5; // thinking lines from this iteration on
    bool rawInput = false;
    bool uci = false; // the UCI front end runs (entered by a first command "uci")
};

class Engine final : public FrontEndServices, private SearchListener {
    // Declared first: the search is built on the game's position.
    Game theGame;

  public:
    Engine();
    ~Engine() override;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // --- parts and settings ----------------------------------------------------
    EngineSettings settings;
    ShellModes modes;
    MainHashTable hashTable;
    // The classic profile's evaluation parameters (falkmere.ini's piece values
    // and weights and the options change them, then applyEvaluationChange).
    EvalParams evalParams = classicEvalParams();
    // The modern profile's: its built-in set, or the file EVAL_PARAMS or the
    // option EvalParams names, taken whole (the weight keys leave it alone).
    EvalParams modernParams = modernEvalParams();
    // The set the profile in force evaluates with.
    const EvalParams& activeEvalParams() const {
        return search.options.profile == SearchProfile::Modern ? modernParams : evalParams;
    }
    // The piece-square tables built from the active set, which the game's
    // position sums with.
    PieceSquareTables pieceSquareTables = buildPieceSquareTables(evalParams);
    // The main search's evaluator, with the active set; its helpers read it
    // too. The shell's own evaluations (score, the score-drop reference of a
    // new position) use it.
    Evaluator evaluator{evalParams};
    Search search;
    HelperThreads helpers{hashTable};
    Books books;
    FILE* logFile = nullptr;

    // --- output ----------------------------------------------------------------
    // Writes to standard output, flushed, and with logging on to the log as well.
    void write(const std::string& text) override;

    // --- the front ends' interface that the console's routines use too -----------
    // (shell/frontend.h; the rest of it is implemented privately below.)
    Game& game() override { return theGame; }
    const Game& game() const { return theGame; }
    void newGame(Output& out) override;
    void newGame() { newGame(*this); }
    std::string optionValue(const EngineOption& option) const override;
    bool setOption(const EngineOption& option, const std::string& value, Output& out) override;
    InputQueue& inputQueue() override { return input; }
    void stopSearch() override { search.stop(); }
    void turnScoreReference() override { search.turnScoreReference(); }
    Move bookMove(Position& root, Move* moves, int32_t* scores, int count) override;
    void scoreDropped(const Search&) override;

    // --- the game (shell/game.h) and what the engine keeps of it ---------------
    // The record restarts at the board's position; the table is emptied and the
    // score-drop reference becomes the position's evaluation.
    void resetHistory();
    // Empties what the modern searches keep from one search to the next (move
    // histories, evaluation corrections), in the main search and the helpers.
    void forgetSearchMemory();
    // Switches the game's rules (Game::setChess960). A switch empties the table
    // too, whose keys and moves belong to the other rules. Books and learning
    // stay out of Chess960 games.
    void setChess960(bool on);

    // --- shell: start-up, commands, game flow (shell/) -------------------------
    void run(int argc, char** argv);
    void init();
    void mainLoop(int argc, char** argv);
    int parseCommand(const char* line);
    // A line that is no command, taken as a move of the game.
    void playInputMove(const char* line);
    // Plays the move the text names. One that is not legal is refused: at the
    // console with "Illegal Move!", under xboard with "Illegal move: TEXT" when
    // the text is written as a move (or `namedMove`, as after usermove) and as
    // an unknown command otherwise.
    void playMoveText(const std::string& text, bool namedMove);
    void enginesTurn();
    int ponder();
    // Set by playother: the engine ponders from the opponent's turn on.
    bool ponderOnOpponentsTurn = false;
    // "hint" while the engine ponders or analyses: prints the move it expects
    // or thinks best at once and returns true; false when no such search runs.
    bool hintFromRunningSearch();
    // Runs the search for the engine's turn, pondering, hint, analyze and test
    // suites (think, among every root move). A search for the engine's own
    // move leaves the pings that came meanwhile to be answered after its move.
    Move runSearch(bool ownMove = false);
    // Tests may put a scripted search in place of the real one.
    Move (*searchFunction)(Engine&) = nullptr;
    bool searching = false; // a search started by think is running
    // The game's position as the player sees it: while a search runs, the root
    // of its line (before the expected reply while pondering); else the position.
    Position& shownPosition();
    // Analysis of the position until "exit" (or another command that ends it):
    // moves, undo, new, setboard and edit act at once and the analysis starts
    // again on the new position.
    void analyze();
    Move ponderMove = NO_MOVE;
    Move ponderReply = NO_MOVE;
    // True when the position has exactly one king per side. Otherwise says so
    // (xboard: tellusererror) and puts the engine in force mode.
    bool positionPlayable();
    // True when the game record can take one more game move; otherwise says so
    // and puts the engine in force mode.
    bool roomForGameMove();

    // --- shell: test and analysis utilities (shell/utilities.cpp) ---------------
    void perftCommand(const char* line);
    // Times `iterations` generations of the position's moves, then as many
    // generations with every move made and unmade.
    void perf(int iterations = 2000000);
    void runEval(const char* path);
    void runEpd(const char* path);
    void bench(int depth, int threads = 1);
    // The search runs on `count` threads from now on (1 to MAX_THREADS).
    void setThreads(int count);
    static constexpr int MAX_THREADS = 64;

  private:
    InputQueue input;
    std::unique_ptr<Position> shown; // the copy shownPosition() makes during a search

    // --- the rest of the front ends' interface (shell/frontend.h) -----------------
    // Only the UCI session calls these from outside, through the interface.
    void enterUci(SearchListener& session) override;
    TimeControl& searchLimits() override { return search.time; }
    SearchModes& searchModes() override { return search.modes; }
    // Runs the scripted search in place of the real one when a test set one.
    Move think(const std::vector<Move>& rootMoves) override;
    void ponderHit() override { search.ponderHit(); }
    const Search& lastSearch() const override { return search; }
    void takeScoreReference() override;
    int evaluation() override;
    Move tableMove(const Board& board) const override;
    int tablePermilleUsed() const override { return hashTable.permilleUsed(); }

    // True when a line (or the end of input) is waiting; never blocks. At the
    // console, input is read raw from the first poll on.
    bool inputAvailable();

    // --- steps of start-up and of the game flow, for the engine's routines only ---
    void readConfig();
    // Runs the program's arguments as command lines, grouped from each of the
    // words runeval, runepd, score and quit to the next.
    void runArguments(int argc, char** argv);
    int parseSearchCommand(const char* line);
    bool playSearchedMove(Move best);
    // After the engine's search: the result that came meanwhile ends the turn,
    // else the move is played. True when the game goes on with the opponent to move.
    bool concludeTurn(Move best);
    // Ponders while pondering is on and no command waits: true when the
    // opponent's move has come and been played, so that the engine is to move.
    bool ponderUntilReply();
    // The opponent's legal move in any notation the console takes, read in the
    // game's position during a search; NO_MOVE when the text names none.
    Move opponentMoveFrom(const std::string& text);
    // Hands a known game result to the book's result learning (book on).
    void learnGameResult();
    // Answers the pings that came while the engine searched its own move; they
    // follow its move.
    void answerDeferredPings();

    // What the engine kept of a record that has restarted goes: the table is
    // emptied and the score-drop reference becomes the position's evaluation.
    void forgetOldRecord();

    // --- the search's listener (shell/thinking.cpp) ----------------------------
    // Reads waiting input, runs the commands allowed during a search, and
    // recognises the opponent's move while pondering.
    void poll(Search&) override;
    // What a line read during a search does: a search-time command acts, the
    // opponent's move while pondering hits or misses, anything else waits in
    // the input queue for the search to end (and ends it while the engine
    // ponders or analyses, when the engine is not on move).
    void takeLineDuringSearch(Search& s, const std::string& line);
    bool wantsLines(const Search&) const override;
    void line(const PvReport& report) override;
    void progress(const ProgressReport& report) override;
    void easyMove(const Search&) override;
    void deepeningStarts(const Search&) override;
    void bookMoveFound(const Search&) override;
    void finished(const Search&) override;
    void printStatistics();
};
