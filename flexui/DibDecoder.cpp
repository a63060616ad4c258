// Bitmap and packed-DIB reading with every offset checked against the bytes given.
#include "flexui/DibDecoder.h"

#include <limits>

namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
// Beyond this a bitmap is not an image the controls draw but a hostile size.
constexpr int64_t kMaxPixels = 64LL * 1024 * 1024;

uint32_t U16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

struct DibHeader {
    uint32_t headerSize = 0;
    int32_t width = 0;
    int32_t height = 0;  // negative: rows top-down
    uint32_t bits = 0;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    uint32_t masks[3] = {0, 0, 0};
    size_t tableOffset = 0;  // from the start of the DIB
    size_t tableEntries = 0;
};

std::optional<DibHeader> ReadHeader(const uint8_t* data, size_t size) {
    if (!data || size < kInfoHeaderSize) return std::nullopt;
    DibHeader h;
    h.headerSize = U32(data);
    if (h.headerSize < kInfoHeaderSize || h.headerSize > size) return std::nullopt;
    h.width = static_cast<int32_t>(U32(data + 4));
    h.height = static_cast<int32_t>(U32(data + 8));
    if (U16(data + 12) != 1) return std::nullopt;  // planes
    h.bits = U16(data + 14);
    h.compression = U32(data + 16);
    h.colorsUsed = U32(data + 32);
    h.tableOffset = h.headerSize;
    if (h.compression == kBiBitfields) {
        if (h.bits != 16 && h.bits != 32) return std::nullopt;
        // The masks follow a plain info header; larger headers hold them inside.
        if (h.headerSize == kInfoHeaderSize) {
            if (size < kInfoHeaderSize + 12) return std::nullopt;
            h.tableOffset += 12;
        } else if (h.headerSize < kInfoHeaderSize + 12) {
            return std::nullopt;
        }
        for (int i = 0; i < 3; ++i) h.masks[i] = U32(data + kInfoHeaderSize + 4 * i);
    } else if (h.compression != kBiRgb) {
        return std::nullopt;
    }
    if (h.bits <= 8) {
        if (h.bits != 1 && h.bits != 4 && h.bits != 8) return std::nullopt;
        const uint32_t full = 1u << h.bits;
        h.tableEntries = h.colorsUsed ? h.colorsUsed : full;
        if (h.tableEntries > full) h.tableEntries = full;
    } else if (h.bits == 16 || h.bits == 24 || h.bits == 32) {
        h.tableEntries = h.colorsUsed;
    } else {
        return std::nullopt;
    }
    if (h.tableEntries > 256) h.tableEntries = 256;
    if ((size - h.tableOffset) / 4 < h.tableEntries) return std::nullopt;
    return h;
}

std::vector<uint32_t> ReadTable(const uint8_t* data, const DibHeader& h) {
    std::vector<uint32_t> table;
    table.reserve(h.tableEntries);
    for (size_t i = 0; i < h.tableEntries; ++i) {
        const uint8_t* q = data + h.tableOffset + 4 * i;  // blue, green, red, reserved
        table.push_back(static_cast<uint32_t>(q[2]) | (static_cast<uint32_t>(q[1]) << 8) |
                        (static_cast<uint32_t>(q[0]) << 16));
    }
    return table;
}

// A channel through its mask, scaled to 0-255.
uint32_t MaskedChannel(uint32_t value, uint32_t mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!(mask & 1u)) {
        mask >>= 1;
        ++shift;
    }
    const uint32_t v = (value >> shift) & mask;
    return static_cast<uint32_t>(static_cast<uint64_t>(v) * 255 / mask);
}

