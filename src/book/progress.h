// A running count shown in place on one terminal line ("\rgames read: 957"),
// for long jobs such as building a book. The caller gives it an output for the
// terminal only (the shell's never goes to the log), or none for no count.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "board/output.h"

class ProgressCount {
  public:
    using Clock = std::function<int64_t()>; // milliseconds

    // Rewrites the line at most once every `intervalMs` of `clock`.
    explicit ProgressCount(std::string label, Output* out, int64_t intervalMs = 250, Clock clock = nullptr);

    // Shows `count` when nothing was shown yet or the interval has passed
    // since the count was last shown.
    void show(int64_t count);
    // Ends the count's line, when one is showing, so that other text starts
    // on a line of its own.
    void endLine();
    // Shows the final count, unless it is already showing, and ends the line.
    void finish(int64_t count);

  private:
    std::string label_;
    int64_t intervalMs_;
    Clock clock_;
    Output* out_;
    bool shownOnce_ = false;
    bool lineOpen_ = false;
    int64_t lastShownMs_ = 0;
    int64_t lastCount_ = 0;

    void write(int64_t count);
};
