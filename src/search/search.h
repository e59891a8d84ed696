// The search: iterative deepening with time management, the root search, the
// alpha-beta and quiescence searches, move ordering and extensions. A Search
// works on a Position it is given, stores into a transposition table it is
// given, and reports to a listener that the front end supplies; it prints
// nothing itself.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "board/position.h"
#include "board/score.h"
#include "search/limits.h"
#include "search/modern/params.h"
#include "search/plyrecord.h"
#include "search/report.h"
#include "search/stats.h"
#include "search/tt.h"

class Search;
class HelperThreads;
class BusyMoves;
struct ModernState;
class Evaluator;

// The front end's side of a search. Every call comes from the searching thread.
class SearchListener {
  public:
    virtual ~SearchListener() = default;
    // Every 9000 nodes of a search that is not of fixed depth: read waiting
    // input and run the commands allowed during a search, which may stop it
    // (Search::stop) or turn pondering into the engine's own search
    // (Search::ponderHit). The clock rule is applied after it.
    virtual void poll(Search&) {}
    // Whether a principal-variation line of this iteration is wanted.
    virtual bool wantsLines(const Search&) const { return false; }
    virtual void line(const PvReport&) {}
    // The root move about to be searched (a line is wanted in this iteration).
    virtual void progress(const ProgressReport&) {}
    // One root move is far ahead of the rest: the search will be short.
    virtual void easyMove(const Search&) {}
    // Iterative deepening begins (after the book, and with the allowance set).
    virtual void deepeningStarts(const Search&) {}
    // The opening book's move among the legal root moves (the book may reorder
    // the list and its ordering scores), or NO_MOVE. Asked only while
    // options.useBook is on, outside analysis, within six plies of the last
    // book move.
    virtual Move bookMove(Position&, Move* /*moves*/, int32_t* /*scores*/, int /*count*/) { return NO_MOVE; }
    // The book gave the move.
    virtual void bookMoveFound(const Search&) {}
    // The clock stopped a search of clock play whose score had fallen: a
    // position worth remembering (learning, while options.useLearn is on).
    virtual void scoreDropped(const Search&) {}
    // The depth of the next iteration, given the one that follows the last.
    virtual int nextIteration(const Search&, int following) { return following; }
    // An iteration ended inside its window (not stopped): the search's
    // iteration, rootScore and root variation are its result.
    virtual void iterationCompleted(const Search&) {}
    // The search has ended with a searched move.
    virtual void finished(const Search&) {}
};

class Search {
  public:
    Search(Position& position, MainHashTable& table, SearchListener& listener, Evaluator& evaluator);
    ~Search();
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;

    // --- what the front end sets --------------------------------------------
    TimeControl time;
    SearchModes modes;
    SearchOptions options;
    // Only these root moves are searched (empty: every legal move).
    std::vector<Move> searchMoves;
    // The switches and numbers of the modern profile (options.profile).
    ModernParams modernParams;

    // Another front end takes the reports from now on.
    void setListener(SearchListener& other) { listener = &other; }
    // Threads that search the same root beside this one while it deepens
    // (null: this search alone).
    void attachHelpers(HelperThreads* threads) { helpers = threads; }
    // This search is a helper thread's: it starts `offset` iterations deeper
    // than the main search, resets no shared statistics, keeps publishing its
    // node count and puts off the moves other threads are busy with.
    void becomeHelper(BusyMoves& busy, int offset, uint32_t interval);
    int depthOffset() const { return helperDepthOffset; }

    // The best move for the position, NO_MOVE when there is none (no legal
    // move, a position without both kings, or no room in the game record).
    Move think();
    // The move-ordering memory the modern profile keeps from search to search
    // (its histories) is emptied: a new game, or a bench position.
    void forgetHistory();
    // Asks the running search to stop as soon as it can.
    void stop() { stopRequested = searchAborted = true; }
    // The expected reply was played while pondering: the search goes on as
    // the engine's own, with its clock started a third of the way in.
    void ponderHit();
    // Clock play's allowance for a move at game ply `plies` (time.moveTimeMs).
    void allocateTime(int plies);
    // The engine's clock less the reserve kept for delays outside the search.
    int64_t usableClockMs() const;

    // The reference of the score-drop rule: the root score of the last search
    // the clock stopped, from the side to move's point of view. The front end
    // sets it for a new position and turns it round when the engine changes sides.
    int scoreReference() const { return lastScore; }
    void setScoreReference(int score) { lastScore = score; }
    void turnScoreReference() { lastScore = -lastScore; }

