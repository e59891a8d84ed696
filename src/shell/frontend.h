// What a front end needs of the engine, and no more: the game it plays, the
// options GUIs set, a search to set up, run, stop and read, the input lines,
// the books and learning the search asks for, and an output that reaches the
// log as well. The UCI session knows the engine by this interface only; the
// console and xboard routines, being the engine's own, call the same
// functions where they do the same things.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/output.h"
#include "search/limits.h"
#include "search/search.h"
#include "shell/game.h"
#include "shell/inputqueue.h"

struct EngineOption;

class FrontEndServices : public Output {
  public:
    // --- the game and the options --------------------------------------------------
    virtual Game& game() = 0;
    // The initial position, the record and table emptied, and the learned
    // positions loaded when learning is on (saying how many on `out`).
    virtual void newGame(Output& out) = 0;
    // An option's value now, as text (shell/settings.h), and a new value for
    // it, checked against its kind and range first: false, with a message on
    // `out`, when the engine does not take it.
    virtual std::string optionValue(const EngineOption& option) const = 0;
    virtual bool setOption(const EngineOption& option, const std::string& value, Output& out) = 0;

    // --- input ---------------------------------------------------------------------
    virtual InputQueue& inputQueue() = 0;

    // --- the search ------------------------------------------------------------------
    // The UCI front end takes over for the rest of the run: the searches report
    // to `session`, the console's thinking output and its moves of its own stop,
    // and the tables change size without saying so (that would break the protocol).
    virtual void enterUci(SearchListener& session) = 0;
    // The limits and the kind of the next search. What the options set there
    // (the clock's reserve) stays unless a front end changes it.
    virtual TimeControl& searchLimits() = 0;
    virtual SearchModes& searchModes() = 0;
    // Searches the game's position, choosing among `rootMoves` when some are
    // given: the best move, NO_MOVE when there is none. The restriction holds
    // for this search only, so that no front end can leave it to the next.
    virtual Move think(const std::vector<Move>& rootMoves) = 0;
    virtual void stopSearch() = 0;
    // The expected reply was played: the pondering search goes on as the engine's own.
    virtual void ponderHit() = 0;
    // The running search, or the last one: its variation, nodes and times.
    virtual const Search& lastSearch() const = 0;
    // The reference of the score-drop rule: the game position's evaluation
    // when a game or a position starts afresh, turned round when the side the
    // engine plays changes.
    virtual void takeScoreReference() = 0;
    virtual void turnScoreReference() = 0;
    // The static evaluation of the game's position (0 without both kings).
    virtual int evaluation() = 0;
    // The transposition table's move for a position (NO_MOVE when it has
    // none), and how full the table is, in permille.
    virtual Move tableMove(const Board& board) const = 0;
    virtual int tablePermilleUsed() const = 0;

    // --- books and learning for the search ---------------------------------------------
    // What the engine's own searches use, for a front end's listener to pass
    // the search's questions on to.
    virtual Move bookMove(Position& root, Move* moves, int32_t* scores, int count) = 0;
    virtual void scoreDropped(const Search& search) = 0;
};
