#include "shell/words.h"

#include <cctype>

namespace {

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Digits only, no sign, at most 9 of them (so that the value fits easily).
bool readUnsigned(const std::string& text, int64_t& value) {
    if (text.empty() || text.size() > 9) return false;
    value = 0;
    for (char c : text) {
        if (!isDigit(c)) return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

} // namespace

std::vector<std::string> splitWords(const char* line) {
    std::vector<std::string> words;
    const char* p = line;
    while (*p) {
        while (*p && isBlank(*p)) ++p;
        const char* start = p;
        while (*p && !isBlank(*p)) ++p;
        if (p > start) words.emplace_back(start, p);
    }
    return words;
}

std::string firstWord(const char* line) {
    const char* end = line;
    while (*end && !isBlank(*end)) ++end;
    return std::string(line, end);
}

bool readInteger64(const std::string& word, int64_t& value) {
    size_t i = 0;
    while (i < word.size() && isBlank(word[i])) ++i;
    bool negative = false;
    if (i < word.size() && (word[i] == '+' || word[i] == '-')) negative = word[i++] == '-';
    if (i >= word.size() || !isDigit(word[i])) return false;
    uint64_t v = 0;
    constexpr uint64_t LIMIT = uint64_t{INT64_MAX} + 1; // the magnitude of INT64_MIN
    for (; i < word.size() && isDigit(word[i]); ++i) {
        const uint64_t digit = static_cast<uint64_t>(word[i] - '0');
        if (v > (LIMIT - digit) / 10) return false;
        v = v * 10 + digit;
    }
    if (!negative && v > uint64_t{INT64_MAX}) return false;
    value = negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
    return true;
}

bool readInteger(const std::string& word, int32_t& value) {
    int64_t v = 0;
    if (!readInteger64(word, v) || v > INT32_MAX || v < INT32_MIN) return false;
    value = static_cast<int32_t>(v);
    return true;
}

bool readClockTime(const std::string& word, int32_t& ms) {
    const size_t colon = word.find(':');
    int64_t minutes = 0, seconds = 0;
    if (colon == std::string::npos) {
        if (!readUnsigned(word, minutes)) return false;
    } else {
        if (!readUnsigned(word.substr(0, colon), minutes)) return false;
        if (!readUnsigned(word.substr(colon + 1), seconds)) return false;
    }
    const int64_t total = minutes * 60000 + seconds * 1000;
    if (total > INT32_MAX) return false;
    ms = static_cast<int32_t>(total);
    return true;
}

bool readSeconds(const std::string& word, int32_t& ms) {
    const size_t dot = word.find('.');
    int64_t whole = 0;
    if (!readUnsigned(dot == std::string::npos ? word : word.substr(0, dot), whole)) {
        // ".5" has no whole part
        if (!(dot == 0 && word.size() > 1)) return false;
    }
    int64_t fraction = 0;
    if (dot != std::string::npos) {
        const std::string digits = word.substr(dot + 1);
        if (digits.empty() && dot == 0) return false;
        int scale = 100;
        for (char c : digits) {
            if (!isDigit(c)) return false;
            fraction += (c - '0') * scale;
            scale /= 10;
        }
    }
    const int64_t total = whole * 1000 + fraction;
    if (total > INT32_MAX) return false;
    ms = static_cast<int32_t>(total);
    return true;
}

std::vector<std::string> blankSeparated(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

bool readTextLine(FILE* file, std::string& line) {
    line.clear();
    int c;
    while ((c = std::fgetc(file)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
    if (c == EOF && line.empty()) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}
