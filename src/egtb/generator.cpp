// Retrograde analysis of one table.
//
// The analysis works on its own position space: every placement of the men
// with the white king brought into a1-d4 (tables without pawns: the two board
// mirrors that move no square onto itself) or onto files a-d (tables with
// pawns). No position of that space equals a mirror image of itself, so every
// move into a class of positions corresponds to exactly one reversed move out
// of the class's representative, and the classic counting method is exact:
//  1. Each legal position counts its moves that stay in the table; moves that
//     capture or promote leave it and take their value from the smaller or
//     other table (generated first).
//  2. Positions are settled in order of distance in plies: mates at 0; a
//     position with a move to a lost position is won one ply later; a position
//     whose every move reaches a won position is lost one ply after the
//     longest of them.
//  3. Double steps after which the opponent may capture en passant lead to
//     that position with its en-passant right: its value is the better of the
//     position without the right and the captures.
// The results are then written into the entries of the table's index order.
#include "egtb/generator.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "board/types.h"
#include "egtb/indexing.h"
#include "egtb/registry.h"

namespace egtb {

namespace {

// --- board geometry on 64 squares ------------------------------------------------

struct Geometry {
    uint64_t king[64];
    uint64_t knight[64];
    uint64_t between[64][64];
    bool rookLine[64][64];
    bool bishopLine[64][64];
    Geometry() {
        std::memset(this, 0, sizeof *this);
        for (int s = 0; s < 64; ++s) {
            const int r = s >> 3, f = s & 7;
            for (int t = 0; t < 64; ++t) {
                const int tr = t >> 3, tf = t & 7, dr = tr - r, df = tf - f;
                if (t == s) continue;
                if (std::abs(dr) <= 1 && std::abs(df) <= 1) king[s] |= uint64_t{1} << t;
                if ((std::abs(dr) == 1 && std::abs(df) == 2) || (std::abs(dr) == 2 && std::abs(df) == 1))
                    knight[s] |= uint64_t{1} << t;
                const bool straight = dr == 0 || df == 0;
                const bool diagonal = std::abs(dr) == std::abs(df);
                if (!straight && !diagonal) continue;
                rookLine[s][t] = straight;
                bishopLine[s][t] = diagonal;
                const int sr = (dr > 0) - (dr < 0), sf = (df > 0) - (df < 0);
                for (int x = r + sr, y = f + sf; x != tr || y != tf; x += sr, y += sf)
                    between[s][t] |= uint64_t{1} << (x * 8 + y);
            }
        }
    }
};
const Geometry& geometry() {
    static const Geometry g;
    return g;
}

constexpr int STEP_DIRECTIONS[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};

// --- analysis states -------------------------------------------------------------------

constexpr uint16_t UNKNOWN = 0, ILLEGAL = 1, WIN = 0x8000, LOSS = 0x4000, DISTANCE = 0x3FFF;

bool resolved(uint16_t s) { return s != UNKNOWN; }
bool isWin(uint16_t s) { return (s & WIN) != 0; }
bool isLoss(uint16_t s) { return (s & LOSS) != 0; }

// Outcome for the side to move, in plies.
struct Outcome {
    enum Kind { NONE, WIN_IN, DRAW, LOSS_IN } kind = NONE;
    int plies = 0;
};

// The outcome of a stored value for its side to move.
Outcome outcomeOfStored(int v) {
    if (v == 0) return {Outcome::DRAW, 0};
    if (v == STORED_BROKEN) return {Outcome::NONE, 0};
    if (v > 0) return {Outcome::WIN_IN, 2 * (32767 - v) - 1};
    return {Outcome::LOSS_IN, 2 * (v + 32766)};
}

// The mover's side of a move into a child with the given outcome for the child's mover.
Outcome parentView(const Outcome& child) {
    switch (child.kind) {
        case Outcome::WIN_IN:
            return {Outcome::LOSS_IN, child.plies + 1};
        case Outcome::LOSS_IN:
            return {Outcome::WIN_IN, child.plies + 1};
        default:
            return child;
    }
}

// Better of two outcomes for the same mover (NONE counts as absent).
Outcome better(const Outcome& a, const Outcome& b) {
    if (a.kind == Outcome::NONE) return b;
    if (b.kind == Outcome::NONE) return a;
    auto rank = [](const Outcome& o) {
        return o.kind == Outcome::WIN_IN ? 2 : o.kind == Outcome::DRAW ? 1 : 0;
    };
    if (rank(a) != rank(b)) return rank(a) > rank(b) ? a : b;
    if (a.kind == Outcome::WIN_IN) return a.plies <= b.plies ? a : b;
    if (a.kind == Outcome::LOSS_IN) return a.plies >= b.plies ? a : b;
    return a;
}

int storedOfState(uint16_t s) {
    if (s == ILLEGAL) return STORED_BROKEN;
    if (isWin(s)) return 32767 - ((s & DISTANCE) + 1) / 2;
    if (isLoss(s)) return (s & DISTANCE) / 2 - 32766;
    return 0;
}

// --- the analysis ------------------------------------------------------------------------

struct Event {
    enum Type : uint8_t { SETTLED, TENTATIVE_WIN, EP_EDGE };
    uint64_t position; // side in bit 63
    uint64_t child;    // EP_EDGE: the position after the double step
    Type type;
};

class Analysis {
  public:
    Analysis(int table, TableStore& store) : table_(table), store_(store), d_(descriptor(table)) {}
    bool run(TableValues& values, GenerationReport& report, std::string& error);

