// The running count of long jobs: shown in place, at most once per interval,
// its line ended before other text and after the final count.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "book/progress.h"

namespace {

// One step of a run: the clock's time, then what is done and what appears.
struct Step {
    int64_t ms;
    char action; // 's' show, 'e' end the line, 'f' finish
    int64_t count;
    const char* printed;
};

// Runs the steps on a counter labelled "games" with an interval of 250 ms,
// checking after each step everything printed so far.
void expectRun(const std::vector<Step>& steps) {
    int64_t now = 0;
    CollectedOutput out;
    ProgressCount counter("games", &out, 250, [&] { return now; });
    std::string expected;
    for (const Step& step : steps) {
        now = step.ms;
        if (step.action == 's')
            counter.show(step.count);
        else if (step.action == 'e')
            counter.endLine();
        else
            counter.finish(step.count);
        expected += step.printed;
        EXPECT_EQ(out.text, expected) << "at " << step.ms << " ms";
    }
}

} // namespace

TEST(ProgressCount, ShowsTheFirstCountAtOnceThenAtMostOncePerIntervalAndEndsItsLine) {
    expectRun({
        {0, 's', 0, "\rgames: 0"},   // the first count is shown at once
        {100, 's', 1, ""},           // too soon
        {249, 's', 2, ""},           // still too soon
        {250, 's', 3, "\rgames: 3"}, // a whole interval later
        {260, 'e', 0, "\n"},         // other text follows on a line of its own
        {270, 'e', 0, ""},           // the line is already ended
        {300, 's', 4, ""},           // too soon after the last count shown
        {520, 's', 5, "\rgames: 5"},
        {530, 's', 6, ""},
        {540, 'f', 6, "\rgames: 6\n"}, // the final count, though too soon
    });
}

TEST(ProgressCount, FinishingEndsTheLineWithoutRepeatingACountAlreadyShown) {
    expectRun({{0, 's', 7, "\rgames: 7"}, {0, 'f', 7, "\n"}});           // shown: only the line end follows
    expectRun({{0, 's', 7, "\rgames: 7"}, {0, 'f', 8, "\rgames: 8\n"}}); // a newer count is shown first
    expectRun({{0, 'f', 0, "\rgames: 0\n"}});                            // nothing shown yet
}
