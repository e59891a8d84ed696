// The modern profile's evaluation parameters in the engine: the profile in
// force decides the set the evaluator and the position's sums use, a file
// named by the option EvalParams or the key EVAL_PARAMS replaces the modern
// set only, and a bad file is refused, naming its line, with nothing changed.
#include <cstring>

#include "shell/program.h"
#include "shell/settings.h"
#include "testutil.h"

namespace {

// White a pawn up, middle-game tables in force.
constexpr const char* PAWN_UP = "r4rk1/pp2pppp/2n2n2/8/3P4/2N2N2/PPP2PPP/R4RK1 w - -";

// The score of a fresh board and evaluator with `params`.
int scoreWith(const EvalParams& params, const std::string& fen) {
    const PieceSquareTables tables = buildPieceSquareTables(params);
    Board board;
    board.usePieceSquareTables(tables);
    board.readFen(fen.c_str());
    Evaluator evaluator(params);
    return evaluator.evaluate(board);
}

bool setOption(Engine& engine, const char* name, const std::string& value, CollectedOutput& out) {
    return applyOption(engine, *findOption(name), value, out);
}

EvalParams modernWithPawn(int value) {
    EvalParams params = modernEvalParams();
    params.pieceValue[PAWN] = value;
    return params;
}

} // namespace

TEST(EvalParamsFile, TheProfileInForceDecidesTheSetTheEngineEvaluatesWith) {
    auto engine = engineAt(PAWN_UP);
    EXPECT_EQ(&engine->evaluator.params(), &engine->evalParams);
    CollectedOutput out;
    engine->modernParams = modernWithPawn(80); // a modern set unlike the classic one
    ASSERT_TRUE(setOption(*engine, "Profile", "modern", out));
    EXPECT_EQ(&engine->evaluator.params(), &engine->modernParams);
    EXPECT_EQ(engine->evaluator.evaluate(engine->game().board()), scoreWith(modernWithPawn(80), PAWN_UP));
    EXPECT_TRUE(engine->game().board().isConsistent()) << "the sums follow the modern tables";
    ASSERT_TRUE(setOption(*engine, "Profile", "classic", out));
    EXPECT_EQ(&engine->evaluator.params(), &engine->evalParams);
    EXPECT_EQ(engine->evaluator.evaluate(engine->game().board()), scoreWith(classicEvalParams(), PAWN_UP));
    EXPECT_TRUE(engine->game().board().isConsistent());
}

TEST(EvalParamsFile, TheOptionLoadsAFileIntoTheModernSetOnly) {
    TempDir dir;
    dir.write("tuned.txt", "# a partial set\npawnValue 90\n");
    auto engine = engineAt(PAWN_UP);
    const int classicScore = engine->evaluator.evaluate(engine->game().board());
    CollectedOutput out;
    ASSERT_TRUE(setOption(*engine, "EvalParams", dir.file("tuned.txt"), out)) << out.text;
    EXPECT_TRUE(engine->modernParams == modernWithPawn(90));
    EXPECT_TRUE(engine->evalParams == classicEvalParams()) << "the classic set is left alone";
    EXPECT_EQ(engine->evaluator.evaluate(engine->game().board()), classicScore);
    EXPECT_EQ(findOption("EvalParams")->current(*engine), dir.file("tuned.txt"));
    ASSERT_TRUE(setOption(*engine, "Profile", "modern", out));
    EXPECT_EQ(engine->evaluator.evaluate(engine->game().board()), scoreWith(modernWithPawn(90), PAWN_UP));
    // The weight options keep to the classic set.
    ASSERT_TRUE(setOption(*engine, "PawnValue", "120", out));
    EXPECT_EQ(engine->modernParams.pieceValue[PAWN], 90);
    EXPECT_EQ(engine->evalParams.pieceValue[PAWN], 120);
    // <empty> brings the built-in set back.
    ASSERT_TRUE(setOption(*engine, "EvalParams", "<empty>", out));
    EXPECT_TRUE(engine->modernParams == modernEvalParams());
    EXPECT_EQ(engine->evaluator.evaluate(engine->game().board()), scoreWith(modernEvalParams(), PAWN_UP));
}

TEST(EvalParamsFile, ABadFileIsRefusedNamingItsLineAndChangesNothing) {
    TempDir dir;
    dir.write("good.txt", "pawnValue 90\n");
    dir.write("bad.txt", "pawnValue 80\nrookOpenFile 1001\n");
    auto engine = engineAt(PAWN_UP);
    CollectedOutput out;
    ASSERT_TRUE(setOption(*engine, "EvalParams", dir.file("good.txt"), out));
    out.text.clear();
    EXPECT_FALSE(setOption(*engine, "EvalParams", dir.file("bad.txt"), out));
    EXPECT_NE(out.text.find("line 2: rookOpenFile: 1001 is outside -1000..1000"), std::string::npos)
        << out.text;
    EXPECT_TRUE(engine->modernParams == modernWithPawn(90)) << "the set in force stays";
    EXPECT_EQ(findOption("EvalParams")->current(*engine), dir.file("good.txt"));
    out.text.clear();
    EXPECT_FALSE(setOption(*engine, "EvalParams", dir.file("missing.txt"), out));
    EXPECT_NE(out.text.find("cannot open"), std::string::npos) << out.text;
    EXPECT_TRUE(engine->modernParams == modernWithPawn(90));
}

namespace {

// The score the program prints for PAWN_UP with `ini` as its falkmere.ini, and its output.
int programScore(const std::string& ini, const std::string& paramsText, std::string& output) {
    TempDir dir;
    dir.write("falkmere.ini", ini);
    dir.write("tuned.txt", paramsText);
    Program program(dir.path());
    program.send(std::string("setboard ") + PAWN_UP + "\nscore\nquit\n");
    EXPECT_EQ(program.finish(), 0);
    output = program.output();
    const size_t at = output.find("score=");
    if (at == std::string::npos) return 99999;
    return std::stoi(output.substr(at + std::strlen("score=")));
}

} // namespace

TEST(EvalParamsFile, TheIniKeyLoadsTheFileForTheModernProfileAtStartUp) {
    std::string output;
    EXPECT_EQ(programScore("PROFILE modern\nEVAL_PARAMS tuned.txt\n", "pawnValue 90\n", output),
              scoreWith(modernWithPawn(90), PAWN_UP))
        << output;
    EXPECT_NE(output.find("eval params [tuned.txt]"), std::string::npos) << output;
    EXPECT_NE(output.find("pawn   =   90"), std::string::npos) << "the banner shows the file's values\n"
                                                               << output;
    EXPECT_EQ(programScore("PROFILE modern\n", "pawnValue 90\n", output),
              scoreWith(modernEvalParams(), PAWN_UP))
        << output;
    // The classic profile ignores the file.
    EXPECT_EQ(programScore("EVAL_PARAMS tuned.txt\n", "pawnValue 90\n", output),
              scoreWith(classicEvalParams(), PAWN_UP))
        << output;
    // A bad file: a message, and the built-in set.
    EXPECT_EQ(programScore("PROFILE modern\nEVAL_PARAMS tuned.txt\n", "pawnValue x\n", output),
              scoreWith(modernEvalParams(), PAWN_UP))
        << output;
    EXPECT_NE(output.find("EvalParams: tuned.txt, line 1: pawnValue: \"x\" is not a whole number"),
              std::string::npos)
        << output;
}