  private:
    // Position in the analysis space.
    struct Pos {
        uint8_t sq[8];
    };
    struct Exits {
        Outcome best; // best exit for the mover
        bool anyExit = false;
        int inTable = 0; // moves that stay in the table
        bool anyMove = false;
    };

    void setUpLayout();
    uint64_t encode(Pos p) const;
    Pos decode(uint64_t w) const;
    uint64_t occupancy(const Pos& p, int skip = -1) const;
    bool attacks(int man, int target, uint64_t occ, const Pos& p) const;
    bool attacked(const Pos& p, int colour, int target, uint64_t occ, int skip = -1) const;
    bool inCheck(const Pos& p, int colour, int skip = -1) const {
        return attacked(p, colour, p.sq[colour == WHITE ? 0 : 1], occupancy(p, skip), skip);
    }
    bool legal(const Pos& p, int side) const;
    Outcome exitOutcome(const Pos& p, int side, int removed, int promotedMan, int promotion);
    Outcome epCaptures(const Pos& x, int side, int victim, int epSquare);
    template <class Visit> void forEachMove(const Pos& p, int side, Visit visit) const;
    template <class Visit> void forEachUnmove(const Pos& x, int side, Visit visit) const;
    Exits examine(const Pos& p, int side, bool seedEnPassant, uint64_t widx);
    void lossCheck(int side, uint64_t widx, int level);
    void push(int level, Event e);
    void settle(int side, uint64_t w, uint16_t state, int level);
    bool fillEntries(TableValues& values, std::string& error);
    bool fillEnPassantEntries(TableValues& values, std::string& error);
    uint16_t stateOfPosition(Pos p, int side) const { return state_[side][encode(p)]; }

