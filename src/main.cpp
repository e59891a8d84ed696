// The entry point: the program's own options, then one engine for the whole run.
#include <cstdio>
#include <memory>

#include "shell/commandline.h"
#include "shell/engine.h"

int main(int argc, char** argv) {
    if (const auto status = handleOptions(argc, argv, stdout, stderr)) return *status;
    auto engine = std::make_unique<Engine>();
    engine->run(argc, argv);
    engine.reset();
    return 0;
}
