// The server's RSA key and challenge, the decryption and checks of the authentication text, and
// the three body ciphers of the server.
#include "testserver/Authentication.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/provider.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>

#include <stdexcept>

#include "platform/core/Numbers.h"

namespace testserver {

namespace {

constexpr char kKeyAlphabet[] = "./abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr std::size_t kRsaBlock = 128;  // bytes of one 1024-bit block
constexpr std::size_t kChallengeLength = 16;

struct Free {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
    void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
    void operator()(EVP_CIPHER_CTX* p) const { EVP_CIPHER_CTX_free(p); }
    void operator()(BIGNUM* p) const { BN_free(p); }
};

EVP_PKEY* ServerKey() {
    static const std::unique_ptr<EVP_PKEY, Free> key(EVP_RSA_gen(1024));
    if (!key) throw std::runtime_error("the test server cannot make its RSA key");
    return key.get();
}

std::vector<uint8_t> KeyNumber(const char* name) {
    BIGNUM* raw = nullptr;
    if (EVP_PKEY_get_bn_param(ServerKey(), name, &raw) != 1) return {};
    std::unique_ptr<BIGNUM, Free> number(raw);
    std::vector<uint8_t> bytes(static_cast<std::size_t>(BN_num_bytes(number.get())));
    BN_bn2bin(number.get(), bytes.data());
    return bytes;
}

// Blowfish and RC4 live in the library's legacy provider.
const EVP_CIPHER* LegacyCipher(const char* name) {
    static const bool loaded = [] {
        OSSL_PROVIDER_load(nullptr, "legacy");
        OSSL_PROVIDER_load(nullptr, "default");
        ERR_clear_error();
        return true;
    }();
    (void)loaded;
    static EVP_CIPHER* bf = EVP_CIPHER_fetch(nullptr, "BF-CBC", nullptr);
    static EVP_CIPHER* rc4 = EVP_CIPHER_fetch(nullptr, "RC4", nullptr);
    return std::string_view(name) == "BF-CBC" ? bf : rc4;
}

void WriteLength(std::string& packet) {
    packet[0] = static_cast<char>(packet.size() & 0xFF);
    packet[1] = static_cast<char>((packet.size() >> 8) & 0xFF);
}

uint8_t* Bytes(std::string& text) { return reinterpret_cast<uint8_t*>(text.data()); }

class StdCipher : public SessionCipher {
public:
    explicit StdCipher(std::string_view key) : key_(key) {}
    bool Encrypt(std::string& packet) override {
        packet[7] = static_cast<char>(packet[7] | kBodyEncrypted);
        Xor(packet);
        return true;
    }
    bool Decrypt(std::string& packet) override {
        Xor(packet);
        return true;
    }

private:
    void Xor(std::string& packet) const {
        for (std::size_t i = kHeaderSize; i < packet.size(); ++i)
            packet[i] = static_cast<char>(packet[i] ^ key_[(i - kHeaderSize) % 8]);
    }
    std::string key_;
};

// Cipher text of the body brought up to whole blocks with zero bytes, then the plain length
// as u16 little-endian.
class BlowfishCipher : public SessionCipher {
public:
    explicit BlowfishCipher(std::string_view key) : key_(key) {}
    bool Encrypt(std::string& packet) override {
        const std::size_t n = packet.size() - kHeaderSize;
        if (n == 0) return true;
        const std::size_t padded = (n + 7) / 8 * 8;
        if (kHeaderSize + padded + 2 > kMaxPacketSize) return false;
        packet.resize(kHeaderSize + padded, '\0');
        if (!Run(packet, padded, true)) return false;
        packet += static_cast<char>(n & 0xFF);
        packet += static_cast<char>(n >> 8);
        packet[7] = static_cast<char>(packet[7] | kBodyEncrypted);
        WriteLength(packet);
        return true;
    }
    bool Decrypt(std::string& packet) override {
        if (packet.size() <= kHeaderSize + 2) return false;
        const std::size_t c = packet.size() - kHeaderSize - 2;
        const std::size_t n = static_cast<uint8_t>(packet[packet.size() - 2]) |
                              static_cast<std::size_t>(static_cast<uint8_t>(packet.back())) << 8;
        if (c % 8 != 0 || n > c || n + 8 <= c) return false;
        packet.resize(kHeaderSize + c);
        if (!Run(packet, c, false)) return false;
        packet.resize(kHeaderSize + n);
        WriteLength(packet);
        return true;
    }

private:
    bool Run(std::string& packet, std::size_t length, bool encrypt) const {
        const EVP_CIPHER* bf = LegacyCipher("BF-CBC");
        std::unique_ptr<EVP_CIPHER_CTX, Free> ctx(EVP_CIPHER_CTX_new());
        const auto* key = reinterpret_cast<const uint8_t*>(key_.data());
        uint8_t* body = Bytes(packet) + kHeaderSize;
        int out = 0;
        // The key is the first 8 characters, the initialisation vector the last 8.
        const bool ok =
            bf != nullptr && ctx &&
            EVP_CipherInit_ex2(ctx.get(), bf, nullptr, nullptr, encrypt, nullptr) == 1 &&
            EVP_CIPHER_CTX_set_key_length(ctx.get(), 8) == 1 &&
            EVP_CipherInit_ex2(ctx.get(), nullptr, key, key + 8, encrypt, nullptr) == 1 &&
            EVP_CIPHER_CTX_set_padding(ctx.get(), 0) == 1 &&
            EVP_CipherUpdate(ctx.get(), body, &out, body, static_cast<int>(length)) == 1;
        ERR_clear_error();
        return ok && static_cast<std::size_t>(out) == length;
    }
    std::string key_;
};

// One key stream for both directions: the client draws from its own in the same order.
class Rc4Cipher : public SessionCipher {
public:
    explicit Rc4Cipher(std::string_view key) {
        const EVP_CIPHER* rc4 = LegacyCipher("RC4");
        ctx_.reset(EVP_CIPHER_CTX_new());
        ok_ = rc4 != nullptr && ctx_ &&
              EVP_EncryptInit_ex2(ctx_.get(), rc4, reinterpret_cast<const uint8_t*>(key.data()),
                                  nullptr, nullptr) == 1;
        ERR_clear_error();
    }
    bool Usable() const { return ok_; }
    bool Encrypt(std::string& packet) override {
        if (!Apply(packet)) return false;
        packet[7] = static_cast<char>(packet[7] | kBodyEncrypted);
        return true;
    }
    bool Decrypt(std::string& packet) override {
        if (!Apply(packet)) return false;
        packet[7] = static_cast<char>(packet[7] & ~kBodyEncrypted);
        return true;
    }

private:
    bool Apply(std::string& packet) {
        std::lock_guard lock(mutex_);
        const int n = static_cast<int>(packet.size() - kHeaderSize);
        int out = 0;
        return ok_ && (n == 0 || EVP_EncryptUpdate(ctx_.get(), Bytes(packet) + kHeaderSize, &out,
                                                   Bytes(packet) + kHeaderSize, n) == 1);
    }
    std::mutex mutex_;
    std::unique_ptr<EVP_CIPHER_CTX, Free> ctx_;
    bool ok_ = false;
};

std::string RandomChallenge() {
    uint8_t raw[kChallengeLength];
    if (RAND_bytes(raw, sizeof raw) != 1) throw std::runtime_error("no random bytes");
    std::string text;
    for (const uint8_t byte : raw) text += kKeyAlphabet[byte & 63];
    return text;
}

std::optional<std::vector<uint8_t>> FromHex(std::string_view hex) {
    if (hex.size() % 2 != 0) return std::nullopt;
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int value = 0;
        for (std::size_t k = i; k < i + 2; ++k) {
            const char c = hex[k];
            int digit = -1;
            if (c >= '0' && c <= '9') digit = c - '0';
            if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
            if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
            if (digit < 0) return std::nullopt;
            value = value * 16 + digit;
        }
        bytes.push_back(static_cast<uint8_t>(value));
    }
    return bytes;
}

Row ResultFields(int32_t code, std::string text) {
    return {{507, platform::FormatInt(code)}, {508, std::move(text)}};
}

}  // namespace

