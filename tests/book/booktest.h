// Helpers of the book and learning tests: a scratch directory, files written
// and read byte for byte, and engines with a book or a learning store.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "book/book.h"
#include "testutil.h"

// A fresh directory under the system's temporary directory, removed with its
// contents when the object goes.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string path(const std::string& name) const { return root + "/" + name; }

  private:
    std::string root;
};

void writeText(const std::string& path, const std::string& text);
std::string readBytes(const std::string& path);
bool fileExists(const std::string& path);

// A book file written directly from records, in the given order.
void writeBookRecords(const std::string& path, const std::vector<BookRecord>& white,
                      const std::vector<BookRecord>& black);
// Both sections of a book file as stored.
struct BookContents {
    std::vector<BookRecord> white;
    std::vector<BookRecord> black;
    bool complete = false; // the file holds the header and every record it counts
};
BookContents readBookContents(const std::string& path);

// An engine at the initial position, tables built, with its book path set.
std::unique_ptr<Engine> bookEngine(const std::string& bookPath);
// The key of the position reached by playing SAN moves from the initial position.
uint64_t keyAfter(const std::vector<std::string>& sanMoves);
// Plays SAN moves as game moves; false when one of them cannot be read.
bool playMoves(Engine& engine, const std::vector<std::string>& sanMoves);
// Places the legal moves of the position in the root move list, as the search does.
void fillRootMoves(Engine& engine);
// Standard output produced while `action` runs.
template <typename Action> std::string captureOutput(Action action) {
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
}