    // --- what the front end reads -------------------------------------------
    Position& position() { return pos; }
    const Position& position() const { return pos; }
    MainHashTable& table() { return hashTable; }
    // The evaluator of this search's thread, its parameters and caches.
    Evaluator& evaluator() { return eval; }
    const Evaluator& evaluator() const { return eval; }
    // The ply record of search ply p; two empty records sit below ply 0 so that
    // looking two plies back from plies 0 and 1 finds nothing.
    PlyRecord& ply(int p) {
        FM_ASSERT(p >= -2 && p < MAX_PLY);
        return plyStack[p + 2];
    }
    const PlyRecord& ply(int p) const {
        FM_ASSERT(p >= -2 && p < MAX_PLY);
        return plyStack[p + 2];
    }
    const SearchStats& statistics() const { return stats; }
    // Nodes of this search and of its helper threads.
    uint64_t totalNodes() const;
    // What a helper last published of its node count.
    uint64_t publishedNodeCount() const { return publishedNodes.load(std::memory_order_relaxed); }
    void publishNodeCount() { publishedNodes.store(stats.nodes, std::memory_order_relaxed); }
    void clearPublishedNodeCount() { publishedNodes.store(0, std::memory_order_relaxed); }
    // The iteration being searched (the last one, once the search is over).
    int currentIteration() const { return iteration; }
    // The last iteration that ended inside its window (0: none yet).
    int completedDepth() const { return completedIteration; }
    // The score of the root's best move so far.
    int bestScore() const { return rootScore; }
    // Legal root moves of the running search, and the index of the one being searched.
    int rootMoveTotal() const { return rootMoveCount; }
    int rootMoveNumber() const { return rootMoveIndex; }
    // Whether a stop was asked for (by input, the clock or a limit) since the
    // search began or since clearStopRequest.
    bool stopWasRequested() const { return stopRequested; }
    void clearStopRequest() { stopRequested = false; }
    // The last stop came from the clock rule.
    bool stoppedByClock() const { return clockStopped; }
    // Milliseconds since the search began, for the reports (times, nodes per
    // second): a ponder hit does not restart them.
    int64_t reportedElapsedMs() const;

    // The input poll and the clock rule, every POLL_INTERVAL nodes (helper
    // threads look for the stop more often). Under a game clock the main
    // search polls every CLOCK_POLL_INTERVAL nodes: on a machine short of CPU a
    // search may run ten times fewer nodes per second than usual, and the
    // clock rule and a ponder hit must still act within milliseconds.
    static constexpr uint32_t POLL_INTERVAL = 9000;
    static constexpr uint32_t CLOCK_POLL_INTERVAL = 1000;
    void pollInputAndClock();

    // Several lines at the root: how many the running search finds, and the
    // first `linesFound()` of them after an iteration, best first.
    struct RootLine {
        Move pv[MAX_PLY];
        int32_t pvEnd = 0;
        int32_t score = 0;
    };
    int lineTotal() const { return lineCount; }
    int linesFound() const { return linesDone; }
    const RootLine& rootLine(int k) const { return lines[static_cast<size_t>(k)]; }
    // The ordering score that keeps a root move ahead of every move ordered by
    // its subtree's size.
    static constexpr int32_t FRONT_BONUS = 900000000;

  private:
    friend struct SearchTestAccess; // tests look inside and script searches

    Position& pos;
    Board& board;
    MainHashTable& hashTable;
    Evaluator& eval;
    SearchListener* listener;
    PlyRecord plyStack[MAX_PLY + 2];

    // --- threads ---------------------------------------------------------------
    HelperThreads* helpers = nullptr;
    // The moves the threads of a multi-core search are busy with (null: this search alone).
    BusyMoves* busyMoves = nullptr;
    bool isHelper = false;
    int32_t helperDepthOffset = 0;
    std::atomic<uint64_t> publishedNodes{0};
    uint32_t pollInterval = POLL_INTERVAL;

    // --- the state of the running search -------------------------------------
    SearchStats stats{};
    int32_t iteration = 0;
    int32_t completedIteration = 0;
    int32_t rootScore = 0;
    int32_t rootAlpha = 0;
    int32_t rootBeta = 0;
    int32_t rootMoveCount = 0;
    int32_t rootMoveIndex = 0;
    // When the search started, as time management counts it: a ponder hit
    // moves it on, so that pondered time counts one third.
    int64_t startTime = 0;
    // When the search started, for the reports.
    int64_t reportStartTime = 0;
    int64_t startCpuTime = 0;
    bool easyMove = false;
    int32_t failLowCount = 0; // of the running iteration
    int32_t failHighCount = 0;
    bool stopRequested = false;
    bool searchAborted = false;
    bool clockStopped = false;
    uint32_t historyCounters[4096] = {};

