// Builds small GIFs block by block for the picture tests: solid-colour images with valid LZW
// data, graphic control, comment, application and plain-text extensions.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace flexui_test {

class GifMaker {
public:
    // `table`: the global colour table (2, 4, ... 256 entries; empty: none).
    GifMaker(int width, int height, std::vector<std::array<uint8_t, 3>> table,
             uint8_t backgroundIndex = 0, const char* signature = "GIF89a") {
        bytes_.assign(signature, signature + 6);
        U16(width);
        U16(height);
        int bits = 0;
        while ((2u << bits) < table.size()) ++bits;
        bytes_.push_back(static_cast<uint8_t>(table.empty() ? 0 : (0x80 | bits)));
        bytes_.push_back(backgroundIndex);
        bytes_.push_back(0);
        for (const auto& rgb : table) bytes_.insert(bytes_.end(), rgb.begin(), rgb.end());
    }

    GifMaker& Control(int delay, int disposal) {
        bytes_.insert(bytes_.end(), {0x21, 0xF9, 0x04, static_cast<uint8_t>(disposal << 2)});
        U16(delay);
        bytes_.insert(bytes_.end(), {0x00, 0x00});
        return *this;
    }
    GifMaker& Comment(const std::string& text) {
        bytes_.insert(bytes_.end(), {0x21, 0xFE});
        SubBlocks(std::vector<uint8_t>(text.begin(), text.end()));
        return *this;
    }
    GifMaker& Application() {
        const char* id = "NETSCAPE2.0";
        bytes_.insert(bytes_.end(), {0x21, 0xFF, 0x0B});
        bytes_.insert(bytes_.end(), id, id + 11);
        SubBlocks({0x01, 0x00, 0x00});
        return *this;
    }
    GifMaker& PlainText() {
        bytes_.insert(bytes_.end(), {0x21, 0x01, 0x0C});
        bytes_.insert(bytes_.end(), 12, 0);
        SubBlocks({'h', 'i'});
        return *this;
    }
    // An image of one colour index; `localTable` entries (0: none).
    GifMaker& Image(int left, int top, int width, int height, uint8_t index,
                    std::vector<std::array<uint8_t, 3>> localTable = {}) {
        bytes_.push_back(0x2C);
        U16(left);
        U16(top);
        U16(width);
        U16(height);
        int bits = 0;
        while ((2u << bits) < localTable.size()) ++bits;
        bytes_.push_back(static_cast<uint8_t>(localTable.empty() ? 0 : (0x80 | bits)));
        for (const auto& rgb : localTable) bytes_.insert(bytes_.end(), rgb.begin(), rgb.end());
        bytes_.push_back(8);  // LZW minimum code size: 9-bit codes
        SubBlocks(Lzw(static_cast<size_t>(width) * height, index));
        return *this;
    }
    GifMaker& Byte(uint8_t b) {
        bytes_.push_back(b);
        return *this;
    }
    std::vector<uint8_t> Bytes(bool trailer = true) const {
        std::vector<uint8_t> out = bytes_;
        if (trailer) out.push_back(';');
        return out;
    }

private:
    void U16(int v) {
        bytes_.push_back(static_cast<uint8_t>(v));
        bytes_.push_back(static_cast<uint8_t>(v >> 8));
    }
    void SubBlocks(const std::vector<uint8_t>& data) {
        for (size_t i = 0; i < data.size(); i += 255) {
            const size_t n = std::min<size_t>(255, data.size() - i);
            bytes_.push_back(static_cast<uint8_t>(n));
            bytes_.insert(bytes_.end(), data.begin() + static_cast<long>(i),
                          data.begin() + static_cast<long>(i + n));
        }
        bytes_.push_back(0);
    }
    // Uncompressed LZW: a clear code every 200 pixels keeps the codes at 9 bits.
    static std::vector<uint8_t> Lzw(size_t pixels, uint8_t index) {
        std::vector<uint8_t> out;
        uint32_t buffer = 0;
        int bits = 0;
        auto put = [&](uint32_t code) {
            buffer |= code << bits;
            bits += 9;
            while (bits >= 8) {
                out.push_back(static_cast<uint8_t>(buffer));
                buffer >>= 8;
                bits -= 8;
            }
        };
        for (size_t i = 0; i < pixels; ++i) {
            if (i % 200 == 0) put(256);
            put(index);
        }
        put(257);
        if (bits > 0) out.push_back(static_cast<uint8_t>(buffer));
        return out;
    }

    std::vector<uint8_t> bytes_;
};

}  // namespace flexui_test
