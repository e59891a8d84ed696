// Basic vocabulary shared by every subsystem: squares, colours, piece codes,
// the 32-bit move word, the assert helper and the bit-counting attribute.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Debug builds (FALKMERE_CHECKS) verify invariants; release builds compile the checks out.
#ifdef FALKMERE_CHECKS
constexpr bool kCheckInvariants = true;
#define FM_ASSERT(cond)                                                                                      \
    do {                                                                                                     \
        if (!(cond)) failedAssertion(#cond, __FILE__, __LINE__);                                             \
    } while (0)
#else
constexpr bool kCheckInvariants = false;
#define FM_ASSERT(cond)                                                                                      \
    do {                                                                                                     \
    } while (0)
#endif

// A hot function that counts bits (countBits) is compiled, on x86-64 with
// GCC, both for the baseline processor and for processors with the
// population-count instruction, and the program picks one when it starts: the
// default binary stays portable. The functions it calls are compiled into each
// version (flatten), since the compiler would not take them in otherwise.
// Elsewhere the attribute is empty. It suits functions of internal linkage
// (with link-time optimisation, clones of external ones fail to link). The
// ThreadSanitizer build goes without: the loader runs the version picker
// before that sanitizer's runtime is ready, and the program crashed at start.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define BIT_COUNTING [[gnu::target_clones("popcnt", "default"), gnu::flatten]]
#else
#define BIT_COUNTING
#endif

[[noreturn]] inline void failedAssertion(const char* what, const char* file, int line) {
    std::fprintf(stderr, "assertion failed: %s (%s:%d)\n", what, file, line);
    std::abort();
}

// A square in 0x88 numbering: rank * 16 + file, a1 = 0, h8 = 119.
using Square = int32_t;

enum Colour : int32_t { WHITE = 0, BLACK = 1, NEUTRAL = 2 };

enum PieceCode : int32_t { NO_PIECE = 0, KING = 1, QUEEN = 2, ROOK = 3, BISHOP = 4, KNIGHT = 5, PAWN = 6 };

constexpr bool onBoard(int square) { return (square & ~0x77) == 0; }
constexpr int fileOf(Square s) { return s & 7; }
constexpr int rankOf(Square s) { return s >> 4; }
constexpr Square makeSquare(int file, int rank) { return rank * 16 + file; }
// 64-square numbering (rank * 8 + file) used by bitboards.
constexpr int square64(Square s) { return ((s >> 1) & ~7) + (s & 7); }
constexpr Square square0x88(int s64) { return (s64 >> 3) * 16 + (s64 & 7); }
// The same square seen from the other side of the board (rank r <-> rank 7 - r).
constexpr Square mirrorSquare(Square s) { return s ^ 0x70; }

// clang-format off
enum SquareName : int32_t {
    A1 = 0, B1, C1, D1, E1, F1, G1, H1,
    A2 = 16, B2, C2, D2, E2, F2, G2, H2,
    A3 = 32, B3, C3, D3, E3, F3, G3, H3,
    A4 = 48, B4, C4, D4, E4, F4, G4, H4,
    A5 = 64, B5, C5, D5, E5, F5, G5, H5,
    A6 = 80, B6, C6, D6, E6, F6, G6, H6,
    A7 = 96, B7, C7, D7, E7, F7, G7, H7,
    A8 = 112, B8, C8, D8, E8, F8, G8, H8
};
// clang-format on

// Castling rights bits.
enum CastlingRight : int32_t {
    WHITE_KINGSIDE = 1,
    WHITE_QUEENSIDE = 2,
    BLACK_KINGSIDE = 4,
    BLACK_QUEENSIDE = 8
};

// Move word layout:
//   bits  0-7  from-square (0x88)      bits 22-24 promotion piece code
//   bits  8-15 to-square (0x88)        bit 25 capture      bit 26 castling
//   bits 16-18 moving piece code       bit 27 en passant   bit 28 pawn double step
//   bits 19-21 captured piece code     bit 29 pawn move    bit 30 promotion
// 0 is no move (and the null move in the game record).
using Move = uint32_t;

constexpr Move NO_MOVE = 0;

enum MoveFlag : uint32_t {
    MOVE_CAPTURE = 1u << 25,
    MOVE_CASTLE = 1u << 26,
    MOVE_EN_PASSANT = 1u << 27,
    MOVE_DOUBLE_PUSH = 1u << 28,
    MOVE_PAWN = 1u << 29,
    MOVE_PROMOTION = 1u << 30
};

constexpr Square moveFrom(Move m) { return static_cast<Square>(m & 0xFF); }
constexpr Square moveTo(Move m) { return static_cast<Square>((m >> 8) & 0xFF); }
constexpr int movePiece(Move m) { return static_cast<int>((m >> 16) & 7); }
constexpr int moveCaptured(Move m) { return static_cast<int>((m >> 19) & 7); }
constexpr int movePromotion(Move m) { return static_cast<int>((m >> 22) & 7); }
constexpr bool isCapture(Move m) { return (m & MOVE_CAPTURE) != 0; }
constexpr bool isPromotion(Move m) { return (m & MOVE_PROMOTION) != 0; }

constexpr Move buildMove(Square from, Square to, int piece, int captured = 0, int promotion = 0,
                         uint32_t flags = 0) {
    return static_cast<Move>(from) | static_cast<Move>(to) << 8 | static_cast<Move>(piece) << 16 |
           static_cast<Move>(captured) << 19 | static_cast<Move>(promotion) << 22 | flags;
}

// Argument predicates for the checks of debug builds.
constexpr bool isColour(int c) { return c == WHITE || c == BLACK; }
constexpr bool isSquare(int s) { return s >= 0 && s < 128 && onBoard(s); }
constexpr bool isPieceCode(int p) { return p >= NO_PIECE && p <= PAWN; }
// A move word whose fields all name squares and piece codes (not a check of
// legality or even of a piece on its from-square).
constexpr bool isWellFormed(Move m) {
    return m != NO_MOVE && isSquare(moveFrom(m)) && isSquare(moveTo(m)) && isPieceCode(movePiece(m)) &&
           isPieceCode(moveCaptured(m)) &&
           (movePromotion(m) == 0 || (movePromotion(m) >= QUEEN && movePromotion(m) <= KNIGHT)) &&
           (m >> 31) == 0;
}

// Two move words name the same move when from, to and promotion piece agree.
constexpr uint32_t SAME_MOVE_MASK = 0x01C0FFFF;
constexpr bool sameMove(Move a, Move b) { return ((a ^ b) & SAME_MOVE_MASK) == 0; }

constexpr Move CASTLE_WHITE_KINGSIDE = 0x4010604;
constexpr Move CASTLE_WHITE_QUEENSIDE = 0x4010204;
constexpr Move CASTLE_BLACK_KINGSIDE = 0x4017674;
constexpr Move CASTLE_BLACK_QUEENSIDE = 0x4017274;

// Castling words. In standard chess the to-square is the king's own (e1g1);
// in Chess960 the king "takes" its own rook (e1h1, b1a1), so the to-square is
// the rook's start. Either way the rook stands on the king side when the
// to-square lies above the from-square, and afterwards the king stands on the
// g- or c-file and the rook on the f- or d-file of the king's rank.
constexpr bool isKingSideCastle(Move m) { return moveTo(m) > moveFrom(m); }
constexpr Square castledKingSquare(Move m) {
    return makeSquare(isKingSideCastle(m) ? 6 : 2, rankOf(moveFrom(m)));
}
constexpr Square castledRookSquare(Move m) {
    return makeSquare(isKingSideCastle(m) ? 5 : 3, rankOf(moveFrom(m)));
}
// The right to castle on one side (king side or queen side) for a colour, and
// its bit number (0 to 3), which indexes the per-right tables of the board.
constexpr int castlingRight(int colour, bool kingSide) { return 1 << (colour * 2 + (kingSide ? 0 : 1)); }
constexpr int castlingIndex(int right) { return right == 1 ? 0 : right == 2 ? 1 : right == 4 ? 2 : 3; }

// Room in a move list. Ordinary positions stay far below it; the generators
// also stop short of it for positions made up in text.
constexpr int MAX_MOVES = 320;

// Character tables used by text input and output.
constexpr const char PIECE_LETTERS[] = " KQRBNPkqrbnp";
constexpr const char FILE_LETTERS[] = "abcdefgh";
constexpr const char RANK_DIGITS[] = "12345678";
