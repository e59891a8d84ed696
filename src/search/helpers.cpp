#include "search/helpers.h"

namespace {

// What a helper's search tells the others: its completed iterations. The
// depth is published after the result it describes, so that a reader that
// sees the depth finds the result under the lock.
struct PublishedResult {
    mutable std::mutex lock;
    HelperThreads::Result result;
    std::atomic<int> depth{0};
};

// A helper stops at its next poll once the main search has finished, and
// publishes every iteration it completes.
class HelperListener : public SearchListener {
  public:
    HelperListener(const std::atomic<bool>& stopFlag, const std::atomic<int>& mainDepth, PublishedResult& out)
        : stop(stopFlag), mainIteration(mainDepth), published(out) {}
    void poll(Search& s) override {
        if (stop.load(std::memory_order_relaxed)) s.stop();
    }
    // A helper that falls behind the main search catches up: to its iteration
    // (depth offset 0) or to one iteration ahead of it (offset 1). The main search
    // then finds deeper results in the table, and a helper that completes the
    // depth limit first ends the search with its result.
    int nextIteration(const Search& s, int following) override {
        const int ahead = mainIteration.load(std::memory_order_relaxed) + s.depthOffset();
        const int depth = following > ahead ? following : ahead;
        return depth < s.time.depthLimit ? depth : s.time.depthLimit;
    }
    void iterationCompleted(const Search& s) override {
        const PlyRecord& root = s.ply(0);
        {
            std::lock_guard<std::mutex> hold(published.lock);
            HelperThreads::Result& r = published.result;
            r.depth = s.currentIteration();
            r.score = s.bestScore();
            r.pvEnd = root.pvEnd;
            for (int i = 0; i < root.pvEnd; ++i) r.pv[i] = root.pv[i];
        }
        published.depth.store(s.currentIteration(), std::memory_order_release);
    }

  private:
    const std::atomic<bool>& stop;
    const std::atomic<int>& mainIteration;
    PublishedResult& published;
};

// Helpers look for the stop this often (in nodes).
constexpr uint32_t HELPER_POLL_INTERVAL = 1000;

} // namespace

struct HelperThreads::Helper {
    Helper(MainHashTable& table, const std::atomic<bool>& stop, const std::atomic<int>& mainIteration,
           BusyMoves& busy, int depthOffset)
        : listener(stop, mainIteration, published), search(position, table, listener, evaluator) {
        search.becomeHelper(busy, depthOffset, HELPER_POLL_INTERVAL);
    }
    Position position;
    Evaluator evaluator;
    PublishedResult published;
    HelperListener listener;
    Search search;
    std::thread thread;
};

HelperThreads::HelperThreads(MainHashTable& sharedTable) : table(sharedTable) {}

HelperThreads::~HelperThreads() { stop(); }

void HelperThreads::setCount(int count, const CacheSet& sizes) {
    stop();
    helpers.clear();
    for (int i = 0; i < count; ++i) {
        auto helper = std::make_unique<Helper>(table, stopping, mainIteration, busy, i % 2);
        CacheSet& caches = helper->evaluator.caches();
        caches.pawn.sizeMB = sizes.pawn.sizeMB;
        caches.eval.sizeMB = sizes.eval.sizeMB;
        caches.pawn.allocate();
        caches.eval.allocate();
        helpers.push_back(std::move(helper));
    }
}

void HelperThreads::start(const Search& main) {
    stop();
    stopping.store(false, std::memory_order_relaxed);
    mainIteration.store(0, std::memory_order_relaxed);
    busy.clear();
    for (auto& helper : helpers) {
        Search& s = helper->search;
        helper->position.copyFrom(main.position());
        helper->evaluator.useParams(main.evaluator().params());
        s.options = main.options;
        s.modernParams = main.modernParams;
        s.options.useBook = s.options.useLearn = false;
        s.options.multiPv = 1; // a helper looks for the best move; the main search finds the lines
        s.modes = SearchModes{};
        s.time = TimeControl{};
        s.time.mode = TimeMode::Infinite;
        s.time.depthLimit = main.time.depthLimit;
        s.searchMoves = main.searchMoves;
        s.clearPublishedNodeCount();
        helper->published.depth.store(0, std::memory_order_relaxed);
        helper->thread = std::thread([&s] { s.think(); });
    }
    running = true;
}

void HelperThreads::stop() {
    if (!running) return;
    stopping.store(true, std::memory_order_relaxed);
    for (auto& helper : helpers) {
        if (helper->thread.joinable()) helper->thread.join();
        helper->search.publishNodeCount();
    }
    running = false;
}

void HelperThreads::clearCaches() {
    for (auto& helper : helpers) helper->evaluator.caches().clear();
}

void HelperThreads::forgetHistory() {
    for (auto& helper : helpers) helper->search.forgetHistory();
}

uint64_t HelperThreads::nodes() const {
    uint64_t total = 0;
    for (const auto& helper : helpers) total += helper->search.publishedNodeCount();
    return total;
}

int HelperThreads::deepestCompleted() const {
    int deepest = 0;
    if (!running) return deepest;
    for (const auto& helper : helpers) {
        const int depth = helper->published.depth.load(std::memory_order_acquire);
        if (depth > deepest) deepest = depth;
    }
    return deepest;
}

bool HelperThreads::deepestResult(int depth, Result& out) const {
    const Helper* best = nullptr;
    for (const auto& helper : helpers) {
        const int d = helper->published.depth.load(std::memory_order_acquire);
        if (d > depth) {
            depth = d;
            best = helper.get();
        }
    }
    if (!best) return false;
    std::lock_guard<std::mutex> hold(best->published.lock);
    out = best->published.result;
    return out.pvEnd > 0;
}
