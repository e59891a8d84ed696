// The entry point: one engine for the whole run.
#include <memory>

#include "shell/engine.h"

int main(int argc, char** argv) {
    auto engine = std::make_unique<Engine>();
    engine->run(argc, argv);
    engine.reset();
    return 0;
}
