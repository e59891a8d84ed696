// libFuzzer target: random and mutated compressed table files go through the
// index reader and the block decoder. Nothing may crash or touch memory
// outside its buffers, and every failure must be one of the reader's codes.
// Half of the inputs get their index check value repaired first, so that
// mutations reach the code-length reader and the block decoder.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "egtb/emd.h"

using namespace egtb;

static bool knownOpenCode(int code) {
    return code == EMD_OK || code == EMD_READ_ERROR || code == EMD_OUT_OF_MEMORY || code == EMD_FILE_BROKEN;
}

static bool knownBlockCode(int code) {
    return code == EMD_OK || code == EMD_BAD_BLOCK_NUMBER || code == EMD_SEEK_FAILED ||
           code == EMD_SHORT_READ || code == EMD_MALFORMED;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const bool repair = data[0] & 1;
    std::vector<uint8_t> file(data + 1, data + size);
    if (file.size() >= 64) std::memcpy(file.data(), EMD_SIGNATURE, 64); // keep most inputs past the signature
    if (repair && file.size() >= 84) {
        const uint32_t indexSize =
            uint32_t{file[64]} << 24 | uint32_t{file[65]} << 16 | uint32_t{file[66]} << 8 | file[67];
        if (indexSize >= 84 && indexSize <= file.size()) {
            const uint32_t check = emdCheckValue(file.data(), indexSize - 4);
            for (int i = 0; i < 4; ++i) file[indexSize - 4 + i] = static_cast<uint8_t>(check >> (24 - 8 * i));
        }
    }
    MemorySource source(file.data(), file.size());
    std::unique_ptr<EmdDecoder> decoder;
    const int code = emdOpen(source, decoder);
    if (!knownOpenCode(code)) std::abort();
    if (code != EMD_OK) return 0;
    if (decoder->blockSize > 65536) std::abort();
    std::unique_ptr<DecodeBlock> work;
    if (emdCreateDecodeBlock(decoder->blockSize, work) != EMD_OK) std::abort();
    // Exactly the block size: any write past it is caught by the address sanitizer.
    std::vector<uint8_t> output(decoder->blockSize);
    const uint32_t blocks = decoder->blocks < 64 ? decoder->blocks + 1 : 64;
    for (uint32_t b = 0; b < blocks; ++b) {
        const int status = emdDecompress(*decoder, source, b, output.data(), *work);
        if (!knownBlockCode(status)) std::abort();
    }
    return 0;
}
