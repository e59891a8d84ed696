// Provisional until the opening book lands: no book.
#include "book/book.h"
#include "shell/engine.h"

int Engine::loadBook(const char*) { return 0; }
Move Engine::bookMove() { return NO_MOVE; }
void Engine::listBook() {}
void Engine::createBook(const char*, int, int) {}
void Engine::mergeBook(const char*, const char*) {}
int Engine::openLearnFile() { return 0; }
void Engine::loadLearned() {}
void Engine::learnPosition() {}
void Engine::learnFromResult(int) {}