    // --- several lines (lines.cpp) ----------------------------------------------
    std::vector<RootLine> lines; // sized by think for lineCount lines
    int32_t lineCount = 1;
    int32_t linesDone = 0;
    // The root search starts at this index of the root list: the moves before
    // it are the earlier lines' and stay out of the later ones.
    int32_t rootFirst = 0;
    // The line a report belongs to, from 1 (0: the search's running line).
    int32_t reportedLine = 0;
    // After the first line of an iteration, the others: each searches the root
    // moves the earlier lines left, with a full window. The root's best move,
    // variation and score stay the first line's.
    void searchOtherLines(int depth);
    void keepLine(RootLine& line, int score);
    // Puts the move at index `to` of the root list, the moves between shifted up.
    void moveToIndex(Move move, int to);
    // The lines best first, their moves at the front of the root list in that
    // order; the root takes the first line's move, variation and score.
    void rankLines();
    // The modern profile keeps the first line's histories and root order
    // across the later lines' searches (its pruning reads the histories).
    void saveFirstLine();
    void restoreFirstLine();
    // The modern search's later lines leave the table as the first line left
    // it, for the same reason.
    bool storesInTable() const { return rootFirst == 0; }
    void reportLines();
    // Several lines are reported, each as a line of its own at the end of an iteration.
    bool reportsSeveralLines() const { return options.multiPv > 1 && lineCount > 1; }

    // --- limited strength (lines.cpp) ----------------------------------------
    // The deepest iteration of the running search: the depth limit, or less
    // at a limited strength.
    int32_t depthCeiling = INT32_MAX;
    int depthLimit() const { return depthCeiling < time.depthLimit ? depthCeiling : time.depthLimit; }
    // Sets the lines and the depth of a search at options.eloLimit; true when
    // the strength is limited.
    bool prepareStrength();
    // Among the lines of the last iteration, the move a player of that rating
    // plays: the best, or one whose score lies within a margin of it.
    void chooseAtStrength();
    std::mt19937 strengthRandom{std::random_device{}()};

    // The modern profile's hard time limit of the running search (clock play).
    int64_t hardLimitMs = 0;
    // The modern profile's histories and per-ply state, made when first needed.
    std::unique_ptr<ModernState> modern;

    // --- kept from search to search ----------------------------------------
    int32_t lastScore = 0;
    // Game ply of the last book move: the book is asked for six plies after it.
    int32_t bookExitPly = 0;

    // --- the search routines -----------------------------------------------------
    int rootSearch(int alpha, int beta, int depth);
    int search(int alpha, int beta, int depth, bool nullAllowed);
    int quiescence(int alpha, int beta, int qdepth);
    // The index of the next move of the current ply's list, -1 when none is left.
    int nextMove();
    void computeExtension(Move move, int movesBefore);
    // Orders the root list by ordering score, highest first; equal scores keep their order.
    void sortRootMoves();
    // The root list's index of a move, or -1.
    int rootIndexOf(Move move) const;
    // True when the search must stop now: a poll fell due and found the search
    // stopped, or stopped it. Called at every node, of the main search and of
    // the quiescence search alike, so that the clock and input act everywhere.
    bool stopAtPoll() {
        if (stats.nodes <= stats.nextPoll) return false;
        if (searchAborted) return true;
        pollInputAndClock();
        if (searchAborted) return true;
        stats.nextPoll += pollInterval;
        // A node limit falls due between two regular polls.
        if (time.nodeLimit != 0 && stats.nextPoll > time.nodeLimit) stats.nextPoll = time.nodeLimit;
        return false;
    }
    void checkTime();
    // A helper has completed an iteration deeper than this search: its move,
    // score and variation become this search's result.
    void adoptHelperResult();
    // After a stop by the clock in clock play: more time when the score fell.
    void extendAfterScoreDrop();
    // Reports the root's variation (searched, then from the table) when the
    // listener wants lines; the position must stand at the root.
    void reportLine(int score);
    void reportProgress(int index);
    // The variation of ply p becomes move m followed by the child's variation.
    void extendPV(int p, Move m) {
        PlyRecord& node = ply(p);
        const PlyRecord& child = ply(p + 1);
        node.pv[p] = m;
        for (int i = p + 1; i < child.pvEnd; ++i) node.pv[i] = child.pv[i];
        node.pvEnd = child.pvEnd > p + 1 ? child.pvEnd : p + 1;
    }

