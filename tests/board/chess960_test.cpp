// Chess960 (Fischer random chess): castling with the king taking its own rook,
// X-FEN and Shredder-FEN, move text, and standard chess left as it was. The
// leaf counts of tests/data/perft960.epd come from Stockfish
// (tools/perft960-oracle.py).
#include <cctype>
#include <random>

#include "shell/perft.h"
#include "testutil.h"

namespace {

// A position read in Chess960 mode, its record restarted there.
std::unique_ptr<Position> position960(const std::string& fen) {
    auto position = std::make_unique<Position>();
    position->board.setChess960(true);
    std::string message;
    EXPECT_EQ(position->board.readFen(fen.c_str(), &message), 1) << fen;
    EXPECT_EQ(message, "") << fen;
    position->resetHistory();
    return position;
}

std::vector<std::string> chess960Positions() {
    std::vector<std::string> fens;
    for (const auto& line : readLines(dataFile("perft960.epd"))) fens.push_back(fenFields(line));
    return fens;
}

// Builds with checks run a sample of the positions.
size_t positionStep() { return kSlowBuild ? 12 : 1; }

std::vector<std::string> castlesOf(Position& position) {
    std::vector<std::string> out;
    for (Move m : legalMoves(position)) {
        if (m & MOVE_CASTLE) out.push_back(coord(m));
    }
    return out;
}

} // namespace

TEST(Chess960, PerftAgreesWithStockfishOnEveryPosition) {
    const std::string path = dataFile("perft960.epd");
    ASSERT_FALSE(path.empty()) << "missing data file perft960.epd";
    const auto cases = readPerftFile(path);
    ASSERT_GT(cases.size(), 3000u);
    const uint64_t leafLimit = kSlowBuild ? 15000 : 200000;
    std::string last;
    size_t positions = 0, checked = 0;
    for (const auto& c : cases) {
        if (c.fen != last) ++positions;
        last = c.fen;
        if ((positions - 1) % positionStep() != 0 || c.count > leafLimit) continue;
        auto p = position960(c.fen);
        EXPECT_EQ(perft(*p, c.depth), c.count) << c.fen << " depth " << c.depth;
        EXPECT_EQ(p->board.fen(), position960(c.fen)->board.fen()) << "perft leaves the position as it was";
        ++checked;
    }
    EXPECT_GT(positions, 1200u);
    EXPECT_GT(checked, kSlowBuild ? 250u : 3500u);
}

// The data holds many positions where the side to move can castle, both ways in many.
TEST(Chess960, TheDataCastlesBothWaysOften) {
    int one = 0, both = 0;
    for (const auto& fen : chess960Positions()) {
        auto p = position960(fen);
        const size_t castles = castlesOf(*p).size();
        one += castles == 1;
        both += castles == 2;
    }
    EXPECT_GT(one, 100);
    EXPECT_GT(both, 100);
}

TEST(Chess960, StandardPerftPositionsCountTheSameInChess960Mode) {
    // King on e1 and rooks on a1 and h1 castle by the same rules in both modes.
    const uint64_t leafLimit = kSlowBuild ? 20000 : 1000000;
    int checked = 0;
    for (const char* name : {"perft.epd", "perft-suite.epd"}) {
        for (const auto& c : readPerftFile(dataFile(name))) {
            if (c.count > leafLimit) continue;
            auto p = std::make_unique<Position>();
            p->board.setChess960(true);
            ASSERT_EQ(p->board.readFen(c.fen.c_str()), 1) << c.fen;
            p->resetHistory();
            EXPECT_EQ(perft(*p, c.depth), c.count) << c.fen << " depth " << c.depth;
            ++checked;
        }
    }
    EXPECT_GT(checked, 100);
}

