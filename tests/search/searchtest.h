// Helpers of the search tests: a search of its own (position, table,
// recording listener) at a position.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "eval/evaluator.h"
#include "search/search.h"
#include "search/selectbest.h"
#include "testutil.h"

// What a search reported: its lines (when asked for) and its events.
struct RecordingListener : SearchListener {
    struct Line {
        int iteration;
        int score;
        ScoreBound bound;
        std::vector<std::string> moves; // coordinates
    };
    bool recordLines = false;
    std::vector<Line> lines;
    int easyMoves = 0;
    int finishes = 0;

    bool wantsLines(const Search&) const override { return recordLines; }
    void line(const PvReport& r) override {
        Line l{r.iteration, r.score, r.bound, {}};
        for (int i = 0; i < r.length; ++i) l.moves.push_back(coord(r.moves[i]));
        lines.push_back(l);
    }
    void easyMove(const Search&) override { ++easyMoves; }
    void finished(const Search&) override { ++finishes; }
};

// A search with nothing of the shell: its own position, a 1 MB table, a
// recording listener, an evaluator without caches; fixed-depth mode (no
// clock, no input).
struct SearchRig {
    Position position;
    MainHashTable table;
    RecordingListener listener;
    Evaluator evaluator;
    Search search{position, table, listener, evaluator};
    Board& board() { return position.board; }
};
std::unique_ptr<SearchRig> searchAt(const std::string& fen, int depth = 4);

// The principal variation of the root record, in coordinates.
std::vector<std::string> rootLine(const Search& search);
