// The encryption stand-in: round trips through both interfaces, buffer sizes taken from the
// encoder, and refusal of wrong keys, changed or malformed text and bad arguments.
#include "platform/outside/VaultCipher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace tavroEncrypt {
namespace {

constexpr int kType = CVaultCipher::kTypeAesGcm;
const std::string kKey = "0000000000012345";

bool IsStrictBase64(const std::string& text) {
    if (text.empty() || text.size() % 4 != 0) return false;
    const size_t pad = text.find('=');
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool code = std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '/';
        if (i < pad ? !code : c != '=') return false;
    }
    return pad == std::string::npos || text.size() - pad <= 2;
}

TEST(VaultCipherTest, RoundTripsEveryLengthThroughBothInterfaces) {
    for (int n : {0, 1, 2, 3, 15, 16, 17, 32, 33, 100, 512, 4096}) {
        SCOPED_TRACE(n);
        std::string plain(static_cast<size_t>(n), '\0');
        for (int i = 0; i < n; ++i) plain[i] = static_cast<char>(i * 37 + 11);

        const int textLen = CVaultCipher::EncryptedLength(kType, n);
        std::vector<char> out(static_cast<size_t>(textLen) + 1, '#');
        int outLen = static_cast<int>(out.size());
        ASSERT_EQ(
            CVaultCipher::EncryptWithBase64(kType, kKey, plain.data(), n, out.data(), &outLen),
            CVaultCipher::kOk);
        EXPECT_EQ(outLen, textLen);
        EXPECT_EQ(out[textLen], '\0');
        const std::string text(out.data(), static_cast<size_t>(outLen));
        EXPECT_TRUE(IsStrictBase64(text)) << text;

        const int room = CVaultCipher::DecryptedLength(kType, textLen);
        EXPECT_GE(room, n);
        std::vector<char> back(static_cast<size_t>(room) + 1, '#');
        int backLen = static_cast<int>(back.size());
        ASSERT_EQ(CVaultCipher::DecryptWithBase64(kType, kKey, text.data(), textLen, back.data(),
                                                  &backLen),
                  CVaultCipher::kOk);
        EXPECT_EQ(std::string(back.data(), static_cast<size_t>(backLen)), plain);
        EXPECT_EQ(back[backLen], '\0');

        std::string viaStrings;
        ASSERT_TRUE(CVaultCipher::Decrypt(kType, kKey, text, &viaStrings));
        EXPECT_EQ(viaStrings, plain);
        std::string again;
        ASSERT_TRUE(CVaultCipher::Encrypt(kType, kKey, plain, &again));
        EXPECT_NE(again, text);  // a fresh nonce every time
        ASSERT_TRUE(CVaultCipher::Decrypt(kType, kKey, again, &viaStrings));
        EXPECT_EQ(viaStrings, plain);
    }
}

TEST(VaultCipherTest, BuffersAreSizedFromTheEncoderAndShortRoomIsReported) {
    // A 31-character password with its NUL no longer fits the 48 bytes a padding cipher was
    // once given: the call says so and how much it needs, and writes nothing.
    const std::string password = std::string(31, 'p') + '\0';
    std::vector<char> out(48, '#');
    int outLen = 48;
    EXPECT_EQ(
        CVaultCipher::EncryptWithBase64(kType, kKey, password.data(), 32, out.data(), &outLen),
        CVaultCipher::kBufferSmall);
    EXPECT_EQ(outLen, CVaultCipher::EncryptedLength(kType, 32) + 1);
    EXPECT_EQ(std::string(out.begin(), out.end()), std::string(48, '#'));
    out.assign(static_cast<size_t>(outLen), '#');
    ASSERT_EQ(
        CVaultCipher::EncryptWithBase64(kType, kKey, password.data(), 32, out.data(), &outLen),
        CVaultCipher::kOk);
    const std::string text(out.data(), static_cast<size_t>(outLen));

    struct Case {
        int room;
        int result;
        int length;
        bool terminated;
    };
    const Case cases[] = {{31, CVaultCipher::kBufferSmall, 32, false},
                          {32, CVaultCipher::kOk, 32, false},
                          {33, CVaultCipher::kOk, 32, true},
                          {0, CVaultCipher::kBufferSmall, 32, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.room);
        std::vector<char> back(40, '#');
        int len = c.room;
        EXPECT_EQ(CVaultCipher::DecryptWithBase64(kType, kKey, text.data(),
                                                  static_cast<int>(text.size()), back.data(), &len),
                  c.result);
        EXPECT_EQ(len, c.length);
        if (c.result == CVaultCipher::kOk) {
            EXPECT_EQ(std::memcmp(back.data(), password.data(), 32), 0);
        } else {
            EXPECT_EQ(back[0], '#');
        }
        EXPECT_EQ(back[32], c.terminated ? '\0' : '#');
        if (c.room < 32) {
            EXPECT_EQ(back[std::max(c.room, 1) - 1], '#');
        }
    }
}

