#include "shell/engine.h"

#include <cstring>

Engine::Engine() {
    std::memset(history, 0, sizeof history);
    std::memset(plyStack, 0, sizeof plyStack);
}

// Closes the files that are open: the log, the book and the learning store.
Engine::~Engine() {
    if (logFile) std::fclose(logFile);
    if (bookFile) std::fclose(bookFile);
    if (learnFile) std::fclose(learnFile);
}

void Engine::print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
    if (useLog && logFile) {
        va_start(args, format);
        std::vfprintf(logFile, format, args);
        va_end(args);
        std::fflush(logFile);
    }
}
