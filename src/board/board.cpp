#include "board/board.h"

#include <cstring>

#include "board/keys.h"
#include "board/pst.h"

Board::Board() {
    for (int i = 0; i < 128; ++i) {
        entries[i] = PieceEntry{};
        entries[i].square = i;
        squares[i] = &entries[i];
    }
    std::memset(pieceList, 0, sizeof pieceList);
    std::memset(pieceCount, 0, sizeof pieceCount);
    setCastlingSquares({E1, E8}, {H1, A1, H8, A8});
    rebuild(); // an empty board, consistent from the start
}

void Board::copyFrom(const Board& other) {
    if (&other == this) return;
    // Every field by value first, then each link moved from the other board's
    // entries to the same entry of this one.
    std::memcpy(static_cast<void*>(this), static_cast<const void*>(&other), sizeof(Board));
    const auto relocate = [&](PieceEntry* p) -> PieceEntry* {
        return p ? entries + (p - other.entries) : nullptr;
    };
    for (PieceEntry*& slot : squares) slot = relocate(slot);
    for (auto& lists : pieceList)
        for (PieceEntry*& head : lists) head = relocate(head);
    for (PieceEntry& e : entries) {
        e.prev = relocate(e.prev);
        e.next = relocate(e.next);
    }
    swapScratch = nullptr;
    if constexpr (kCheckInvariants) checkConsistency("copyFrom");
}

// A node joins its list directly after the first node, or becomes the first node.
void Board::insertPiece(PieceEntry* entry) {
    PieceEntry*& head = pieceList[entry->colour][entry->piece];
    if (head == nullptr) {
        head = entry;
        entry->prev = entry->next = nullptr;
        return;
    }
    entry->prev = head;
    entry->next = head->next;
    if (head->next) head->next->prev = entry;
    head->next = entry;
}

void Board::removePiece(PieceEntry* entry) {
    if (entry->prev)
        entry->prev->next = entry->next;
    else
        pieceList[entry->colour][entry->piece] = entry->next;
    if (entry->next) entry->next->prev = entry->prev;
}

void Board::swapSlots(Square a, Square b) {
    swapScratch = squares[a];
    squares[a] = squares[b];
    squares[b] = swapScratch;
    squares[a]->square = a;
    squares[b]->square = b;
}

void Board::rebuild() {
    occupied = 0;
    castled[WHITE] = castled[BLACK] = 0;
    pstScore[WHITE] = pstScore[BLACK] = 0;
    pieceTotal = 0;
    pawnCount[WHITE] = pawnCount[BLACK] = 0;
    pieceMaterial[WHITE] = pieceMaterial[BLACK] = 0;
    std::memset(pieceCount, 0, sizeof pieceCount);
    std::memset(pieceList, 0, sizeof pieceList);
    std::memset(pieceBits, 0, sizeof pieceBits);

    for (Square s = 0; s < 120; ++s) {
        PieceEntry* e = squares[s];
        if (!onBoard(s) || e->piece == NO_PIECE) continue;
        insertPiece(e);
        if (e->piece == PAWN)
            ++pawnCount[e->colour];
        else
            pieceMaterial[e->colour] += MATERIAL_UNITS[e->piece];
        ++pieceCount[e->colour][e->piece];
        occupied |= bitOf(s);
        pieceBits[e->colour][e->piece] |= bitOf(s);
        ++pieceTotal;
    }

    key = pawnKey = 0;
    pieceTypes[WHITE] = pieceTypes[BLACK] = 0;
    updateStage();

    for (Square s = 0; s < 120; ++s) {
        const PieceEntry* e = squares[s];
        if (!onBoard(s) || e->piece == NO_PIECE) continue;
        pstScore[e->colour] += pieceSquareValue(e->piece, e->colour, s);
        key ^= pieceKey(s, e->piece, e->colour);
        if (e->piece == PAWN) pawnKey ^= pieceKey(s, e->piece, e->colour);
        pieceTypes[e->colour] |= PIECE_TYPE_BIT[e->piece];
    }
    if (epSquare != 0) key ^= enPassantKeys[epSquare & 7];
    key ^= castlingKeys[castling];
    pstDrift[WHITE] = pstDrift[BLACK] = 0;
    if constexpr (kCheckInvariants) checkConsistency("rebuild");
}

