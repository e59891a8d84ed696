#include "shell/inputqueue.h"

#include <utility>

bool InputQueue::read(std::string& line) {
    if (!lines.readLine(line)) return false;
    if (logCopy) {
        std::fprintf(logCopy, "xboard>: %s", line.c_str());
        std::fflush(logCopy);
    }
    return true;
}

bool InputQueue::next(std::string& line) { return takeHeldBack(line) || read(line); }

bool InputQueue::takeHeldBack(std::string& line) {
    if (heldBack.empty()) return false;
    line = std::move(heldBack.front());
    heldBack.pop_front();
    return true;
}

std::vector<std::string> InputQueue::takeDeferredPongs() { return std::exchange(pongs, {}); }