TEST(Chess960, StandardChessIsLeftAsItWas) {
    Position p;
    p.board.setStartPosition();
    p.resetHistory();
    EXPECT_EQ(p.board.fen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    ASSERT_TRUE(playMoves(p, {"e4", "e5", "Nf3", "Nc6", "Bc4", "Bc5"}));
    const auto castles = castlesOf(p);
    ASSERT_EQ(castles, std::vector<std::string>{"e1g1"});
    const Move castle = moveNamed(p, "e1g1");
    EXPECT_EQ(castle, CASTLE_WHITE_KINGSIDE);
    EXPECT_EQ(san(p, castle), "O-O");
    // Shredder-FEN letters are no standard castling field.
    std::string message;
    EXPECT_EQ(p.board.readFen("r3k2r/8/8/8/8/8/8/R3K2R w HAha -", &message), 0);
    EXPECT_EQ(message, "wrong castling flags in [ r3k2r/8/8/8/8/8/8/R3K2R w HAha - ]");
}

TEST(Chess960, SwitchingModesKeepsAStandardPositionAndItsKey) {
    Board board;
    board.setStartPosition();
    const uint64_t key = board.key;
    board.setChess960(true);
    EXPECT_EQ(board.fen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
    EXPECT_EQ(board.key, key);
    EXPECT_EQ(coord(board.castlingMove(WHITE_KINGSIDE)), "e1h1");
    EXPECT_EQ(coord(board.castlingMove(BLACK_QUEENSIDE)), "e8a8");
    board.setChess960(false);
    EXPECT_EQ(board.castlingMove(WHITE_KINGSIDE), CASTLE_WHITE_KINGSIDE);
    EXPECT_EQ(board.key, key);
    // Rights kept as written in standard chess go where no king and rook fit them.
    ASSERT_EQ(board.readFen("r3k3/8/8/8/8/8/8/R4K1R w KQkq -"), 1);
    board.setChess960(true);
    EXPECT_EQ(board.fen(), "r3k3/8/8/8/8/8/8/R4K1R w KQq -");
    EXPECT_TRUE(board.isConsistent());
    EXPECT_EQ(coord(board.castlingMove(WHITE_QUEENSIDE)), "f1a1");
}

TEST(Chess960, CastlingFieldsAreReadAsXFenOrShredderFenAndWrittenAsXFen) {
    const std::pair<const char*, const char*> cases[] = {
        {"bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf - 2 9",
         "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w KQkq -"},
        // A rook with another rook beyond it keeps its file letter.
        {"rr2k2r/8/8/8/8/8/8/RR2K2R w HBhb -", "rr2k2r/8/8/8/8/8/8/RR2K2R w KBkb -"},
        {"r3k1rr/8/8/8/8/8/8/R3K1RR w GAga -", "r3k1rr/8/8/8/8/8/8/R3K1RR w GQgq -"},
        {"1r3kr1/8/8/8/8/8/8/R2K3R w AHbg -", "1r3kr1/8/8/8/8/8/8/R2K3R w KQkq -"},
        {"4k3/8/8/8/8/8/8/RK5R w B -", "4k3/8/8/8/8/8/8/RK5R w - -"},
    };
    for (auto [text, fen] : cases) {
        Board board;
        board.setChess960(true);
        std::string message;
        ASSERT_EQ(board.readFen(text, &message), 1) << text;
        EXPECT_EQ(board.fen(), fen);
        EXPECT_TRUE(board.isConsistent());
    }
    Board inner;
    inner.setChess960(true);
    ASSERT_EQ(inner.readFen("rr2k2r/8/8/8/8/8/8/RR2K2R w KBkb -"), 1);
    EXPECT_EQ(inner.castlingRookFrom[castlingIndex(WHITE_QUEENSIDE)], B1);
    EXPECT_EQ(inner.castlingRookFrom[castlingIndex(BLACK_KINGSIDE)], H8);
    EXPECT_EQ(inner.castlingKingFrom[BLACK], E8);
}

TEST(Chess960, CastlingLettersThatFitNoKingAndRookDropTheRightWithAMessage) {
    struct Case {
        const char* text;
        const char* fen;
        char letter;
    };
    const Case cases[] = {
        {"4k3/8/8/8/8/8/4K3/R6R w KQ -", "4k3/8/8/8/8/8/4K3/R6R w - -", 'Q'},     // the king is off its rank
        {"4k3/8/8/8/8/8/8/R3K3 w KQ -", "4k3/8/8/8/8/8/8/R3K3 w Q -", 'K'},       // no rook on the king side
        {"4k3/8/8/8/8/8/8/R3K2R w CA -", "4k3/8/8/8/8/8/8/R3K2R w Q -", 'C'},     // no rook on c1
        {"4k3/8/8/8/8/8/8/R3K2R w E -", "4k3/8/8/8/8/8/8/R3K2R w - -", 'E'},      // the king's own file
        {"r3k3/8/8/8/8/8/8/4KRR1 w KFq -", "r3k3/8/8/8/8/8/8/4KRR1 w Kq -", 'F'}, // a second king-side rook
        {"r3k3/8/8/8/8/8/8/4K3 w kq -", "r3k3/8/8/8/8/8/8/4K3 w q -", 'k'},
    };
    for (const auto& c : cases) {
        Board board;
        board.setChess960(true);
        std::string message;
        ASSERT_EQ(board.readFen(c.text, &message), 1) << c.text;
        EXPECT_EQ(board.fen(), c.fen);
        EXPECT_EQ(message.rfind(std::string("castling right ") + c.letter + " dropped", 0), 0u) << message;
        EXPECT_TRUE(board.isConsistent()) << c.text;
    }
    // A letter that is none leaves the board as it was.
    Board board;
    board.setChess960(true);
    board.setStartPosition();
    EXPECT_EQ(board.readFen("4k3/8/8/8/8/8/8/R3K2R w KX -"), 0);
    EXPECT_EQ(board.fen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -");
}

TEST(Chess960, EveryPositionReadsAndWritesBack) {
    int xfen = 0;
    for (const auto& fen : chess960Positions()) {
        auto p = position960(fen);
        const std::string written = p->board.fen();
        // KQkq fields and "-" stay as they are; Shredder letters become X-FEN.
        const std::string castling = fen.substr(fen.find(' ') + 3, fen.rfind(' ') - fen.find(' ') - 3);
        if (castling == "KQkq" || castling == "-") {
            EXPECT_EQ(written, fen);
            ++xfen;
        }
        auto again = position960(written);
        EXPECT_EQ(again->board.fen(), written);
        EXPECT_EQ(again->board.key, p->board.key) << fen;
        for (int index = 0; index < 4; ++index) {
            if (!(p->board.castling & (1 << index))) continue;
            EXPECT_EQ(again->board.castlingRookFrom[index], p->board.castlingRookFrom[index]) << fen;
            EXPECT_EQ(again->board.castlingKingFrom[index / 2], p->board.castlingKingFrom[index / 2]) << fen;
        }
    }
    EXPECT_GT(xfen, 960);
}

TEST(Chess960, CastlingPutsKingAndRookOnTheirSquares) {
    struct Case {
        const char* fen;
        const char* move;
        const char* san;
        const char* after;
    };
    const char* const pawns = "/pppppppp/8/8/8/8/PPPPPPPP/";
    const auto row = [&](const char* black, const char* white, const char* rest) {
        return std::string(black) + pawns + white + rest;
    };
    const std::vector<std::tuple<std::string, std::string, std::string, std::string>> cases = {
        {row("rk4r1", "RK4R1", " w KQkq -"), "b1a1", "O-O-O", row("rk4r1", "2KR2R1", " b kq -")},
        {row("rk4r1", "RK4R1", " w KQkq -"), "b1g1", "O-O", row("rk4r1", "R4RK1", " b kq -")},
        {row("rk4r1", "RK4R1", " b KQkq -"), "b8a8", "O-O-O", row("2kr2r1", "RK4R1", " w KQ -")},
        {row("1r4kr", "1R4KR", " w KQkq -"), "g1h1", "O-O", row("1r4kr", "1R3RK1", " b kq -")},
        {row("1r4kr", "1R4KR", " w KQkq -"), "g1b1", "O-O-O", row("1r4kr", "2KR3R", " b kq -")},
        {row("r4kr1", "R4KR1", " w KQkq -"), "f1g1", "O-O", row("r4kr1", "R4RK1", " b kq -")},
        {row("2r1kr2", "2R1KR2", " w KQkq -"), "e1c1", "O-O-O", row("2r1kr2", "2KR1R2", " b kq -")},
        {row("2r1kr2", "2R1KR2", " w KQkq -"), "e1f1", "O-O", row("2r1kr2", "2R2RK1", " b kq -")},
        {row("3rkr2", "3RKR2", " w KQkq -"), "e1d1", "O-O-O", row("3rkr2", "2KR1R2", " b kq -")},
        {"8/8/8/8/8/8/8/RK5k w Q -", "b1a1", "O-O-O+", "8/8/8/8/8/8/8/2KR3k b - -"},
    };
    for (const auto& [fen, text, sanText, after] : cases) {
        auto p = position960(fen);
        const uint64_t key = p->board.key;
        const Move castle = moveNamed(*p, text);
        ASSERT_TRUE(castle & MOVE_CASTLE) << fen << " " << text;
        EXPECT_EQ(san(*p, castle), sanText);
        EXPECT_EQ(parseMove(*p, sanText.substr(0, 5).c_str()), castle) << sanText;
        const int mover = p->board.side;
        p->pushGameMove(castle);
        EXPECT_EQ(p->board.fen(), after) << fen << " " << text;
        EXPECT_EQ(p->board.castled[mover], isKingSideCastle(castle) ? 1 : 2);
        EXPECT_EQ(position960(after)->board.key, p->board.key) << "the key of the position reached";
        p->popGameMove();
        EXPECT_EQ(p->board.fen(), fen);
        EXPECT_EQ(p->board.key, key);
        EXPECT_EQ(p->board.castled[mover], 0);
    }
}

TEST(Chess960, CastlingIsRefusedThroughAttackOutOfCheckAndOntoOccupiedSquares) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        // A queen beyond the b1 rook hits c1 once the rook has gone to d1.
        {"4k3/8/8/8/8/8/8/qRK4R w KQ -", {"c1h1"}},
        {"4k3/8/8/8/8/8/8/rR2K2R w KQ -", {"e1h1"}},
        {"3k4/8/8/8/8/8/8/rR3KR1 w GB -", {"f1g1"}},
        {"Qrk3r1/8/8/8/8/8/8/4K3 b kq -", {"c8g8"}},
        // The king may not cross an attacked square, nor land on one.
        {"4k3/8/8/8/8/5r2/8/1RK3R1 w KQ -", {"c1b1"}},
        {"4k3/8/8/8/8/7n/8/1R1K3R w KQ -", {"d1b1"}},
        // The rook may land on an attacked square.
        {"4k3/8/8/8/8/5r2/8/1R4KR w KQ -", {"g1h1"}},
        // Not out of check.
        {"4k3/4r3/8/8/8/8/8/1R2K1R1 w KQ -", {}},
        {"1r2k1r1/8/8/1B6/8/8/8/4K3 b kq -", {}},
        // Not onto the other rook.
        {"rkr5/pppppppp/8/8/8/8/PPPPPPPP/RKR5 w KQkq -", {"b1c1"}},
        {"5rkr/pppppppp/8/8/8/8/PPPPPPPP/5RKR w KQkq -", {"g1f1"}},
    };
    for (const auto& [fen, legal] : cases) {
        auto p = position960(fen);
        EXPECT_EQ(castlesOf(*p), legal) << fen;
        // The move words from outside (hash table, killers) are judged alike.
        for (bool kingSide : {true, false}) {
            const Move castle = p->board.castlingMove(castlingRight(p->board.side, kingSide));
            const bool listed = std::find(legal.begin(), legal.end(), coord(castle)) != legal.end();
            EXPECT_EQ(p->board.isPseudoLegal(castle), listed ? 1 : 0) << fen << " " << coord(castle);
        }
    }
}

TEST(Chess960, RightsGoWithTheKingAndTheRooks) {
    auto p = position960("r1k3r1/8/8/8/8/8/1B4B1/R1K3R1 w KQkq -");
    ASSERT_TRUE(playMoves(*p, {"g2a8"}));
    EXPECT_EQ(p->board.fen(), "B1k3r1/8/8/8/8/8/1B6/R1K3R1 b KQk -") << "a taken rook takes its right";
    ASSERT_TRUE(playMoves(*p, {"g8g2"}));
    EXPECT_EQ(p->board.fen(), "B1k5/8/8/8/8/8/1B4r1/R1K3R1 w KQ -") << "a rook that moves loses its right";
    ASSERT_TRUE(playMoves(*p, {"a1a2", "c8d8", "a2a1"}));
    EXPECT_EQ(p->board.fen(), "B2k4/8/8/8/8/8/1B4r1/R1K3R1 b K -") << "and does not win it back";
    ASSERT_TRUE(playMoves(*p, {"d8e8", "c1d1"}));
    EXPECT_EQ(p->board.fen(), "B3k3/8/8/8/8/8/1B4r1/R2K2R1 b - -") << "a king that moves loses both";
}

TEST(Chess960, AFlippedPositionCountsTheSame) {
    const auto fens = chess960Positions();
    for (size_t i = 0; i < fens.size(); i += kSlowBuild ? 60 : 5) {
        auto p = position960(fens[i]);
        const uint64_t expected = perft(*p, 2);
        const std::string fen = p->board.fen();
        const uint64_t key = p->board.key;
        p->board.flip();
        p->resetHistory();
        EXPECT_TRUE(p->board.isConsistent());
        EXPECT_EQ(perft(*p, 2), expected) << fen << " flipped: " << p->board.fen();
        p->board.flip();
        EXPECT_EQ(p->board.fen(), fen);
        EXPECT_EQ(p->board.key, key);
    }
}

TEST(Chess960, TheEditorGivesRightsForKingsAndRooksOnTheirStandardSquares) {
    Position p;
    p.board.setChess960(true);
    ASSERT_EQ(p.board.readFen("1r3kr1/8/8/8/8/8/8/1R3KR1 w KQkq -"), 1);
    Lines lines({"#", "Ke1", "Ra1", "Rh1", "Rg1", "c", "Ke8", "Rb8", "."});
    SilentOutput out;
    p.board.edit(lines, out);
    p.resetHistory();
    EXPECT_EQ(p.board.fen(), "1r2k3/8/8/8/8/8/8/R3K1RR w KQ -");
    EXPECT_TRUE(p.board.isConsistent());
    EXPECT_EQ(castlesOf(p), (std::vector<std::string>{"e1a1"}));
    EXPECT_EQ(coord(p.board.castlingMove(WHITE_KINGSIDE)), "e1h1");
}

TEST(Chess960, TheExchangeOfACastleIsJudgedOnTheKingsSquare) {
    // The bishop attacks h1, where the rook starts, not g1 where the king stays.
    auto p = position960("4k3/8/8/3b4/8/8/8/6KR w K -");
    const Move castle = moveNamed(*p, "g1h1");
    EXPECT_EQ(p->board.staticExchange(castle), 0);
}

TEST(Chess960, MoveTextReadsBackToTheSameMoveEverywhere) {
    const auto fens = chess960Positions();
    int castles = 0;
    for (size_t i = 0; i < fens.size(); i += positionStep()) {
        auto p = position960(fens[i]);
        for (Move m : legalMoves(*p)) {
            const std::string text = coord(m), sanText = san(*p, m);
            const Move read = parseMove(*p, text.c_str());
            EXPECT_EQ(moveFromSquares(p->board, moveFrom(read), moveTo(read), movePromotion(read)), m)
                << text;
            EXPECT_EQ(parseMove(*p, sanText.c_str()), m) << fens[i] << " " << sanText;
            if (!(m & MOVE_CASTLE)) continue;
            // King takes rook, O-O or O-O-O.
            EXPECT_EQ(p->board.squares[moveTo(m)]->piece, ROOK);
            EXPECT_EQ(p->board.squares[moveTo(m)]->colour, p->board.side);
            EXPECT_EQ(sanText.rfind(isKingSideCastle(m) ? "O-O" : "O-O-O", 0), 0u) << sanText;
            ++castles;
        }
    }
    EXPECT_GT(castles, kSlowBuild ? 20 : 300);
}

TEST(Chess960, AKingMoveOntoItsRookIsTheCastleAndTheTwoSquareStepIsNot) {
    auto p = position960("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQK2R w KQkq -");
    EXPECT_EQ(moveFromSquares(p->board, E1, H1, 0), p->board.castlingMove(WHITE_KINGSIDE));
    const Move step = moveFromSquares(p->board, E1, G1, 0);
    EXPECT_FALSE(step & MOVE_CASTLE);
    EXPECT_EQ(p->board.isPseudoLegal(step), 0);
    EXPECT_EQ(castlesOf(*p), std::vector<std::string>{"e1h1"});
    EXPECT_EQ(parseMove(*p, "Kh1"), NO_MOVE) << "a castle is no king move onto the rook";
    EXPECT_EQ(parseMove(*p, "0-0"), p->board.castlingMove(WHITE_KINGSIDE));
}

// Kings and rooks anywhere on the back ranks with any castling letters: what is
// read is consistent, writes back as it reads, and castles and takes back
// every castle it allows exactly.
TEST(Chess960, RandomBackRanksAndCastlingFieldsReadConsistently) {
    std::mt19937 rng(1960);
    const std::string pieces = "RRRRNBQ";
    int castles = 0;
    for (int i = 0; i < (kSlowBuild ? 1000 : 3000) && !HasFailure(); ++i) {
        // Mostly one king a side on its back rank, rooks and a few other pieces;
        // mostly KQkq letters, now and then a file letter.
        std::string ranks[2], field;
        for (int c = 0; c < 2; ++c) {
            for (int file = 0; file < 8; ++file) ranks[c] += rng() % 3 ? '1' : pieces[rng() % pieces.size()];
            if (rng() % 10) ranks[c][rng() % 8] = 'K';
            for (char letter : {'K', 'Q', static_cast<char>('A' + rng() % 8)}) {
                if (rng() % 3 == 0) continue;
                field += c == 0 ? letter : static_cast<char>(std::tolower(letter));
            }
            if (c == 1)
                for (char& piece : ranks[c]) piece = static_cast<char>(std::tolower(piece));
        }
        const std::string fen = ranks[1] + "/pppppppp/8/8/8/8/PPPPPPPP/" + ranks[0] +
                                (rng() % 2 ? " w " : " b ") + (field.empty() ? "-" : field) + " -";
        auto p = std::make_unique<Position>();
        p->board.setChess960(true);
        ASSERT_EQ(p->board.readFen(fen.c_str()), 1) << fen;
        std::string why;
        ASSERT_TRUE(p->board.isConsistent(&why)) << why << " " << fen;
        const std::string written = p->board.fen();
        auto again = position960(written);
        EXPECT_EQ(again->board.fen(), written) << fen;
        EXPECT_EQ(again->board.key, p->board.key) << fen;
        if (!p->board.hasBothKings() ||
            p->board.isAttacked(p->board.side, p->board.kingSquare(p->board.side ^ 1)))
            continue;
        p->resetHistory();
        for (Move m : legalMoves(*p)) {
            if (!(m & MOVE_CASTLE)) continue;
            ++castles;
            p->pushMove(m);
            EXPECT_TRUE(p->board.isConsistent(&why)) << why << " after " << coord(m) << " in " << fen;
            EXPECT_EQ(position960(p->board.fen())->board.key, p->board.key) << coord(m) << " in " << fen;
            p->popMove();
            EXPECT_EQ(p->board.fen(), written);
        }
    }
    EXPECT_GT(castles, kSlowBuild ? 100 : 400);
}