// Stage 0 while a castling right remains; otherwise 2 when both sides have less
// than 15 units of pieces, else 1. The pawn and king tables follow the stage;
// pstScore is not re-summed (the tables in force change under it).
void Board::updateStage() {
    int newStage;
    if (castling != 0)
        newStage = 0;
    else if (pieceMaterial[WHITE] >= 15)
        newStage = 1;
    else if (pieceMaterial[BLACK] < 15)
        newStage = 2;
    else
        newStage = 1;
    stage = newStage;
    rootSnapshot[0] = static_cast<uint8_t>(side);
    rootSnapshot[1] = static_cast<uint8_t>(castling);
    rootSnapshot[2] = static_cast<uint8_t>(pawnCount[WHITE]);
    rootSnapshot[3] = static_cast<uint8_t>(pawnCount[BLACK]);
    rootSnapshot[4] = static_cast<uint8_t>(pieceMaterial[WHITE]);
    rootSnapshot[5] = static_cast<uint8_t>(pieceMaterial[BLACK]);
    pieceSquare = pieceSquareTables->atStage(newStage);
    pstDrift[WHITE] = pstScore[WHITE] - recomputePstScore(WHITE);
    pstDrift[BLACK] = pstScore[BLACK] - recomputePstScore(BLACK);
}

void Board::usePieceSquareTables(const PieceSquareTables& tables) {
    pieceSquareTables = &tables;
    const int32_t done[2] = {castled[WHITE], castled[BLACK]};
    rebuild();
    castled[WHITE] = done[WHITE];
    castled[BLACK] = done[BLACK];
}

void Board::setCastling(int rights) {
    FM_ASSERT(rights >= 0 && rights <= 15);
    if (rights == castling) return;
    key ^= castlingKeys[rights] ^ castlingKeys[castling];
    castling = rights;
}

namespace {

// The squares from a to b, both included, on one rank.
uint64_t rankSpan(Square a, Square b) {
    uint64_t bits = 0;
    for (Square s = a < b ? a : b; s <= (a < b ? b : a); ++s) bits |= bitOf(s);
    return bits;
}

} // namespace

void Board::setCastlingSquares(const Square (&kings)[2], const Square (&rooks)[4]) {
    for (uint8_t& keep : castlingKeep) keep = 15;
    for (int colour : {WHITE, BLACK}) {
        FM_ASSERT(isSquare(kings[colour]));
        castlingKingFrom[colour] = kings[colour];
        castlingKeep[kings[colour]] &= static_cast<uint8_t>(~(3 << (2 * colour)));
    }
    for (int index = 0; index < 4; ++index) {
        FM_ASSERT(isSquare(rooks[index]) && rankOf(rooks[index]) == rankOf(kings[index / 2]));
        const Square kingFrom = kings[index / 2], rookFrom = rooks[index];
        castlingRookFrom[index] = rookFrom;
        castlingKeep[rookFrom] &= static_cast<uint8_t>(~(1 << index));
        const Move castle = buildMove(kingFrom, rookFrom, KING, 0, 0, MOVE_CASTLE);
        const Square kingTo = castledKingSquare(castle), rookTo = castledRookSquare(castle);
        castlingKingPath[index] = rankSpan(kingFrom, kingTo);
        castlingEmpty[index] =
            (castlingKingPath[index] | rankSpan(rookFrom, rookTo)) & ~bitOf(kingFrom) & ~bitOf(rookFrom);
    }
}

Move Board::castlingMove(int right) const {
    FM_ASSERT(right == WHITE_KINGSIDE || right == WHITE_QUEENSIDE || right == BLACK_KINGSIDE ||
              right == BLACK_QUEENSIDE);
    if (!chess960) {
        return right == WHITE_KINGSIDE    ? CASTLE_WHITE_KINGSIDE
               : right == WHITE_QUEENSIDE ? CASTLE_WHITE_QUEENSIDE
               : right == BLACK_KINGSIDE  ? CASTLE_BLACK_KINGSIDE
                                          : CASTLE_BLACK_QUEENSIDE;
    }
    const int index = castlingIndex(right);
    return buildMove(castlingKingFrom[index / 2], castlingRookFrom[index], KING, 0, 0, MOVE_CASTLE);
}

void Board::setEnPassant(Square square) {
    FM_ASSERT(square == 0 || isSquare(square));
    if (square == epSquare) return;
    if (epSquare != 0) key ^= enPassantKeys[epSquare & 7];
    if (square != 0) key ^= enPassantKeys[square & 7];
    epSquare = square;
}

// Bare kings, or one minor piece against a bare king.
int Board::insufficientMaterial() const {
    if (pawnCount[WHITE] != 0 || pawnCount[BLACK] != 0) return 0;
    if (pieceMaterial[WHITE] < 5 && pieceMaterial[BLACK] == 0) return 1;
    if (pieceMaterial[BLACK] < 5 && pieceMaterial[WHITE] == 0) return 1;
    return 0;
}

