// The counter tree: ten levels, one per count of the material signature; each
// level's array is one longer than the number of men still allowed, so that at
// most four men besides the kings are described.
#include "egtb/registry.h"

namespace egtb {

namespace {
constexpr int LEVELS = 10;
constexpr int MEN_ALLOWED = 4;
} // namespace

CounterTree::CounterTree() { build(0, MEN_ALLOWED); }

int CounterTree::build(int level, int remaining) {
    const int node = static_cast<int>(nodes_.size());
    nodes_.push_back(remaining + 1);
    nodes_.resize(nodes_.size() + static_cast<size_t>(remaining) + 1, 0);
    if (level + 1 < LEVELS) {
        for (int c = 0; c <= remaining; ++c) {
            const int child = build(level + 1, remaining - c);
            nodes_[static_cast<size_t>(node + 1 + c)] = child;
        }
    }
    return node;
}

void CounterTree::clear() {
    nodes_.clear();
    build(0, MEN_ALLOWED);
}

bool CounterTree::enter(const int counts[10], int value) {
    int node = 0;
    for (int level = 0; level < LEVELS; ++level) {
        const int c = counts[level];
        if (c < 0 || c >= nodes_[static_cast<size_t>(node)]) return false;
        if (level + 1 == LEVELS) {
            nodes_[static_cast<size_t>(node + 1 + c)] = value;
            return true;
        }
        node = nodes_[static_cast<size_t>(node + 1 + c)];
    }
    return false;
}

int CounterTree::lookup(const int counts[10]) const {
    int node = 0;
    for (int level = 0; level < LEVELS; ++level) {
        const int c = counts[level];
        if (c < 0 || c >= nodes_[static_cast<size_t>(node)]) return 0;
        if (level + 1 == LEVELS) return nodes_[static_cast<size_t>(node + 1 + c)];
        node = nodes_[static_cast<size_t>(node + 1 + c)];
    }
    return 0;
}

void tableSignature(const TableMaterial& material, bool exchanged, int counts[10]) {
    const int* a = exchanged ? material.second : material.first;
    const int* b = exchanged ? material.first : material.second;
    for (int k = 0; k < 5; ++k) {
        counts[k] = a[k];
        counts[5 + k] = b[k];
    }
}

const CounterTree& allTablesTree() {
    static const CounterTree tree = [] {
        initDescriptors();
        CounterTree t;
        int counts[10];
        for (int n = 1; n < TABLE_COUNT; ++n) {
            const TableDescriptor& d = descriptor(n);
            if (!(d.flags & TABLE_SYMMETRIC)) {
                tableSignature(d.material, true, counts);
                t.enter(counts, -n);
            }
            tableSignature(d.material, false, counts);
            t.enter(counts, n);
        }
        return t;
    }();
    return tree;
}

CounterTree& registeredTree() {
    static CounterTree tree;
    return tree;
}

} // namespace egtb
