// Every number the evaluation reads, as plain data: material values, the five
// weights, the nine piece-square layouts and the values of each term family.
// The classic set is the one the engine has always played with; a second
// profile or a tuner makes others and hands them to an evaluator. What stays
// in the code is structure: squares, masks, table lengths, the rank and
// material limits that decide whether a term applies, and the units in which
// the weights are given.
#pragma once

#include <array>
#include <iosfwd>
#include <span>
#include <string>

// The weights that falkmere.ini and the GUI options set.
struct EvalWeights {
    int pieceFavour;   // size of the material-imbalance bonuses
    int pieceMobility; // percent of the mobility sum counted
    int kingAttack;    // king-attack table values count weight / 120
    int spaceControl;  // read, stored and echoed; no term uses it
    int pawnStructure; // percent of the pawn-structure term counted

    bool operator==(const EvalWeights&) const = default;
};

// Positional values for white, rank 8 first, files a to h; black mirrors them.
using PieceSquareLayout = std::array<int, 64>;

struct EvalParams {
    // --- material and weights ----------------------------------------------------------
    std::array<int, 7> pieceValue; // by piece code; no piece and the king hold 0
    EvalWeights weights;

    // --- piece-square layouts (material is added when the tables are built) ------------
    PieceSquareLayout pstPawnOpening; // stage 0: castling rights remain
    PieceSquareLayout pstPawnMiddle;  // stage 1
    PieceSquareLayout pstPawnEnding;  // stage 2: both sides below 15 units of pieces
    PieceSquareLayout pstKingMiddle;  // stages 0 and 1
    PieceSquareLayout pstKingEnding;  // stage 2
    PieceSquareLayout pstKnight;
    PieceSquareLayout pstBishop;
    PieceSquareLayout pstRook;
    PieceSquareLayout pstQueen;

    // --- mobility, by the number of empty squares attacked -----------------------------
    std::array<int, 9> knightMobility;
    std::array<int, 15> bishopMobility;
    std::array<int, 15> rookMobility;
    std::array<int, 28> queenMobility;
    // Material adjustment by the number of own pawns (0..8).
    std::array<int, 9> knightPawnAdjust;
    std::array<int, 9> bishopPawnAdjust;
    std::array<int, 9> rookPawnAdjust;

    // --- material imbalance ------------------------------------------------------------
    // A minor piece more, or a rook against a minor, earns this share of the
    // piece favour (numerator / denominator); the other rules earn all of it.
    int imbalanceMinorNumerator;
    int imbalanceMinorDenominator;

    // --- pawn structure (penalties are subtracted, by file where an array) -------------
    int rookPawnPenalty;
    std::array<int, 8> doubledPenalty;
    int doubledOpposedPenalty; // more when an enemy pawn stands ahead on the file
    int sideBySideBonus;       // an own pawn beside it on the same rank
    std::array<int, 8> isolatedPenalty;
    int isolatedOpenPenalty; // more when no enemy pawn stands ahead on the file
    std::array<int, 8> backwardPenalty;
    int backwardOpenPenalty; // more when no enemy pawn stands ahead on the file

    // --- passed pawns, by relative rank where an array ---------------------------------
    std::array<int, 8> passedBonus;
    // Stop-square penalty: whole when the stop square is occupied, divided by
    // the divisors when it is empty but unsafe, or the square after it is
    // occupied or unsafe.
    std::array<int, 8> passedBlockPenalty;
    int passedStopUnsafeDivisor;
    int passedTwoBlockedDivisor;
    int passedTwoUnsafeDivisor;
    // In the ending: per rank when the own king attacks the pawn's square, and
    // per square of the enemy king's distance, scaled by the enemy's material.
    int passedKingSupport;
    int passedEnemyKingDistance;
    std::array<int, 8> connectedPassedBonus;
    std::array<int, 8> protectedPassedBonus;
    std::array<int, 33> outsidePassedBonus; // by the opponent's piece material
    // The runaway pawn that wins the race: (base - moves to promotion) x step.
    int runawayBase;
    int runawayStep;

    // --- pawn endings and majorities ---------------------------------------------------
    int pawnEndingMajority;     // more pawns on more files, the enemy without passer
    int pawnEndingKingDistance; // per square from the most advanced pawn of each file
    int candidatePasserPercent; // of the outside passer bonus

    // --- king safety -------------------------------------------------------------------
    // King-attack index: a base by the king's relative rank * 8 + file, a bonus
    // by the kinds of attacker (16 king, 8 queen, 4 rook, 2 minor, 1 pawn),
    // and the table that turns the index into a bonus.
    std::array<int, 64> kingZoneBase;
    std::array<int, 32> attackerKindsBonus;
    std::array<int, 40> kingAttackTable;
    // Pawn shield of a king on a wing, by the shield digits c + 4m + 16k of the
    // corner, middle and centre-side files, counted (value - offset) x factor;
    // a king in the centre gets kingShieldCentre, one on the c or f file the
    // mean of both. Scaled by the enemy's piece material (0..31) in 32nds.
    std::array<int, 64> kingShield;
    int kingShieldOffset;
    int kingShieldFactor;
    int kingShieldCentre;
    std::array<int, 32> kingShieldScale;
    // Pawns against a king on the other wing: (sum of their relative ranks -
    // base) x step.
    int pawnStormBase;
    int pawnStormStep;

