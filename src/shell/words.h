// Reading command lines: words and the numbers in them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The words of a line of a file (configuration, positions): separated by
// blanks only, so that a tab is part of a word.
std::vector<std::string> blankSeparated(const std::string& line);

// One whole line of a text file without its line end (a line feed, and a
// carriage return before it in files written on Windows); false at the end.
bool readTextLine(FILE* file, std::string& line);

// The words of a line, separated by white space (blanks, tabs, line ends).
std::vector<std::string> splitWords(const char* line);
// The text up to the first white space; empty when the line holds no word.
std::string firstWord(const char* line);

// A signed decimal integer at the start of the word (optional sign, then
// digits; what follows the digits is ignored, as formatted input does).
// False when the word does not begin with a number or the number does not fit
// in 32 bits.
bool readInteger(const std::string& word, int32_t& value);
// The same for 64-bit numbers (node counts).
bool readInteger64(const std::string& word, int64_t& value);

// A base time of the xboard "level" command: minutes ("5") or minutes and
// seconds ("0:05"), in milliseconds. False when malformed or out of range.
bool readClockTime(const std::string& word, int32_t& ms);

// Seconds, possibly with a fraction ("2", "0.1"), in whole milliseconds
// (further digits are dropped). False when malformed or out of range.
bool readSeconds(const std::string& word, int32_t& ms);
