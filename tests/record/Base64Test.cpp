// Base64 codec: known vectors, the 76-character line rule, sizes and hostile decode input.
#include "record/Base64.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

using namespace pavlet;

namespace {

TEST(Base64, KnownVectors) {
    struct Case {
        const char* data;
        const char* text;
    };
    for (const Case& c : std::vector<Case>{{"", ""},
                                           {"f", "Zg=="},
                                           {"fo", "Zm8="},
                                           {"foo", "Zm9v"},
                                           {"foob", "Zm9vYg=="},
                                           {"fooba", "Zm9vYmE="},
                                           {"foobar", "Zm9vYmFy"}}) {
        EXPECT_EQ(base64_encode(c.data), c.text);
        EXPECT_EQ(base64_decode(c.text), c.data);
    }
    EXPECT_EQ(base64_encode(std::string("\xff\xfe\x00", 3)), "//4A");
}

TEST(Base64, Sizes) {
    struct Case {
        int n, encode, decode;
    };
    for (const Case& c : std::vector<Case>{{0, 0, 0},
                                           {1, 4, 3},
                                           {4, 8, 3},
                                           {5, 8, 6},
                                           {56, 78, 42},
                                           {57, 78, 45},
                                           {58, 82, 45},
                                           {114, 156, 87},
                                           {-1, -1, -1}}) {
        EXPECT_EQ(base64_encodesize(c.n), c.encode) << c.n;
        EXPECT_EQ(base64_decodesize(c.n), c.decode) << c.n;
    }
    EXPECT_EQ(base64_encodesize(2147483647), -1);
}

TEST(Base64, LinesOf76CharactersEndWithCrLf) {
    struct Case {
        std::size_t bytes;
        std::size_t chars;
        int lines;  // CR LF pairs
    };
    for (const Case& c : std::vector<Case>{{57, 78, 1},
                                           {56, 76, 0},  // a padded last group ends no line
                                           {58, 82, 1},
                                           {114, 156, 2},
                                           {115, 160, 2},
                                           {1, 4, 0}}) {
        std::string data(c.bytes, '\0');
        for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + 1);
        const std::string text = base64_encode(data);
        ASSERT_EQ(text.size(), c.chars) << c.bytes;
        int lines = 0;
        for (std::size_t at = text.find("\r\n"); at != std::string::npos;
             at = text.find("\r\n", at + 2)) {
            EXPECT_EQ(at, static_cast<std::size_t>(lines) * 78 + 76);
            ++lines;
        }
        EXPECT_EQ(lines, c.lines) << c.bytes;
        EXPECT_LE(static_cast<int>(text.size()), base64_encodesize(static_cast<int>(c.bytes)));
        EXPECT_EQ(base64_decode(text), data);
    }
    EXPECT_EQ(base64_encode("\x01").substr(2), "==");
}

TEST(Base64, BufferEncodeNeedsRoom) {
    const char data[] = "foobar!";
    char out[16];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(base64_encode(data, 7, out, 11), -1);
    EXPECT_EQ(out[0], '#');
    EXPECT_EQ(base64_encode(data, 7, out, 12), 12);
    EXPECT_EQ(std::string(out, 12), "Zm9vYmFyIQ==");
    EXPECT_EQ(out[12], '#');
    EXPECT_EQ(base64_encode(nullptr, 7, out, 16), 0);
    EXPECT_EQ(base64_encode(data, 0, out, 16), 0);
}

TEST(Base64, DecodeSkipsOutsideTheAlphabet) {
    struct Case {
        const char* text;
        std::string data;
    };
    for (const Case& c : std::vector<Case>{{"Zm9v\r\nYmFy", "foobar"},
                                           {"Z m9v!!Ym*Fy\n", "foobar"},
                                           {"Zg", "f"},
                                           {"Zm8", "fo"},
                                           {"Z", ""},
                                           {"Zm9vY", "foo"},
                                           {"====", ""},
                                           // '=' is skipped anywhere, not only at the end.
                                           {"Zg==Zg==", std::string("\x66\x06\x60", 3)}}) {
        EXPECT_EQ(base64_decode(c.text), c.data) << c.text;
    }
}

TEST(Base64, BufferDecodeNeverWritesPastItsRoom) {
    char out[8];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(base64_decode("Zm9vYmFy", 8, out, 5), -1);
    EXPECT_EQ(out[0], '#');
    EXPECT_EQ(base64_decode("Zm9vYmFy", 8, out, 6), 6);
    EXPECT_EQ(std::string(out, 6), "foobar");
    EXPECT_EQ(out[6], '#');
    EXPECT_EQ(base64_decode(nullptr, 8, out, 8), 0);
    EXPECT_EQ(base64_decode("Zm9v", 0, out, 8), 0);
    EXPECT_EQ(base64_decode("Zm9v", 4, nullptr, 8), 0);

    // Random text decoded into exactly decodesize(length) bytes stays inside them.
    std::mt19937 random(7);
    for (int trial = 0; trial < 2000; ++trial) {
        std::string text(random() % 40, '\0');
        for (char& ch : text)
            ch = static_cast<char>(random() % 4 ? "AZaz09+/=\r\n"[random() % 11] : random() % 256);
        const int room = base64_decodesize(static_cast<int>(text.size()));
        std::vector<char> buffer(static_cast<std::size_t>(room) + 4, '#');
        const int n =
            base64_decode(text.data(), static_cast<uint32_t>(text.size()), buffer.data(), room);
        ASSERT_GE(n, 0);
        ASSERT_LE(n, room);
        EXPECT_EQ(std::string(buffer.data() + room, 4), "####");
        EXPECT_EQ(std::string(buffer.data(), static_cast<std::size_t>(n)), base64_decode(text));
    }
}

TEST(Base64, RoundTripsEveryLength) {
    std::mt19937 random(11);
    for (std::size_t n = 0; n < 300; ++n) {
        std::string data(n, '\0');
        for (char& ch : data) ch = static_cast<char>(random());
        EXPECT_EQ(base64_decode(base64_encode(data)), data) << n;
    }
}

}  // namespace