    int table_;
    TableStore& store_;
    const TableDescriptor& d_;
    int men_ = 0;
    bool pawnless_ = true;
    uint8_t piece_[8]{}, colour_[8]{};
    uint64_t size_ = 0;
    std::vector<uint16_t> state_[2];
    std::vector<uint8_t> count_[2];
    std::vector<std::vector<Event>> buckets_;
    uint64_t eventBytes_ = 0, peakEventBytes_ = 0;
    std::string error_;
};

void Analysis::setUpLayout() {
    // Men: white king, black king, white men, black men (pawns, knights, bishops, rooks, queens).
    static constexpr int PIECE_OF_KIND[5] = {PAWN, KNIGHT, BISHOP, ROOK, QUEEN};
    piece_[0] = KING, colour_[0] = WHITE;
    piece_[1] = KING, colour_[1] = BLACK;
    men_ = 2;
    for (int side = 0; side < 2; ++side) {
        const int* counts = side == 0 ? d_.material.first : d_.material.second;
        for (int k = 0; k < 5; ++k)
            for (int i = 0; i < counts[k] && men_ < 8; ++i) {
                piece_[men_] = static_cast<uint8_t>(PIECE_OF_KIND[k]);
                colour_[men_++] = static_cast<uint8_t>(side);
            }
    }
    pawnless_ = !d_.material.hasPawns();
    size_ = uint64_t{pawnless_ ? 16u : 32u} << (6 * (men_ - 1));
}

uint64_t Analysis::encode(Pos p) const {
    const IndexTables& t = indexTables();
    const int mask = pawnless_ ? t.quarterMask[p.sq[0]] : t.fileMirror[p.sq[0]];
    const int king = p.sq[0] ^ mask;
    uint64_t w = static_cast<uint64_t>((king >> 3) * 4 + (king & 7));
    for (int i = 1; i < men_; ++i) w = w << 6 | static_cast<uint64_t>(p.sq[i] ^ mask);
    return w;
}

Analysis::Pos Analysis::decode(uint64_t w) const {
    Pos p{};
    for (int i = men_ - 1; i >= 1; --i) {
        p.sq[i] = static_cast<uint8_t>(w & 63);
        w >>= 6;
    }
    p.sq[0] = static_cast<uint8_t>((w / 4) * 8 + w % 4);
    return p;
}

uint64_t Analysis::occupancy(const Pos& p, int skip) const {
    uint64_t occ = 0;
    for (int i = 0; i < men_; ++i)
        if (i != skip) occ |= uint64_t{1} << p.sq[i];
    return occ;
}

bool Analysis::attacks(int man, int target, uint64_t occ, const Pos& p) const {
    const Geometry& g = geometry();
    const int from = p.sq[man];
    switch (piece_[man]) {
        case KING:
            return (g.king[from] >> target) & 1;
        case KNIGHT:
            return (g.knight[from] >> target) & 1;
        case PAWN: {
            const int ahead = colour_[man] == WHITE ? 8 : -8;
            if ((target >> 3) != (from >> 3) + ahead / 8) return false;
            return std::abs((target & 7) - (from & 7)) == 1;
        }
        case BISHOP:
            return g.bishopLine[from][target] && !(g.between[from][target] & occ);
        case ROOK:
            return g.rookLine[from][target] && !(g.between[from][target] & occ);
        default:
            return (g.rookLine[from][target] || g.bishopLine[from][target]) &&
                   !(g.between[from][target] & occ);
    }
}

bool Analysis::attacked(const Pos& p, int colour, int target, uint64_t occ, int skip) const {
    for (int i = 0; i < men_; ++i)
        if (i != skip && colour_[i] != colour && attacks(i, target, occ, p)) return true;
    return false;
}

bool Analysis::legal(const Pos& p, int side) const {
    uint64_t occ = 0;
    for (int i = 0; i < men_; ++i) {
        const uint64_t bit = uint64_t{1} << p.sq[i];
        if (occ & bit) return false;
        occ |= bit;
        if (piece_[i] == PAWN && (p.sq[i] < 8 || p.sq[i] >= 56)) return false;
    }
    if ((geometry().king[p.sq[0]] >> p.sq[1]) & 1) return false;
    return !attacked(p, 1 - side, p.sq[1 - side == WHITE ? 0 : 1], occ);
}

// Value of a position outside the table (after a capture or a promotion),
// seen by the mover of the move that leads there.
Outcome Analysis::exitOutcome(const Pos& p, int side, int removed, int promotedMan, int promotion) {
    TbMan men[8];
    int count = 0;
    for (int i = 0; i < men_; ++i) {
        if (i == removed) continue;
        men[count++] = {i == promotedMan ? promotion : piece_[i], colour_[i], p.sq[i]};
    }
    const int v = store_.valueOf(men, count, 1 - side, &error_);
    const Outcome child = outcomeOfStored(v);
    if (child.kind == Outcome::NONE && error_.empty()) error_ = "no value for a position of a smaller table";
    return parentView(child);
}

// Calls visit(kind, man, to, captured, promotion, doubleStep) for every legal
// move of `side`: kind 0 stays in the table, 1 leaves it.
template <class Visit> void Analysis::forEachMove(const Pos& p, int side, Visit visit) const {
    const Geometry& g = geometry();
    const uint64_t occ = occupancy(p);
    uint64_t own = 0;
    int manOn[64];
    std::fill(manOn, manOn + 64, -1);
    for (int i = 0; i < men_; ++i) {
        manOn[p.sq[i]] = i;
        if (colour_[i] == side) own |= uint64_t{1} << p.sq[i];
    }
    auto tryMove = [&](int man, int to, int promotion, bool doubleStep) {
        const int victim = manOn[to];
        if (victim >= 0 && piece_[victim] == KING) return;
        Pos q = p;
        q.sq[man] = static_cast<uint8_t>(to);
        if (inCheck(q, side, victim)) return;
        visit(victim >= 0 || promotion ? 1 : 0, man, to, victim, promotion, doubleStep, q);
    };
    for (int i = 0; i < men_; ++i) {
        if (colour_[i] != side) continue;
        const int from = p.sq[i];
        if (piece_[i] == PAWN) {
            const int ahead = side == WHITE ? 8 : -8;
            const int to = from + ahead;
            const bool last = (to >> 3) == (side == WHITE ? 7 : 0);
            auto each = [&](int target) {
                if (last) {
                    for (int promotion : {QUEEN, ROOK, BISHOP, KNIGHT}) tryMove(i, target, promotion, false);
                } else {
                    tryMove(i, target, 0, false);
                }
            };
            if (!((occ >> to) & 1)) {
                each(to);
                const int start = side == WHITE ? 1 : 6;
                if ((from >> 3) == start && !((occ >> (to + ahead)) & 1)) tryMove(i, to + ahead, 0, true);
            }
            for (int df : {-1, 1}) {
                const int file = (from & 7) + df;
                if (file < 0 || file > 7) continue;
                const int target = to + df;
                if (((occ & ~own) >> target) & 1) each(target);
            }
            continue;
        }
        uint64_t targets = 0;
        if (piece_[i] == KING)
            targets = g.king[from];
        else if (piece_[i] == KNIGHT)
            targets = g.knight[from];
        else {
            const int first = piece_[i] == BISHOP ? 4 : 0;
            const int last = piece_[i] == ROOK ? 4 : 8;
            for (int dir = first; dir < last; ++dir) {
                int r = (from >> 3) + STEP_DIRECTIONS[dir][0], f = (from & 7) + STEP_DIRECTIONS[dir][1];
                for (; r >= 0 && r < 8 && f >= 0 && f < 8;
                     r += STEP_DIRECTIONS[dir][0], f += STEP_DIRECTIONS[dir][1]) {
                    targets |= uint64_t{1} << (r * 8 + f);
                    if ((occ >> (r * 8 + f)) & 1) break;
                }
            }
        }
        targets &= ~own;
        while (targets) {
            const int to = __builtin_ctzll(targets);
            targets &= targets - 1;
            tryMove(i, to, 0, false);
        }
    }
}

// Calls visit(parent, doubleStep, pawnSquareAfter) for every position from
// which `1 - side` reaches x (side to move) by a move that stays in the table.
template <class Visit> void Analysis::forEachUnmove(const Pos& x, int side, Visit visit) const {
    const Geometry& g = geometry();
    const int mover = 1 - side;
    const uint64_t occ = occupancy(x);
    for (int i = 0; i < men_; ++i) {
        if (colour_[i] != mover) continue;
        const int at = x.sq[i];
        auto emit = [&](int from, bool doubleStep) {
            Pos q = x;
            q.sq[i] = static_cast<uint8_t>(from);
            if (inCheck(q, side)) return;
            visit(q, doubleStep, at);
        };
        if (piece_[i] == PAWN) {
            const int back = mover == WHITE ? -8 : 8;
            const int from = at + back;
            const int rank = from >> 3;
            if (rank < 1 || rank > 6 || ((occ >> from) & 1)) continue;
            emit(from, false);
            const int doubleRank = mover == WHITE ? 3 : 4;
            if ((at >> 3) == doubleRank && !((occ >> (from + back)) & 1)) emit(from + back, true);
            continue;
        }
        uint64_t sources = 0;
        if (piece_[i] == KING)
            sources = g.king[at];
        else if (piece_[i] == KNIGHT)
            sources = g.knight[at];
        else {
            const int first = piece_[i] == BISHOP ? 4 : 0;
            const int last = piece_[i] == ROOK ? 4 : 8;
            for (int dir = first; dir < last; ++dir) {
                int r = (at >> 3) + STEP_DIRECTIONS[dir][0], f = (at & 7) + STEP_DIRECTIONS[dir][1];
                for (; r >= 0 && r < 8 && f >= 0 && f < 8;
                     r += STEP_DIRECTIONS[dir][0], f += STEP_DIRECTIONS[dir][1]) {
                    if ((occ >> (r * 8 + f)) & 1) break;
                    sources |= uint64_t{1} << (r * 8 + f);
                }
            }
        }
        sources &= ~occ;
        while (sources) {
            const int from = __builtin_ctzll(sources);
            sources &= sources - 1;
            emit(from, false);
        }
    }
}

// En-passant captures available to `side` in x, whose pawn `victim` has just
// advanced two squares past epSquare: the best of them, or NONE.
Outcome Analysis::epCaptures(const Pos& x, int side, int victim, int epSquare) {
    Outcome best;
    const int at = x.sq[victim];
    for (int i = 0; i < men_; ++i) {
        if (colour_[i] != side || piece_[i] != PAWN) continue;
        const int from = x.sq[i];
        if ((from >> 3) != (at >> 3) || std::abs((from & 7) - (at & 7)) != 1) continue;
        Pos q = x;
        q.sq[i] = static_cast<uint8_t>(epSquare);
        if (inCheck(q, side, victim)) continue;
        best = better(best, exitOutcome(q, side, victim, -1, 0));
    }
    return best;
}

void Analysis::push(int level, Event e) {
    if (level >= static_cast<int>(buckets_.size())) buckets_.resize(static_cast<size_t>(level) + 1);
    buckets_[static_cast<size_t>(level)].push_back(e);
    eventBytes_ += sizeof(Event);
    peakEventBytes_ = std::max(peakEventBytes_, eventBytes_);
}

void Analysis::settle(int side, uint64_t w, uint16_t state, int level) {
    state_[side][w] = state;
    push(level, {uint64_t{static_cast<unsigned>(side)} << 63 | w, 0, Event::SETTLED});
}

// Moves that leave the table, and the count of those that stay. With
// `seedEnPassant`, double steps that give the opponent a winning en-passant
// capture are scheduled as won replies at that distance.
Analysis::Exits Analysis::examine(const Pos& p, int side, bool seedEnPassant, uint64_t widx) {
    Exits e;
    forEachMove(
        p, side, [&](int kind, int man, int to, int victim, int promotion, bool doubleStep, const Pos& q) {
            e.anyMove = true;
            if (kind == 0) {
                ++e.inTable;
                if (doubleStep && seedEnPassant) {
                    const int ep = colour_[man] == WHITE ? to - 8 : to + 8;
                    const Outcome reply = epCaptures(q, 1 - side, man, ep);
                    if (reply.kind == Outcome::WIN_IN)
                        push(reply.plies,
                             {uint64_t{static_cast<unsigned>(side)} << 63 | widx, encode(q), Event::EP_EDGE});
                }
                return;
            }
            e.anyExit = true;
            e.best = better(e.best, exitOutcome(q, side, victim, promotion ? man : -1, promotion));
        });
    return e;
}

// All moves that stay in the table reach won positions: lost, unless a move
// out of the table does better.
void Analysis::lossCheck(int side, uint64_t widx, int level) {
    const Pos p = decode(widx);
    const Exits e = examine(p, side, false, widx);
    if (e.anyExit && e.best.kind != Outcome::LOSS_IN) return; // won by an exit, or drawn
    const int plies = std::max(level + 1, e.anyExit ? e.best.plies : 0);
    settle(side, widx, static_cast<uint16_t>(LOSS | plies), plies);
}

bool Analysis::run(TableValues& values, GenerationReport& report, std::string& error) {
    const auto started = std::chrono::steady_clock::now();
    setUpLayout();
    for (int side = 0; side < 2; ++side) {
        state_[side].assign(size_, UNKNOWN);
        count_[side].assign(size_, 0);
    }

    // 1. Legality, mates, moves out of the table, and the count of the others.
    for (int side = 0; side < 2; ++side) {
        for (uint64_t w = 0; w < size_; ++w) {
            const Pos p = decode(w);
            if (encode(p) != w || !legal(p, side)) {
                state_[side][w] = ILLEGAL;
                continue;
            }
            const Exits e = examine(p, side, true, w);
            if (!error_.empty()) break;
            count_[side][w] = static_cast<uint8_t>(e.inTable);
            if (!e.anyMove) {
                if (inCheck(p, side)) settle(side, w, LOSS, 0);
                continue;
            }
            if (e.best.kind == Outcome::WIN_IN) {
                push(e.best.plies,
                     {uint64_t{static_cast<unsigned>(side)} << 63 | w, 0, Event::TENTATIVE_WIN});
            } else if (e.inTable == 0 && e.best.kind == Outcome::LOSS_IN) {
                settle(side, w, static_cast<uint16_t>(LOSS | e.best.plies), e.best.plies);
            }
        }
    }
    if (!error_.empty()) {
        error = error_;
        return false;
    }

    // 2. Settle positions in order of distance.
    for (size_t level = 0; level < buckets_.size(); ++level) {
        for (size_t k = 0; k < buckets_[level].size(); ++k) {
            const Event event = buckets_[level][k];
            const int side = static_cast<int>(event.position >> 63);
            const uint64_t w = event.position & ~(uint64_t{1} << 63);
            const int d = static_cast<int>(level);
            if (event.type == Event::EP_EDGE) {
                // A double step whose en-passant reply wins at this distance.
                if (resolved(state_[side][w])) continue;
                const uint16_t after = state_[1 - side][event.child];
                if (isWin(after) && (after & DISTANCE) < d) continue;
                if (--count_[side][w] == 0) lossCheck(side, w, d);
                continue;
            }
            if (event.type == Event::TENTATIVE_WIN) {
                if (resolved(state_[side][w])) continue;
                state_[side][w] = static_cast<uint16_t>(WIN | d);
            }
            const Pos x = decode(w);
            const bool lost = isLoss(state_[side][w]);
            const int parentSide = 1 - side;
            // Parents are gathered first so that their states can be fetched
            // from memory together.
            struct Parent {
                uint64_t w;
                bool doubleStep;
                int pawnSquare;
            };
            Parent parents[256];
            int parentCount = 0;
            forEachUnmove(x, side, [&](const Pos& parent, bool doubleStep, int pawnSquare) {
                const uint64_t pw = encode(parent);
                __builtin_prefetch(&state_[parentSide][pw]);
                __builtin_prefetch(&count_[parentSide][pw]);
                if (parentCount < 256) parents[parentCount++] = {pw, doubleStep, pawnSquare};
            });
            for (int k2 = 0; k2 < parentCount; ++k2) {
                const uint64_t pw = parents[k2].w;
                if (resolved(state_[parentSide][pw])) continue;
                Outcome reply;
                if (parents[k2].doubleStep) {
                    int victim = 0;
                    while (x.sq[victim] != parents[k2].pawnSquare) ++victim;
                    const int pawnSquare = parents[k2].pawnSquare;
                    const int ep = colour_[victim] == WHITE ? pawnSquare - 8 : pawnSquare + 8;
                    reply = epCaptures(x, side, victim, ep);
                }
                if (lost) {
                    if (reply.kind == Outcome::WIN_IN || reply.kind == Outcome::DRAW) continue;
                    if (reply.kind == Outcome::LOSS_IN && reply.plies > d) {
                        push(reply.plies + 1, {uint64_t{static_cast<unsigned>(parentSide)} << 63 | pw, 0,
                                               Event::TENTATIVE_WIN});
                        continue;
                    }
                    settle(parentSide, pw, static_cast<uint16_t>(WIN | (d + 1)), d + 1);
                    continue;
                }
                if (reply.kind == Outcome::WIN_IN && d >= reply.plies) continue; // counted by its EP_EDGE
                if (--count_[parentSide][pw] == 0) lossCheck(parentSide, pw, d);
            }
            if (!error_.empty()) {
                error = error_;
                return false;
            }
        }
        eventBytes_ -= buckets_[level].size() * sizeof(Event);
        std::vector<Event>().swap(buckets_[level]);
    }

    // 3. Statistics and entries.
    for (int side = 0; side < 2; ++side) {
        for (uint64_t w = 0; w < size_; ++w) {
            const uint16_t s = state_[side][w];
            if (s == ILLEGAL) continue;
            if (isWin(s)) {
                ++report.wins[side];
                report.longestWin[side] = std::max(report.longestWin[side], ((s & DISTANCE) + 1) / 2);
            } else if (isLoss(s)) {
                ++report.losses[side];
                report.longestLoss[side] = std::max(report.longestLoss[side], (s & DISTANCE) / 2);
            } else {
                ++report.draws[side];
            }
        }
    }
    std::vector<uint8_t>().swap(count_[0]);
    std::vector<uint8_t>().swap(count_[1]);
    if (!fillEntries(values, error)) return false;
    report.workBytes = size_ * 2 * (sizeof(uint16_t) + sizeof(uint8_t)) + peakEventBytes_;
    report.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return true;
}

// Every legal position (and, without pawns, its reflection in the diagonal,
// which may have an entry of its own) writes its value to its entry. Two
// positions meeting in one entry must agree.
bool Analysis::fillEntries(TableValues& values, std::string& error) {
    const bool symmetric = (d_.flags & TABLE_SYMMETRIC) != 0;
    values.table = table_;
    for (int side = 0; side < 2; ++side)
        if (side == 0 || !symmetric) values.values[side].assign(d_.count[side], STORED_BROKEN);
    static constexpr int SLOT_OF_PIECE[7] = {-1,          KING_SLOT,   QUEEN_SLOT, ROOK_SLOT,
                                             BISHOP_SLOT, KNIGHT_SLOT, PAWN_SLOT};
    const IndexTables& t = indexTables();
    for (int side = 0; side < 2; ++side) {
        std::vector<int16_t>& target = values.values[symmetric ? 0 : side];
        for (uint64_t w = 0; w < size_; ++w) {
            const uint16_t s = state_[side][w];
            if (s == ILLEGAL) continue;
            const int v = storedOfState(s);
            Pos p = decode(w);
            for (int image = 0; image < (pawnless_ ? 2 : 1); ++image) {
                if (image == 1)
                    for (int i = 0; i < men_; ++i) p.sq[i] = t.transpose[p.sq[i]];
                int arrays[2][SLOTS] = {};
                int used[2][7] = {};
                for (int i = 0; i < men_; ++i) {
                    const int c = colour_[i];
                    arrays[c][SLOT_OF_PIECE[piece_[i]] + used[c][piece_[i]]++] = p.sq[i];
                }
                const uint64_t e = tableIndex(d_.plan[side], arrays[0], arrays[1], NO_EP_SQUARE, false);
                if (e == NO_INDEX || e >= d_.count[side]) {
                    error = std::string(d_.name) + ": a legal position has no entry";
                    return false;
                }
                if (symmetric && side == 1) {
                    if (target[e] != v) {
                        error = std::string(d_.name) + ": the two sides to move disagree";
                        return false;
                    }
                    continue;
                }
                if (target[e] != STORED_BROKEN && target[e] != v) {
                    error = std::string(d_.name) + ": two different positions share an entry";
                    return false;
                }
                target[e] = static_cast<int16_t>(v);
            }
        }
    }
    if (d_.plan[0].epEntries) return fillEnPassantEntries(values, error);
    return true;
}

// kpkp: the entries of positions right after a double step, where the side to
// move may capture en passant: the better of the position without that right
// and the capture.
bool Analysis::fillEnPassantEntries(TableValues& values, std::string& error) {
    const IndexTables& t = indexTables();
    for (int side = 0; side < 2; ++side) {
        const IndexPlan& plan = d_.plan[side];
        for (int pair = 0; pair < PAWN_KING_PAIRS; ++pair) {
            for (int capturerFile = 0; capturerFile < 8; ++capturerFile) {
                for (int victimFile : {capturerFile - 1, capturerFile + 1}) {
                    if (victimFile < 0 || victimFile > 7) continue;
                    // In the frame of the side to move its pawns advance up the board.
                    const int flip = side == 0 ? 0 : 56;
                    const int moverKing = t.pawnPairKings[pair][0] ^ flip;
                    const int otherKing = t.pawnPairKings[pair][1] ^ flip;
                    const int capturer = (32 + capturerFile) ^ flip;
                    const int victim = (32 + victimFile) ^ flip;
                    const int ep = (40 + victimFile) ^ flip;
                    const int origin = (48 + victimFile) ^ flip;
                    Pos p{};
                    p.sq[side == 0 ? 0 : 1] = static_cast<uint8_t>(moverKing);
                    p.sq[side == 0 ? 1 : 0] = static_cast<uint8_t>(otherKing);
                    // Men 2 and 3: the white pawn, then the black pawn.
                    p.sq[2] = static_cast<uint8_t>(side == 0 ? capturer : victim);
                    p.sq[3] = static_cast<uint8_t>(side == 0 ? victim : capturer);
                    int arrays[2][SLOTS] = {};
                    arrays[0][KING_SLOT] = p.sq[0];
                    arrays[1][KING_SLOT] = p.sq[1];
                    arrays[0][PAWN_SLOT] = p.sq[2];
                    arrays[1][PAWN_SLOT] = p.sq[3];
                    const uint64_t e =
                        plan.normalCount + uint64_t(pair) * 14 +
                        (capturerFile == 0 ? 0 : 2 * capturerFile - 1 + (victimFile > capturerFile));
                    const uint64_t occupied = (uint64_t{1} << p.sq[0]) | (uint64_t{1} << p.sq[1]);
                    const bool free = !((occupied >> capturer) & 1) && !((occupied >> victim) & 1) &&
                                      !((occupied >> ep) & 1) && !((occupied >> origin) & 1);
                    if (!free || !legal(p, side)) continue; // stays broken
                    if (tableIndex(plan, arrays[0], arrays[1], ep, false) != e) {
                        error = "kpkp: an en-passant position misses its entry";
                        return false;
                    }
                    const int victimMan = side == 0 ? 3 : 2;
                    Outcome best = outcomeOfStored(storedOfState(stateOfPosition(p, side)));
                    best = better(best, epCaptures(p, side, victimMan, ep));
                    int v = 0;
                    if (best.kind == Outcome::WIN_IN)
                        v = 32767 - (best.plies + 1) / 2;
                    else if (best.kind == Outcome::LOSS_IN)
                        v = best.plies / 2 - 32766;
                    values.values[side][e] = static_cast<int16_t>(v);
                }
            }
        }
    }
    return error_.empty();
}

std::string tableFileName(const std::string& directory, const char* name, int side) {
    std::string path = directory;
    if (!path.empty() && path.back() != '/') path += '/';
    return path + name + (side == 0 ? ".nbw" : ".nbb");
}

// Written under a temporary name and renamed, so that a reader never sees half a file.
bool writeBytes(const std::string& path, const uint8_t* data, size_t size, std::string& error) {
    const std::string aside = path + ".part" + std::to_string(getpid());
    FILE* f = std::fopen(aside.c_str(), "wb");
    if (!f) {
        error = "cannot create " + aside;
        return false;
    }
    const bool ok = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !ok || std::rename(aside.c_str(), path.c_str()) != 0) {
        std::remove(aside.c_str());
        error = "cannot write " + path;
        return false;
    }
    return true;
}

} // namespace

