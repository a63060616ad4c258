// Walks the blocks of a GIF in memory and cuts it into frames, each a stand-alone GIF of its
// own, never reading past the bytes given. Free of Qt so that the fuzz build can take it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct GifFrame {
    int delay = 0;     // hundredths of a second (graphic control extension; 0 without one)
    int disposal = 0;  // (flags >> 2) & 7 of the graphic control extension
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    // The 13-byte header, the global colour table, the frame's blocks and the trailer ";".
    std::vector<uint8_t> gif;
};

struct GifFile {
    int width = 0;  // logical screen
    int height = 0;
    size_t globalTableSize = 0;  // bytes: 3 x 2^(n+1) when the table is there
    // The global table's entry at the background index as a COLORREF; 0 without a table or
    // when the index lies outside it.
    uint32_t background = 0;
    // Frames whose image lies wholly inside the bytes, in order.
    std::vector<GifFrame> frames;
};

// Whether the bytes start with "GIF89a" or "GIF87a".
bool IsGifData(const uint8_t* data, size_t size);
// The GIF's frames; none when the bytes are not a GIF or hold no complete image. A block that
// would pass the end, an unknown block or the trailer ends the walk.
GifFile ReadGif(const uint8_t* data, size_t size);
