// Fuzz target: bitmap-file and packed-DIB reading over arbitrary bytes; pixels always fill the
// size they claim.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "flexui/DibDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (auto pixels : {ReadBitmapFile(data, size), ReadPackedDib(data, size)}) {
        if (pixels && pixels->pixels.size() !=
                          static_cast<size_t>(pixels->width) * static_cast<size_t>(pixels->height))
            std::abort();
    }
    if (auto table = ReadDibColorTable(data, size); table && table->size() > 256) std::abort();
    return 0;
}
