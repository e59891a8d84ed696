// The generator's values: against Debian's Gaviota tablebases, the classic
// longest mates, one-ply consistency with the engine's own move generator, and
// play that follows the tables to mate.
#include <cstring>
#include <random>

#ifdef FALKMERE_GAVIOTA_DIR
#include <gtb-probe.h>
#endif

#include "board/score.h"
#include "egtb/tablebases.h"
#include "egtb/tbtestutil.h"
#include "search/searchtest.h"

using namespace egtb;
using tbtest::Placement;

namespace {

int storedValue(const Placement& p, int side) {
    TbMan men[8];
    for (int i = 0; i < p.men; ++i) men[i] = {p.piece[i], p.colour[i], p.square[i]};
    return tbtest::generatedTables().store->valueOf(men, p.men, side);
}

// Plies to mate of a stored value (wins odd, losses even), -1 for a draw.
int pliesOf(int v) {
    if (v == 0) return -1;
    return v > 0 ? 2 * (32767 - v) - 1 : 2 * (v + 32766);
}

// Every legal placement of a table's men with the given side to move, up to
// the board's symmetries (the first king stays in a1-d4, or on files a-d with
// pawns), as a callback.
template <class Visit>
void forEachLegal(const TableDescriptor& d, int side, uint64_t step, Visit visit,
                  bool everyPlacement = false) {
    Placement p = tbtest::menOf(d);
    const bool pawns = d.material.hasPawns() && !everyPlacement;
    const uint64_t cells = uint64_t{1} << (6 * (p.men - 1));
    for (int king = 0; king < 64; ++king) {
        if (!everyPlacement && ((king & 7) > 3 || (!pawns && king > 31))) continue;
        p.square[0] = king;
        for (uint64_t c = 0; c < cells; c += step) {
            uint64_t r = c;
            for (int i = 1; i < p.men; ++i) {
                p.square[i] = static_cast<int>(r & 63);
                r >>= 6;
            }
            if (tbtest::legalPlacement(p, side)) visit(p);
        }
    }
}

// The men of the engine's board as generator men.
int boardMen(const Board& board, TbMan* men) {
    int count = 0;
    for (int c = 0; c < 2; ++c)
        for (int piece = KING; piece <= PAWN; ++piece)
            for (const PieceEntry* e = board.pieceList[c][piece]; e; e = e->next)
                men[count++] = {piece, c, square64(e->square)};
    return count;
}

// The value of the engine's position from its moves: the best child.
int valueFromMoves(Position& engine) {
    const auto moves = legalMoves(engine);
    const int side = engine.board.side;
    if (moves.empty()) {
        const int king = engine.board.kingSquare(side);
        return engine.board.isAttacked(1 - side, king) ? -32766 : 0;
    }
    int bestKind = -1, bestPlies = 0; // 2 win, 1 draw, 0 loss
    for (Move m : moves) {
        engine.pushMove(m);
        TbMan men[8];
        const int count = boardMen(engine.board, men);
        const int v = tbtest::generatedTables().store->valueOf(men, count, 1 - side);
        engine.popMove();
        const int plies = pliesOf(v);
        const int kind = v < 0 ? 2 : v == 0 ? 1 : 0;
        if (kind > bestKind || (kind == bestKind && (kind == 2 ? plies < bestPlies : plies > bestPlies))) {
            bestKind = kind;
            bestPlies = plies;
        }
    }
    if (bestKind == 1) return 0;
    // Child lost in bestPlies -> won one ply later, and so on.
    const int plies = bestPlies + 1;
    return bestKind == 2 ? 32767 - (plies + 1) / 2 : plies / 2 - 32766;
}

void checkOnePlyConsistency(const char* name, int samples) {
    const TableDescriptor& d = descriptor(tableNumber(name));
    std::mt19937_64 random(17);
    Placement p = tbtest::menOf(d);
    int checked = 0;
    while (checked < samples) {
        for (int i = 0; i < p.men; ++i) p.square[i] = static_cast<int>(random() % 64);
        const int side = static_cast<int>(random() % 2);
        if (!tbtest::legalPlacement(p, side)) continue;
        ++checked;
        auto engine = positionAt(tbtest::fenOf(p, side));
        ASSERT_EQ(storedValue(p, side), valueFromMoves(*engine)) << name << " " << tbtest::fenOf(p, side);
    }
}

// Longest win (in moves) with `side` to move over all legal positions.
int longestWin(const TableDescriptor& d, int side, uint64_t step, Placement* where = nullptr) {
    int longest = 0;
    forEachLegal(d, side, step, [&](const Placement& p) {
        const int v = storedValue(p, side);
        if (v > 0 && v != STORED_BROKEN && 32767 - v > longest) {
            longest = 32767 - v;
            if (where) *where = p;
        }
    });
    return longest;
}

} // namespace

