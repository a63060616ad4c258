// RSA of the built-in authentication: the key-text encoding, the checks on the server's key,
// encryption in pieces read back by the openssl command, and the built-in "Std" algorithm.
#include <gtest/gtest.h>
#include <openssl/pem.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "OpenSslTool.h"
#include "comm/RsaCipher.h"
#include "comm/RsaKey.h"
#include "comm/RsaKeyText.h"
#include "comm/RsaPublicKey.h"
#include "support/TempDir.h"

namespace {

using namespace NoltComm;

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (int v : values) bytes.push_back(static_cast<uint8_t>(v));
    return bytes;
}

struct KeyTextCase {
    std::vector<uint8_t> bytes;
    std::string text;
};

TEST(KeyTextTest, VectorsEncodeAndDecodeBothWays) {
    const KeyTextCase cases[] = {
        {Bytes({0x01, 0x00, 0x01}), ".o./"},  // exponent 65537
        {Bytes({0xFF}), "Zb"},                // indexes 63 and 3
        {Bytes({0x00, 0x00, 0x00}), "...."},
        {Bytes({0x11}), "c/"},  // exponent 17
        {Bytes({0xAB, 0xCD}), "EWl"},
        {Bytes({0x12, 0x34, 0x56, 0x78}), "c7pu2."},
        {{}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(EncodeKeyText(c.bytes), c.text);
        std::vector<uint8_t> out(c.bytes.size() + 4, 0xEE);
        ASSERT_EQ(DecodeKeyText(c.text, out.data(), out.size()),
                  static_cast<int32_t>(c.bytes.size()));
        out.resize(c.bytes.size());
        EXPECT_EQ(out, c.bytes);
    }
}

TEST(KeyTextTest, EveryLengthRoundTrips) {
    std::vector<uint8_t> bytes;
    for (int n = 0; n < 200; ++n) {
        const std::string text = EncodeKeyText(bytes);
        auto back = DecodeKeyTextStrict(text, 512);
        ASSERT_TRUE(back.has_value()) << n;
        EXPECT_EQ(*back, bytes) << n;
        bytes.push_back(static_cast<uint8_t>(n * 37 + 11));
    }
}

TEST(KeyTextTest, OddLengthsForeignCharactersAndSmallBuffers) {
    uint8_t out[8] = {};
    EXPECT_EQ(DecodeKeyText("abcde", out, sizeof(out)), 0);  // remainder 1: nothing
    EXPECT_FALSE(DecodeKeyTextStrict("abcde", 512).has_value());
    // Outside the alphabet: every bit set, as the server's encoder expects; strict refuses.
    ASSERT_EQ(DecodeKeyText("!!", out, sizeof(out)), 1);
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_FALSE(DecodeKeyTextStrict("a!", 512).has_value());
    // Never past the buffer: 8 characters are 6 bytes.
    EXPECT_EQ(DecodeKeyText("abcdabcd", out, 5), -1);
    EXPECT_FALSE(DecodeKeyTextStrict(std::string(684, 'a'), 512).has_value());  // 513 bytes
    EXPECT_TRUE(DecodeKeyTextStrict(std::string(683, 'a'), 512).has_value());   // 512 bytes
}

// A 1024-bit key pair of the test, written by the openssl command or made here.
struct TestKey {
    RsaKeyPtr key;
    std::string modulusText;
    std::string exponentText;
};

TestKey MakeTestKey() {
    std::string error;
    TestKey t;
    t.key = GenerateRsaKeyPair(error);
    EXPECT_TRUE(t.key) << error;
    t.modulusText = EncodeKeyText(RsaModulusBytes(t.key.get()));
    t.exponentText = EncodeKeyText(RsaExponentBytes(t.key.get()));
    return t;
}

struct RefusalCase {
    const char* what;
    std::vector<uint8_t> modulus;
    std::vector<uint8_t> exponent;
};

TEST(RsaPublicKeyTest, UnusableServerKeysAreRefusedWithAReason) {
    const TestKey good = MakeTestKey();
    const std::vector<uint8_t> n = RsaModulusBytes(good.key.get());
    std::vector<uint8_t> small(n.begin(), n.begin() + 127);  // 1016 bits
    small[0] |= 0x80;
    std::vector<uint8_t> even = n;
    even.back() &= 0xFE;
    std::vector<uint8_t> big(512, 0xA5);
    big[0] |= 0x80;
    big.back() |= 1;
    const RefusalCase cases[] = {
        {"decoded size over 512 bytes", std::vector<uint8_t>(513, 0xC3), Bytes({0x01, 0x00, 0x01})},
        {"modulus under 1024 bits", small, Bytes({0x01, 0x00, 0x01})},
        {"even exponent", n, Bytes({0x01, 0x00, 0x00})},
        {"even modulus", even, Bytes({0x01, 0x00, 0x01})},
        {"4096-bit modulus with a 65-bit exponent", big, std::vector<uint8_t>(9, 0x01)},
        {"exponent 1", n, Bytes({0x01})},
        {"exponent 0", n, Bytes({0x00})},
        {"no exponent", n, {}},
        {"exponent above the modulus", n, std::vector<uint8_t>(129, 0xFF)},
        {"no modulus", {}, Bytes({0x01, 0x00, 0x01})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CQvRsaPublicKey key;
        EXPECT_FALSE(key.SetPublicKey(EncodeKeyText(c.modulus), EncodeKeyText(c.exponent)));
        EXPECT_FALSE(key.HasKey());
        EXPECT_FALSE(key.GetErrorText().empty());
        std::string out = "old";
        EXPECT_EQ(key.Encrypt("secret", out), -1);
        EXPECT_TRUE(out.empty());
    }
    CQvRsaPublicKey foreign;
    EXPECT_FALSE(foreign.SetPublicKey(good.modulusText + "!!", good.exponentText));
    CQvRsaPublicKey fine;
    EXPECT_TRUE(fine.SetPublicKey(good.modulusText, ".o./")) << fine.GetErrorText();
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The cipher text in blocks of the key size, each decrypted by the openssl command.
std::string DecryptWithTool(const testsupport::TempDir& dir, const std::string& hex) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(FromHex(hex, bytes));
    std::string plain;
    for (std::size_t at = 0; at < bytes.size(); at += 128) {
        {
            std::ofstream out(dir.file("block.bin"), std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data() + at), 128);
        }
        EXPECT_TRUE(commtest::OpenSsl(dir.path().string(),
                                      "pkeyutl -decrypt -inkey key.pem -pkeyopt "
                                      "rsa_padding_mode:pkcs1 -in block.bin -out plain.bin"));
        plain += ReadAll(dir.file("plain.bin"));
    }
    return plain;
}

TEST(RsaPublicKeyTest, OpenSslCommandDecryptsWhatWeEncrypt) {
    if (!commtest::HasOpenSslTool()) GTEST_SKIP() << "the openssl command is not installed";
    testsupport::TempDir dir;
    ASSERT_TRUE(commtest::OpenSsl(dir.path().string(),
                                  "genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:1024 "
                                  "-out key.pem"));
    FILE* file = std::fopen(dir.file("key.pem").c_str(), "r");
    ASSERT_NE(file, nullptr);
    RsaKeyPtr pair(PEM_read_PrivateKey(file, nullptr, nullptr, nullptr));
    std::fclose(file);
    ASSERT_TRUE(pair);
    CQvRsaPublicKey key;
    ASSERT_TRUE(key.SetPublicKey(EncodeKeyText(RsaModulusBytes(pair.get())),
                                 EncodeKeyText(RsaExponentBytes(pair.get()))))
        << key.GetErrorText();

    // Lengths: empty, one block, the largest block, pieces of 100 from 118 on, 7 pieces.
    const std::pair<std::size_t, int32_t> cases[] = {{0, 256},   {40, 256},  {117, 256},
                                                     {118, 512}, {250, 768}, {700, 1792}};
    for (const auto& [length, hexLength] : cases) {
        SCOPED_TRACE(length);
        std::string text;
        for (std::size_t i = 0; i < length; ++i) text += static_cast<char>('0' + i % 43);
        std::string hex;
        ASSERT_EQ(key.Encrypt(text, hex), hexLength) << key.GetErrorText();
        EXPECT_EQ(hex.size(), static_cast<std::size_t>(hexLength));
        EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos);
        EXPECT_EQ(DecryptWithTool(dir, hex), text);
    }
    std::string hex;
    EXPECT_EQ(key.Encrypt(std::string(CQvRsaPublicKey::kMaxTextLength, 'x'), hex), -1);
    EXPECT_TRUE(hex.empty());
}

