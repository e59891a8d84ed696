// Static exchange evaluation: attacker-set bytes and the table of every
// exchange, built once at start-up. The evaluator reads the same table with
// the attack bytes of its attack maps.
#pragma once

#include <array>
#include <cstdint>

// Exchange values by piece code (none, king, queen, rook, bishop, knight, pawn).
inline constexpr std::array<int8_t, 7> EXCHANGE_VALUE = {0, 99, 9, 5, 3, 3, 1};

// Units added to an attacker-set byte per attacking piece, by piece code. The
// fields are pawns (bits 6-7), knights and bishops (4-5), rooks (2-3), queens
// (bit 1) and the king (bit 0); additions carry from one field into the next.
inline constexpr std::array<uint8_t, 7> ATTACKER_UNIT = {0, 1, 2, 4, 16, 16, 64};

// Exchange value of the cheapest kind in a set byte, and the set without it.
extern std::array<int8_t, 256> cheapestValue;
extern std::array<uint8_t, 256> withoutCheapest;

// swapTable[piece - 1][defenders][attackers]: what the side whose piece (code
// 1..6) now stands on the square loses back when the opponent, holding the
// defenders set, may capture and the owner's remaining pieces form the
// attackers set.
extern int8_t swapTable[6][256][256];

// The table read with a piece code that may be 0 (an empty square reads 0).
inline int swapValue(int piece, int defenders, int attackers) {
    return piece == 0 ? 0 : swapTable[piece - 1][defenders][attackers];
}

// Fills the cheapest-attacker tables and the exchange table.
void buildSwapTable();
