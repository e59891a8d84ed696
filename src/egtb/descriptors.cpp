// The fixed list of tables: names in their order, flags and entry counts.
#include <cstring>

#include "board/types.h"
#include "egtb/registry.h"

namespace egtb {

const char* const TABLE_NAMES[TABLE_COUNT] = {
    "kk",     "kpk",    "knk",    "kbk",    "krk",    "kqk",    "kpkp",   "knkp",   "knkn",   "kbkp",
    "kbkn",   "kbkb",   "krkp",   "krkn",   "krkb",   "krkr",   "kqkp",   "kqkn",   "kqkb",   "kqkr",
    "kqkq",   "kppk",   "knpk",   "knnk",   "kbpk",   "kbnk",   "kbbk",   "krpk",   "krnk",   "krbk",
    "krrk",   "kqpk",   "kqnk",   "kqbk",   "kqrk",   "kqqk",   "kppkp",  "kppkn",  "kppkb",  "kppkr",
    "kppkq",  "knpkp",  "knpkn",  "knpkb",  "knpkr",  "knpkq",  "knnkp",  "knnkn",  "knnkb",  "knnkr",
    "knnkq",  "kbpkp",  "kbpkn",  "kbpkb",  "kbpkr",  "kbpkq",  "kbnkp",  "kbnkn",  "kbnkb",  "kbnkr",
    "kbnkq",  "kbbkp",  "kbbkn",  "kbbkb",  "kbbkr",  "kbbkq",  "krpkp",  "krpkn",  "krpkb",  "krpkr",
    "krpkq",  "krnkp",  "krnkn",  "krnkb",  "krnkr",  "krnkq",  "krbkp",  "krbkn",  "krbkb",  "krbkr",
    "krbkq",  "krrkp",  "krrkn",  "krrkb",  "krrkr",  "krrkq",  "kqpkp",  "kqpkn",  "kqpkb",  "kqpkr",
    "kqpkq",  "kqnkp",  "kqnkn",  "kqnkb",  "kqnkr",  "kqnkq",  "kqbkp",  "kqbkn",  "kqbkb",  "kqbkr",
    "kqbkq",  "kqrkp",  "kqrkn",  "kqrkb",  "kqrkr",  "kqrkq",  "kqqkp",  "kqqkn",  "kqqkb",  "kqqkr",
    "kqqkq",  "kpppk",  "knppk",  "knnpk",  "knnnk",  "kbppk",  "kbnpk",  "kbnnk",  "kbbpk",  "kbbnk",
    "kbbbk",  "krppk",  "krnpk",  "krnnk",  "krbpk",  "krbnk",  "krbbk",  "krrpk",  "krrnk",  "krrbk",
    "krrrk",  "kqppk",  "kqnpk",  "kqnnk",  "kqbpk",  "kqbnk",  "kqbbk",  "kqrpk",  "kqrnk",  "kqrbk",
    "kqrrk",  "kqqpk",  "kqqnk",  "kqqbk",  "kqqrk",  "kqqqk",  "knnknn", "kbnknn", "kbbknn", "kbbkbn",
    "kbbkbb", "krnknn", "krnkbb", "krbknn", "krbkbb", "krrknn", "krrkbn", "krrkbb", "krrkrn", "krrkrb",
    "krrkrr", "kqnknn", "kqnkbb", "kqnkrr", "kqbknn", "kqbkbb", "kqbkrr", "kqrknn", "kqrkbb", "kqrkrr",
    "kqqknn", "kqqkbn", "kqqkbb", "kqqkrn", "kqqkrb", "kqqkrr", "kqqkqn", "kqqkqb", "kqqkqr", "kqqkqq",
    "kbnkbn", "krnkrn", "krbkrb", "kqnkqn", "kqbkqb", "kqrkqr", "krnkbn", "krbkbn", "krbkrn", "kqnkbn",
    "kqnkrn", "kqnkrb", "kqbkbn", "kqbkrn", "kqbkrb", "kqbkqn", "kqrkbn", "kqrkrn", "kqrkrb", "kqrkqn",
    "kqrkqb", "knnnkn", "kbnnkn", "kbbnkn", "kbbbkn", "krnnkn", "krbbkn", "krrnkn", "krrbkn", "krrrkn",
    "kqnnkn", "kqbbkn", "kqrrkn", "kqqnkn", "kqqbkn", "kqqrkn", "kqqqkn", "knnnkb", "kbnnkb", "kbbnkb",
    "kbbbkb", "krnnkb", "krbbkb", "krrnkb", "krrbkb", "krrrkb", "kqnnkb", "kqbbkb", "kqrrkb", "kqqnkb",
    "kqqbkb", "kqqrkb", "kqqqkb", "knnnkr", "kbnnkr", "kbbnkr", "kbbbkr", "krnnkr", "krbbkr", "krrnkr",
    "krrbkr", "krrrkr", "kqnnkr", "kqbbkr", "kqrrkr", "kqqnkr", "kqqbkr", "kqqrkr", "kqqqkr", "knnnkq",
    "kbnnkq", "kbbnkq", "kbbbkq", "krnnkq", "krbbkq", "krrnkq", "krrbkq", "krrrkq", "kqnnkq", "kqbbkq",
    "kqrrkq", "kqqnkq", "kqqbkq", "kqqrkq", "kqqqkq", "krbnkn", "kqbnkn", "kqrnkn", "kqrbkn", "krbnkb",
    "kqbnkb", "kqrnkb", "kqrbkb", "krbnkr", "kqbnkr", "kqrnkr", "kqrbkr", "krbnkq", "kqbnkq", "kqrnkq",
    "kqrbkq", "kpppkp", "knppkp", "knnpkp", "knnnkp", "kbppkp", "kbnpkp", "kbnnkp", "kbbpkp", "kbbnkp",
    "kbbbkp", "krppkp", "krnpkp", "krnnkp", "krbpkp", "krbnkp", "krbbkp", "krrpkp", "krrnkp", "krrbkp",
    "krrrkp", "kqppkp", "kqnpkp", "kqnnkp", "kqbpkp", "kqbnkp", "kqbbkp", "kqrpkp", "kqrnkp", "kqrbkp",
    "kqrrkp", "kqqpkp", "kqqnkp", "kqqbkp", "kqqrkp", "kqqqkp", "kpppkn", "knppkn", "knnpkn", "kbppkn",
    "kbnpkn", "kbbpkn", "krppkn", "krnpkn", "krbpkn", "krrpkn", "kqppkn", "kqnpkn", "kqbpkn", "kqrpkn",
    "kqqpkn", "kpppkb", "knppkb", "knnpkb", "kbppkb", "kbnpkb", "kbbpkb", "krppkb", "krnpkb", "krbpkb",
    "krrpkb", "kqppkb", "kqnpkb", "kqbpkb", "kqrpkb", "kqqpkb", "kpppkr", "knppkr", "knnpkr", "kbppkr",
    "kbnpkr", "kbbpkr", "krppkr", "krnpkr", "krbpkr", "krrpkr", "kqppkr", "kqnpkr", "kqbpkr", "kqrpkr",
    "kqqpkr", "kpppkq", "knppkq", "knnpkq", "kbppkq", "kbnpkq", "kbbpkq", "krppkq", "krnpkq", "krbpkq",
    "krrpkq", "kqppkq", "kqnpkq", "kqbpkq", "kqrpkq", "kqqpkq",
};

namespace {

TableDescriptor descriptors[TABLE_COUNT];
bool descriptorsBuilt = false;

bool named(const char* name, std::initializer_list<const char*> list) {
    for (const char* entry : list)
        if (std::strcmp(name, entry) == 0) return true;
    return false;
}

} // namespace

int tableFlags(const char* name) {
    if (named(name, {"kk", "knkn", "kbkb", "krkr", "kqkq", "knnknn", "kbbkbb", "krrkrr", "kqqkqq", "kbnkbn",
                     "krnkrn", "krbkrb", "kqnkqn", "kqbkqb", "kqrkqr"}))
        return TABLE_SYMMETRIC;
    if (named(name, {"krnknn", "krnkbb", "krbknn", "kqnkrr"})) return TABLE_TWO_BYTES;
    if (named(name,
              {"krnkbn", "krrpkp", "kbppkr", "kbnpkr", "kbbpkr", "kbbpkq", "krnpkq", "krbpkq", "krrpkq"}))
        return TABLE_TWO_BYTES | TABLE_SPLIT;
    if (named(name, {"krbkbn", "kqnkrn", "kqnkrb", "kqbkrn", "kqbkrb", "kqbnkq"})) return TABLE_SPLIT;
    const bool sixMen = std::strlen(name) == 6;
    const bool pawns = std::strchr(name, 'p') != nullptr;
    if (sixMen && pawns &&
        !named(name,
               {"kpppkp", "knnnkp", "kbbbkp", "krrrkp", "kqqqkp", "kpppkn", "kpppkb", "kpppkr", "kpppkq"}))
        return TABLE_SPLIT;
    return 0;
}

int tableNumber(const char* name) {
    for (int n = 0; n < TABLE_COUNT; ++n)
        if (std::strcmp(TABLE_NAMES[n], name) == 0) return n;
    return -1;
}

TableDescriptor& descriptor(int table) {
    FM_ASSERT(table >= 0 && table < TABLE_COUNT);
    return descriptors[table];
}

void initDescriptors() {
    if (descriptorsBuilt) return;
    initIndexTables();
    for (int n = 0; n < TABLE_COUNT; ++n) {
        TableDescriptor& d = descriptors[n];
        d.name = TABLE_NAMES[n];
        d.flags = tableFlags(d.name);
        parseTableName(d.name, d.material);
        for (int side = 0; side < 2; ++side) {
            buildIndexPlan(d.material, side, d.plan[side]);
            d.count[side] = d.plan[side].count;
        }
    }
    descriptorsBuilt = true;
}

} // namespace egtb
