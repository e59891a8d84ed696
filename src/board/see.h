// Static exchange evaluation tables.
#pragma once

// Fills the exchange table of every first piece, defender set and attacker set.
void buildSwapTable();
