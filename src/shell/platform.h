// The platform layer of the front ends: signals and non-blocking line input.
// Nothing else in the program includes system headers for these (the clocks
// sit with the search, in search/clock.h).
#pragma once

#include <cstdint>
#include <string>

#include "board/output.h"
#include "search/clock.h"

// From now on the interrupt signal (SIGINT) is ignored: xboard sends it when
// the opponent moves, and the engine does not need it.
void ignoreInterruptSignal();

// From now on a write to a closed pipe fails with an error instead of ending
// the program by signal (SIGPIPE is ignored): the engine notices the error and
// ends by itself.
void ignoreBrokenPipeSignal();

// Standard output, flushed after every message, and never copied to the log
// (tools, tests, and lines that only the terminal shows, such as a running count).
class StandardOutput : public Output {
  public:
    void write(const std::string& text) override;
};

// True once writing to standard output has failed (the reader went away).
bool standardOutputFailed();

// Ends the program at once with status 0: nobody reads its output any more.
// Every file it writes is flushed after each write, so nothing is lost.
[[noreturn]] void endForClosedOutput();

// The machine's physical memory in megabytes (0 when the system does not say).
int64_t physicalMemoryMB();

// Lines from a file descriptor (standard input by default), read with read(2)
// into an own buffer. The main loop and the search-time poll both take their
// lines from here, so that no line is lost or delayed however the bytes arrive:
// a terminal or a pipe, several lines in one read, or a line in pieces.
class LineInput {
  public:
    // Lines longer than this are cut; the rest of such a line is dropped.
    static constexpr size_t MAX_LINE = 65536;

    explicit LineInput(int fd = 0) : fd_(fd) {}

    // Reads from another descriptor from now on (tests); buffered text is dropped.
    void reset(int fd);

    // Never blocks. True when a whole line is buffered, or when the input has
    // ended (so that the next read reports the end).
    bool waiting();

    // Blocks for the next line. Returns true with the line, ended by its line
    // feed when it had one (only the last line of the input may lack it);
    // false at the end of the input.
    bool readLine(std::string& line);

    // True when the input has ended and nothing of it is left to read.
    bool atEnd() const { return ended_ && buffer_.empty(); }

    // True when the descriptor is a terminal.
    bool isTerminal() const;

  private:
    int fd_;
    std::string buffer_;
    bool ended_ = false;
    bool overlong_ = false; // dropping the rest of a line that was cut

    // One read(2) into the buffer; false when the input has ended.
    bool fill();
    bool takeLine(std::string& line);
};