TEST(RsaPublicKeyTest, WithoutAKeyNothingIsEncrypted) {
    CQvRsaPublicKey key;
    std::string out = "old";
    EXPECT_EQ(key.Encrypt("abc", out), -1);
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(key.GetErrorText().empty());
}

TEST(RsaCipherTest, KeyPairEncryptsAndDecryptsInBlocks) {
    CQvRsaCipher cipher;
    ASSERT_TRUE(cipher.GenerateKeyPair()) << cipher.GetErrorText();
    EXPECT_EQ(cipher.GetExponent(), "c/");  // 17
    auto modulus = DecodeKeyTextStrict(cipher.GetKey(), 512);
    ASSERT_TRUE(modulus.has_value());
    EXPECT_EQ(modulus->size(), 128u);
    for (std::size_t length : {0u, 117u, 250u, 700u}) {
        SCOPED_TRACE(length);
        const std::string text(length, 'k');
        std::string hex;
        ASSERT_TRUE(cipher.PublicEncrypt(text, hex)) << cipher.GetErrorText();
        std::string plain;
        ASSERT_TRUE(cipher.PrivateDecrypt(hex, plain)) << cipher.GetErrorText();
        EXPECT_EQ(plain, text);
    }
    // 8 pieces do not fit the cipher-text area: refused, never cut.
    std::string hex = "old";
    EXPECT_FALSE(cipher.PublicEncrypt(std::string(701, 'k'), hex));
    EXPECT_TRUE(hex.empty());
    // Bad cipher texts fail instead of answering an empty success.
    std::string plain;
    EXPECT_FALSE(cipher.PrivateDecrypt("abc", plain));
    EXPECT_FALSE(cipher.PrivateDecrypt(std::string(256, 'z'), plain));
    EXPECT_FALSE(cipher.PrivateDecrypt(std::string(300, '0'), plain));
    EXPECT_FALSE(cipher.PrivateDecrypt(std::string(256, '0'), plain));
    EXPECT_FALSE(cipher.GetErrorText().empty());
}

