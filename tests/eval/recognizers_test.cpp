// Endgame recognizers: known material either scored or declined.
#include "evaltest.h"

namespace {

// The recognizer's answer for a position: {answered, score}.
std::pair<int, int> recognized(const std::string& fen) {
    Board b;
    EXPECT_EQ(b.readFen(fen.c_str()), 1) << fen;
    int score = 12345;
    const int answered = Evaluator().recognize(b, score);
    return {answered, answered ? score : 12345};
}

constexpr std::pair<int, int> DECLINED = {0, 12345};
constexpr std::pair<int, int> DRAW = {1, 0};

} // namespace

TEST(Recognizers, KnownMaterialIsScoredOrDeclined) {
    // {position, {answered, score}}.
    const std::pair<const char*, std::pair<int, int>> cases[] = {
        {"4k3/8/8/8/8/8/8/4K3 w - -", DRAW}, // bare kings
        // Knights against a bare king.
        {"k7/8/8/8/8/8/8/NN1K4 w - -", DRAW},
        // Three knights: pawnless material. Piece-square sums (ending tables)
        // 3 x (325 - 8) - 10 for white and -40 for black: s = 981. Edge of a8 4,
        // kings 7 apart: (20 - 4) x 10 - 91 + 981, +300 against a bare king.
        {"k7/8/8/8/8/8/8/NNNK4 w - -", {1, 1350}},
        {"k7/8/8/8/8/8/8/NNNK4 b - -", {1, -1350}},
        {"k7/8/8/8/8/8/8/B1BK4 w - -", DRAW},
        // Bishops need both square colours: (edge 4 + 75) x 10 - 13 x distance.
        {"k7/8/8/8/8/8/8/BB1K4 w - -", {1, 790 - 91}},
        {"k7/8/1K6/8/8/8/8/BB6 w - -", {1, 790 - 26}},
        {"8/8/1K6/3k4/8/8/8/BB6 w - -", {1, 750 - 26}},
        // Light-squared bishop on d3: (edge 4 + 70) x 10 - 13 x distance + 13 x
        // lightCorner, which is 7 on a8 and h1 and 0 on h8.
        {"k7/8/2K5/8/4N3/3B4/8/8 w - -", {1, 740 - 26 + 91}},
        {"8/8/2K5/8/4N3/3B4/8/7k w - -", {1, 740 - 65 + 91}},
        {"7k/8/2K5/8/4N3/3B4/8/8 w - -", {1, 740 - 65}},
        // h8 is dark: a dark-squared bishop (c1) wins, so the recognizer declines.
        {"7k/8/8/8/8/8/7P/K1B5 w - -", DECLINED},
        // A light-squared bishop (b1) with the black king in the corner: a draw.
        {"7k/8/8/8/8/8/7P/KB6 w - -", DRAW},
        // The bishop on b1 watches a2 on the pawn's path.
        {"4k3/8/8/8/p7/8/8/1B2K3 w - -", DRAW},
        {"4k3/8/8/8/p7/8/8/4K1B1 w - -", DECLINED},
        // Queen against a bishop pawn on the seventh; a knight behind a pawn.
        {"7K/8/8/8/8/8/1kp5/7Q w - -", DRAW},
        {"7K/8/8/8/8/8/3kp3/7Q w - -", DECLINED},
        {"4k3/8/8/4N3/8/4p3/8/K7 w - -", DRAW},
        {"4k3/8/8/4p3/8/4N3/8/K7 w - -", DECLINED},
        // Defending king 5 away, attacking king 1 away: 25 x (5 + 2) + passedBonus[4].
        {"7k/8/8/1KP5/8/8/8/R6r w - -", {1, 235}},
        // The defending king is nearer: a draw.
        {"r7/8/2k5/2P5/8/8/8/K6R w - -", DRAW},
        // e4 needs 4 moves, the black king 7 to e8: (30 - 4) x 20.
        {"8/8/8/8/4P3/8/8/k6K w - -", {1, 520}},
        {"8/8/8/8/4P3/8/8/k6K b - -", {1, -520}},
        // From its second rank the pawn saves a move: (30 - 5) x 20.
        {"8/8/8/8/8/8/4P3/k6K w - -", {1, 500}},
        // A rook pawn with the defending king in front of it: a draw.
        {"8/1k6/8/8/P7/8/8/4K3 w - -", DRAW},
        // Only registered pairs: bishop and pawn against a bishop share the bishop-and-pawns slot, but the
        // pair was never registered.
        {"4kb2/8/8/8/8/8/P7/1B2K3 w - -", DECLINED},
        // Pawns on both sides and rooks on both sides: no recognizer.
        {"r3k3/p7/8/8/8/8/P7/R3K3 w - -", DECLINED},
        // Pawnless material of equal weight: a draw.
        {"r3k3/8/8/8/8/8/8/R3K3 w - -", DRAW},
    };
    for (const auto& [fen, expected] : cases) EXPECT_EQ(recognized(fen), expected) << fen;
}
