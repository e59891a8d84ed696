#include "program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <dirent.h>

namespace {

void removeTree(const std::string& path) {
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d)) {
            if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
            const std::string child = path + "/" + e->d_name;
            struct stat st;
            if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                removeTree(child);
            else
                unlink(child.c_str());
        }
        closedir(d);
    }
    rmdir(path.c_str());
}

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/falkmere-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed");
    path_ = buffer.data();
}

TempDir::~TempDir() { removeTree(path_); }

void TempDir::write(const std::string& name, const std::string& text) const {
    std::ofstream out(file(name), std::ios::binary);
    out << text;
}

std::string TempDir::read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool TempDir::exists(const std::string& name) const {
    struct stat st;
    return stat(file(name).c_str(), &st) == 0;
}

Program::Program(const std::string& dir, const std::vector<std::string>& args) {
    signal(SIGPIPE, SIG_IGN); // the program may end before it has read all input
    int toChild[2], fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        dup2(toChild[0], 0);
        dup2(fromChild[1], 1);
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0) dup2(devNull, 2);
        for (const int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) close(fd);
        if (chdir(dir.c_str()) != 0) _exit(126);
        // FALKMERE_TEST_BINARY runs the tests against another build (an older
        // one, to see a regression test fail there).
        const char* binary = std::getenv("FALKMERE_TEST_BINARY");
        if (!binary || !*binary) binary = FALKMERE_BINARY;
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(binary));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(binary, argv.data());
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    in_ = toChild[1];
    out_ = fromChild[0];
}

Program::~Program() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (in_ >= 0) close(in_);
    if (out_ >= 0) close(out_);
}

void Program::send(const std::string& text) {
    size_t done = 0;
    while (done < text.size() && in_ >= 0) {
        // Keep reading while writing, so that a full output pipe cannot block both sides.
        pollfd fds[2] = {{in_, POLLOUT, 0}, {out_, POLLIN, 0}};
        if (poll(fds, out_ >= 0 ? 2 : 1, 1000) < 0 && errno != EINTR) break;
        if (out_ >= 0 && (fds[1].revents & (POLLIN | POLLHUP))) readSome(0);
        if (fds[0].revents & (POLLERR | POLLHUP)) break;
        if (fds[0].revents & POLLOUT) {
            const ssize_t n = write(in_, text.data() + done, text.size() - done);
            if (n < 0 && errno != EINTR && errno != EAGAIN) break;
            if (n > 0) done += static_cast<size_t>(n);
        }
    }
}

void Program::closeInput() {
    if (in_ >= 0) close(in_);
    in_ = -1;
}

// Waits up to timeoutMs for output; false at the end of the output.
bool Program::readSome(int timeoutMs) {
    if (out_ < 0) return false;
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return true;
    char buffer[4096];
    const ssize_t n = read(out_, buffer, sizeof buffer);
    if (n <= 0) {
        if (n < 0 && errno == EINTR) return true;
        close(out_);
        out_ = -1;
        return false;
    }
    output_.append(buffer, static_cast<size_t>(n));
    return true;
}

bool Program::waitFor(const std::string& text, size_t from, int timeoutMs) {
    const int64_t deadline = nowMs() + timeoutMs;
    while (output_.find(text, from) == std::string::npos) {
        const int64_t left = deadline - nowMs();
        if (left <= 0 || !readSome(static_cast<int>(left < 100 ? left : 100))) break;
    }
    return output_.find(text, from) != std::string::npos;
}

void Program::closeOutput() {
    if (out_ >= 0) close(out_);
    out_ = -1;
}

int Program::finish(int timeoutMs) {
    closeInput();
    const int64_t deadline = nowMs() + timeoutMs;
    while (out_ >= 0 && nowMs() < deadline) readSome(100);
    return waitExit(static_cast<int>(std::max<int64_t>(deadline - nowMs(), 0)));
}

int Program::waitExit(int timeoutMs) {
    const int64_t deadline = nowMs() + timeoutMs;
    int status = 0;
    for (;;) {
        const pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) break;
        if (nowMs() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            pid_ = -1;
            return -1;
        }
        usleep(10000);
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string runProgram(const std::string& dir, const std::string& input, const std::vector<std::string>& args,
                       int* status) {
    Program p(dir, args);
    p.send(input);
    const int s = p.finish();
    if (status) *status = s;
    return p.output();
}

std::string afterStartup(const std::string& output, std::string* startup) {
    const size_t hashLine = output.find("main cache ");
    if (hashLine == std::string::npos) return output;
    const size_t hashEnd = output.find('\n', hashLine) + 1;
    const size_t blank = output.find("\n\n", hashEnd - 1);
    if (blank == std::string::npos) return output;
    if (startup) *startup = output.substr(0, hashEnd) + "\n";
    return output.substr(blank + 2);
}
