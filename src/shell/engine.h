// The engine: one object that owns the board, the game record, the search
// stack, the transposition table, the settings and the modes. The shell,
// search, book and learning code are its member functions, each subsystem in
// its own source folder.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

#include "board/board.h"
#include "search/plyrecord.h"
#include "search/stats.h"
#include "search/tt.h"
#include "shell/gamerecord.h"
#include "shell/platform.h"

struct BookRecord;

class Engine {
  public:
    Engine();
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // --- settings from falkmere.ini --------------------------------------------
    bool useBook = false;
    bool useLearn = false;
    bool useTablebases = false;
    bool useLog = false;
    bool useReductions = false;
    int32_t egtbCacheMB = 2;
    char tbPath[256] = "d:\\nalimov";
    char bookPath[256] = "book.dat";
    char learnPath[256] = "learn.dat";
    int32_t resignValue = -800;
    FILE* logFile = nullptr;

    // --- modes ---------------------------------------------------------------
    bool xboardMode = false;
    int32_t computerSide = BLACK; // 2: force mode, the engine plays neither side
    int32_t learnColor = BLACK;
    int32_t postMode = 1; // 0 silent, 1 console format, 2 xboard format
    bool ponderEnabled = true;
    int32_t gameResult = 0; // 0 none, 1 white won, 2 black won, 3 draw
    int32_t pvDepth = 5;
    bool rawInput = false;

    // --- time control ----------------------------------------------------------
    int32_t timeMode = 1; // 0 clock, 1 fixed time per move, 2 fixed depth
    int32_t moveTimeMs = 2000;
    int32_t depthLimit = 65;
    int32_t movesPerControl = 0;
    int32_t engineClockMs = 0;
    int32_t opponentClockMs = 0;
    int32_t incrementMs = 0;

    // --- search control ----------------------------------------------------------
    bool analyzeMode = false;
    bool stopRequested = false;
    bool searchAborted = false;
    bool pondering = false;
    bool ponderSearch = false;
    Move ponderMove = NO_MOVE;
    Move ponderReply = NO_MOVE;
    bool easyMove = false;
    int32_t failLowCount = 0;
    int32_t failHighCount = 0;
    int32_t iteration = 0;
    int32_t rootScore = 0;
    int32_t rootAlpha = 0;
    int32_t rootBeta = 0;
    int32_t lastScore = 0;
    int32_t bookExitPly = 0;
    int64_t startTime = 0;
    int64_t startCpuTime = 0;
    SearchStats stats{};

    // --- position, game record and search stack ------------------------------
    Board board;
    HistoryRecord history[HISTORY_SIZE];
    int32_t gamePly = 0;   // index of the top history record
    int32_t searchPly = 0; // pushes made by the current search
    MainHashTable hashTable;
    uint32_t historyCounters[4096] = {};

    // The ply record of search ply p; two empty records sit below ply 0 so that
    // looking two plies back from plies 0 and 1 finds nothing.
    PlyRecord& ply(int p) { return plyStack[p + 2]; }
    PlyRecord& currentPly() { return plyStack[searchPly + 2]; }
    HistoryRecord& top() { return history[gamePly]; }
    const HistoryRecord& top() const { return history[gamePly]; }

    // --- opening book and learning files -------------------------------------
    FILE* bookFile = nullptr;
    uint32_t whiteCount = 0;
    uint32_t blackCount = 0;
    FILE* learnFile = nullptr;
    uint32_t learnCount = 0;
    uint32_t learnWrapped = 0;

    // --- output ----------------------------------------------------------------
    // Formats like printf, writes to standard output and, with logging on, to the log.
    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // --- game record (shell/gamerecord.cpp) ------------------------------------
    void resetHistory();
    void newGame();
    void pushMove(Move move);
    void popMove();
    void pushNullMove();
    void popNullMove();
    // A move of the game itself rather than of a search: the search ply stays 0
    // between searches, so the ply records always start at the root.
    void pushGameMove(Move move) {
        pushMove(move);
        searchPly = 0;
    }
    void popGameMove() {
        popMove();
        searchPly = 0;
    }
    int isLegalBySquares(Square from, Square to);
    int checkGameEnd();
    // Moves the generators give for the current position: evasions in check.
    void generateMoves(Move* moves, int& count) const;
    // True while the game record has room for one more game move.
    bool hasRoomForMove() const { return gamePly < MAX_GAME_PLY; }

    // --- move text (shell/movetext.cpp) ----------------------------------------
    void moveToSan(Move move, char* text);
    void parseMove(Move& move, const char* text);
    Move moveFromSquares(Square from, Square to, int promotion) const;

