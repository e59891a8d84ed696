// falkmere-tbgen: builds distance-to-mate tablebase files in Falkmere's entry
// order. Usage:
//   falkmere-tbgen [-o DIR] [-c | -C] all | TABLE...
// "all" builds every three- and four-man table; a five-man table may be named
// on its own (it needs a few gigabytes of memory). -c also writes compressed
// ".emd" files, -C writes only those. Tables already in DIR are read, not rebuilt.
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "egtb/generator.h"
#include "egtb/registry.h"

int main(int argc, char** argv) {
    using namespace egtb;
    std::string directory = ".";
    bool compress = false, keepPlain = true;
    std::vector<int> tables;
    initDescriptors();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-o" && i + 1 < argc) {
            directory = argv[++i];
        } else if (arg == "-c") {
            compress = true;
        } else if (arg == "-C") {
            compress = true;
            keepPlain = false;
        } else if (arg == "all") {
            for (int n = 1; n <= 35; ++n) tables.push_back(n);
        } else if (tableNumber(arg.c_str()) > 0) {
            tables.push_back(tableNumber(arg.c_str()));
        } else {
            std::fprintf(stderr, "unknown table or option: %s\n", arg.c_str());
            std::fprintf(stderr, "usage: falkmere-tbgen [-o DIR] [-c | -C] all | TABLE...\n");
            return 2;
        }
    }
    if (tables.empty()) {
        std::fprintf(stderr, "usage: falkmere-tbgen [-o DIR] [-c | -C] all | TABLE...\n");
        return 2;
    }
    TableStore store(directory, true, compress, keepPlain);
    store.log = [](const std::string& line) {
        struct rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%s, process peak %.0f MB\n", line.c_str(),
                    static_cast<double>(usage.ru_maxrss) / 1024.0);
        std::fflush(stdout);
    };
    for (int n : tables) {
        std::string error;
        if (!store.get(n, &error)) {
            std::fprintf(stderr, "%s: %s\n", descriptor(n).name, error.c_str());
            return 1;
        }
    }
    return 0;
}
