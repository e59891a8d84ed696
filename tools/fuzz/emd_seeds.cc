// Writes a few valid compressed files as the fuzzer's starting corpus.
#include <cstdio>
#include <string>
#include <vector>

#include "egtb/emd.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::vector<std::vector<uint8_t>> inputs;
    inputs.push_back(std::vector<uint8_t>(9000, 0));
    std::vector<uint8_t> periodic(20000);
    for (size_t i = 0; i < periodic.size(); ++i) periodic[i] = static_cast<uint8_t>((i % 61) ^ (i / 300));
    inputs.push_back(periodic);
    std::vector<uint8_t> mixed(3000);
    unsigned x = 1;
    for (auto& b : mixed) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24 & 0x1F);
    inputs.push_back(mixed);
    for (size_t i = 0; i < inputs.size(); ++i) {
        const auto file = egtb::emdCompress(inputs[i].data(), inputs[i].size());
        for (int repair = 0; repair < 2; ++repair) {
            const std::string path =
                std::string(argv[1]) + "/seed" + std::to_string(i) + "_" + std::to_string(repair);
            FILE* f = std::fopen(path.c_str(), "wb");
            if (!f) return 1;
            std::fputc(repair, f);
            std::fwrite(file.data(), 1, file.size(), f);
            std::fclose(f);
        }
    }
    return 0;
}
