// Fuzz target: the GIF block walk of the picture control over arbitrary bytes; every frame it
// cuts out must itself walk back to one whole frame with the same place and timing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "flexui/GifDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const GifFile file = ReadGif(data, size);
    for (const GifFrame& frame : file.frames) {
        if (frame.gif.empty() || frame.gif.back() != ';') std::abort();
        const GifFile again = ReadGif(frame.gif.data(), frame.gif.size());
        if (again.frames.size() != 1) std::abort();
        const GifFrame& one = again.frames.front();
        if (one.left != frame.left || one.top != frame.top || one.width != frame.width ||
            one.height != frame.height || one.delay != frame.delay ||
            one.disposal != frame.disposal || one.gif != frame.gif)
            std::abort();
    }
    return 0;
}