    // --- test utilities (shell/perft.cpp) --------------------------------------
    // Leaves of the legal move tree; prints "." per root move when `progress`.
    uint64_t perft(int depth, bool progress = true);

    // --- shell: start-up, commands, game flow (shell/) -------------------------
    void run(int argc, char** argv);
    void init();
    void readConfig();
    void mainLoop(int argc, char** argv);
    // Runs the program's arguments as command lines, grouped from each of the
    // words runeval, runepd, score and quit to the next.
    void runArguments(int argc, char** argv);
    int parseSearchCommand(const char* line);
    int parseCommand(const char* line);
    // A line that is no command, taken as a move of the game.
    void playInputMove(const char* line);
    void enginesTurn();
    int ponder();
    bool playSearchedMove(Move best);
    // Called by the search every 9000 nodes: reads waiting input, runs the
    // commands allowed during a search, applies the clock rule.
    void checkInput();
    // Non-zero when a line (or the end of input) is waiting; never blocks.
    int inputAvailable();
    // The next input line (with its line feed), copied to the log; 0 at the end.
    int readInputLine(std::string& line);
    // Runs the search for the engine's turn, pondering, hint, analyze and test
    // suites. Tests may put a scripted search in place of think().
    Move runSearch();
    Move (*searchFunction)(Engine&) = nullptr;
    bool searching = false; // a search started by runSearch is running
    // True when the position has exactly one king per side. Otherwise says so
    // (xboard: tellusererror) and puts the engine in force mode.
    bool positionPlayable();
    // True when the game record can take one more game move; otherwise says so
    // and puts the engine in force mode.
    bool roomForGameMove();
    // Hands a known game result to the book's result learning (book on).
    void learnGameResult();
    LineInput input;

    // --- shell: test and analysis utilities (shell/utilities.cpp) ---------------
    void perftCommand(const char* line);
    // Times `iterations` generations of the position's moves, then as many
    // generations with every move made and unmade.
    void perf(int iterations = 2000000);
    void runEval(const char* path);
    void runEpd(const char* path);

    // --- search (search/) ------------------------------------------------------
    Move think();
    void allocateTime(int plies);
    void checkTime();
    void printPV(int score);
    int rootSearch(int alpha, int beta, int depth);
    int search(int alpha, int beta, int depth, bool nullAllowed);
    void computeExtension(Move move, int movesBefore);
    int quiescence(int alpha, int beta, int qdepth);
    int nextMove();
    // The variation of ply p becomes move m followed by the child's variation.
    void extendPV(int p, Move m) {
        PlyRecord& node = ply(p);
        const PlyRecord& child = ply(p + 1);
        node.pv[p] = m;
        for (int i = p + 1; i < child.pvEnd; ++i) node.pv[i] = child.pv[i];
        node.pvEnd = child.pvEnd > p + 1 ? child.pvEnd : p + 1;
    }
    // Fixed-depth search of the bench positions; prints nodes and speed. A depth
    // of 0 or less means BENCH_DEPTH.
    static constexpr int BENCH_DEPTH = 7;
    void bench(int depth);
    int32_t rootMoveCount = 0; // legal root moves of the running search
    int32_t rootMoveIndex = 0; // index of the root move being searched
    bool clockStopped = false; // the last stop of the search came from the clock rule
    bool quietSearch = false;  // think prints nothing at all (bench)
    // The position repeats one of the game record since the last capture or pawn move.
    bool isRepetition() const;
    // Orders the root list by ordering score, highest first; equal scores keep their order.
    void sortRootMoves();
    // The root list's index of a move, or -1.
    int rootIndexOf(Move move);
    void printProgress(int index);
    void printStatistics();
    // After a stop by the clock in clock play: more time when the score fell.
    void extendAfterScoreDrop();

    // --- opening book and learning (book/) -------------------------------------
    int loadBook(const char* path);
    Move bookMove();
    void listBook();
    void createBook(const char* path, int depth, int minElo);
    void mergeBook(const char* path1, const char* path2);
    int openLearnFile();
    void loadLearned();
    void learnPosition();
    void learnFromResult(int result);
    // File offset (at least 8) of a position's record in book section 0 (reached
    // by a white move) or 1 (by a black move), or 0 when it is not there.
    int64_t lookupBook(uint32_t keyLow, uint32_t keyHigh, int section, BookRecord& record);
    void closeBook();
    void closeLearnFile();

  private:
    PlyRecord plyStack[MAX_PLY + 2];
};

// Coordinate notation (e2e4, e7e8Q) and square names.
void moveToCoord(Move move, char* text);
void squareToText(Square square, char* text);
Move coordToMove(const char* text);
