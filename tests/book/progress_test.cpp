// The running count of long jobs: shown in place, at most once per interval,
// its line ended before other text and after the final count.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "book/progress.h"

namespace {

std::string contents(FILE* file) {
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    return text;
}

// One step of a run: the clock's time, then what is done and what appears.
struct Step {
    int64_t ms;
    char action; // 's' show, 'e' end the line, 'f' finish
    int64_t count;
    const char* printed;
};

} // namespace

TEST(ProgressCount, ShowsTheFirstCountAtOnceThenAtMostOncePerIntervalAndEndsItsLine) {
    const Step steps[] = {
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
    };
    int64_t now = 0;
    FILE* out = std::tmpfile();
    ProgressCount counter(
        "games", 250, [&] { return now; }, out);
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
        EXPECT_EQ(contents(out), expected) << "at " << step.ms << " ms";
    }
    std::fclose(out);
}

TEST(ProgressCount, FinishingEndsTheLineWithoutRepeatingACountAlreadyShown) {
    struct Case {
        bool showFirst;
        int64_t finalCount;
        const char* printed;
    };
    const Case cases[] = {
        {true, 7, "\rn: 7\n"},       // shown: only the line end follows
        {true, 8, "\rn: 7\rn: 8\n"}, // a newer count is shown first
        {false, 0, "\rn: 0\n"},      // nothing shown yet
    };
    for (const Case& c : cases) {
        FILE* out = std::tmpfile();
        ProgressCount counter(
            "n", 1000, [] { return int64_t{0}; }, out);
        if (c.showFirst) counter.show(7);
        counter.finish(c.finalCount);
        EXPECT_EQ(contents(out), c.printed);
        std::fclose(out);
    }
}