TEST(TablebaseGenerator, ThreeManTablesAgreeWithGaviota) {
#ifndef FALKMERE_GAVIOTA_DIR
    GTEST_SKIP() << "Gaviota tablebases not installed (packages gaviotatb, libgaviotatb-dev)";
#else
    const char** paths = tbpaths_init();
    paths = tbpaths_add(paths, FALKMERE_GAVIOTA_DIR "/gtb4");
    tb_init(0, tb_CP4, paths);
    tbcache_init(8 * 1024 * 1024, 0);
    ASSERT_TRUE(tb_is_initialized());
    for (const char* name : {"kqk", "krk", "kpk"}) {
        const TableDescriptor& d = descriptor(tableNumber(name));
        for (int side = 0; side < 2; ++side) {
            uint64_t compared = 0;
            forEachLegal(
                d, side, kSlowBuild ? 7 : 1,
                [&](const Placement& p) {
                    unsigned ws[3] = {static_cast<unsigned>(p.square[0]), tb_NOSQUARE, tb_NOSQUARE};
                    unsigned bs[2] = {static_cast<unsigned>(p.square[1]), tb_NOSQUARE};
                    unsigned char wp[3] = {tb_KING, tb_NOPIECE, tb_NOPIECE};
                    unsigned char bp[2] = {tb_KING, tb_NOPIECE};
                    ws[1] = static_cast<unsigned>(p.square[2]);
                    wp[1] = p.piece[2] == QUEEN ? tb_QUEEN : p.piece[2] == ROOK ? tb_ROOK : tb_PAWN;
                    unsigned info = 0, plies = 0;
                    ASSERT_TRUE(tb_probe_hard(static_cast<unsigned>(side), tb_NOSQUARE, tb_NOCASTLE, ws, bs,
                                              wp, bp, &info, &plies));
                    const int v = storedValue(p, side);
                    const std::string where = std::string(name) + " " + tbtest::fenOf(p, side);
                    if (info == tb_DRAW) {
                        ASSERT_EQ(v, 0) << where;
                    } else {
                        const bool moverWins = (info == tb_WMATE) == (side == 0);
                        ASSERT_EQ(v > 0, moverWins) << where;
                        ASSERT_EQ(pliesOf(v), static_cast<int>(plies)) << where;
                    }
                    ++compared;
                },
                true);
            EXPECT_GT(compared, kSlowBuild ? 10000u : 100000u) << name;
        }
    }
    tbcache_done();
    tb_done();
    tbpaths_done(paths);
#endif
}

TEST(TablebaseGenerator, LongestMatesAreTheClassicOnes) {
    // Four-man tables are generated in fast builds only.
    for (auto [name, moves] :
         {std::pair{"kqk", 10}, {"krk", 16}, {"kpk", 28}, {"kbnk", 33}, {"kqkr", 35}, {"kbbk", 19}}) {
        if (kSlowBuild && std::strlen(name) > 3) break;
        EXPECT_EQ(longestWin(descriptor(tableNumber(name)), 0, 1), moves) << name;
    }
}

TEST(TablebaseGenerator, BishopsOfOneColourAndTwoKnightsCannotForceMate) {
    if (kSlowBuild) GTEST_SKIP() << "four-man tables are generated in fast builds only";
    const TableDescriptor& kbbk = descriptor(tableNumber("kbbk"));
    for (int side = 0; side < 2; ++side) {
        uint64_t positions = 0;
        forEachLegal(kbbk, side, 1, [&](const Placement& p) {
            const int colourA = ((p.square[2] >> 3) + p.square[2]) & 1,
                      colourB = ((p.square[3] >> 3) + p.square[3]) & 1;
            if (colourA != colourB) return;
            ++positions;
            ASSERT_EQ(storedValue(p, side), 0) << tbtest::fenOf(p, side);
        });
        EXPECT_GT(positions, 25000u);
    }
    // Two knights: Black loses only when already mated, White wins only by a
    // mate in one that Black walked into.
    const TableDescriptor& knnk = descriptor(tableNumber("knnk"));
    uint64_t draws = 0, total = 0;
    for (int side = 0; side < 2; ++side) {
        forEachLegal(knnk, side, 1, [&](const Placement& p) {
            const int v = storedValue(p, side);
            ++total;
            draws += v == 0;
            if (side == 0)
                ASSERT_TRUE(v == 0 || v == 32766) << tbtest::fenOf(p, side);
            else
                ASSERT_TRUE(v == 0 || v == -32766) << tbtest::fenOf(p, side);
        });
    }
    EXPECT_GT(draws, total * 99 / 100);
}

