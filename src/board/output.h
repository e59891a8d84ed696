// Where the messages of the engine's parts go. The shell's print routine writes
// to standard output and copies to the log; tools and tests may collect or
// drop the text instead.
#pragma once

#include <cstdarg>
#include <string>

class Output {
  public:
    virtual ~Output() = default;
    // Formats like printf and hands the text to write().
    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void printArgs(const char* format, va_list args);
    virtual void write(const std::string& text) = 0;
};

// Drops every message.
class SilentOutput : public Output {
  public:
    void write(const std::string&) override {}
};

// Keeps every message (tools and tests).
class CollectedOutput : public Output {
  public:
    std::string text;
    void write(const std::string& more) override { text += more; }
};
