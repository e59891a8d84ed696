#include "board/output.h"

#include <cstdio>

void Output::print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    printArgs(format, args);
    va_end(args);
}

void Output::printArgs(const char* format, va_list args) {
    char buffer[1024];
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, copy);
    va_end(copy);
    if (length < 0) return;
    if (static_cast<size_t>(length) < sizeof buffer) {
        write(std::string(buffer, static_cast<size_t>(length)));
        return;
    }
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.pop_back();
    write(text);
}
