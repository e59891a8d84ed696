// Reading and writing positions as text, the diagram, the editor and the flip.
#include <random>

#include "testutil.h"

namespace {

const char* const START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -";

// What `action` prints.

} // namespace

TEST(Fen, EveryDataPositionReadsAndWritesBackUnchanged) {
    if (!sharedDataPresent()) GTEST_SKIP() << NO_SHARED_DATA;
    Board board;
    const auto positions = allDataPositions();
    ASSERT_GT(positions.size(), 1000u);
    for (const auto& fen : positions) {
        ASSERT_EQ(board.readFen(fen.c_str()), 1) << fen;
        EXPECT_EQ(board.fen(), fen);
        EXPECT_TRUE(board.isConsistent());
        // Flipped twice, every position comes back with its key.
        const uint64_t key = board.key;
        board.flip();
        EXPECT_TRUE(board.isConsistent());
        board.flip();
        EXPECT_EQ(board.fen(), fen);
        EXPECT_EQ(board.key, key);
    }
}

TEST(Fen, TextsReadAndWrittenBack) {
    // Counters after the position are ignored, castling letters in any order are
    // written KQkq, an en-passant square is kept.
    const std::pair<const char*, const char*> cases[] = {
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", START},
        {"r3k2r/8/8/8/8/8/8/R3K2R w qkQK -", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -"},
        {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3",
         "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3"}};
    Board board;
    for (auto [text, fen] : cases) {
        ASSERT_EQ(board.readFen(text), 1) << text;
        EXPECT_EQ(board.fen(), fen);
        EXPECT_TRUE(board.isConsistent()) << text;
    }
}

TEST(Fen, EachBadFieldGivesItsMessageAndLeavesTheBoardAsItWas) {
    struct Case {
        std::string text, message;
    };
    const std::vector<Case> cases = {
        {"rnbqkbnrr/8/8/8/8/8/8/8 w - -", "wrong length fen string [ rnbqkbnrr/8/8/8/8/8/8/8 w - - ]\n"},
        {"9/8/8/8/8/8/8/8 w - -", "unknown char in fen [ 9/8/8/8/8/8/8/8 w - - ]\n"},
        {"8/8/8/8/8/8/8/8 x - -", "wrong player in fen 8/8/8/8/8/8/8/8 x - -\n"},
        {"8/8/8/8/8/8/8/8 wb - -", "wrong fen string [ 8/8/8/8/8/8/8/8 wb - - ]\n"},
        {"8/8/8/8/8/8/8/8 w KQkq", "wrong castling flags in [ 8/8/8/8/8/8/8/8 w KQkq ]\n"},
        {"8/8/8/8/8/8/8", "wrong length fen string [ 8/8/8/8/8/8/8 ]\n"},
        {"", "unknown char in fen [  ]\n"},
    };
    Board board;
    for (const auto& c : cases) {
        board.setStartPosition();
        std::string message;
        EXPECT_EQ(board.readFen(c.text.c_str(), &message), 0) << c.text;
        EXPECT_EQ(message + "\n", c.message) << c.text;
        EXPECT_EQ(board.fen(), START) << c.text;
        EXPECT_TRUE(board.isConsistent()) << c.text;
    }
}

TEST(Fen, RankDigitsNeedNotAddUpBeforeTheSlash) {
    Board board;
    EXPECT_EQ(board.readFen("44/8/8/8/8/8/8/8 w - -"), 1);
    EXPECT_EQ(board.readFen("53/8/8/8/8/8/8/8 w - -"), 1);
    EXPECT_EQ(board.readFen("8/8/8/8/8/8/8/8 w - -"), 1);
    EXPECT_EQ(board.pieceTotal, 0);
    EXPECT_FALSE(board.hasBothKings());
}

TEST(Fen, BadEnPassantFieldIsReportedAndDropped) {
    Board board;
    // Not a square, and squares no double step passes for the side to move
    // (a8 once let the pawn on b7 capture onto the last rank without promoting).
    for (const char* fen : {"4k3/8/8/8/8/8/8/4K3 w - z9", "6k1/pP6/8/8/8/8/8/1K6 w - a8",
                            "4k3/8/8/8/3pP3/8/8/4K3 w - e3", "4k3/8/8/3pP3/8/8/8/4K3 b - d6"}) {
        std::string message;
        EXPECT_EQ(board.readFen(fen, &message), 1);
        EXPECT_EQ(message, std::string("wrong enpassant square in [ ") + fen + " ]");
        EXPECT_EQ(board.epSquare, 0) << fen;
    }
    std::string message = "not cleared";
    EXPECT_EQ(board.readFen("4k3/8/8/3pP3/8/8/8/4K3 w - d6", &message), 1);
    EXPECT_EQ(message, "");
    EXPECT_EQ(board.epSquare, D6);
}

TEST(Fen, ArbitraryTextNeverCrashesOrCorruptsTheBoard) {
    std::mt19937 rng(99);
    Board board;
    const std::string alphabet = "KQRBNPkqrbnp12345678/ wb-KQkqabcdefgh9x\t\n";
    std::string firstBad, why;
    for (int i = 0; i < 3000 && firstBad.empty(); ++i) {
        std::string text;
        const size_t length = rng() % (i % 100 == 0 ? 10000 : 90);
        for (size_t k = 0; k < length; ++k)
            text += i % 3 == 0 ? static_cast<char>(1 + rng() % 255) : alphabet[rng() % alphabet.size()];
        board.readFen(text.c_str());
        if (!board.isConsistent(&why)) firstBad = text;
    }
    EXPECT_EQ(firstBad, "") << why;
}

TEST(Edit, PlacesPiecesInTheChosenColourAndClearingKeepsTheSideToMove) {
    const std::tuple<const char*, std::vector<std::string>, const char*> cases[] = {
        {START, {"#", "c", "Ke8", "c", "Ke1", "Ra1", "."}, "4k3/8/8/8/8/8/8/R3K3 w Q -"},
        {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq -",
         {"#", "kc3", "."},
         "8/8/8/8/8/2K5/8/8 b - -"}};
    Board board;
    for (const auto& [fen, input, expected] : cases) {
        board.readFen(fen);
        Lines lines(input);
        SilentOutput quiet;
        board.edit(lines, quiet);
        EXPECT_EQ(board.fen(), expected);
        EXPECT_TRUE(board.isConsistent());
    }
}

TEST(Edit, BadLinesEndTheEditorWithTheirMessage) {
    Board board;
    board.setStartPosition();
    Lines badSquare({"#", "Kz9", "Ke1"});
    CollectedOutput said;
    board.edit(badSquare, said);
    EXPECT_EQ(said.text, "wrong square z9\n");
    EXPECT_EQ(badSquare.next, 2u) << "the editor stops at the bad line";
    EXPECT_TRUE(board.isConsistent());
    Lines badPiece({"Xe4", "Ke1"});
    said.text.clear();
    board.edit(badPiece, said);
    EXPECT_EQ(said.text, "wrong piece X\n");
    Lines shortLines({"", "K", std::string(5000, 'Q')});
    board.edit(shortLines, said);
    EXPECT_TRUE(board.isConsistent());
}

TEST(Flip, MirrorsColoursEnPassantAndCastling) {
    Board board;
    board.setStartPosition();
    board.flip();
    EXPECT_EQ(board.fen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq -");
    board.readFen("r3k3/8/8/8/4Pp2/8/8/4K2R b Kq e3");
    board.flip();
    EXPECT_EQ(board.fen(), "4k2r/8/8/4pP2/8/8/8/R3K3 w Qk e6");
}
