// The text form of the evaluation parameters: every field by name, one line
// each, with the range a value must lie in.
#include <charconv>
#include <cstring>
#include <istream>
#include <ostream>
#include <span>
#include <sstream>
#include <type_traits>
#include <vector>

#include "board/types.h"
#include "eval/params.h"

namespace {

using Range = EvalParamRange;
using Field = EvalParamField;

// Ranges keep every sum the evaluation builds far from overflow; pawn-structure
// values stay small enough for the pawn cache's 16-bit sums of up to 62 pawns.
constexpr Range MATERIAL{-5000, 5000};
constexpr Range WEIGHT{-500, 500};
constexpr Range SCORE{-1000, 1000};
constexpr Range PAWN_TERM{-100, 100};
constexpr Range INDEX{-40, 40};
constexpr Range SCALE{-64, 64};
constexpr Range FACTOR{-100, 100};
constexpr Range DIVISOR{1, 100};
constexpr Range PERCENT{0, 200};

// The values of a member: an int or an array of them.
template <auto Member> std::span<int> valuesOf(EvalParams& params) {
    auto& field = params.*Member;
    if constexpr (std::is_same_v<std::remove_reference_t<decltype(field)>, int>)
        return {&field, 1};
    else
        return field;
}

template <int Piece> std::span<int> pieceValueOf(EvalParams& params) {
    return {&params.pieceValue[Piece], 1};
}

template <int EvalWeights::*Weight> std::span<int> weightOf(EvalParams& params) {
    return {&(params.weights.*Weight), 1};
}

using P = EvalParams;

const Field FIELDS[] = {
    {"queenValue", MATERIAL, pieceValueOf<QUEEN>},
    {"rookValue", MATERIAL, pieceValueOf<ROOK>},
    {"bishopValue", MATERIAL, pieceValueOf<BISHOP>},
    {"knightValue", MATERIAL, pieceValueOf<KNIGHT>},
    {"pawnValue", MATERIAL, pieceValueOf<PAWN>},
    {"pieceFavour", WEIGHT, weightOf<&EvalWeights::pieceFavour>},
    {"pieceMobility", WEIGHT, weightOf<&EvalWeights::pieceMobility>},
    {"kingAttack", WEIGHT, weightOf<&EvalWeights::kingAttack>},
    {"spaceControl", WEIGHT, weightOf<&EvalWeights::spaceControl>},
    {"pawnStructure", WEIGHT, weightOf<&EvalWeights::pawnStructure>},
    {"pstPawnOpening", SCORE, valuesOf<&P::pstPawnOpening>},
    {"pstPawnMiddle", SCORE, valuesOf<&P::pstPawnMiddle>},
    {"pstPawnEnding", SCORE, valuesOf<&P::pstPawnEnding>},
    {"pstKingMiddle", SCORE, valuesOf<&P::pstKingMiddle>},
    {"pstKingEnding", SCORE, valuesOf<&P::pstKingEnding>},
    {"pstKnight", SCORE, valuesOf<&P::pstKnight>},
    {"pstBishop", SCORE, valuesOf<&P::pstBishop>},
    {"pstRook", SCORE, valuesOf<&P::pstRook>},
    {"pstQueen", SCORE, valuesOf<&P::pstQueen>},
    {"knightMobility", SCORE, valuesOf<&P::knightMobility>},
    {"bishopMobility", SCORE, valuesOf<&P::bishopMobility>},
    {"rookMobility", SCORE, valuesOf<&P::rookMobility>},
    {"queenMobility", SCORE, valuesOf<&P::queenMobility>},
    {"knightPawnAdjust", SCORE, valuesOf<&P::knightPawnAdjust>},
    {"bishopPawnAdjust", SCORE, valuesOf<&P::bishopPawnAdjust>},
    {"rookPawnAdjust", SCORE, valuesOf<&P::rookPawnAdjust>},
    {"imbalanceMinorNumerator", FACTOR, valuesOf<&P::imbalanceMinorNumerator>},
    {"imbalanceMinorDenominator", DIVISOR, valuesOf<&P::imbalanceMinorDenominator>},
    {"rookPawnPenalty", PAWN_TERM, valuesOf<&P::rookPawnPenalty>},
    {"doubledPenalty", PAWN_TERM, valuesOf<&P::doubledPenalty>},
    {"doubledOpposedPenalty", PAWN_TERM, valuesOf<&P::doubledOpposedPenalty>},
    {"sideBySideBonus", PAWN_TERM, valuesOf<&P::sideBySideBonus>},
    {"isolatedPenalty", PAWN_TERM, valuesOf<&P::isolatedPenalty>},
    {"isolatedOpenPenalty", PAWN_TERM, valuesOf<&P::isolatedOpenPenalty>},
    {"backwardPenalty", PAWN_TERM, valuesOf<&P::backwardPenalty>},
    {"backwardOpenPenalty", PAWN_TERM, valuesOf<&P::backwardOpenPenalty>},
    {"passedBonus", SCORE, valuesOf<&P::passedBonus>},
    {"passedBlockPenalty", SCORE, valuesOf<&P::passedBlockPenalty>},
    {"passedStopUnsafeDivisor", DIVISOR, valuesOf<&P::passedStopUnsafeDivisor>},
    {"passedTwoBlockedDivisor", DIVISOR, valuesOf<&P::passedTwoBlockedDivisor>},
    {"passedTwoUnsafeDivisor", DIVISOR, valuesOf<&P::passedTwoUnsafeDivisor>},
    {"passedKingSupport", SCORE, valuesOf<&P::passedKingSupport>},
    {"passedEnemyKingDistance", SCORE, valuesOf<&P::passedEnemyKingDistance>},
    {"connectedPassedBonus", SCORE, valuesOf<&P::connectedPassedBonus>},
    {"protectedPassedBonus", SCORE, valuesOf<&P::protectedPassedBonus>},
    {"outsidePassedBonus", SCORE, valuesOf<&P::outsidePassedBonus>},
    {"runawayBase", SCORE, valuesOf<&P::runawayBase>},
    {"runawayStep", SCORE, valuesOf<&P::runawayStep>},
    {"pawnEndingMajority", SCORE, valuesOf<&P::pawnEndingMajority>},
    {"pawnEndingKingDistance", SCORE, valuesOf<&P::pawnEndingKingDistance>},
    {"candidatePasserPercent", PERCENT, valuesOf<&P::candidatePasserPercent>},
    {"kingZoneBase", INDEX, valuesOf<&P::kingZoneBase>},
    {"attackerKindsBonus", INDEX, valuesOf<&P::attackerKindsBonus>},
    {"kingAttackTable", SCORE, valuesOf<&P::kingAttackTable>},
    {"kingShield", SCORE, valuesOf<&P::kingShield>},
    {"kingShieldOffset", SCORE, valuesOf<&P::kingShieldOffset>},
    {"kingShieldFactor", FACTOR, valuesOf<&P::kingShieldFactor>},
    {"kingShieldCentre", SCORE, valuesOf<&P::kingShieldCentre>},
    {"kingShieldScale", SCALE, valuesOf<&P::kingShieldScale>},
    {"pawnStormBase", SCORE, valuesOf<&P::pawnStormBase>},
    {"pawnStormStep", SCORE, valuesOf<&P::pawnStormStep>},
    {"castlingReady", SCORE, valuesOf<&P::castlingReady>},
    {"castlingBlocked", SCORE, valuesOf<&P::castlingBlocked>},
    {"castledBonus", SCORE, valuesOf<&P::castledBonus>},
    {"castlingLostPenalty", SCORE, valuesOf<&P::castlingLostPenalty>},
    {"kingSideLostPenalty", SCORE, valuesOf<&P::kingSideLostPenalty>},
    {"queenSideLostPenalty", SCORE, valuesOf<&P::queenSideLostPenalty>},
    {"blockedCentrePenalty", SCORE, valuesOf<&P::blockedCentrePenalty>},
    {"bishopPairBonus", SCORE, valuesOf<&P::bishopPairBonus>},
    {"trappedBishopPenalty", SCORE, valuesOf<&P::trappedBishopPenalty>},
    {"trappedKnightPenalty", SCORE, valuesOf<&P::trappedKnightPenalty>},
    {"outpostBonus", SCORE, valuesOf<&P::outpostBonus>},
    {"knightSpreadLone", SCORE, valuesOf<&P::knightSpreadLone>},
    {"knightSpreadLateEnding", SCORE, valuesOf<&P::knightSpreadLateEnding>},
    {"knightSpreadEnding", SCORE, valuesOf<&P::knightSpreadEnding>},
    {"rookOpenFile", SCORE, valuesOf<&P::rookOpenFile>},
    {"rookOpenFileDoubled", SCORE, valuesOf<&P::rookOpenFileDoubled>},
    {"rookHalfOpenFile", SCORE, valuesOf<&P::rookHalfOpenFile>},
    {"rookSeventh", SCORE, valuesOf<&P::rookSeventh>},
    {"rookSeventhDoubled", SCORE, valuesOf<&P::rookSeventhDoubled>},
    {"queenSeventh", SCORE, valuesOf<&P::queenSeventh>},
    {"queenSeventhDoubled", SCORE, valuesOf<&P::queenSeventhDoubled>},
    {"rookBehindOwnPasser", SCORE, valuesOf<&P::rookBehindOwnPasser>},
    {"rookAheadOfOwnPasser", SCORE, valuesOf<&P::rookAheadOfOwnPasser>},
    {"rookInEnemyPasserPath", SCORE, valuesOf<&P::rookInEnemyPasserPath>},
    {"rookBehindEnemyPasser", SCORE, valuesOf<&P::rookBehindEnemyPasser>},
    {"threatByPawn", SCORE, valuesOf<&P::threatByPawn>},
    {"threatByMinor", SCORE, valuesOf<&P::threatByMinor>},
    {"threatByRook", SCORE, valuesOf<&P::threatByRook>},
    {"hangingPiece", SCORE, valuesOf<&P::hangingPiece>},
    {"drawishClosePawnsPercent", PERCENT, valuesOf<&P::drawishClosePawnsPercent>},
    {"drawishPawnsApartPercent", PERCENT, valuesOf<&P::drawishPawnsApartPercent>},
    {"loneMinorPercent", PERCENT, valuesOf<&P::loneMinorPercent>},
    {"pawnlessEdgePercent", PERCENT, valuesOf<&P::pawnlessEdgePercent>},
    {"mateEdgeBase", SCORE, valuesOf<&P::mateEdgeBase>},
    {"mateEdgeStep", FACTOR, valuesOf<&P::mateEdgeStep>},
    {"mateKingDistance", SCORE, valuesOf<&P::mateKingDistance>},
    {"minorEdgePercent", PERCENT, valuesOf<&P::minorEdgePercent>},
    {"bareKingBonus", SCORE, valuesOf<&P::bareKingBonus>},
    {"smallEdgePercent", PERCENT, valuesOf<&P::smallEdgePercent>},
    {"smallEdgeBishopPairPercent", PERCENT, valuesOf<&P::smallEdgeBishopPairPercent>},
    {"bishopsMateBase", SCORE, valuesOf<&P::bishopsMateBase>},
    {"bishopKnightMateBase", SCORE, valuesOf<&P::bishopKnightMateBase>},
    {"bishopKnightCorner", SCORE, valuesOf<&P::bishopKnightCorner>},
    {"rookPawnKingDistance", SCORE, valuesOf<&P::rookPawnKingDistance>},
    {"pawnWinBase", SCORE, valuesOf<&P::pawnWinBase>},
    {"pawnWinStep", SCORE, valuesOf<&P::pawnWinStep>},
};

std::vector<std::string> wordsOf(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

// The whole word as a decimal integer of int range.
bool readNumber(const std::string& word, int& value) {
    const char* end = word.data() + word.size();
    const auto [stop, status] = std::from_chars(word.data(), end, value);
    return status == std::errc() && stop == end;
}

const Field* fieldNamed(const std::string& name) {
    for (const Field& field : FIELDS) {
        if (name == field.name) return &field;
    }
    return nullptr;
}

} // namespace

std::span<const EvalParamField> evalParamFields() { return FIELDS; }

bool writeEvalParams(const EvalParams& params, std::ostream& out) {
    EvalParams copy = params;
    for (const Field& field : FIELDS) {
        out << field.name;
        for (int value : field.of(copy)) out << ' ' << value;
        out << '\n';
    }
    return static_cast<bool>(out);
}

bool readEvalParams(std::istream& in, EvalParams& params, std::string& error) {
    EvalParams read = params;
    std::vector<const Field*> seen;
    int lineNumber = 0;
    const auto refuse = [&error, &lineNumber](const std::string& what) {
        error = "line " + std::to_string(lineNumber) + ": " + what;
        return false;
    };
    for (std::string line; std::getline(in, line);) {
        ++lineNumber;
        const std::vector<std::string> words = wordsOf(line);
        if (words.empty() || words[0][0] == '#') continue;
        const Field* field = fieldNamed(words[0]);
        if (!field) return refuse("unknown parameter \"" + words[0] + "\"");
        for (const Field* earlier : seen) {
            if (earlier == field) return refuse(words[0] + " is given twice");
        }
        seen.push_back(field);
        const std::span<int> values = field->of(read);
        if (words.size() - 1 != values.size()) {
            return refuse(words[0] + " takes " + std::to_string(values.size()) + " value" +
                          (values.size() == 1 ? "" : "s") + ", not " + std::to_string(words.size() - 1));
        }
        for (size_t i = 0; i < values.size(); ++i) {
            int value = 0;
            if (!readNumber(words[i + 1], value))
                return refuse(words[0] + ": \"" + words[i + 1] + "\" is not a whole number");
            if (value < field->range.min || value > field->range.max) {
                return refuse(words[0] + ": " + words[i + 1] + " is outside " +
                              std::to_string(field->range.min) + ".." + std::to_string(field->range.max));
            }
            values[i] = value;
        }
    }
    if (in.bad()) {
        error = "the parameters could not be read";
        return false;
    }
    params = read;
    return true;
}
