// The modern profile's parameter set and the sets a tuner makes: the built-in
// set is valid and survives its text form, a set read back from text
// evaluates every data position exactly as the original, and any set the
// text form admits keeps the evaluation colour-symmetric.
#include <set>
#include <sstream>

#include "board/legalmoves.h"
#include "evaltest.h"

namespace {

// Positions of self-play games as the data generator writes them ("FEN ;
// result"): a sample of the tuner's input, kept with the tests.
std::vector<std::string> quietSample() {
    std::vector<std::string> fens;
    for (const std::string& line : readLines(dataFile("quiet-sample.txt"))) {
        const size_t bar = line.find(" ; ");
        if (bar != std::string::npos) fens.push_back(line.substr(0, bar));
    }
    return fens;
}

std::vector<std::string> everyDataPosition() {
    std::vector<std::string> fens = quietSample();
    for (const std::string& fen : allDataPositions()) fens.push_back(fen);
    return fens;
}

EvalParams readBack(const EvalParams& params, const EvalParams& start) {
    std::stringstream text;
    EXPECT_TRUE(writeEvalParams(params, text));
    EvalParams read = start;
    std::string error;
    EXPECT_TRUE(readEvalParams(text, read, error)) << error;
    return read;
}

// A set with every value drawn anywhere in its field's range: what a tuner
// may write, however strange.
EvalParams randomParams(uint32_t seed) {
    EvalParams params = classicEvalParams();
    std::mt19937 random(seed);
    for (const EvalParamField& field : evalParamFields()) {
        for (int& value : field.of(params)) {
            const uint32_t span = static_cast<uint32_t>(field.range.max - field.range.min) + 1;
            value = field.range.min + static_cast<int>(random() % span);
        }
    }
    return params;
}

// An evaluator and a board that sums with the tables of its own copy of a set.
struct Scorer {
    EvalParams params;
    PieceSquareTables tables;
    Board board;
    Evaluator evaluator{params};
    explicit Scorer(const EvalParams& with) : params(with), tables(buildPieceSquareTables(with)) {
        board.usePieceSquareTables(tables);
    }
    // False when the text is no position with both kings.
    bool score(const std::string& fen, int& result) {
        if (board.readFen(fen.c_str()) != 1 || !board.hasBothKings()) return false;
        result = evaluator.evaluate(board);
        return true;
    }
};

} // namespace

TEST(ModernParams, TheFieldsOfTheTextFormCoverEveryValueOnce) {
    EvalParams params = classicEvalParams();
    std::set<const int*> seen;
    for (const EvalParamField& field : evalParamFields()) {
        EXPECT_LT(field.range.min, field.range.max) << field.name;
        for (int& value : field.of(params)) EXPECT_TRUE(seen.insert(&value).second) << field.name;
    }
    // Every int of the struct but the piece values of no piece and the king.
    EXPECT_EQ(seen.size(), sizeof(EvalParams) / sizeof(int) - 2);
}

TEST(ModernParams, TheBuiltInSetLiesInsideEveryRangeAndReadsBackExactly) {
    EvalParams modern = modernEvalParams();
    for (const EvalParamField& field : evalParamFields()) {
        for (int value : field.of(modern)) {
            EXPECT_GE(value, field.range.min) << field.name;
            EXPECT_LE(value, field.range.max) << field.name;
        }
    }
    EXPECT_EQ(modern.pieceValue[NO_PIECE], 0);
    EXPECT_EQ(modern.pieceValue[KING], 0);
    EXPECT_TRUE(readBack(modern, perturbedParams(41)) == modern);
    EXPECT_TRUE(readBack(modern, randomParams(42)) == modern);
}

TEST(ModernParams, AnySetInsideTheRangesReadsBackExactly) {
    for (uint32_t seed : {51u, 52u, 53u}) {
        const EvalParams params = randomParams(seed);
        EXPECT_TRUE(readBack(params, modernEvalParams()) == params) << "seed " << seed;
    }
}

// The set read from text, with tables built from it, scores every data
// position as the built-in set does: what the tuner reads is what the engine plays.
TEST(ModernParams, ASetReadBackFromTextEvaluatesEveryDataPositionAsTheBuiltInSet) {
    const std::vector<std::string> positions = everyDataPosition();
    ASSERT_GE(positions.size(), 1000u) << "the generated sample at least";
    Scorer builtIn(modernEvalParams());
    Scorer read(readBack(modernEvalParams(), randomParams(61)));
    size_t scored = 0;
    for (const std::string& fen : positions) {
        int expected = 0, actual = 0;
        if (!builtIn.score(fen, expected)) continue;
        ASSERT_TRUE(read.score(fen, actual)) << fen;
        EXPECT_EQ(actual, expected) << fen;
        EXPECT_EQ(read.board.pstScore[WHITE], builtIn.board.pstScore[WHITE]) << fen;
        ++scored;
    }
    EXPECT_GE(scored, 1000u);
}

// Random sets stress every term far from its usual values: the evaluation
// still scores a position and its colour-flipped copy alike.
TEST(ModernParams, EverySetKeepsTheEvaluationColourSymmetric) {
    const std::vector<std::string> positions = quietSample();
    ASSERT_GE(positions.size(), 1000u);
    std::vector<EvalParams> sets = {modernEvalParams(), perturbedParams(71)};
    for (uint32_t seed : {72u, 73u, 74u}) sets.push_back(randomParams(seed));
    for (size_t s = 0; s < sets.size(); ++s) {
        Scorer scorer(sets[s]);
        for (const std::string& fen : positions) {
            int score = 0;
            ASSERT_TRUE(scorer.score(fen, score)) << fen;
            scorer.board.flip();
            EXPECT_EQ(scorer.evaluator.evaluate(scorer.board), score) << "set " << s << ": " << fen;
        }
    }
}

// The sample is what the generator promises: quiet positions (no side to
// move in check), results 1, 0.5 or 0.