// Reads device-independent bitmaps (bitmap files and packed DIBs) from bytes into 32-bit pixels,
// never reading past the bytes given. Free of Qt so that the fuzz build can take it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

struct DibPixels {
    int width = 0;
    int height = 0;
    // Rows top-down, 0x00RRGGBB per pixel.
    std::vector<uint32_t> pixels;
    // The colour table as COLORREF values (0x00BBGGRR); empty without one.
    std::vector<uint32_t> colorTable;
};

// The colour table of a packed DIB (info header, table, pixels): biClrUsed entries, or
// 2^bits for 8 bits or fewer. Empty without a table; nullopt when the bytes are not a DIB or
// the table is cut short.
std::optional<std::vector<uint32_t>> ReadDibColorTable(const uint8_t* data, size_t size);
// The pixels of a packed DIB. `table` (when given) replaces the DIB's colour table for the
// indexed depths. Uncompressed 1, 4, 8, 16, 24 and 32 bits and bit fields; nullopt otherwise
// or when cut short.
std::optional<DibPixels> ReadPackedDib(const uint8_t* data, size_t size,
                                       const std::vector<uint32_t>* table = nullptr);
// A bitmap file image: the 14-byte "BM" header, then a packed DIB whose pixels start at the
// header's offset.
std::optional<DibPixels> ReadBitmapFile(const uint8_t* data, size_t size);