    // --- development -------------------------------------------------------------------
    int castlingReady;        // a right with a clear path
    int castlingBlocked;      // rights without a clear path, no queen at home
    int castledBonus;         // castled since the search began
    int castlingLostPenalty;  // every right lost since then, without castling
    int kingSideLostPenalty;  // the king-side right lost since then
    int queenSideLostPenalty; // the queen-side right lost since then
    int blockedCentrePenalty; // a d- or e-pawn at home with its stop square occupied

    // --- pieces ------------------------------------------------------------------------
    std::array<int, 17> bishopPairBonus; // by the number of pawns on the board
    int trappedBishopPenalty;
    int trappedKnightPenalty;
    std::array<int, 64> outpostBonus; // by relative rank * 8 + file
    // Knights in the ending, per file the pawns span: a lone knight, in the
    // late ending, in the ending.
    int knightSpreadLone;
    int knightSpreadLateEnding;
    int knightSpreadEnding;
    int rookOpenFile;
    int rookOpenFileDoubled; // the second rook on an open file
    int rookHalfOpenFile;
    // On the seventh rank with the enemy king on the eighth, and more when it
    // sees another heavy piece there.
    int rookSeventh;
    int rookSeventhDoubled;
    int queenSeventh;
    int queenSeventhDoubled;
    // A rook on the file of a passed pawn, nothing between them.
    int rookBehindOwnPasser;
    int rookAheadOfOwnPasser;
    int rookInEnemyPasserPath;
    int rookBehindEnemyPasser;

    // --- threats (the classic set has none: all 0) -------------------------------------
    // A knight, bishop, rook or queen attacked by an enemy pawn; a rook or
    // queen attacked by an enemy minor; a queen attacked by an enemy rook; and,
    // short of those, a piece attacked and not defended. Counted against the
    // piece's owner, whichever side is to move.
    int threatByPawn;
    int threatByMinor;
    int threatByRook;
    int hangingPiece;

    // --- drawishness, percent of the score kept ----------------------------------------
    int drawishClosePawnsPercent; // queens only or opposite bishops, pawn counts close
    int drawishPawnsApartPercent; // the same, pawn counts three or more apart
    int loneMinorPercent;         // for a side without pawns that has only a minor (or two knights)
    int pawnlessEdgePercent;      // for a side without pawns up at most a minor, in the ending

    // --- endgame recognizers -----------------------------------------------------------
    // Pawnless material: a large edge drives the weak king to the rim,
    // (edgeBase - edge) x edgeStep - kingDistance x distance + piece-square
    // difference; an edge of just a minor keeps a part of it; more against a
    // bare king. An edge of two units keeps a part of the piece-square
    // difference, a larger part with the bishop pair.
    int mateEdgeBase;
    int mateEdgeStep;
    int mateKingDistance;
    int minorEdgePercent;
    int bareKingBonus;
    int smallEdgePercent;
    int smallEdgeBishopPairPercent;
    // Two bishops, and bishop and knight, against a bare king:
    // (edge + base) x edgeStep - kingDistance x distance (+ corner x step).
    int bishopsMateBase;
    int bishopKnightMateBase;
    int bishopKnightCorner;
    // Rook and pawn against rook: per square of the kings' distances.
    int rookPawnKingDistance;
    // King and pawn against king, won: (base - pawn moves) x step.
    int pawnWinBase;
    int pawnWinStep;

    bool operator==(const EvalParams&) const = default;
};

// The classic set: the engine's own values.
const EvalParams& classicEvalParams();
// The modern profile's built-in set: the classic set with the values the
// project's tuner fitted to self-play games (eval/modernparams.cpp).
const EvalParams& modernEvalParams();

// The text form: one line per field, its name and its values (arrays on one
// line), in the order of the struct. Blank lines and lines starting with '#'
// are comments. Reading takes any subset of the fields (the others keep their
// values); an unknown or repeated name, a wrong count of values, something
// that is no number or a number outside the field's range is refused with a
// message in `error` naming the line, and the target is left as it was.
bool writeEvalParams(const EvalParams& params, std::ostream& out);
bool readEvalParams(std::istream& in, EvalParams& params, std::string& error);

// The fields of the text form, in its order: a name, the range every value
// must lie in, and where the values lie in a set. A tuner walks them to vary
// each value within its range.
struct EvalParamRange {
    int min;
    int max;
};
struct EvalParamField {
    const char* name;
    EvalParamRange range;
    std::span<int> (*of)(EvalParams&);
};
std::span<const EvalParamField> evalParamFields();