TEST(VaultCipherTest, RefusesWrongKeysChangedTextMalformedTextAndBadArguments) {
    std::string text;
    ASSERT_TRUE(CVaultCipher::Encrypt(kType, kKey, "secret", &text));
    std::string plain;
    EXPECT_FALSE(CVaultCipher::Decrypt(kType, "0000000000012346", text, &plain));
    EXPECT_FALSE(CVaultCipher::Decrypt(kType, "", text, &plain));
    EXPECT_FALSE(CVaultCipher::Decrypt(13, kKey, text, &plain));
    for (size_t i = 0; i < text.size(); ++i) {
        std::string changed = text;
        changed[i] = changed[i] == 'A' ? 'B' : 'A';
        EXPECT_FALSE(CVaultCipher::Decrypt(kType, kKey, changed, &plain)) << i;
    }
    // "secret" makes 34 bytes: two '=' and four spare bits in the last code, which must be 0
    // (one message, one text).
    ASSERT_EQ(text.substr(text.size() - 2), "==");
    std::string stray = text;
    stray[stray.size() - 3] = static_cast<char>(stray[stray.size() - 3] + 1);
    const std::string malformed[] = {stray,
                                     "",
                                     "QUJD",  // decodes, but shorter than nonce and tag
                                     text.substr(0, text.size() - 1),
                                     text.substr(0, text.size() - 4),
                                     " " + text.substr(1),
                                     text.substr(0, 8) + "\n" + text.substr(9),
                                     text.substr(0, 4) + "====" + text.substr(8),
                                     text + "AAAA"};
    for (const std::string& bad : malformed)
        EXPECT_FALSE(CVaultCipher::Decrypt(kType, kKey, bad, &plain)) << bad;

    char out[256];
    int len = sizeof(out);
    EXPECT_EQ(CVaultCipher::EncryptWithBase64(kType, "", "x", 1, out, &len), CVaultCipher::kFailed);
    EXPECT_EQ(CVaultCipher::EncryptWithBase64(99, kKey, "x", 1, out, &len), CVaultCipher::kFailed);
    EXPECT_EQ(CVaultCipher::EncryptWithBase64(kType, kKey, nullptr, 1, out, &len),
              CVaultCipher::kFailed);
    EXPECT_EQ(CVaultCipher::EncryptWithBase64(kType, kKey, "x", -1, out, &len),
              CVaultCipher::kFailed);
    EXPECT_EQ(CVaultCipher::EncryptWithBase64(kType, kKey, "x", 1, nullptr, &len),
              CVaultCipher::kFailed);
    EXPECT_EQ(CVaultCipher::EncryptWithBase64(kType, kKey, "x", 1, out, nullptr),
              CVaultCipher::kFailed);
    EXPECT_EQ(CVaultCipher::DecryptWithBase64(kType, kKey, nullptr, 4, out, &len),
              CVaultCipher::kFailed);
    len = -1;
    EXPECT_EQ(CVaultCipher::DecryptWithBase64(kType, kKey, text.data(),
                                              static_cast<int>(text.size()), out, &len),
              CVaultCipher::kFailed);
    EXPECT_EQ(CVaultCipher::EncryptedLength(kType, -1), -1);
    EXPECT_EQ(CVaultCipher::DecryptedLength(kType, -1), -1);
}

}  // namespace
}  // namespace tavroEncrypt
