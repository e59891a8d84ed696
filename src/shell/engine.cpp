#include "shell/engine.h"

#include <cstring>

Engine::Engine() {
    std::memset(history, 0, sizeof history);
    std::memset(plyStack, 0, sizeof plyStack);
}

Engine::~Engine() {
    if (useLog && logFile) std::fclose(logFile);
    if (useBook && bookFile) std::fclose(bookFile);
    if (useLearn && learnFile) std::fclose(learnFile);
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