void Board::setStartPosition() { readFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -"); }

int Board::recomputePstScore(int colour) const {
    int sum = 0;
    for (Square s = 0; s < 120; ++s) {
        const PieceEntry* e = squares[s];
        if (onBoard(s) && e->piece != NO_PIECE && e->colour == colour)
            sum += pieceSquareValue(e->piece, colour, s);
    }
    return sum;
}

namespace {

bool fail(std::string* why, const std::string& text) {
    if (why) *why = text;
    return false;
}

} // namespace

bool Board::isConsistent(std::string* why) const {
    int count[2][7] = {};
    int pawns[2] = {}, material[2] = {}, types[2] = {}, total = 0;
    uint64_t occ = 0, k = 0, pk = 0, bits[2][7] = {};
    for (int s = 0; s < 128; ++s) {
        const PieceEntry* e = squares[s];
        if (e == nullptr) return fail(why, "null square pointer");
        if (e->square != s) return fail(why, "entry square mismatch at " + std::to_string(s));
        if (!onBoard(s)) {
            if (e->piece != NO_PIECE) return fail(why, "piece on an off-board slot");
            continue;
        }
        if (e->piece == NO_PIECE) {
            if (e->colour != NEUTRAL) return fail(why, "empty entry with a colour");
            continue;
        }
        if (e->piece < KING || e->piece > PAWN || (e->colour != WHITE && e->colour != BLACK))
            return fail(why, "bad piece entry");
        ++count[e->colour][e->piece];
        if (e->piece == PAWN)
            ++pawns[e->colour];
        else
            material[e->colour] += MATERIAL_UNITS[e->piece];
        types[e->colour] |= PIECE_TYPE_BIT[e->piece];
        occ |= bitOf(s);
        bits[e->colour][e->piece] |= bitOf(s);
        ++total;
        k ^= pieceKey(s, e->piece, e->colour);
        if (e->piece == PAWN) pk ^= pieceKey(s, e->piece, e->colour);
    }
    if (epSquare != 0) k ^= enPassantKeys[epSquare & 7];
    if (castling < 0 || castling > 15) return fail(why, "castling rights out of range");
    k ^= castlingKeys[castling];
    if (epSquare != 0 && !onBoard(epSquare)) return fail(why, "en-passant square off the board");

    // Every list holds exactly the pieces of its colour and code, linked both ways.
    for (int c = 0; c < 2; ++c) {
        for (int p = KING; p <= PAWN; ++p) {
            int n = 0;
            const PieceEntry* prev = nullptr;
            for (const PieceEntry* e = pieceList[c][p]; e; e = e->next) {
                if (e->prev != prev) return fail(why, "broken list back-link");
                if (e->piece != p || e->colour != c) return fail(why, "list node of the wrong kind");
                if (squares[e->square] != e) return fail(why, "list node not on its square");
                if (++n > 64) return fail(why, "list cycle");
                prev = e;
            }
            if (n != count[c][p] || n != pieceCount[c][p]) return fail(why, "piece count mismatch");
        }
        if (pawns[c] != pawnCount[c]) return fail(why, "pawn count mismatch");
        if (material[c] != pieceMaterial[c]) return fail(why, "material mismatch");
        if (types[c] != pieceTypes[c]) return fail(why, "piece types mismatch");
        if (pstScore[c] - recomputePstScore(c) != pstDrift[c]) return fail(why, "pstScore mismatch");
    }
    if (total != pieceTotal) return fail(why, "piece total mismatch");
    if (occ != occupied) return fail(why, "occupancy mismatch");
    if (std::memcmp(bits, pieceBits, sizeof bits) != 0) return fail(why, "piece bitboard mismatch");
    if (k != key) return fail(why, "key mismatch");
    if (pk != pawnKey) return fail(why, "pawn key mismatch");
    if (side != WHITE && side != BLACK) return fail(why, "bad side to move");
    return castlingConsistent(why);
}

// The castling tables follow from the start squares, and in Chess960 a right is
// held only while its king and rook stand there.
bool Board::castlingConsistent(std::string* why) const {
    uint8_t keep[128];
    std::memset(keep, 15, sizeof keep);
    for (int index = 0; index < 4; ++index) {
        const int colour = index / 2;
        keep[castlingKingFrom[colour]] &= static_cast<uint8_t>(~(3 << (2 * colour)));
        keep[castlingRookFrom[index]] &= static_cast<uint8_t>(~(1 << index));
        if (!chess960 || !(castling & (1 << index))) continue;
        const PieceEntry* king = squares[castlingKingFrom[colour]];
        const PieceEntry* rook = squares[castlingRookFrom[index]];
        if (king->piece != KING || king->colour != colour || rook->piece != ROOK || rook->colour != colour)
            return fail(why, "castling right without its king and rook");
    }
    if (std::memcmp(keep, castlingKeep, sizeof keep) != 0) return fail(why, "castling mask mismatch");
    return true;
}

void Board::checkConsistency(const char* caller, Move move) const {
    std::string why;
    if (isConsistent(&why)) return;
    char text[96];
    writeFen(text);
    std::fprintf(stderr, "board inconsistent after %s (move %08x): %s\n  %s\n", caller, move, why.c_str(),
                 text);
    std::abort();
}
