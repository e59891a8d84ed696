// Reading games from PGN files for the book builder: the tag section gives the
// two ratings and the result, the move text is cleaned down to the moves.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "board/position.h"

// Longest move text of one game that the builder holds; longer games are skipped.
constexpr size_t MAX_MOVE_TEXT = size_t{4} << 20;

struct PgnGame {
    bool whiteRated = false; // a WhiteElo tag above the rating threshold
    bool blackRated = false;
    int result = NO_RESULT; // from this game's Result tag only
    bool moveTextTooLong = false;
    std::string moveText; // the lines of the move text, each ended by '\n'
};

// Splits a PGN file into games. A game is its tag lines (lines starting with
// "[") followed by its move text (every line up to the next tag line). Lines
// may be of any length and end in LF or CR LF.
class PgnReader {
  public:
    PgnReader(FILE* source, int ratingThreshold) : file(source), minElo(ratingThreshold), buffer(1 << 16) {}

    // Reads the next game; false once the file ends where tags are expected.
    bool nextGame(PgnGame& game);
    // True when the file could not be read (as opposed to ending).
    bool readError() const { return std::ferror(file) != 0; }

  private:
    FILE* file;
    int minElo;
    std::vector<char> buffer;
    size_t begin = 0;
    size_t end = 0;
    bool firstLine = true;
    // The tag line that ended the previous game's move text opens the next game.
    std::string pending;
    bool hasPending = false;

    bool readLine(std::string& line);
    void readTag(const std::string& line, PgnGame& game) const;
    static void appendMoveText(PgnGame& game, const std::string& line);
};

// Cleans move text in place: comments ({...}, ; to the end of the line, lines
// starting with %), variations (nested (...)), move numbers (12. and 12...),
// results, annotations (!, ?, $n) and the * token become spaces, as do line
// ends. Castling written with zeros stays. Returns false when the text ends
// inside a comment or a variation.
bool cleanMoveText(std::string& text);

// Splits cleaned text at spaces, ending each token in place with a NUL. Tokens
// without any letter or digit (such as a lone "+-") are not moves and are dropped.
void splitTokens(std::string& text, std::vector<const char*>& tokens);