std::unique_ptr<SessionCipher> MakeSessionCipher(std::string_view name, std::string_view key) {
    if (name == "Std" && key.size() == 8) return std::make_unique<StdCipher>(key);
    if (name == "BF" && key.size() == 16 && LegacyCipher("BF-CBC") != nullptr)
        return std::make_unique<BlowfishCipher>(key);
    if (name == "rc4" && key.size() == 16) {
        auto cipher = std::make_unique<Rc4Cipher>(key);
        if (cipher->Usable()) return cipher;
    }
    return nullptr;
}

std::string EncodeKeyText(const std::vector<uint8_t>& bytes) {
    std::string text;
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint8_t b0 = bytes[i], b1 = bytes[i + 1], b2 = bytes[i + 2];
        text += kKeyAlphabet[b0 >> 2];
        text += kKeyAlphabet[(b0 & 3) << 4 | b1 >> 4];
        text += kKeyAlphabet[(b1 & 15) << 2 | b2 >> 6];
        text += kKeyAlphabet[b2 & 63];
    }
    if (bytes.size() - i == 1) {
        text += kKeyAlphabet[bytes[i] >> 2];
        text += kKeyAlphabet[bytes[i] & 3];
    } else if (bytes.size() - i == 2) {
        const uint8_t b0 = bytes[i], b1 = bytes[i + 1];
        text += kKeyAlphabet[b0 >> 2];
        text += kKeyAlphabet[(b0 & 3) << 4 | b1 >> 4];
        text += kKeyAlphabet[b1 & 15];
    }
    return text;
}