TEST(TablebaseGenerator, EveryValueIsTheBestOfItsMoves) {
    const int samples = kSlowBuild ? 150 : 3000;
    for (const char* name : {"kqk", "krk", "kpk"}) checkOnePlyConsistency(name, samples);
    if (kSlowBuild) return;
    for (const char* name : {"kqkr", "kbnk", "kbbk", "knnk"}) checkOnePlyConsistency(name, samples);
    if (tbtest::fullTableTests()) checkOnePlyConsistency("kpkp", samples);
}

TEST(TablebaseGenerator, EnPassantEntriesOfKpkpIncludeTheCapture) {
    if (!tbtest::fullTableTests()) GTEST_SKIP() << "kpkp is generated with FALKMERE_EGTB_FULL_TESTS=1 only";
    const TableDescriptor& kpkp = descriptor(tableNumber("kpkp"));
    const TableValues* values = tbtest::generatedTables().store->get(tableNumber("kpkp"));
    ASSERT_NE(values, nullptr);
    int checked = 0, differ = 0;
    std::mt19937 random(23);
    while (checked < 2000) {
        // White to move: Black's pawn has just come from the seventh rank to the fifth.
        const int file = static_cast<int>(random() % 8);
        const int capturerFile = file == 0 ? 1 : file == 7 ? 6 : file + (random() % 2 ? 1 : -1);
        Placement p = tbtest::menOf(kpkp);
        p.square[0] = static_cast<int>(random() % 64);
        p.square[1] = static_cast<int>(random() % 64);
        p.square[2] = 32 + capturerFile;
        p.square[3] = 32 + file;
        const int ep = 40 + file, origin = 48 + file;
        if (p.square[0] == ep || p.square[1] == ep || p.square[0] == origin || p.square[1] == origin)
            continue;
        if (!tbtest::legalPlacement(p, 0)) continue;
        ++checked;
        std::string fen = tbtest::fenOf(p, 0);
        fen = fen.substr(0, fen.size() - 1) + FILE_LETTERS[file] + "6";
        auto engine = positionAt(fen);
        int first[16], second[16];
        tbtest::slotArrays(p, first, second);
        const uint64_t e = tableIndex(kpkp.plan[0], first, second, ep, false);
        ASSERT_GE(e, kpkp.plan[0].normalCount);
        ASSERT_EQ(values->values[0][e], valueFromMoves(*engine)) << fen;
        differ += values->values[0][e] != storedValue(p, 0);
    }
    EXPECT_GT(differ, 0) << "the capture changes some results";
}

// The engine's own search, probing the tables, mates from the longest win no
// later than the table says.
TEST(TablebaseSearch, EngineMatesFromTheLongestEndingByFollowingTheTable) {
    Placement start;
    const int longest = longestWin(descriptor(tableNumber(kSlowBuild ? "krk" : "kbnk")), 0, 1, &start);
    // Two plies are enough: the search probes the positions after each root move.
    auto rig = searchAt(tbtest::fenOf(start, 0), 2);
    rig->search.options.useTablebases = true;
    tbtest::load(tbtest::generatedTables().plain);
    int plies = 0;
    for (; !legalMoves(rig->position).empty() && plies < 2 * longest; ++plies) {
        const Move m = rig->search.think();
        ASSERT_NE(m, NO_MOVE);
        rig->position.pushGameMove(m);
    }
    EXPECT_TRUE(rig->position.top().inCheck && legalMoves(rig->position).empty()) << "mate";
    EXPECT_LE(plies, 2 * longest - 1) << rig->board().fen();
}

// The probe from a board (counter tree, colour exchange, index, cache) finds
// the generator's value for every table the tests make.
TEST(TablebasePlay, ProbesFromTheBoardFindTheGeneratedValues) {
    tbtest::load(tbtest::generatedTables().plain);
    std::mt19937_64 random(29);
    for (int n : tbtest::testTables()) {
        const TableDescriptor& d = descriptor(n);
        Placement p = tbtest::menOf(d);
        for (int checked = 0; checked < (kSlowBuild ? 200 : 2000);) {
            for (int i = 0; i < p.men; ++i) p.square[i] = static_cast<int>(random() % 64);
            const int side = static_cast<int>(random() % 2);
            if (!tbtest::legalPlacement(p, side)) continue;
            ++checked;
            // Probed at ply 5: the side mated at ply 5 + the plies to mate.
            const int v = storedValue(p, side);
            const int expected = v > 0   ? MATE_SCORE - (5 + pliesOf(v))
                                 : v < 0 ? 5 + pliesOf(v) - MATE_SCORE
                                         : 0;
            for (bool exchanged : {false, true}) {
                auto engine = positionAt(tbtest::fenOf(p, side, exchanged));
                int score = 12345;
                ASSERT_TRUE(probeTablebases(engine->board, 5, score)) << engine->board.fen();
                ASSERT_EQ(score, expected) << d.name << " " << engine->board.fen();
            }
        }
    }
}
