// PGN reading for the book builder: games split into tags and move text, and
// the move text cleaned down to a list of move tokens.
#include "book/pgn.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

bool startsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The rating between the quotation marks after a rating tag's name; false when
// no number stands there (for example "?" or "-").
bool readRating(const char* text, long& rating) {
    const char* quote = std::strchr(text, '"');
    if (!quote) return false;
    char* end = nullptr;
    rating = std::strtol(quote + 1, &end, 10);
    return end != quote + 1;
}

// Blanks a token that starts with a digit or a dot at `at` and returns the index
// of its last character. Results and move numbers go; castling with zeros stays.
size_t blankNumberToken(std::string& s, size_t at) {
    const char* p = s.c_str() + at;
    size_t length = 0;
    if (startsWith(p, "1/2-1/2"))
        length = 7;
    else if (startsWith(p, "1-0") || startsWith(p, "0-1"))
        length = 3;
    else if (startsWith(p, "0-0"))
        return at; // castling, read by the move reader
    else {
        // A move number with its dots ("12.", "12...", "12.e4"), or any other
        // token led by digits, which is no move either.
        while (isDigit(p[length])) ++length;
        if (p[length] == '.') {
            while (p[length] == '.') ++length;
        } else {
            while (p[length] != '\0' && p[length] != ' ' && p[length] != '\n' && p[length] != '\r' &&
                   p[length] != '\t')
                ++length;
        }
    }
    for (size_t i = 0; i < length; ++i) s[at + i] = ' ';
    return at + length - 1;
}

} // namespace

bool PgnReader::readLine(std::string& line) {
    line.clear();
    bool readAny = false;
    for (;;) {
        if (begin == end) {
            begin = 0;
            end = std::fread(buffer.data(), 1, buffer.size(), file);
            if (end == 0) break;
        }
        readAny = true;
        const char* start = buffer.data() + begin;
        const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end - begin));
        if (newline) {
            line.append(start, newline);
            begin += static_cast<size_t>(newline - start) + 1;
            break;
        }
        line.append(start, end - begin);
        begin = end;
    }
    if (!readAny) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (firstLine) {
        firstLine = false;
        if (startsWith(line.c_str(), "\xEF\xBB\xBF")) line.erase(0, 3); // UTF-8 byte order mark
    }
    return true;
}

void PgnReader::readTag(const std::string& line, PgnGame& game) const {
    const char* text = line.c_str() + 1;
    long rating = 0;
    if (startsWith(text, "WhiteElo ")) {
        game.whiteRated = readRating(text + 9, rating) && rating > minElo;
    } else if (startsWith(text, "BlackElo ")) {
        game.blackRated = readRating(text + 9, rating) && rating > minElo;
    } else if (startsWith(text, "Result")) {
        const char* value = text + 6;
        if (startsWith(value, " \"1-0"))
            game.result = WHITE_WON;
        else if (startsWith(value, " \"0-1"))
            game.result = BLACK_WON;
        else if (startsWith(value, " \"1/2-1/2"))
            game.result = DRAWN;
        else
            game.result = NO_RESULT;
    }
}

void PgnReader::appendMoveText(PgnGame& game, const std::string& line) {
    if (game.moveTextTooLong) return;
    if (game.moveText.size() + line.size() + 1 > MAX_MOVE_TEXT) {
        game.moveTextTooLong = true;
        std::string().swap(game.moveText);
        return;
    }
    game.moveText.append(line).push_back('\n');
}

bool PgnReader::nextGame(PgnGame& game) {
    // Every game starts without ratings and without a result.
    game.whiteRated = game.blackRated = false;
    game.result = NO_RESULT;
    game.moveTextTooLong = false;
    game.moveText.clear();

    std::string line;
    bool have = hasPending;
    if (hasPending) {
        line.swap(pending);
        hasPending = false;
    } else {
        have = readLine(line);
    }
    // Tag section; the end of the file here ends the run.
    for (;;) {
        if (!have) return false;
        if (line.empty() || line[0] != '[') break;
        readTag(line, game);
        have = readLine(line);
    }
    // Move text, up to the next tag line or the end of the file.
    appendMoveText(game, line);
    while (readLine(line)) {
        if (!line.empty() && line[0] == '[') {
            pending.swap(line);
            hasPending = true;
            break;
        }
        appendMoveText(game, line);
    }
    return true;
}

bool cleanMoveText(std::string& s) {
    int variations = 0;
    bool inComment = false;
    bool lineStart = true;
    auto blankToLineEnd = [&](size_t& i) {
        while (i < s.size() && s[i] != '\n') s[i++] = ' ';
        if (i < s.size()) s[i] = ' ';
        lineStart = true;
    };
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        const bool atLineStart = lineStart;
        lineStart = c == '\n';
        // Comments in braces run to the first closing brace; variations nest.
        if (inComment) {
            if (c == '}') inComment = false;
            s[i] = ' ';
        } else if (c == '{') {
            inComment = true;
            s[i] = ' ';
        } else if (c == ';' || (c == '%' && atLineStart)) {
            blankToLineEnd(i);
        } else if (c == '(') {
            ++variations;
            s[i] = ' ';
        } else if (c == ')' || c == '}') {
            if (c == ')' && variations > 0) --variations;
            s[i] = ' ';
        } else if (variations > 0 || c == '\n' || c == '\r' || c == '\t' || c == '!' || c == '?' ||
                   c == '*') {
            s[i] = ' ';
        } else if (c == '$') {
            s[i] = ' ';
            while (i + 1 < s.size() && isDigit(s[i + 1])) s[++i] = ' ';
        } else if ((isDigit(c) || c == '.') && (i == 0 || s[i - 1] == ' ')) {
            i = blankNumberToken(s, i);
        }
    }
    return !inComment && variations == 0;
}

void splitTokens(std::string& text, std::vector<const char*>& tokens) {
    tokens.clear();
    const size_t size = text.size();
    size_t i = 0;
    while (i < size) {
        while (i < size && text[i] == ' ') ++i;
        if (i == size) break;
        const size_t start = i;
        bool wordLike = false;
        while (i < size && text[i] != ' ') {
            if (std::isalnum(static_cast<unsigned char>(text[i]))) wordLike = true;
            ++i;
        }
        if (i < size) text[i++] = '\0';
        if (wordLike) tokens.push_back(text.c_str() + start);
    }
}
