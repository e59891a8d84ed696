// The installed documentation against the program: every command of the
// console help and every key of falkmere.ini has an entry in the manual page
// and a line in the sample falkmere.ini, and the sample sets the defaults.
#include <algorithm>
#include <set>

#include "program.h"
#include "shell/config.h"
#include "shell/help.h"
#include "testutil.h"

namespace {

std::string docFile(const std::string& name) { return std::string(FALKMERE_DOC_DIR) + "/" + name; }

// The arguments of a macro line, quotes honoured, with the escapes for a
// hyphen, a zero-width break and font changes turned into plain text.
std::vector<std::string> macroArguments(const std::string& line) {
    const std::string text = std::regex_replace(line, std::regex(R"(\\(?:(-)|&|f.))"), "$1");
    std::vector<std::string> args;
    std::string current;
    bool quoted = false, any = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (c == ' ' && !quoted) {
            if (any || !current.empty()) args.push_back(current);
            current.clear();
            any = false;
        } else {
            current += c;
        }
    }
    if (any || !current.empty()) args.push_back(current);
    return args;
}

// The words set in bold in the tags of the page's tagged paragraphs (the line
// after each .TP): every argument of .B, every other one of .BR and .BI.
std::set<std::string> taggedWords(const std::vector<std::string>& page) {
    std::set<std::string> words;
    for (size_t i = 0; i + 1 < page.size(); ++i) {
        if (page[i] != ".TP") continue;
        std::vector<std::string> args = macroArguments(page[i + 1]);
        if (args.empty()) continue;
        const std::string macro = args[0];
        args.erase(args.begin());
        if (macro != ".B" && macro != ".BR" && macro != ".BI") continue;
        for (size_t k = 0; k < args.size(); ++k) {
            if (macro != ".B" && k % 2 == 1) continue;
            std::istringstream split(args[k]);
            for (std::string word; split >> word;) words.insert(word);
        }
    }
    return words;
}

// The first word of each setting line of an ini file (not empty, no comment).
std::vector<std::string> settingKeys(const std::vector<std::string>& ini) {
    std::vector<std::string> keys;
    for (const std::string& line : ini) {
        std::istringstream split(line);
        std::string first;
        if (split >> first && first[0] != '#') keys.push_back(first);
    }
    return keys;
}

} // namespace

TEST(Documentation, TheManualPageHasAnEntryForEveryHelpCommandAndEveryIniKey) {
    const std::vector<std::string> page = readLines(docFile("falkmere.6"));
    ASSERT_FALSE(page.empty()) << docFile("falkmere.6");
    const std::set<std::string> tagged = taggedWords(page);
    const std::vector<std::string> commands = helpCommandWords();
    ASSERT_GE(commands.size(), 28u) << "hard/easy and post/nopost name two commands each";
    for (const char* word : {"go", "?", "hard", "easy", "nopost", "d", "book"})
        EXPECT_NE(std::find(commands.begin(), commands.end(), word), commands.end()) << word;
    for (const std::string& word : commands) EXPECT_TRUE(tagged.count(word)) << "command " << word;
    for (const std::string& key : configKeyNames()) EXPECT_TRUE(tagged.count(key)) << "key " << key;
    for (const char* option : {"-h", "--help", "-v", "--version"})
        EXPECT_TRUE(tagged.count(option)) << "option " << option;
}

TEST(Documentation, TheSampleIniNamesEveryKeyOnceAndNothingElse) {
    const std::vector<std::string> ini = readLines(docFile("falkmere.ini"));
    ASSERT_FALSE(ini.empty()) << docFile("falkmere.ini");
    std::vector<std::string> keys = settingKeys(ini);
    std::vector<std::string> expected = configKeyNames();
    std::sort(keys.begin(), keys.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(keys, expected);
}

TEST(Documentation, TheSampleIniSetsTheDefaults) {
    // The start-up text (banner and table sizes) with the sample equals that of
    // an ini file that sets nothing.
    const std::vector<std::string> ini = readLines(docFile("falkmere.ini"));
    std::string sample;
    for (const std::string& line : ini) sample += line + "\n";
    std::string startup[2];
    for (int run = 0; run < 2; ++run) {
        TempDir dir;
        dir.write("falkmere.ini", run == 0 ? sample : "# nothing set\n");
        afterStartup(runProgram(dir.path(), "quit\n"), &startup[run]);
        EXPECT_FALSE(dir.exists("fal000.log")) << "no log with the sample";
    }
    EXPECT_NE(startup[0].find("Welcome to Falkmere"), std::string::npos) << startup[0];
    EXPECT_EQ(startup[0], startup[1]);
}
