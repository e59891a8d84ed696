// Provisional until the tablebase work lands: no tables.
#include "egtb/tablebases.h"

TablebaseStats tablebaseStats;

bool loadTablebases(const char*, int, bool) { return true; }
int tablebaseMenAvailable() { return 0; }
bool probeTablebases(const Board&, int, int&) { return false; }
