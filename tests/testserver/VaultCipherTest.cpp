// The server reads what the client's cipher writes (password, authorisation code, texts with
// any bytes), and refuses a wrong key, a changed character and malformed text.
#include "testserver/VaultCipher.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/outside/VaultCipher.h"

namespace testserver {
namespace {

using tavroEncrypt::CVaultCipher;

std::string ClientEncrypt(const std::string& key, const std::string& plain) {
    std::string text;
    EXPECT_TRUE(CVaultCipher::Encrypt(CVaultCipher::kTypeAesGcm, key, plain, &text));
    return text;
}

TEST(VaultCipherTest, ServerDecryptsWhatTheClientEncrypts) {
    const std::string key = "0000000000012345";
    const std::string cases[] = {
        std::string("secret", 7),                             // password with its NUL
        std::string("0123456789abcdef0123456789abcdef", 33),  // authorisation code
        std::string(),                                        // empty
        std::string("\x00\xff\x80 密码", 11),                 // any bytes
        std::string(31, 'x') + '\0',                          // longest password
        std::string(500, 'a') + "@b@c@d",                     // machine description
    };
    for (const std::string& plain : cases) {
        SCOPED_TRACE(plain.size());
        std::string got;
        ASSERT_TRUE(DecryptVaultText(key, ClientEncrypt(key, plain), &got));
        EXPECT_EQ(got, plain);
    }
}

TEST(VaultCipherTest, ServerRefusesWrongKeyChangedTextAndMalformedText) {
    const std::string key = "0000000000012345";
    const std::string text = ClientEncrypt(key, std::string("secret", 7));
    std::string got;
    EXPECT_FALSE(DecryptVaultText("0000000000012346", text, &got));
    EXPECT_FALSE(DecryptVaultText("", text, &got));
    for (size_t i = 0; i < text.size(); i += 7) {
        std::string changed = text;
        changed[i] = changed[i] == 'A' ? 'B' : 'A';
        EXPECT_FALSE(DecryptVaultText(key, changed, &got)) << i;
    }
    const std::string malformed[] = {"", "QUJD", text.substr(0, text.size() - 1),
                                     text + "====", "!" + text.substr(1)};
    for (const std::string& bad : malformed) EXPECT_FALSE(DecryptVaultText(key, bad, &got)) << bad;
}

}  // namespace
}  // namespace testserver
