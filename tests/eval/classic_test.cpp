// The classic evaluation, written down: every position of the record must get
// the score, the evaluation info bytes and the recognizer answer it got when
// the record was made. The record holds every data position with both kings
// and endings reached from them by random play.
#include <set>

#include "evaltest.h"

namespace {

struct Recorded {
    std::string fen;
    int score = 0;
    int info[3] = {0, 0, 0};
    int answered = 0;
    int recognized = 0;
};

std::vector<Recorded> readRecord() {
    std::vector<Recorded> record;
    for (const auto& line : readLines(dataFile("classic-eval.txt"))) {
        if (line[0] == '#') continue;
        const size_t fenEnd = line.find(';');
        Recorded r;
        r.fen = line.substr(0, fenEnd);
        EXPECT_EQ(std::sscanf(line.c_str() + fenEnd, ";%d;%d %d %d;%d %d", &r.score, &r.info[0], &r.info[1],
                              &r.info[2], &r.answered, &r.recognized),
                  6)
            << line;
        record.push_back(r);
    }
    return record;
}

void expectRecorded(Evaluator& evaluator, Board& board, const Recorded& r) {
    ASSERT_EQ(board.readFen(r.fen.c_str()), 1) << r.fen;
    EXPECT_EQ(evaluator.evaluate(board), r.score) << r.fen;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(evaluator.evalInfo()[i], r.info[i]) << r.fen << " info " << i;
    int score = 0;
    const int answered = evaluator.recognize(board, score);
    EXPECT_EQ(answered, r.answered) << r.fen;
    if (answered) {
        EXPECT_EQ(score, r.recognized) << r.fen;
    }
}

} // namespace

TEST(ClassicEvaluation, EveryRecordedPositionScoresAsRecordedWithAndWithoutCaches) {
    const auto record = readRecord();
    ASSERT_GT(record.size(), 5000u);
    Board board;
    Evaluator uncached;
    for (const Recorded& r : record) expectRecorded(uncached, board, r);
    // With caches (a miss that fills them, then a hit), and with a copy of the
    // classic parameters: their values count, not where they are kept.
    const EvalParams copy = classicEvalParams();
    Evaluator cached(copy);
    allocateCaches(cached);
    for (int pass = 0; pass < 2; ++pass) {
        for (const Recorded& r : record) expectRecorded(cached, board, r);
    }
    EXPECT_GT(cached.caches().eval.hits, record.size() * 9 / 10);
}

TEST(ClassicEvaluation, TheRecordHoldsEveryDataPosition) {
    if (!sharedDataPresent()) GTEST_SKIP() << NO_SHARED_DATA;
    std::set<std::string> recorded;
    for (const Recorded& r : readRecord()) recorded.insert(r.fen);
    Board board;
    int playable = 0;
    for (const auto& fen : allDataPositions()) {
        if (board.readFen(fen.c_str()) != 1 || !board.hasBothKings()) continue;
        ++playable;
        EXPECT_TRUE(recorded.count(fen)) << fen;
    }
    EXPECT_GT(playable, 3000);
}
