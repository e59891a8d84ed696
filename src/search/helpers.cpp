#include "search/helpers.h"

namespace {

// A helper stops at its next poll once the main search has finished.
class HelperListener : public SearchListener {
  public:
    explicit HelperListener(const std::atomic<bool>& stopFlag) : stop(stopFlag) {}
    void poll(Search& s) override {
        if (stop.load(std::memory_order_relaxed)) s.stop();
    }

  private:
    const std::atomic<bool>& stop;
};

// Helpers look for the stop this often (in nodes).
constexpr uint32_t HELPER_POLL_INTERVAL = 1000;

} // namespace

struct HelperThreads::Helper {
    Helper(MainHashTable& table, const std::atomic<bool>& stop) : listener(stop), search(position, table, listener) {
        position.board.caches = &caches;
        search.isHelper = true;
        search.pollInterval = HELPER_POLL_INTERVAL;
    }
    Position position;
    CacheSet caches;
    HelperListener listener;
    Search search;
    std::thread thread;
};

HelperThreads::HelperThreads(MainHashTable& sharedTable) : table(sharedTable) {}

HelperThreads::~HelperThreads() { stop(); }

void HelperThreads::setCount(int count) {
    stop();
    helpers.clear();
    for (int i = 0; i < count; ++i) {
        auto helper = std::make_unique<Helper>(table, stopping);
        helper->caches.pawn.sizeMB = pawnHashTable.sizeMB;
        helper->caches.eval.sizeMB = evalCache.sizeMB;
        helper->caches.pawn.allocate(false);
        helper->caches.eval.allocate(false);
        helper->search.depthOffset = (i + 1) % 2;
        helpers.push_back(std::move(helper));
    }
}

void HelperThreads::start(const Search& main) {
    stop();
    stopping.store(false, std::memory_order_relaxed);
    for (auto& helper : helpers) {
        Search& s = helper->search;
        helper->position.copyFrom(main.position());
        helper->position.board.caches = &helper->caches;
        s.options = main.options;
        s.options.useBook = s.options.useLearn = false;
        s.modes = SearchModes{};
        s.time = TimeControl{};
        s.time.mode = TimeMode::Infinite;
        s.time.depthLimit = main.time.depthLimit;
        s.searchMoves = main.searchMoves;
        s.publishedNodes.store(0, std::memory_order_relaxed);
        helper->thread = std::thread([&s] { s.think(); });
    }
    running = true;
}

void HelperThreads::stop() {
    if (!running) return;
    stopping.store(true, std::memory_order_relaxed);
    for (auto& helper : helpers) {
        if (helper->thread.joinable()) helper->thread.join();
        helper->search.publishedNodes.store(helper->search.stats.nodes, std::memory_order_relaxed);
    }
    running = false;
}

void HelperThreads::clearCaches() {
    for (auto& helper : helpers) {
        helper->caches.pawn.clear();
        helper->caches.eval.clear();
    }
}

uint64_t HelperThreads::nodes() const {
    uint64_t total = 0;
    for (const auto& helper : helpers) total += helper->search.publishedNodes.load(std::memory_order_relaxed);
    return total;
}