std::optional<DibPixels> ReadPixels(const uint8_t* data, size_t size, const DibHeader& h,
                                    size_t pixelOffset, const std::vector<uint32_t>* table) {
    if (h.width <= 0 || h.height == 0 || h.height == std::numeric_limits<int32_t>::min())
        return std::nullopt;
    const int64_t width = h.width;
    const int64_t height = h.height < 0 ? -static_cast<int64_t>(h.height) : h.height;
    if (width * height > kMaxPixels) return std::nullopt;
    const int64_t stride = ((width * h.bits + 31) / 32) * 4;
    if (pixelOffset > size || static_cast<uint64_t>(stride * height) > size - pixelOffset)
        return std::nullopt;

    DibPixels out;
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.colorTable = ReadTable(data, h);
    const std::vector<uint32_t>& colors = table ? *table : out.colorTable;
    // An index outside the table reads black, as the display does.
    auto indexed = [&](uint32_t index) -> uint32_t {
        if (index >= colors.size()) return 0;
        const uint32_t c = colors[index];  // COLORREF to 0x00RRGGBB
        return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    };
    uint32_t masks[3] = {h.masks[0], h.masks[1], h.masks[2]};
    if (h.compression == kBiRgb && h.bits == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    }
    out.pixels.resize(static_cast<size_t>(width * height));
    for (int64_t row = 0; row < height; ++row) {
        const int64_t source = h.height < 0 ? row : height - 1 - row;
        const uint8_t* line = data + pixelOffset + source * stride;
        uint32_t* dest = out.pixels.data() + row * width;
        for (int64_t x = 0; x < width; ++x) {
            switch (h.bits) {
                case 1:
                    dest[x] = indexed((line[x / 8] >> (7 - x % 8)) & 1);
                    break;
                case 4:
                    dest[x] = indexed((line[x / 2] >> (x % 2 ? 0 : 4)) & 0xF);
                    break;
                case 8:
                    dest[x] = indexed(line[x]);
                    break;
                case 24: {
                    const uint8_t* p = line + 3 * x;
                    dest[x] = (static_cast<uint32_t>(p[2]) << 16) | (p[1] << 8) | p[0];
                    break;
                }
                case 16:
                case 32: {
                    const uint32_t v = h.bits == 16 ? U16(line + 2 * x) : U32(line + 4 * x);
                    if (h.compression == kBiRgb && h.bits == 32) {
                        dest[x] = v & 0x00FFFFFF;
                    } else {
                        dest[x] = (MaskedChannel(v, masks[0]) << 16) |
                                  (MaskedChannel(v, masks[1]) << 8) | MaskedChannel(v, masks[2]);
                    }
                    break;
                }
                default:
                    return std::nullopt;
            }
        }
    }
    return out;
}

}  // namespace

std::optional<std::vector<uint32_t>> ReadDibColorTable(const uint8_t* data, size_t size) {
    auto header = ReadHeader(data, size);
    if (!header) return std::nullopt;
    return ReadTable(data, *header);
}

std::optional<DibPixels> ReadPackedDib(const uint8_t* data, size_t size,
                                       const std::vector<uint32_t>* table) {
    auto header = ReadHeader(data, size);
    if (!header) return std::nullopt;
    return ReadPixels(data, size, *header, header->tableOffset + 4 * header->tableEntries, table);
}

std::optional<DibPixels> ReadBitmapFile(const uint8_t* data, size_t size) {
    if (!data || size < kFileHeaderSize || data[0] != 'B' || data[1] != 'M') return std::nullopt;
    const uint8_t* dib = data + kFileHeaderSize;
    const size_t dibSize = size - kFileHeaderSize;
    auto header = ReadHeader(dib, dibSize);
    if (!header) return std::nullopt;
    const uint32_t offBits = U32(data + 10);
    // A zero offset means the pixels follow the colour table.
    size_t pixelOffset = header->tableOffset + 4 * header->tableEntries;
    if (offBits != 0) {
        if (offBits < kFileHeaderSize) return std::nullopt;
        pixelOffset = offBits - kFileHeaderSize;
    }
    return ReadPixels(dib, dibSize, *header, pixelOffset, nullptr);
}
