// Start-up of the tablebases: registration, then the block cache.
#include "egtb/tablebases.h"
#include "board/types.h"

#include <cstdlib>

#include "egtb/registry.h"

namespace {

int menAvailable = 0;
uint8_t* cacheBuffer = nullptr;

} // namespace

namespace {

// Registration and cache; `announce` prints the closing "Success!".
bool registerAndCache(const char* paths, int cacheMB, bool announce) {
    FM_ASSERT(paths != nullptr && cacheMB >= 0);
    using namespace egtb;
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
    if (announce) tablebasePrint("Success!\n");
    return true;
}

} // namespace

bool loadTablebases(const char* paths, int cacheMB, bool xboard) {
    if (!xboard) egtb::tablebasePrint("Loading Nalimov tablebase=>");
    return registerAndCache(paths, cacheMB, true);
}

bool reloadTablebases(const char* paths, int cacheMB) { return registerAndCache(paths, cacheMB, false); }

int tablebaseMenAvailable() { return menAvailable; }

int tablebasesRegistered() {
    using namespace egtb;
    int count = 0;
    for (int n = 1; n < TABLE_COUNT; ++n) {
        bool found = false;
        for (const auto& side : descriptor(n).files)
            for (const auto& extent : side) found = found || !extent.name.empty() || extent.decoder;
        if (found) ++count;
    }
    return count;
}

void setTablebaseOutput(std::function<void(const char*)> output) {
    egtb::tablebaseOutput = std::move(output);
}
