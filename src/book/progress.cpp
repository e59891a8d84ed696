#include "book/progress.h"

#include <utility>

#include "search/clock.h"

ProgressCount::ProgressCount(std::string label, Output* out, int64_t intervalMs, Clock clock)
    : label_(std::move(label)), intervalMs_(intervalMs),
      clock_(clock ? std::move(clock) : Clock(wallClockMs)), out_(out) {}

void ProgressCount::write(int64_t count) {
    if (out_) out_->print("\r%s: %lld", label_.c_str(), static_cast<long long>(count));
    shownOnce_ = lineOpen_ = true;
    lastCount_ = count;
}

void ProgressCount::show(int64_t count) {
    const int64_t now = clock_();
    if (shownOnce_ && now - lastShownMs_ < intervalMs_) return;
    lastShownMs_ = now;
    write(count);
}

void ProgressCount::endLine() {
    if (!lineOpen_) return;
    if (out_) out_->write("\n");
    lineOpen_ = false;
}

void ProgressCount::finish(int64_t count) {
    if (!lineOpen_ || lastCount_ != count) write(count);
    endLine();
}
