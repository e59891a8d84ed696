#include "shell/engine.h"

Engine::Engine() : search(position, hashTable, *this) {}

// The book and the learning store close their own files.
Engine::~Engine() {
    if (logFile) std::fclose(logFile);
}

void Engine::write(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    if (settings.useLog && logFile) {
        std::fwrite(text.data(), 1, text.size(), logFile);
        std::fflush(logFile);
    }
    // The GUI or the pipe's reader has gone: nothing the engine does can be seen.
    if (standardOutputFailed()) endForClosedOutput();
}