TEST(RsaCipherTest, PublicKeyFromHexUsesTheKeptExponent) {
    CQvRsaCipher maker;
    ASSERT_TRUE(maker.GenerateKeyPair());
    const std::string modulusHex = ToHex(*DecodeKeyTextStrict(maker.GetKey(), 512));

    CQvRsaCipher fresh;  // no exponent yet
    EXPECT_FALSE(fresh.SetPublicKey(modulusHex));
    EXPECT_FALSE(fresh.GetErrorText().empty());

    CQvRsaCipher other;
    ASSERT_TRUE(other.GenerateKeyPair());
    ASSERT_TRUE(other.SetPublicKey(modulusHex)) << other.GetErrorText();
    EXPECT_FALSE(other.SetPublicKey(modulusHex + "0"));  // odd length
    ASSERT_TRUE(other.SetPublicKey(modulusHex));
    std::string hex, plain;
    ASSERT_TRUE(other.PublicEncrypt("session", hex));
    ASSERT_TRUE(maker.PrivateDecrypt(hex, plain)) << maker.GetErrorText();
    EXPECT_EQ(plain, "session");
    EXPECT_FALSE(other.PrivateDecrypt(hex, plain));  // a public key only

    std::string proof;
    EXPECT_TRUE(maker.SetPrivateKey(""));
    EXPECT_FALSE(maker.Sign("x", proof));
    EXPECT_FALSE(maker.Verify("x", "y"));
    EXPECT_EQ(maker.GetAuxText(), "");
}

}  // namespace
