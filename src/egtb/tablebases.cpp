// Start-up of the tablebases: registration, then the block cache.
#include "egtb/tablebases.h"
#include "board/types.h"

#include <cstdlib>

#include "egtb/registry.h"

namespace {

int menAvailable = 0;
uint8_t* cacheBuffer = nullptr;

} // namespace

bool loadTablebases(const char* paths, int cacheMB, bool xboard) {
    FM_ASSERT(paths != nullptr && cacheMB >= 0);
    using namespace egtb;
    if (!xboard) tablebasePrint("Loading Nalimov tablebase=>");
    menAvailable = initTablebases(paths);
    setUpCache(nullptr, 0);
    std::free(cacheBuffer);
    cacheBuffer = nullptr;
    if (highestRegisteredTable() > 0) {
        const long long bytes = static_cast<long long>(cacheMB) * 1024 * 1024;
        if (bytes >= CACHE_HEADER_BYTES)
            cacheBuffer = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(bytes)));
        if (!cacheBuffer || !setUpCache(cacheBuffer, static_cast<size_t>(bytes))) {
            tablebasePrint("Failure![Increase EGTB cache]\n");
            menAvailable = 0;
            return false;
        }
    }
    tablebasePrint("Success!\n");
    return true;
}

int tablebaseMenAvailable() { return menAvailable; }

void setTablebaseOutput(std::function<void(const char*)> output) {
    egtb::tablebaseOutput = std::move(output);
}
