// Tablebase scores in the search: a mate found through the tables scores what
// the search gives the same mate on its own, and a table draw scores 0.
#include "board/score.h"
#include "egtb/tablebases.h"
#include "egtb/tbtestutil.h"
#include "searchtest.h"

namespace {

// The root score of a fixed-depth search of `fen`, with or without the
// generated three-man tables.
int rootScoreOf(const std::string& fen, int depth, bool tables, uint32_t* hits = nullptr,
                SearchProfile profile = SearchProfile::Classic) {
    auto rig = searchAt(fen, depth);
    rig->search.options.profile = profile;
    if (tables) {
        EXPECT_GE(tbtest::load(tbtest::generatedTables().plain), 3);
        rig->search.options.useTablebases = true;
    }
    rig->search.think();
    if (hits) *hits = tablebaseStats.hits;
    return inside(rig->search).rootScore;
}

struct MateCase {
    const char* fen;
    int moves; // mate in this many moves; negative: the side to move is mated
    const char* what;
};

// The search's scale: the side mated at ply p scores p - MATE_SCORE, so the
// side to move that mates in n moves scores MATE_SCORE - (2n - 1) and the side
// to move that is mated after n moves scores 2n - MATE_SCORE.
int mateScore(int moves) { return moves > 0 ? MATE_SCORE - (2 * moves - 1) : -2 * moves - MATE_SCORE; }

const MateCase MATES[] = {
    {"k7/8/1K6/8/8/8/8/6Q1 w - -", 1, "queen mates in one (Qg8#)"},
    {"k7/8/1K6/8/8/8/8/7R w - -", 1, "rook mates in one (Rh8#)"},
    {"k7/8/2K5/8/8/8/8/6Q1 w - -", 2, "queen mates in two (Kb6 Kb8 Qg8#)"},
    {"k7/8/2K5/8/8/8/8/7R w - -", 2, "rook mates in two (Kb6 Kb8 Rh8#)"},
    {"k7/8/2K5/8/8/8/8/7R b - -", -2, "the king is mated after two moves (Kb8 Rh7 Ka8 Rh8#, two replies)"},
    {"1k6/8/2K5/8/8/8/8/7R b - -", -2, "the king is mated after two moves (three replies)"},
    {"6q1/8/8/8/8/1k6/8/K7 b - -", 1, "colours exchanged: Black mates in one"},
    {"7r/8/8/8/8/2k5/8/1K6 w - -", -2, "colours exchanged: White is mated after two moves"},
};

} // namespace

TEST(TablebaseScores, AMateScoresTheSameWithAndWithoutTablesInEitherProfile) {
    for (const SearchProfile profile : {SearchProfile::Classic, SearchProfile::Modern}) {
        for (const MateCase& c : MATES) {
            // The modern search reduces quiet moves and finds a mate in one at
            // depth one, before any table is asked: it gets a few plies more,
            // and the tables need not answer a mate in one.
            const bool modern = profile == SearchProfile::Modern;
            const int depth = 2 * std::abs(c.moves) + (modern ? 10 : 2);
            uint32_t hits = 0;
            const int withTables = rootScoreOf(c.fen, depth, true, &hits, profile);
            const int withoutTables = rootScoreOf(c.fen, depth, false, nullptr, profile);
            const char* name = modern ? " (modern)" : " (classic)";
            if (!modern || std::abs(c.moves) > 1) {
                EXPECT_GT(hits, 0u) << c.what << name << ": the tables answered";
            }
            EXPECT_EQ(withoutTables, mateScore(c.moves)) << c.what << name << " (search alone)";
            EXPECT_EQ(withTables, mateScore(c.moves)) << c.what << name << " (with tables)";
        }
    }
}

TEST(TablebaseScores, ATableDrawScoresZeroAsTheSearchesDraws) {
    // King and pawn against a king that holds the pawn's path: every reply is
    // a table draw, so the root scores 0, as the search alone scores it.
    const std::string fen = "8/8/8/4k3/8/8/4P3/4K3 w - -";
    for (const SearchProfile profile : {SearchProfile::Classic, SearchProfile::Modern}) {
        uint32_t hits = 0;
        EXPECT_EQ(rootScoreOf(fen, 4, true, &hits, profile), 0);
        EXPECT_GT(hits, 0u);
        EXPECT_EQ(rootScoreOf(fen, 4, false, nullptr, profile), 0);
    }
}
