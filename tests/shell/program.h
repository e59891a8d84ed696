// Runs the engine program through pipes in a temporary directory, for
// byte-exact transcripts of what it prints.
#pragma once

// GCC reports false "maybe uninitialized" warnings inside <regex> in optimised
// sanitizer builds; the tests that read the program's output match it with <regex>.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>
#include <string>
#include <vector>

// A fresh directory under the system's temporary folder, removed with its files.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::string path(const std::string& name) const { return file(name); }
    void write(const std::string& name, const std::string& text) const;
    std::string read(const std::string& name) const;
    bool exists(const std::string& name) const;

  private:
    std::string path_;
};

// The engine program running in `dir` with `args`, its standard input and
// output on pipes (standard error is discarded).
class Program {
  public:
    Program(const std::string& dir, const std::vector<std::string>& args = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    void send(const std::string& text);
    void closeInput();
    // Closes the read end of the program's output, as a GUI that went away does.
    void closeOutput();
    // Waits for the program to end without touching its input; the exit status,
    // or -1 when it had to be killed after `timeoutMs`.
    int waitExit(int timeoutMs);
    // Reads output until `text` has appeared after position `from`, or the
    // time runs out (a guard against hangs only); true when it appeared.
    bool waitFor(const std::string& text, size_t from = 0, int timeoutMs = 60000);
    // Closes the input, reads everything up to the end of the output and
    // returns the exit status (-1 when the program had to be killed).
    int finish(int timeoutMs = 60000);
    const std::string& output() const { return output_; }
    int pid() const { return pid_; }

  private:
    int pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    std::string output_;
    bool readSome(int timeoutMs);
};

// Runs the program once with all of `input` and returns what it printed.
std::string runProgram(const std::string& dir, const std::string& input,
                       const std::vector<std::string>& args = {}, int* status = nullptr);

// What the program prints at start-up before its first prompt, split off:
// `startup` receives everything up to the empty line that ends it, the result
// is the rest. The size lines of the pawn and evaluation caches (printed by
// those tables) are left out of `startup`.
std::string afterStartup(const std::string& output, std::string* startup = nullptr);
