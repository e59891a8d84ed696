// libFuzzer target: test-suite files, as runepd and runeval read them: any
// lines, with FEN fields, candidate moves in either notation and opcodes.
// Each position is searched for a few hundred nodes.
#include <cstdint>

#include "engine_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzsupport::enterScratchDirectory();
    fuzzsupport::startEngine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::writeFile("suite.epd", data, size);
    const int fd = fuzzsupport::inputDescriptor("");
    Engine& engine = fuzzsupport::resetEngine(fd);
    engine.runEval("suite.epd");
    engine.runEpd("suite.epd");
    close(fd);
    return 0;
}
