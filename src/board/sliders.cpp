// The slider lookup tables: for every square, the blockers that matter, a
// multiplier that maps each set of them to a distinct slot, and the attacks in
// those slots. The multipliers below were found by the search in this file
// (sparse random numbers from its fixed seed); start-up only checks that each
// still fits, and searches again for any that does not.
#include <bit>
#include <initializer_list>
#include <vector>

#include "board/bitboard.h"

namespace {

// Slots per kind: squares with more possible blockers need more of them
// (2^12 for a rook in a corner, 2^5 for a bishop on an edge).
constexpr int ROOK_SLOTS = 102400;
constexpr int BISHOP_SLOTS = 5248;

constexpr uint64_t BISHOP_MAGICS[64] = {
    0x20C0090901061081ULL, 0x0024040094030104ULL, 0x8210810200290200ULL, 0x0011040484620000ULL,
    0x0081104002221000ULL, 0x0009012011001350ULL, 0x0081010802400380ULL, 0x0000420210010408ULL,
    0x0008105002280050ULL, 0x0001028484040044ULL, 0x2A00880810408804ULL, 0x7020022282000100ULL,
    0x0084040420100A50ULL, 0x000401010840E000ULL, 0x2020020210420888ULL, 0x0008084202012010ULL,
    0x2010400810018800ULL, 0x0445122008020840ULL, 0x0804100808002008ULL, 0x0008002104110100ULL,
    0x0061005820080800ULL, 0x2001000200820100ULL, 0x480C210084010800ULL, 0x3004442500480420ULL,
    0x1010102240048100ULL, 0x00182009084220A3ULL, 0x8803090A10004205ULL, 0x0208080040202020ULL,
    0x000C044084010040ULL, 0x00A1010002004106ULL, 0x6008210020640202ULL, 0x1600902112860801ULL,
    0x00042008C1220200ULL, 0x010C042002440140ULL, 0x5022080200040820ULL, 0x0402004042940100ULL,
    0x0860108400008020ULL, 0x000C080022021000ULL, 0x0264080652822100ULL, 0x4005031221010401ULL,
    0x0004502410008400ULL, 0x000500B010A20400ULL, 0x0415094050080800ULL, 0x080000201800A104ULL,
    0x4022A80304000110ULL, 0x4012140802028020ULL, 0x40200104010100A0ULL, 0x12810806008B0C41ULL,
    0x0020441008080000ULL, 0x2002120084045420ULL, 0x0704020062080002ULL, 0x0000001084040001ULL,
    0x0322200891240200ULL, 0xF040200210024800ULL, 0x0140824832008042ULL, 0x000210020A004602ULL,
    0x0083042805141020ULL, 0x002C12009A011000ULL, 0x0041A00044140400ULL, 0x00004004020A0202ULL,
    0x0000140010020210ULL, 0x2864160811012200ULL, 0x2060080841082A17ULL, 0xA010041108003100ULL,
};

constexpr uint64_t ROOK_MAGICS[64] = {
    0x1080004008801020ULL, 0x0840092002C03000ULL, 0x1900200010400900ULL, 0x0880100008000480ULL,
    0x4200100420080200ULL, 0x8100020100080400ULL, 0x0200040110886200ULL, 0x0200008040220411ULL,
    0x0404800084400220ULL, 0x0000401000402000ULL, 0x0086001081220440ULL, 0x0408800800100280ULL,
    0x000A001201040820ULL, 0x8848800200840080ULL, 0x4001000100040200ULL, 0x0442000102105084ULL,
    0x9080010020804100ULL, 0x0040404000201009ULL, 0x0000808010002009ULL, 0x2200090021D00100ULL,
    0x0008008008040080ULL, 0x0004004002010040ULL, 0x0011040008015042ULL, 0x00000A0001768104ULL,
    0x0000800080204009ULL, 0x2010004140002001ULL, 0x9800200280100080ULL, 0x1000100080080080ULL,
    0x0050500500080100ULL, 0x0000020080040080ULL, 0x0C10010400420810ULL, 0x1040008200005104ULL,
    0x01808240088004A0ULL, 0x0882804004802000ULL, 0x0880402001001100ULL, 0x2000210409001000ULL,
    0x2000480131001500ULL, 0x0000800400800200ULL, 0x000002380C001003ULL, 0x4600084882000431ULL,
    0x0080002000504000ULL, 0x0300500020004002ULL, 0x0040408200220011ULL, 0x0010040008004040ULL,
    0x0000080004008080ULL, 0x0010040002008080ULL, 0x2012004881020004ULL, 0x8300842444820011ULL,
    0x0088403882010200ULL, 0x0820400080210100ULL, 0x0110910040A00300ULL, 0x0801100280080480ULL,
    0x0242009008200600ULL, 0x1002000489500200ULL, 0x0040800200010080ULL, 0x0091800041000080ULL,
    0x0000209300488001ULL, 0x04C1002414824001ULL, 0x020020000B001041ULL, 0x7000100004200901ULL,
    0x8002002004100802ULL, 0x30010002084C0007ULL, 0x0888221800813004ULL, 0x4000002840840112ULL,
};

std::array<uint64_t, ROOK_SLOTS> rookSlots;
std::array<uint64_t, BISHOP_SLOTS> bishopSlots;

// Squares of the given rays from s that a piece can stand on to block them:
// a ray's last square blocks nothing beyond itself.
uint64_t blockerMask(int s, std::initializer_list<int> rays) {
    uint64_t mask = 0;
    for (int r : rays) {
        const uint64_t ray = bitboard_detail::RAYS[r][s];
        if (ray == 0) continue;
        const uint64_t last = r < 4 ? uint64_t{1} << (63 - std::countl_zero(ray)) : ray & -ray;
        mask |= ray & ~last;
    }
    return mask;
}

// xorshift64*: a small generator with a fixed seed.
struct Random {
    uint64_t state = 0x9E3779B97F4A7C15ULL;
    uint64_t next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1DULL;
    }
    uint64_t sparse() { return next() & next() & next(); }
};

