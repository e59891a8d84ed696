// Static exchange evaluation, compared with an exchange played out on a copy
// of the board.
#include <algorithm>
#include <random>

#include "board/see.h"
#include "testutil.h"

namespace {

// The slow reference: attackers found by walking out from the square over a
// plain copy of the board, the exchange then played on that copy cheapest
// piece first. Sliders look through what the engine's model lets them look
// through; a capture that uncovers a piece the model does not count, or more
// pieces of a kind than an attacker byte holds, is outside the model.
class ExchangeReference {
  public:
    ExchangeReference(const Board& b, Move move) : move_(move), to_(moveTo(move)) {
        for (Square s = 0; s < 128; ++s) {
            piece_[s] = onBoard(s) ? b.squares[s]->piece : NO_PIECE;
            colour_[s] = onBoard(s) ? b.squares[s]->colour : NEUTRAL;
        }
        us_ = b.side;
        for (int c = WHITE; c <= BLACK; ++c) initial_[c] = attackers(c);
    }

    // Expected gain, or false when the case lies outside the model.
    bool gain(int& result) {
        for (int c = WHITE; c <= BLACK; ++c) {
            int count[7] = {};
            for (Square s : initial_[c]) ++count[piece_[s]];
            if (count[BISHOP] + count[KNIGHT] > 3 || count[ROOK] > 3 || count[QUEEN] > 1) return false;
        }
        const bool defendersAtStart = !initial_[us_ ^ 1].empty();
        // The move itself.
        const Square from = moveFrom(move_);
        if (move_ & MOVE_EN_PASSANT) piece_[to_ + (us_ == WHITE ? -16 : 16)] = NO_PIECE;
        place(from);
        // The alternating captures, the defenders first.
        std::vector<int> sums;
        int sum = 0, onSquare = EXCHANGE_VALUE[movePiece(move_)];
        for (int side = us_ ^ 1;; side ^= 1) {
            const std::vector<Square> now = attackers(side);
            for (Square s : now) {
                if (std::find(initial_[side].begin(), initial_[side].end(), s) == initial_[side].end())
                    return false;
            }
            if (now.empty()) break;
            const Square cheapest = *std::min_element(now.begin(), now.end(), [this](Square a, Square b) {
                return EXCHANGE_VALUE[piece_[a]] < EXCHANGE_VALUE[piece_[b]];
            });
            sum += side == us_ ? -onSquare : onSquare;
            sums.push_back(sum);
            onSquare = EXCHANGE_VALUE[piece_[cheapest]];
            place(cheapest);
        }
        result = (EXCHANGE_VALUE[moveCaptured(move_)] - bounded(sums)) * 100;
        if (isPromotion(move_) && !defendersAtStart) result += EXCHANGE_VALUE[movePromotion(move_)] * 100;
        return true;
    }

  private:
    Move move_;
    Square to_;
    int us_;
    int piece_[128], colour_[128];
    std::vector<Square> initial_[2];

    // The piece on `from` moves to the square (a promotion stays a pawn).
    void place(Square from) {
        piece_[to_] = piece_[from];
        colour_[to_] = colour_[from];
        piece_[from] = NO_PIECE;
        colour_[from] = NEUTRAL;
    }

    bool pawnAttacking(Square s, int colour) const {
        return piece_[s] == PAWN && colour_[s] == colour &&
               (s == to_ - PAWN_CAPTURE[colour][0] || s == to_ - PAWN_CAPTURE[colour][1]);
    }

    // A slider of `colour` and kind `piece` may look through what stands on s.
    bool seesThrough(int piece, int colour, bool diagonal, Square s) const {
        const int p = piece_[s];
        if (p == NO_PIECE) return true;
        if (piece == BISHOP) return p == BISHOP || pawnAttacking(s, colour);
        if (piece == ROOK) return p == ROOK;
        return p == QUEEN || (!diagonal && p == ROOK) || (diagonal && p == BISHOP) ||
               pawnAttacking(s, colour);
    }

    std::vector<Square> attackers(int colour) const {
        std::vector<Square> found;
        auto mine = [&](Square s, int piece) {
            return onBoard(s) && s != to_ && piece_[s] == piece && colour_[s] == colour;
        };
        for (int offset : PAWN_CAPTURE[colour]) {
            if (mine(to_ - offset, PAWN)) found.push_back(to_ - offset);
        }
        for (int offset : KNIGHT_OFFSETS) {
            if (mine(to_ + offset, KNIGHT)) found.push_back(to_ + offset);
        }
        for (int d : DIRECTIONS) {
            if (mine(to_ + d, KING)) found.push_back(to_ + d);
            const bool diagonal = d == 15 || d == -15 || d == 17 || d == -17;
            for (Square s = to_ + d; onBoard(s); s += d) {
                const int p = piece_[s];
                const bool slides = p == QUEEN || (p == BISHOP && diagonal) || (p == ROOK && !diagonal);
                if (!slides || colour_[s] != colour) continue;
                bool clear = true;
                for (Square x = to_ + d; x != s; x += d) clear = clear && seesThrough(p, colour, diagonal, x);
                if (clear) found.push_back(s);
            }
        }
        return found;
    }

    // The running sums of the capturer's loss, read with a lower bound from
    // the defenders' captures and an upper bound from the attackers'.
    static int bounded(const std::vector<int>& sums) {
        if (sums.empty()) return 0;
        int low = 10000, high = 0;
        for (size_t i = 0; i < sums.size(); ++i) {
            if (i % 2 == 0)
                low = std::min(low, sums[i]);
            else
                high = std::max(high, sums[i]);
        }
        if (sums.size() % 2 == 0)
            low = std::max(low, sums.back());
        else
            high = std::max(high, sums.back());
        return high < low ? high : low;
    }
};

} // namespace

TEST(StaticExchange, AgreesWithAnExchangePlayedOutOnTheBoard) {
    if (!sharedDataPresent()) GTEST_SKIP() << NO_SHARED_DATA;
    const auto positions = allDataPositions();
    std::mt19937 random(26);
    const int stride = kSlowBuild ? 12 : 1;
    int compared = 0, outside = 0;
    for (size_t i = 0; i < positions.size(); i += stride) {
        auto engine = positionAt(positions[i]);
        if (!engine->board.hasBothKings()) continue;
        for (int ply = 0; ply < 12; ++ply) {
            const auto moves = legalMoves(*engine);
            if (moves.empty()) break;
            for (Move m : moves) {
                if (!isCapture(m) && !isPromotion(m) && random() % 8 != 0) continue;
                ExchangeReference reference(engine->board, m);
                int expected;
                if (!reference.gain(expected)) {
                    ++outside;
                    continue;
                }
                ASSERT_EQ(engine->board.staticExchange(m), expected)
                    << engine->board.fen() << " move " << std::hex << m;
                ++compared;
            }
            engine->pushGameMove(moves[random() % moves.size()]);
        }
    }
    EXPECT_GT(compared, kSlowBuild ? 5000 : 100000);
    EXPECT_LT(outside, compared / 10);
}
