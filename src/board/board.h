// The position: a 0x88 mailbox of piece entries, doubly linked piece lists
// threaded through those entries, and incrementally kept summaries (keys,
// occupancy, counts, material, piece-square sums). Every operation that changes
// the position keeps all three in step.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

#include "board/geometry.h"
#include "board/pst.h"
#include "board/types.h"

// One node per square slot. The entry travels with its piece when the piece
// moves; a captured piece's entry is emptied in place.
struct PieceEntry {
    int32_t piece = NO_PIECE;
    int32_t colour = NEUTRAL;
    int32_t square = 0;
    PieceEntry* prev = nullptr;
    PieceEntry* next = nullptr;
};

// Source of text lines for the board editor (the shell passes its input reader).
struct LineSource {
    virtual ~LineSource() = default;
    // Stores the next line without its line end; false at end of input.
    virtual bool readLine(std::string& line) = 0;
};

class Output;

class Board {
  public:
    Board();
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    // An exact copy: the same pieces in the same list order (the order of
    // generated moves follows the lists), with every link pointing into this board.
    void copyFrom(const Board& other);

    // --- position state -------------------------------------------------------
    int32_t side = WHITE;
    int32_t castling = 0;
    int32_t epSquare = 0;
    int32_t castled[2] = {0, 0}; // 0 not castled, 1 king side, 2 queen side
    int32_t pstScore[2] = {0, 0};
    uint64_t key = 0;
    uint64_t pawnKey = 0;
    uint64_t occupied = 0;
    // Squares of each colour's pieces by kind (index 0 unused), kept with `occupied`.
    uint64_t pieceBits[2][7] = {};
    PieceEntry* squares[128];
    PieceEntry* pieceList[2][7];
    int32_t pieceTotal = 0;
    int32_t pawnCount[2] = {0, 0};
    int32_t pieceMaterial[2] = {0, 0};
    int32_t pieceCount[2][7];
    int32_t pieceTypes[2] = {0, 0};
    int32_t stage = 0;
    // The piece-square tables the sums follow, and those of this board's stage
    // among them (set by the stage update).
    const PieceSquareTables* pieceSquareTables = &startupPieceSquareTables();
    StageTables pieceSquare = pieceSquareTables->atStage(0);
    // Copied by the stage update: side, castling, pawn counts, piece material.
    uint8_t rootSnapshot[6] = {0, 0, 0, 0, 0, 0};
    PieceEntry* swapScratch = nullptr;

    // --- castling (board.cpp, fen.cpp) -----------------------------------------
    // Chess960 (Fischer random chess): the king may start on any file between
    // its two castling rooks, castles are written as the king taking its own
    // rook, and the FEN's castling letters name rooks. Set with setChess960.
    bool chess960 = false;
    // Start squares of each colour's king and of each right's rook (by
    // castlingIndex: white king side, white queen side, black king side, black
    // queen side). They stay fixed for a game, so the 4-bit rights and their
    // keys say everything. Standard chess: e1, e8 and h1, a1, h8, a8.
    Square castlingKingFrom[2] = {E1, E8};
    Square castlingRookFrom[4] = {H1, A1, H8, A8};
    // The rights a move keeps when it leaves or enters the square: a king
    // start square clears its colour's rights, a rook start square its right.
    uint8_t castlingKeep[128];
    // Chess960, per right: the squares the king and the rook cross or land on,
    // which must be empty but for the two of them, and the squares the king
    // stands on, crosses and lands on, which no enemy piece may attack.
    uint64_t castlingEmpty[4] = {};
    uint64_t castlingKingPath[4] = {};

    // --- set-up (board.cpp) ---------------------------------------------------
    void rebuild();
    void updateStage();
    // The piece-square sums follow `tables` from now on (which must outlive
    // their use): the position is rebuilt over them, as a FEN would set it up,
    // with the castling already done kept.
    void usePieceSquareTables(const PieceSquareTables& tables);
    void setCastling(int rights);
    // Sets the start squares of the castling kings and rooks and the tables
    // that follow from them (the rights themselves are left as they are).
    void setCastlingSquares(const Square (&kings)[2], const Square (&rooks)[4]);
    // Switches between standard chess (off) and Chess960 (on). The rights held
    // are read again in the new mode as the FEN reader reads KQkq: in Chess960
    // each goes to the outermost rook on its wing, and a right that fits no
    // king on its back rank with such a rook is dropped; in standard chess the
    // rooks are the a- and h-file ones again. Switch before reading a position.
    void setChess960(bool on);
    // The move word that castles with `right` (a CastlingRight bit) in this
    // board's mode: e1g1 in standard chess, the king taking its rook in
    // Chess960. Whether it is legal is isPseudoLegal's business.
    Move castlingMove(int right) const;
    void setEnPassant(Square square);
    int insufficientMaterial() const;
    void setStartPosition();
    // Exactly one king per colour: the precondition of move generation, attack
    // tests, evaluation and search.
    bool hasBothKings() const { return pieceCount[WHITE][KING] == 1 && pieceCount[BLACK][KING] == 1; }
    Square kingSquare(int colour) const { return pieceList[colour][KING]->square; }
    // The side to move's material and piece-square sum less the other side's.
    int materialBalance() const { return pstScore[side] - pstScore[side ^ 1]; }
    // Both sides have less than 15 units of piece material (knight and bishop
    // 3, rook 5, queen 9): an ending.
    bool isEnding() const { return pieceMaterial[WHITE] < 15 && pieceMaterial[BLACK] < 15; }
    // Both have less than 10: a late ending.
    bool isLateEnding() const { return pieceMaterial[WHITE] < 10 && pieceMaterial[BLACK] < 10; }
    // No castling right left and an ending: the positions the endgame
    // recognizers are asked about.
    bool recognizersApply() const { return castling == 0 && isEnding(); }
    // Full recomputation of every summary; describes the first mismatch in `why`.
    bool isConsistent(std::string* why = nullptr) const;
    // The entry of a piece of `colour` on `square` in the table in force for its kind.
    int pieceSquareValue(int piece, int colour, Square square) const {
        FM_ASSERT(piece >= KING && piece <= PAWN && (colour == WHITE || colour == BLACK) && onBoard(square));
        return (*pieceSquare[piece])[colour * 128 + square];
    }
    const PieceSquareTable& currentPawnTable() const { return *pieceSquare[PAWN]; }
    const PieceSquareTable& currentKingTable() const { return *pieceSquare[KING]; }
    void checkConsistency(const char* caller, Move move = NO_MOVE) const;

