// Shared by the libFuzzer drivers: a private scratch directory as the working
// directory (files the engine writes land there and are removed with it),
// standard output sent to /dev/null unless FUZZ_VERBOSE is set, and helpers
// that hand fuzzed bytes to the engine as a file or as its input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace fuzzsupport {

inline std::string& scratchDirectory() {
    static std::string dir;
    return dir;
}

inline void removeScratch() {
    std::error_code ignored;
    if (!scratchDirectory().empty()) std::filesystem::remove_all(scratchDirectory(), ignored);
}

// Once per process, before anything else.
inline void enterScratchDirectory() {
    char pattern[] = "/tmp/falkmere-fuzz-XXXXXX";
    const char* dir = mkdtemp(pattern);
    if (!dir || chdir(dir) != 0) std::abort();
    scratchDirectory() = dir;
    std::atexit(removeScratch);
    if (std::getenv("FUZZ_VERBOSE")) {
        std::setvbuf(stdout, nullptr, _IONBF, 0); // as the program has it: nothing is lost at exit
    } else {
        const int devnull = open("/dev/null", O_WRONLY);
        if (devnull < 0 || dup2(devnull, 1) < 0) std::abort();
        close(devnull);
    }
}

// Writes the bytes to `name` in the scratch directory (replacing it).
inline void writeFile(const char* name, const uint8_t* data, size_t size) {
    FILE* file = std::fopen(name, "wb");
    if (!file) std::abort();
    if (size && std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
}

// A descriptor that reads the bytes and then reports the end of input, like a
// pipe whose writer has finished, without a pipe's capacity limit.
inline int inputDescriptor(const std::string& text) {
    const int fd = memfd_create("fuzz-input", 0);
    if (fd < 0) std::abort();
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) std::abort();
        done += static_cast<size_t>(n);
    }
    if (lseek(fd, 0, SEEK_SET) != 0) std::abort();
    return fd;
}

// The fuzzed bytes as text; NUL bytes, which no line-reading front end passes
// on, become spaces.
inline std::string textWithoutNul(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    for (char& c : text)
        if (c == '\0') c = ' ';
    return text;
}

// The lines of `text` that `keep(line, isFirstKept)` accepts, joined; `keep`
// may rewrite the line it is given. A final line without a line feed stays so.
template <typename Keep> std::string keptLines(const std::string& text, Keep keep) {
    std::string out;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const size_t next = end == std::string::npos ? text.size() : end + 1;
        std::string line = text.substr(start, next - start);
        start = next;
        if (keep(line, out.empty())) out += line;
    }
    return out;
}

} // namespace fuzzsupport
