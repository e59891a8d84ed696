// The program's own options: --help and --version answer without starting the
// engine, unknown options are refused, and every other argument is left to
// the engine's argument groups.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "program.h"
#include "shell/commandline.h"

namespace {

struct Outcome {
    std::optional<int> status;
    std::string out;
    std::string err;
};

std::string contents(FILE* file) {
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

Outcome optionsOf(std::vector<std::string> args) {
    args.insert(args.begin(), "falkmere");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    // A braced list is evaluated in order: the options are handled before the files are read.
    return {handleOptions(static_cast<int>(args.size()), argv.data(), out, err), contents(out),
            contents(err)};
}

const std::string VERSION = "Falkmere 1.08\n";

struct OptionCase {
    std::vector<std::string> args;
    std::optional<int> status; // nothing: the engine starts
    std::string out;           // "usage" stands for the usage text
    const char* what;
};

const OptionCase CASES[] = {
    {{"--help"}, 0, "usage", "long help"},
    {{"-h"}, 0, "usage", "short help"},
    {{"--version"}, 0, VERSION, "long version"},
    {{"-v"}, 0, VERSION, "short version"},
    {{"ignored", "--version"}, 0, VERSION, "options among the ignored words before the first group"},
    {{"--help", "--version"}, 0, "usage", "the first option decides"},
    {{"--version", "-x"}, 0, VERSION, "the first option decides, even before an unknown one"},
    {{"-x"}, 2, "", "unknown short option"},
    {{"--verbose", "--help"}, 2, "", "an unknown option before a known one"},
    {{"-"}, 2, "", "a lone dash"},
    {{}, std::nullopt, "", "no arguments"},
    {{"runepd", "wac.epd", "5", "quit"}, std::nullopt, "", "argument groups"},
    {{"runepd", "-h", "5"}, std::nullopt, "", "a dash word inside a group belongs to the group"},
    {{"score", "--version"}, std::nullopt, "", "options after the first group word are group arguments"},
    {{"words", "before", "quit"}, std::nullopt, "", "plain words"},
};

} // namespace

TEST(CommandLine, OptionsAnswerAndEndTheProgramOrLeaveTheArgumentsToTheEngine) {
    for (const OptionCase& c : CASES) {
        const Outcome o = optionsOf(c.args);
        EXPECT_EQ(o.status, c.status) << c.what;
        EXPECT_EQ(o.out, c.out == "usage" ? std::string(usageText()) : c.out) << c.what;
        if (c.status == 2) {
            const std::string& bad = c.args.front();
            EXPECT_EQ(o.err, "falkmere: unknown option '" + bad + "' (falkmere --help lists the options)\n")
                << c.what;
        } else {
            EXPECT_EQ(o.err, "") << c.what;
        }
    }
}

TEST(CommandLine, TheUsageFitsATerminalAndEndsWithALineFeed) {
    const std::string usage = usageText();
    size_t start = 0;
    for (size_t end; (end = usage.find('\n', start)) != std::string::npos; start = end + 1)
        EXPECT_LE(end - start, 80u) << "fits a terminal: " << usage.substr(start, end - start);
    EXPECT_EQ(start, usage.size()) << "ends with a line feed";
}

TEST(CommandLine, TheProgramAnswersOptionsWithoutReadingTheIniFileOrWritingALog) {
    struct RunCase {
        std::vector<std::string> args;
        int status;
        std::string out;
    };
    const RunCase runs[] = {
        {{"--help"}, 0, usageText()},
        {{"-v"}, 0, VERSION},
        {{"--frobnicate"}, 2, ""},
    };
    for (const RunCase& r : runs) {
        TempDir dir;
        dir.write("falkmere.ini", "USE_LOG ON\nUSE_LEARN ON\n");
        int status = -1;
        EXPECT_EQ(runProgram(dir.path(), "quit\n", r.args, &status), r.out) << r.args[0];
        EXPECT_EQ(status, r.status) << r.args[0];
        EXPECT_FALSE(dir.exists("fal000.log")) << r.args[0];
        EXPECT_FALSE(dir.exists("learn.dat")) << r.args[0];
    }
}