    // --- text (fen.cpp, display.cpp, edit.cpp) --------------------------------
    // Sets the position from the first four FEN fields; 0, with the board
    // unchanged, when they cannot be read. `message` receives what was wrong
    // (also for a bad en-passant field, which is dropped while the rest stands;
    // empty when all was well). In Chess960 mode the castling field is X-FEN
    // or Shredder-FEN: K/Q (k/q) name the outermost rook of that wing on the
    // back rank, a file letter A-H (a-h) the rook on that file. A right whose
    // king and rook are not in place is dropped with a message. In standard
    // mode only KQkq are read, and kept as written.
    int readFen(const char* text, std::string* message = nullptr);
    // In Chess960 mode the castling field is X-FEN: K/Q/k/q when the castling
    // rook is the outermost rook of its wing, else its file letter.
    void writeFen(char* buffer) const; // at most 81 characters plus NUL
    std::string fen() const;
    // The diagram the console shows: the board, the files' letters and the FEN.
    std::string diagram() const;
    void edit(LineSource& input, Output& out);
    void flip();

    // --- moves (makemove.cpp) -------------------------------------------------
    void makeMove(Move move);
    void unmakeMove(Move move);

    // --- attacks and legality (attacks.cpp) -----------------------------------
    int isAttacked(int colour, Square square) const;
    int canReach(Square from, Square to) const;
    int pinDirection(Square square, int colour) const;
    int canCastle(Square kingFrom, Square kingTo) const;
    int leavesKingInCheck(Move move, int made) const;
    int givesCheck(Move move) const;
    // Before a move that is no promotion, castle or en-passant capture is made:
    // whether it gives check, by the piece itself or by the slider it uncovers.
    bool givesCheckBeforeMove(Move move) const;
    int isPseudoLegal(Move move) const;

    // --- move generation (movegen.cpp, evasions.cpp) --------------------------
    void generateQuiet(Move* moves, int& count) const;
    void generateCaptures(Move* moves, int& count) const;
    void generateAll(Move* moves, int& count) const;
    void generateChecksAndCaptures(Move* moves, int& count) const;
    void generateEvasions(Move* moves, int& count) const;

    // --- move text (movetext.cpp) ----------------------------------------------
    // SAN without check mark; call before the move is made.
    void moveToSanText(Move move, char* text) const;

    // --- exchange (see.cpp) ---------------------------------------------------
    int staticExchange(Move move) const;

  private:
    PieceEntry entries[128];

    void insertPiece(PieceEntry* entry);
    void removePiece(PieceEntry* entry);
    void swapSlots(Square a, Square b);
    bool pathClear(Square a, Square b) const { return (between(square64(a), square64(b)) & occupied) == 0; }
    // First square from s + d onwards in direction d that holds a piece, or -1
    // when the walk leaves the board.
    Square walk(Square s, int d) const;
    bool hitsKing(Square attacker, Square king) const;
    bool castlingReady(int right) const;
    bool castlingConsistent(std::string* why) const;
    // Chess960: the right is held and its king and rook stand on their start
    // squares; and the castle is legal (squares empty, none of the king's
    // attacked, the king safe once the rook has left its square).
    bool castlingReady960(int right) const;
    bool canCastle960(int right) const;
    void generateCastles960(Move* moves, int& count) const;
    // Chess960 castling in make and unmake: the common king step leaves the king
    // on its rook's square and the rook on the king's; these finish and undo the rest.
    [[gnu::cold, gnu::noinline]] void finishCastle960(Move move);
    [[gnu::cold, gnu::noinline]] void undoCastle960(Move move);
    // Whether the king of a Chess960 castle stands attacked on its castled square,
    // before the castle (made = 0) or after it (made = 1).
    int castleLeavesKingInCheck(Move move, int made) const;
    void generateEnPassant(Move* moves, int& count) const;
    int recomputePstScore(int colour) const;
    // Difference between pstScore and a fresh sum over the tables in force, kept
    // by the stage update so that debug checks can verify incremental sums.
    int32_t pstDrift[2] = {0, 0};

    friend struct BoardTestAccess;
};