bool generateTable(int table, TableStore& store, TableValues& values, GenerationReport& report,
                   std::string& error) {
    initDescriptors();
    if (table <= 0 || table >= TABLE_COUNT) {
        error = "no such table";
        return false;
    }
    if (descriptor(table).material.men() > 5) {
        error = std::string(descriptor(table).name) + ": six-man tables are not generated";
        return false;
    }
    Analysis analysis(table, store);
    return analysis.run(values, report, error);
}

bool encodeTableBytes(const TableValues& values, int side, std::vector<uint8_t>& bytes, std::string& error) {
    const auto& v = values.values[side];
    bytes.resize(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
        int8_t b;
        if (v[i] == -32639 && isKppkpLongLoss(values.table, side, i)) {
            bytes[i] = static_cast<uint8_t>(-127);
            continue;
        }
        if (!storedValueToByte(v[i], b)) {
            error = std::string(descriptor(values.table).name) + ": a distance beyond the one-byte scale";
            return false;
        }
        bytes[i] = static_cast<uint8_t>(b);
    }
    return true;
}

bool writeTableFiles(const TableValues& values, const std::string& directory, bool compress,
                     bool keepUncompressed, std::string& error) {
    const TableDescriptor& d = descriptor(values.table);
    if (d.flags & TABLE_TWO_BYTES) {
        error = std::string(d.name) + ": two-byte tables are not written";
        return false;
    }
    const int sides = (d.flags & TABLE_SYMMETRIC) ? 1 : 2;
    for (int side = 0; side < sides; ++side) {
        std::vector<uint8_t> bytes;
        if (!encodeTableBytes(values, side, bytes, error)) return false;
        const std::string path = tableFileName(directory, d.name, side);
        if ((!compress || keepUncompressed) && !writeBytes(path, bytes.data(), bytes.size(), error))
            return false;
        if (compress) {
            const auto packed = emdCompress(bytes.data(), bytes.size());
            if (!writeBytes(path + ".emd", packed.data(), packed.size(), error)) return false;
        }
    }
    return true;
}

