#include "shell/platform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <unistd.h>

void ignoreInterruptSignal() { std::signal(SIGINT, SIG_IGN); }

void ignoreBrokenPipeSignal() { std::signal(SIGPIPE, SIG_IGN); }

bool standardOutputFailed() { return std::ferror(stdout) != 0; }

void endForClosedOutput() { std::_Exit(0); }

int64_t physicalMemoryMB() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    return static_cast<int64_t>(pages) / 1024 * pageSize / 1024;
}

void LineInput::reset(int fd) {
    fd_ = fd;
    buffer_.clear();
    ended_ = false;
    overlong_ = false;
}

bool LineInput::isTerminal() const { return isatty(fd_) == 1; }

bool LineInput::fill() {
    char chunk[4096];
    for (;;) {
        const ssize_t n = read(fd_, chunk, sizeof chunk);
        if (n > 0) {
            buffer_.append(chunk, static_cast<size_t>(n));
            return true;
        }
        if (n < 0 && errno == EINTR) continue;
        ended_ = true; // end of input, or an error that ends it
        return false;
    }
}

// Hands out the first whole line of the buffer. A line that grows past
// MAX_LINE is handed out cut, and its remainder is skipped up to its line feed.
bool LineInput::takeLine(std::string& line) {
    for (;;) {
        const size_t end = buffer_.find('\n');
        if (overlong_) {
            if (end == std::string::npos) {
                buffer_.clear();
                return false;
            }
            buffer_.erase(0, end + 1);
            overlong_ = false;
            continue;
        }
        if (end != std::string::npos && end < MAX_LINE) {
            line.assign(buffer_, 0, end + 1);
            buffer_.erase(0, end + 1);
            return true;
        }
        if (buffer_.size() >= MAX_LINE) {
            line.assign(buffer_, 0, MAX_LINE);
            line.push_back('\n');
            buffer_.erase(0, MAX_LINE);
            overlong_ = true;
            return true;
        }
        if (ended_ && !buffer_.empty()) {
            line.swap(buffer_);
            buffer_.clear();
            return true;
        }
        return false;
    }
}

bool LineInput::waiting() {
    if (ended_) return true;
    if (buffer_.find('\n') != std::string::npos || buffer_.size() >= MAX_LINE) return true;
    pollfd p{fd_, POLLIN, 0};
    while (poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))) {
        if (p.revents & POLLNVAL) {
            ended_ = true;
            return true;
        }
        // Readable: this read returns at once (data, or 0 at the end of input).
        if (!fill()) return true;
        if (buffer_.find('\n') != std::string::npos || buffer_.size() >= MAX_LINE) return true;
        p.revents = 0;
    }
    return false;
}

bool LineInput::readLine(std::string& line) {
    for (;;) {
        if (takeLine(line)) return true;
        if (ended_) return false;
        fill();
    }
}

void StandardOutput::write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}
