// The engine's input as the front ends take it: lines from standard input
// (copied to the log while one is kept), lines held back during a search to
// run after it, in the order they came, and the pongs that must follow the
// engine's move.
#pragma once

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "shell/platform.h"

class InputQueue {
  public:
    // Lines come from file descriptor `fd` from now on (tests hand in a pipe).
    void readFrom(int fd) { lines.reset(fd); }
    // Every line read is copied to `log` ("xboard>: LINE") while it is set.
    void copyTo(FILE* log) { logCopy = log; }

    // True when a line (or the end of the input) is waiting; never blocks.
    bool waiting() { return lines.waiting(); }
    bool atEnd() const { return lines.atEnd(); }
    // The next input line with its line feed; false at the end of the input.
    bool read(std::string& line);
    // The next line to run: a held-back line first, else the next input line.
    bool next(std::string& line);

    // A line read during a search that must run after it.
    void holdBack(const std::string& line) { heldBack.push_back(line); }
    bool holdingBack() const { return !heldBack.empty(); }
    // The oldest held-back line; false when none waits.
    bool takeHeldBack(std::string& line);

    // A pong that must wait for the engine's move.
    void deferPong(const std::string& pong) { pongs.push_back(pong); }
    // The pongs deferred so far, in order; the queue forgets them.
    std::vector<std::string> takeDeferredPongs();

    // The commands of the program's arguments are running: the end of the
    // input stops no search then (no front end has gone away).
    bool runningArguments = false;

  private:
    LineInput lines;
    FILE* logCopy = nullptr;
    std::deque<std::string> heldBack;
    std::vector<std::string> pongs;
};