TableStore::TableStore(std::string directory, bool writeFiles, bool compress, bool keepUncompressed)
    : directory_(std::move(directory)), writeFiles_(writeFiles), compress_(compress),
      keepUncompressed_(keepUncompressed) {
    initDescriptors();
}

bool TableStore::loadFiles(int table, TableValues& values) {
    if (directory_.empty()) return false;
    const TableDescriptor& d = descriptor(table);
    const int sides = (d.flags & TABLE_SYMMETRIC) ? 1 : 2;
    values.table = table;
    for (int side = 0; side < sides; ++side) {
        FILE* f = std::fopen(tableFileName(directory_, d.name, side).c_str(), "rb");
        if (!f) return false;
        std::vector<uint8_t> bytes(d.count[side]);
        const bool complete =
            std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fgetc(f) == EOF;
        std::fclose(f);
        if (!complete) return false;
        values.values[side].resize(bytes.size());
        for (size_t i = 0; i < bytes.size(); ++i)
            values.values[side][i] = static_cast<int16_t>(byteToStoredValue(static_cast<int8_t>(bytes[i])));
    }
    return true;
}

const TableValues* TableStore::get(int table, std::string* error) {
    auto found = tables_.find(table);
    if (found != tables_.end()) return found->second.get();
    auto values = std::make_unique<TableValues>();
    std::string problem;
    if (!loadFiles(table, *values)) {
        // What captures and promotions reach comes first.
        const TableMaterial& m = descriptor(table).material;
        for (int side = 0; side < 2; ++side) {
            const int* own = side == 0 ? m.first : m.second;
            for (int k = 0; k < 5; ++k) {
                if (own[k] == 0) continue;
                TableMaterial less = m;
                (side == 0 ? less.first : less.second)[k]--;
                int counts[10];
                tableSignature(less, false, counts);
                const int n = std::abs(allTablesTree().lookup(counts));
                if (n > 0 && !get(n, error)) return nullptr;
                if (k != 0) continue;
                for (int promoted = 1; promoted < 5; ++promoted) {
                    TableMaterial more = less;
                    (side == 0 ? more.first : more.second)[promoted]++;
                    for (int victimSide = -1; victimSide < 5; ++victimSide) {
                        TableMaterial after = more;
                        int* theirs = side == 0 ? after.second : after.first;
                        if (victimSide >= 1) {
                            if (theirs[victimSide] == 0) continue;
                            theirs[victimSide]--;
                        }
                        if (victimSide == 0) continue; // a promotion never captures a pawn
                        tableSignature(after, false, counts);
                        const int p = std::abs(allTablesTree().lookup(counts));
                        if (p > 0 && !get(p, error)) return nullptr;
                    }
                }
            }
        }
        GenerationReport report;
        if (!generateTable(table, *this, *values, report, problem)) {
            if (error) *error = problem;
            return nullptr;
        }
        reports[table] = report;
        if (log) {
            char line[256];
            std::snprintf(
                line, sizeof line, "%s: %.2f s, %.1f MB, longest mate %d (white to move) %d (black to move)",
                descriptor(table).name, report.seconds, static_cast<double>(report.workBytes) / 1048576.0,
                std::max(report.longestWin[0], report.longestLoss[0]),
                std::max(report.longestWin[1], report.longestLoss[1]));
            log(line);
        }
        if (writeFiles_ && !writeTableFiles(*values, directory_, compress_, keepUncompressed_, problem)) {
            if (error) *error = problem;
            return nullptr;
        }
    }
    return tables_.emplace(table, std::move(values)).first->second.get();
}

