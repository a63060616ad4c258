// GIF block walking: header and colour table, extensions, images and the trailer, every length
// checked against what is left of the bytes.
#include "flexui/GifDecoder.h"

#include <cstring>

namespace {

constexpr size_t kHeaderSize = 13;  // signature, screen descriptor
constexpr uint8_t kExtension = '!';
constexpr uint8_t kImage = ',';
constexpr uint8_t kTrailer = ';';
constexpr uint8_t kPlainText = 0x01;
constexpr uint8_t kGraphicControl = 0xF9;
constexpr uint8_t kComment = 0xFE;
constexpr uint8_t kApplication = 0xFF;

int U16(const uint8_t* p) { return p[0] | (p[1] << 8); }

// The end of the sub-blocks starting at `pos` (after their 0 terminator); 0 when they pass
// the end of the data.
size_t SkipSubBlocks(const uint8_t* data, size_t size, size_t pos) {
    while (pos < size) {
        const size_t length = data[pos];
        ++pos;
        if (length == 0) return pos;
        if (length > size - pos) return 0;
        pos += length;
    }
    return 0;
}

// The end of a fixed part of `length` bytes at `pos` followed by sub-blocks; 0 past the end.
size_t SkipBlock(const uint8_t* data, size_t size, size_t pos, size_t length, bool subBlocks) {
    if (length > size - pos) return 0;
    pos += length;
    return subBlocks ? SkipSubBlocks(data, size, pos) : pos;
}

}  // namespace

bool IsGifData(const uint8_t* data, size_t size) {
    return data && size >= 6 &&
           (std::memcmp(data, "GIF89a", 6) == 0 || std::memcmp(data, "GIF87a", 6) == 0);
}

GifFile ReadGif(const uint8_t* data, size_t size) {
    GifFile file;
    if (!IsGifData(data, size) || size < kHeaderSize) return file;
    file.width = U16(data + 6);
    file.height = U16(data + 8);
    const uint8_t flags = data[10];
    if (flags & 0x80) file.globalTableSize = 3 * (size_t{1} << ((flags & 7) + 1));
    if (file.globalTableSize > size - kHeaderSize) {
        file.globalTableSize = 0;
        return file;  // the table itself is cut short: no frame can be whole
    }
    const size_t bgIndex = data[11];
    if (file.globalTableSize && 3 * bgIndex + 2 < file.globalTableSize) {
        const uint8_t* rgb = data + kHeaderSize + 3 * bgIndex;
        file.background = static_cast<uint32_t>(rgb[0]) | (static_cast<uint32_t>(rgb[1]) << 8) |
                          (static_cast<uint32_t>(rgb[2]) << 16);
    }
    const size_t prefix = kHeaderSize + file.globalTableSize;

    size_t pos = prefix;
    size_t frameStart = 0;  // the graphic control extension of the coming frame, when seen
    bool haveControl = false;
    int delay = 0;
    int disposal = 0;
    while (pos < size) {
        const size_t start = pos;
        const uint8_t kind = data[pos];
        size_t end = 0;
        if (kind == kTrailer) break;
        if (kind == kExtension) {
            if (size - pos < 2) break;
            switch (data[pos + 1]) {
                case kPlainText:
                    end = SkipBlock(data, size, pos, 15, true);
                    break;
                case kGraphicControl:
                    end = SkipBlock(data, size, pos, 8, false);
                    if (end) {
                        haveControl = true;
                        frameStart = start;
                        disposal = (data[pos + 3] >> 2) & 7;
                        delay = U16(data + pos + 4);
                    }
                    break;
                case kComment:
                    end = SkipBlock(data, size, pos, 2, true);
                    break;
                case kApplication:
                    end = SkipBlock(data, size, pos, 14, true);
                    break;
                default:
                    break;
            }
            if (!end) break;
            pos = end;
            continue;
        }
        if (kind != kImage) break;
        if (size - pos < 11) break;
        const uint8_t imageFlags = data[pos + 9];
        const size_t localTable =
            (imageFlags & 0x80) ? 3 * (size_t{1} << ((imageFlags & 7) + 1)) : 0;
        end = SkipBlock(data, size, pos, 11, false);
        if (!end || localTable > size - end) break;
        end = SkipSubBlocks(data, size, end + localTable);
        if (!end) break;

        GifFrame frame;
        frame.left = U16(data + pos + 1);
        frame.top = U16(data + pos + 3);
        frame.width = U16(data + pos + 5);
        frame.height = U16(data + pos + 7);
        frame.delay = haveControl ? delay : 0;
        frame.disposal = haveControl ? disposal : 0;
        const size_t blocksFrom = haveControl ? frameStart : start;
        frame.gif.reserve(prefix + (end - blocksFrom) + 1);
        frame.gif.assign(data, data + prefix);
        frame.gif.insert(frame.gif.end(), data + blocksFrom, data + end);
        frame.gif.push_back(kTrailer);
        file.frames.push_back(std::move(frame));
        haveControl = false;
        delay = 0;
        disposal = 0;
        pos = end;
    }
    return file;
}