// Fills one square's slots under its stored multiplier, or under one found by
// the search when that does not fit. Two blocker sets may share a slot only
// when they leave the same attacks.
template <typename Reference>
SliderLookup buildSquare(int s, uint64_t mask, uint64_t storedMagic, uint64_t* slots, Reference reference,
                         Random& random) {
    const int bits = std::popcount(mask);
    const int count = 1 << bits;
    std::vector<uint64_t> blockers(count), attacks(count);
    uint64_t subset = 0;
    for (int i = 0; i < count; ++i) { // every subset of the mask, by the carry-rippler
        blockers[i] = subset;
        attacks[i] = reference(s, subset);
        subset = (subset - mask) & mask;
    }
    std::vector<int> filledBy(count, -1);
    // Fills the slots under `magic` (attempt numbers mark the slots filled in
    // this attempt); false when two blocker sets with different attacks meet.
    auto fill = [&](uint64_t magic, int attempt) {
        for (int i = 0; i < count; ++i) {
            const auto slot = static_cast<size_t>((blockers[i] * magic) >> (64 - bits));
            if (filledBy[slot] != attempt) {
                filledBy[slot] = attempt;
                slots[slot] = attacks[i];
            } else if (slots[slot] != attacks[i]) {
                return false;
            }
        }
        return true;
    };
    uint64_t magic = storedMagic;
    for (int attempt = 0; !fill(magic, attempt); ++attempt) {
        do magic = random.sparse();
        while (std::popcount((mask * magic) >> 56) < 6); // too few bits would reach the index
    }
    return SliderLookup{slots, mask, magic, 64 - bits};
}

SliderTables buildSliderTables() {
    SliderTables tables{};
    Random random;
    uint64_t* rookNext = rookSlots.data();
    uint64_t* bishopNext = bishopSlots.data();
    for (int s = 0; s < 64; ++s) {
        tables.rook[s] =
            buildSquare(s, blockerMask(s, {0, 1, 4, 5}), ROOK_MAGICS[s], rookNext, rookRayAttacks, random);
        rookNext += size_t{1} << tables.rook[s].indexBits();
        tables.bishop[s] = buildSquare(s, blockerMask(s, {2, 3, 6, 7}), BISHOP_MAGICS[s], bishopNext,
                                       bishopRayAttacks, random);
        bishopNext += size_t{1} << tables.bishop[s].indexBits();
    }
    FM_ASSERT(rookNext == rookSlots.data() + ROOK_SLOTS && bishopNext == bishopSlots.data() + BISHOP_SLOTS);
    return tables;
}

} // namespace

const SliderTables SLIDER_TABLES = buildSliderTables();
