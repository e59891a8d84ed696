// King safety: the king-attack index and bonus, the pawn shield and the pawn
// storm.
#include "evaltest.h"

namespace {

// White: Kg1 with f2 g2 h2, Qd5 Rc5 Bc7; black: Ke8 Ra8 and a queen on a1
// that attacks f1 along the first rank.
constexpr const char* QUEEN_ON_THE_FIRST_RANK = "r3k3/2B5/8/2RQ4/8/8/5PPP/q5K1 w - -";

} // namespace

TEST(KingShield, CastledCentralOrMissingShieldsScaledByEnemyMaterial) {
    // Digits 1, 1, 1: kingShield[21] = 31, (31 - 20) x 3 = 33, full scale.
    // White has no queen: black's king is neither attacked nor shielded.
    TracedPosition p("rnbqkbnr/pppppppp/8/8/8/8/5PPP/6K1 w kq -");
    EXPECT_EQ(p.both(TERM_KING_SHIELD), std::pair(33, 0));
    EXPECT_EQ(p.scratch().evalInfo[1], 0);
    // No pawns, or a king in the centre.
    EXPECT_EQ(TracedPosition("rnbqkbnr/pppppppp/8/8/8/8/8/6K1 w kq -").white(TERM_KING_SHIELD), -60);
    EXPECT_EQ(TracedPosition("rnbqkbnr/pppppppp/8/8/8/8/8/4K3 w kq -").white(TERM_KING_SHIELD), -30);
    // Black has queen and bishop (12): 33 x 24 >> 5 = 24. White has 17, so the
    // black king on e8 gets -30 x 28 >> 5 = -26.25, rounded down to -27.
    EXPECT_EQ(TracedPosition("qb2k3/8/8/8/8/8/5PPP/1QRB2K1 w - -").both(TERM_KING_SHIELD),
              std::pair(24, -27));
}

TEST(KingAttack, IndexBonusWeightAndTheLoneQueen) {
    // f1 is attacked by the queen and defended by the king alone: index 2,
    // kingAttackTable[2] = 3 for black.
    TracedPosition p(QUEEN_ON_THE_FIRST_RANK);
    EXPECT_EQ(p.scratch().evalInfo[2], 2);
    EXPECT_EQ(p.black(TERM_KING_ATTACK), 3);
    // Black king e8: d8 attacked (+1, the rook a8 also defends it); d7 and f7
    // attacked, in front, empty, defended by the king alone (+3 each); queen
    // and bishop among the attackers: attackerKindsBonus[10] = 2. Index 9: 75.
    EXPECT_EQ(p.scratch().evalInfo[1], 9);
    EXPECT_EQ(p.white(TERM_KING_ATTACK), 75);
    // The king attack weight scales the table value.
    EvalParams params = classicEvalParams();
    params.weights.kingAttack = 240;
    EXPECT_EQ(TracedPosition(QUEEN_ON_THE_FIRST_RANK, params).both(TERM_KING_ATTACK), std::pair(150, 6));
    params.weights.kingAttack = 100; // 75 x 100 / 120 = 62.5, truncated
    EXPECT_EQ(TracedPosition(QUEEN_ON_THE_FIRST_RANK, params).white(TERM_KING_ATTACK), 62);
    // Black has only its queen: the white king gets no attack and no shield,
    // while the black king on e8 is judged (-30 at full scale).
    TracedPosition p4("4k3/8/8/8/8/8/5PPP/q1QRBRK1 w - -");
    EXPECT_EQ(p4.scratch().evalInfo[2], 0);
    EXPECT_EQ(p4.black(TERM_KING_ATTACK), 0);
    EXPECT_EQ(p4.both(TERM_KING_SHIELD), std::pair(0, -30));
}

TEST(PawnStorm, KingsOnOppositeWingsAndNoKingTermsInTheEnding) {
    // Kings on g1 and b8. White has no pawn on a, b or c: 5 x (0 - 6). Black's
    // g5 stands on its relative rank 3: 5 x (3 - 6).
    EXPECT_EQ(TracedPosition("1k1r3q/ppp5/8/6p1/8/8/5PPP/2BR2KQ w - -").both(TERM_PAWN_STORM),
              std::pair(-30, -15));
    // Kings two files apart: no storm.
    EXPECT_EQ(TracedPosition("3k3q/ppp5/8/6p1/8/8/5PPP/2BR1K1Q w - -").both(TERM_PAWN_STORM),
              std::pair(0, 0));
    // Queen and rook against queen and rook: both below 15.
    TracedPosition p2("r2qk3/8/8/8/8/8/5PPP/3QR1K1 w - -");
    EXPECT_EQ(p2.scratch().evalInfo[1], 0);
    EXPECT_EQ(p2.scratch().evalInfo[2], 0);
    EXPECT_EQ(p2.white(TERM_KING_SHIELD), 0);
    EXPECT_EQ(p2.white(TERM_PAWN_STORM), 0);
}