    PlyRecord& currentPly() { return plyStack[pos.searchPly + 2]; }
    HistoryRecord& top() { return pos.top(); }
    // The node's position as the table knows it, and the search's age there.
    TableKey nodeKey() const { return tableKey(board.side, board.key); }
    int nodeAge() const { return ((pos.gamePly - pos.searchPly) >> 1) & 15; }

    // What the moves of a node have come to so far.
    struct NodeResult {
        int best = -INFINITE_SCORE;
        int bound = HASH_UPPER;
        int movesSearched = 0;
        int legalMoves = 0;
    };
    // How a searched move's score changed the node: not at all, alpha raised,
    // or a beta cut-off.
    enum class ScoreEffect { None, Raised, CutOff };
    // The bookkeeping after a searched move, shared by both searches: the best
    // score and move, the variation, alpha, and the cut-off statistics.
    ScoreEffect takeScore(PlyRecord& r, Move m, int score, int& alpha, int beta, NodeResult& node);

    // The steps of the alpha-beta node (alphabeta.cpp).
    void setUpNode(PlyRecord& r, int plyIndex);
    int nullMoveReduction(int depth) const;
    bool tableCutsOff(PlyRecord& r, const TableProbe& probe, int plyIndex);
    bool tablebaseKnows(int depth, int plyIndex, int& score);
    bool nullMoveEndsNode(PlyRecord& r, int alpha, int beta, int depth, int nullReduction, int& score);
    void deepenForAMove(PlyRecord& r, int alpha, int beta, int depth);
    int searchNodeMoves(PlyRecord& r, int alpha, int beta, int depth);
    static bool quietPickedLate(int stage, int index);
    int searchMove(Move m, bool lateQuiet, int alpha, int beta, int depth, NodeResult& node);
    void cutOff(PlyRecord& r, Move m, int score, int depth);

    // The modern profile (search/modern/).
    void prepareModern();
    void deepenModern();
    int modernRoot(int alpha, int beta, int depth);
    int modernSearch(int alpha, int beta, int depth, bool cutNode);
    // With `withChecks` (the first ply below the main search) quiet checks are
    // tried after the captures, so that a mate threat beyond the horizon shows.
    int modernQuiescence(int alpha, int beta, bool withChecks = false);
    int modernMoves(PlyRecord& r, int alpha, int beta, int depth, bool cutNode, int nodeEval, bool improving,
                    Move ttMove, int singularExtension);
    bool isImproving(int plyIndex);
    bool prunedBeforeMoves(int alpha, int beta, int depth, int nodeEval, bool improving, bool cutNode,
                           int& score);
    bool prunedMove(Move m, int depth, int nodeEval, bool improving, int alpha, int quietsTried, int history,
                    bool& skipQuiets);
    int staticEvaluation();
    int32_t* moveCorrectionEntry();
    int correctedEvaluation(int& rawEval);
    void rememberEvaluationError(int depth, int best, int bound);
    int16_t (*continuationRow(Move m))[64];
    int quietHistory(Move m, const int16_t (*const rows[2])[64]) const;
    int historyBonus(int depth) const;
    void rememberQuietCutoff(PlyRecord& r, Move best, int depth, const Move* tried, int triedCount);
    void rememberCapture(Move m, int depth, bool good);
    bool enoughTimeSpent(int stableIterations, int scoreDrop) const;
    void allocateModernTime(int plies);

    // Step by step, the parts of think.
    bool prepareRootList();
    void keepSearchMoves(PlyRecord& root);
    void presortRootMoves();
    void detectEasyMove();
    void deepen();
};

// A root move's subtree size, which orders the next iteration; kept well
// inside 32 bits.
inline int32_t subtreeOrderScore(uint64_t nodes) {
    return nodes > 800000000u ? 800000000 : static_cast<int32_t>(nodes);
}

// Shared by the search and the quiescence search, on every move: defined here
// so that both inline it.
inline Search::ScoreEffect Search::takeScore(PlyRecord& r, Move m, int score, int& alpha, int beta,
                                             NodeResult& node) {
    if (score > node.best) {
        node.best = score;
        r.bestMove = m;
        if (score > alpha && score < beta) extendPV(pos.searchPly, m);
    }
    if (score <= alpha) return ScoreEffect::None;
    if (score >= beta) {
        if (node.movesSearched == 1) ++stats.firstMoveCutoffs;
        ++stats.cutoffs;
        return ScoreEffect::CutOff;
    }
    alpha = score;
    return ScoreEffect::Raised;
}