std::string ChallengeDigestOf(std::string_view challenge) {
    const std::string twice = std::string(challenge) + std::string(challenge);
    uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_Digest(twice.data(), twice.size(), digest, &length, EVP_md5(), nullptr);
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned i = 0; i < length; ++i) {
        text += kDigits[digest[i] >> 4];
        text += kDigits[digest[i] & 15];
    }
    return text;
}

Authenticator::Authenticator() = default;

void Authenticator::SetChallenge(std::optional<std::string> challenge) {
    std::lock_guard lock(mutex_);
    challenge_ = std::move(challenge);
}

void Authenticator::SetLinkStation(std::string text) {
    std::lock_guard lock(mutex_);
    linkStation_ = std::move(text);
}

Answer Authenticator::KeyAnswer(const ReceivedRequest& request) {
    if (request.Get(235) != "RSA1024") return Answer{{ResultFields(-1, "不支持的认证算法")}};
    std::string challenge;
    {
        std::lock_guard lock(mutex_);
        challenge = challenge_ ? *challenge_ : RandomChallenge();
        issued_[request.connection] = challenge;
    }
    Row row = {{507, "1"},
               {240, "1"},
               {242, EncodeKeyText(KeyNumber(OSSL_PKEY_PARAM_RSA_N))},
               {243, EncodeKeyText(KeyNumber(OSSL_PKEY_PARAM_RSA_E))}};
    if (!challenge.empty()) row.push_back({389, challenge});
    return Answer{{row}};
}

std::optional<std::string> Authenticator::DecryptText(std::string_view hex) const {
    const std::optional<std::vector<uint8_t>> bytes = FromHex(hex);
    if (!bytes || bytes->empty() || bytes->size() % kRsaBlock != 0) return std::nullopt;
    std::unique_ptr<EVP_PKEY_CTX, Free> ctx(
        EVP_PKEY_CTX_new_from_pkey(nullptr, ServerKey(), nullptr));
    if (!ctx || EVP_PKEY_decrypt_init(ctx.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_PADDING) != 1) {
        ERR_clear_error();
        return std::nullopt;
    }
    std::string text;
    for (std::size_t at = 0; at < bytes->size(); at += kRsaBlock) {
        uint8_t plain[kRsaBlock];
        std::size_t length = sizeof plain;
        if (EVP_PKEY_decrypt(ctx.get(), plain, &length, bytes->data() + at, kRsaBlock) != 1) {
            ERR_clear_error();
            return std::nullopt;
        }
        text.append(reinterpret_cast<const char*>(plain), length);
    }
    return text;
}

Authenticator::Outcome Authenticator::Refuse(AuthenticationRecord record, std::string text) {
    Outcome outcome;
    outcome.answer.rows.push_back(ResultFields(-1, text));
    record.refusal = std::move(text);
    std::lock_guard lock(mutex_);
    records_.push_back(std::move(record));
    return outcome;
}

Authenticator::Outcome Authenticator::Authenticate(const ReceivedRequest& request) {
    AuthenticationRecord record;
    record.connection = request.connection;
    record.digest = request.Get(390);
    const std::string sealed = request.Get(245);
    if (sealed.empty()) return Refuse(std::move(record), "认证信息为空");
    const std::optional<std::string> text = DecryptText(sealed);
    if (!text) return Refuse(std::move(record), "认证信息无法解密");
    std::string_view rest = *text;
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        if (comma == std::string_view::npos) return Refuse(std::move(record), "认证信息格式错误");
        record.values.emplace_back(rest.substr(0, comma));
        rest.remove_prefix(comma + 1);
    }
    if (record.values.size() != 9) return Refuse(std::move(record), "认证信息格式错误");
    std::string issued;
    std::string linkStation;
    {
        std::lock_guard lock(mutex_);
        if (auto it = issued_.find(request.connection); it != issued_.end()) issued = it->second;
        linkStation = linkStation_;
    }
    if (!issued.empty() && record.digest != ChallengeDigestOf(issued))
        return Refuse(std::move(record), "认证摘要不符");
    Outcome outcome;
    const std::string& key = record.values[2];
    const std::string& name = record.values[4];
    if (!key.empty() || !name.empty()) {
        outcome.cipher = MakeSessionCipher(name, key);
        if (!outcome.cipher) return Refuse(std::move(record), "会话密钥无效");
    }
    Row row = {{507, "1"}, {240, "1"}, {203, "testserver"}};
    if (!linkStation.empty()) row.push_back({212, linkStation});
    outcome.answer.rows.push_back(std::move(row));
    outcome.accepted = true;
    record.accepted = true;
    std::lock_guard lock(mutex_);
    records_.push_back(std::move(record));
    return outcome;
}

std::vector<AuthenticationRecord> Authenticator::Records() const {
    std::lock_guard lock(mutex_);
    return records_;
}

}  // namespace testserver
