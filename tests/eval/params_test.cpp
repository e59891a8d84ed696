// The evaluation parameters' text form: every value written under a name,
// read back exactly, and bad text refused without touching the target.
#include <set>
#include <sstream>

#include "evaltest.h"

namespace {

std::string textOf(const EvalParams& params) {
    std::ostringstream out;
    EXPECT_TRUE(writeEvalParams(params, out));
    return out.str();
}

// Reads `text` into a copy of `start`; the copy, the result and the message.
struct ReadResult {
    EvalParams params;
    bool ok;
    std::string error;
};
ReadResult readText(const std::string& text, const EvalParams& start = classicEvalParams()) {
    ReadResult r{start, false, ""};
    std::istringstream in(text);
    r.ok = readEvalParams(in, r.params, r.error);
    return r;
}

} // namespace

TEST(EvalParamsText, EveryValueIsWrittenOnceUnderItsOwnName) {
    std::istringstream text(textOf(classicEvalParams()));
    std::set<std::string> names;
    size_t values = 0;
    for (std::string line; std::getline(text, line);) {
        std::istringstream words(line);
        std::string name;
        ASSERT_TRUE(words >> name) << "no empty lines";
        EXPECT_TRUE(names.insert(name).second) << name << " written twice";
        for (int value; words >> value;) ++values;
        EXPECT_TRUE(words.eof()) << "only numbers follow the name: " << line;
    }
    // Every int of the struct but the two piece values that always hold 0
    // (no piece, the king).
    EXPECT_EQ(values, sizeof(EvalParams) / sizeof(int) - 2);
}

TEST(EvalParamsText, ASetThatDiffersEverywhereReadsBackExactly) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        const EvalParams perturbed = perturbedParams(seed);
        ASSERT_FALSE(perturbed == classicEvalParams());
        const std::string text = textOf(perturbed);
        // Into the classic set: every field must be overwritten.
        const ReadResult r = readText(text);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_TRUE(r.params == perturbed) << "seed " << seed;
        EXPECT_EQ(textOf(r.params), text);
    }
    // And the classic set into a perturbed one.
    const ReadResult back = readText(textOf(classicEvalParams()), perturbedParams(4));
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_TRUE(back.params == classicEvalParams());
}

TEST(EvalParamsText, APartialSetChangesOnlyTheFieldsItNames) {
    const ReadResult r = readText("# a comment, then a blank line\n\n"
                                  "  pawnValue 90\n"
                                  "bishopPairBonus 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17\n");
    ASSERT_TRUE(r.ok) << r.error;
    EvalParams expected = classicEvalParams();
    expected.pieceValue[PAWN] = 90;
    for (int i = 0; i < 17; ++i) expected.bishopPairBonus[i] = i + 1;
    EXPECT_TRUE(r.params == expected);
}

TEST(EvalParamsText, BadTextIsRefusedWithItsLineAndTheTargetIsLeftAlone) {
    const EvalParams start = perturbedParams(5);
    // {text, what the message must say}
    const std::pair<const char*, const char*> cases[] = {
        {"pawnValue 90\nkingSafety 3\n", "line 2: unknown parameter \"kingSafety\""},
        {"pawnValue 90\npawnValue 91\n", "line 2: pawnValue is given twice"},
        {"pawnValue\n", "line 1: pawnValue takes 1 value, not 0"},
        {"pawnValue 90 91\n", "line 1: pawnValue takes 1 value, not 2"},
        {"doubledPenalty 1 2 3 4 5 6 7\n", "line 1: doubledPenalty takes 8 values, not 7"},
        {"rookOpenFile 1.5\n", "line 1: rookOpenFile: \"1.5\" is not a whole number"},
        {"rookOpenFile 12x\n", "line 1: rookOpenFile: \"12x\" is not a whole number"},
        {"rookOpenFile 99999999999\n", "line 1: rookOpenFile: \"99999999999\" is not a whole number"},
        {"rookOpenFile 1001\n", "line 1: rookOpenFile: 1001 is outside -1000..1000"},
        {"\n\nrookPawnPenalty -101\n", "line 3: rookPawnPenalty: -101 is outside -100..100"},
        {"passedTwoUnsafeDivisor 0\n", "line 1: passedTwoUnsafeDivisor: 0 is outside 1..100"},
        {"loneMinorPercent -1\n", "line 1: loneMinorPercent: -1 is outside 0..200"},
        {"kingAttack 501\n", "line 1: kingAttack: 501 is outside -500..500"},
    };
    for (const auto& [text, message] : cases) {
        const ReadResult r = readText(text, start);
        EXPECT_FALSE(r.ok) << text;
        EXPECT_EQ(r.error, message) << text;
        EXPECT_TRUE(r.params == start) << "a refused text changes nothing: " << text;
    }
}