int TableStore::valueOf(const TbMan* men, int count, int side, std::string* error) {
    static constexpr int SLOT_OF_PIECE[7] = {-1,          KING_SLOT,   QUEEN_SLOT, ROOK_SLOT,
                                             BISHOP_SLOT, KNIGHT_SLOT, PAWN_SLOT};
    static constexpr int COUNT_OF_PIECE[7] = {-1, -1, 4, 3, 2, 1, 0};
    int arrays[2][SLOTS] = {};
    int used[2][7] = {};
    int counts[10] = {};
    for (int i = 0; i < count; ++i) {
        const int c = men[i].colour, piece = men[i].piece;
        if (piece != KING && used[c][piece] == 3) return STORED_BROKEN;
        arrays[c][SLOT_OF_PIECE[piece] + used[c][piece]++] = men[i].square;
        if (piece != KING) counts[c * 5 + COUNT_OF_PIECE[piece]]++;
    }
    int total = 0;
    for (int c : counts) total += c;
    if (total == 0) return 0; // bare kings
    int table = allTablesTree().lookup(counts);
    if (table == 0) return STORED_BROKEN;
    const bool exchanged = table < 0;
    table = std::abs(table);
    const int tableSide = exchanged ? 1 - side : side;
    const TableValues* values = get(table, error);
    if (!values) return STORED_BROKEN;
    const TableDescriptor& d = descriptor(table);
    const uint64_t index = tableIndex(d.plan[tableSide], arrays[exchanged ? 1 : 0], arrays[exchanged ? 0 : 1],
                                      NO_EP_SQUARE, exchanged);
    const auto& entries = values->values[(d.flags & TABLE_SYMMETRIC) ? 0 : tableSide];
    if (index >= entries.size()) return STORED_BROKEN;
    return entries[index];
}

} // namespace egtb
