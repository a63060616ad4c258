// Requests 100 and 101 of the security-session handshake: the client's proof is checked, a
// fresh session key goes back encrypted for the client's one-time key with the server's
// proof, and the key confirmation of request 101 is checked.
#include "testserver/SecuritySession.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "testserver/TestServer.h"

namespace testserver {

namespace {

// The server's proof key and the client's public proof key of the test installation.
constexpr char kServerProofSeed[] =
    "db0f9e6eabcd2ac53817882389534649c2acaa0cceef21cd051acab0e0d73a62";
constexpr char kClientProofPublic[] =
    "c88077fb29c2456fb290f331f0260b1bbbc0e9b0870e0ac2475bdd4c7492ef4f";
constexpr char kConfirmationLabel[] = "SW_ALG34 key confirmation";
constexpr std::size_t kNonce = 12;
constexpr std::size_t kTag = 16;

std::string ToHex(const uint8_t* bytes, std::size_t n) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < n; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

std::vector<uint8_t> FromHex(const std::string& text) {
    std::vector<uint8_t> bytes;
    if (text.size() % 2 != 0) return {};
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        for (int k = 0; k < 2; ++k) {
            const char c = text[i + k];
            unsigned digit = 0;
            if (c >= '0' && c <= '9')
                digit = static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                digit = static_cast<unsigned>(c - 'a' + 10);
            else
                return {};
            value = value * 16 + digit;
        }
        bytes.push_back(static_cast<uint8_t>(value));
    }
    return bytes;
}

struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
    void operator()(EVP_PKEY_CTX* c) const { EVP_PKEY_CTX_free(c); }
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;

Key Ed25519(const char* hex, bool isPrivate) {
    const std::vector<uint8_t> raw = FromHex(hex);
    return Key(isPrivate ? EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr, raw.data(), 32)
                         : EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, raw.data(), 32));
}

bool VerifyProof(const std::string& data, const std::string& proofHex) {
    const Key key = Ed25519(kClientProofPublic, false);
    const std::vector<uint8_t> proof = FromHex(proofHex);
    std::unique_ptr<EVP_MD_CTX, KeyFree> ctx(EVP_MD_CTX_new());
    const bool ok =
        key && ctx && !proof.empty() &&
        EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
        EVP_DigestVerify(ctx.get(), proof.data(), proof.size(),
                         reinterpret_cast<const uint8_t*>(data.data()), data.size()) == 1;
    ERR_clear_error();
    return ok;
}

std::string SignProof(const std::string& data) {
    const Key key = Ed25519(kServerProofSeed, true);
    std::unique_ptr<EVP_MD_CTX, KeyFree> ctx(EVP_MD_CTX_new());
    uint8_t signature[64];
    std::size_t length = sizeof(signature);
    if (!key || !ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        EVP_DigestSign(ctx.get(), signature, &length, reinterpret_cast<const uint8_t*>(data.data()),
                       data.size()) != 1) {
        return {};
    }
    return ToHex(signature, length);
}

// RSA-OAEP (SHA-256) for the client's one-time public key, given as hex of its DER form.
std::string EncryptFor(const std::string& publicKeyHex, const std::string& plain) {
    const std::vector<uint8_t> der = FromHex(publicKeyHex);
    const uint8_t* p = der.data();
    Key key(d2i_PUBKEY(nullptr, &p, static_cast<long>(der.size())));
    if (!key) return {};
    std::unique_ptr<EVP_PKEY_CTX, KeyFree> ctx(
        EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
    std::vector<uint8_t> out(static_cast<std::size_t>(EVP_PKEY_get_size(key.get())));
    std::size_t length = out.size();
    if (!ctx || EVP_PKEY_encrypt_init(ctx.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_padding(ctx.get(), RSA_PKCS1_OAEP_PADDING) != 1 ||
        EVP_PKEY_CTX_set_rsa_oaep_md(ctx.get(), EVP_sha256()) != 1 ||
        EVP_PKEY_CTX_set_rsa_mgf1_md(ctx.get(), EVP_sha256()) != 1 ||
        EVP_PKEY_encrypt(ctx.get(), out.data(), &length,
                         reinterpret_cast<const uint8_t*>(plain.data()), plain.size()) != 1) {
        return {};
    }
    return ToHex(out.data(), length);
}

std::string Confirmation(const std::string& sessionKey) {
    uint8_t mac[32];
    unsigned length = sizeof(mac);
    HMAC(EVP_sha256(), sessionKey.data(), static_cast<int>(sessionKey.size()),
         reinterpret_cast<const uint8_t*>(kConfirmationLabel), sizeof(kConfirmationLabel) - 1, mac,
         &length);
    return ToHex(mac, length);
}

Answer Refusal(const char* text) { return Answer{{{{507, "-1"}, {508, text}}}}; }

std::string AuthenticatedHeader(const std::string& packet) {
    std::string header = packet.substr(0, kHeaderSize);
    header[0] = header[1] = 0;
    header[7] = static_cast<char>(header[7] | 1);
    return header;
}

void WriteLength(std::string& packet) {
    packet[0] = static_cast<char>(packet.size() & 0xFF);
    packet[1] = static_cast<char>((packet.size() >> 8) & 0xFF);
}

}  // namespace

struct SecuritySessionServer::State {
    mutable std::mutex mutex;
    struct Session {
        std::string key;
        std::string authValue1;
        bool confirmed = false;
    };
    std::map<std::size_t, Session> sessions;
    int32_t confirmResult = 1;
    bool badServerProof = false;

    Answer KeyExchange(const ReceivedRequest& request) {
        const std::string publicKey = request.Get(1);
        const std::string authValue1 = request.Get(4);
        if (!VerifyProof(authValue1 + ";" + publicKey, request.Get(2))) {
            return Refusal("客户端证明无效");
        }
        uint8_t raw[32];
        if (RAND_bytes(raw, sizeof(raw)) != 1) return Refusal("服务器无法生成会话密钥");
        const std::string key = ToHex(raw, sizeof(raw));
        const std::string sealed = EncryptFor(publicKey, key);
        if (sealed.empty()) return Refusal("客户端公钥无效");
        std::string proof = SignProof(key);
        {
            std::lock_guard lock(mutex);
            sessions[request.connection] = Session{key, authValue1, false};
            if (badServerProof) proof = SignProof(key + "x");
        }
        return Answer{{{{507, "1"}, {3, sealed}, {2, proof}}}};
    }

    Answer Confirm(const ReceivedRequest& request) {
        std::lock_guard lock(mutex);
        auto it = sessions.find(request.connection);
        if (it == sessions.end()) return Refusal("没有安全会话");
        if (request.Get(4) != it->second.authValue1 ||
            request.Get(6) != Confirmation(it->second.key)) {
            return Refusal("会话密钥确认失败");
        }
        it->second.confirmed = confirmResult > 0;
        if (confirmResult <= 0) {
            return Answer{{{{507, std::to_string(confirmResult)}, {508, "会话确认未通过"}}}};
        }
        return Answer{{{{507, std::to_string(confirmResult)}}}};
    }
};

SecuritySessionServer::SecuritySessionServer(TestServer& server)
    : state_(std::make_shared<State>()) {
    std::shared_ptr<State> state = state_;
    server.SetHook(100, [state](const ReceivedRequest& r) { return state->KeyExchange(r); });
    server.SetHook(101, [state, &server](const ReceivedRequest& r) {
        Answer answer = state->Confirm(r);
        bool confirmed = false;
        {
            std::lock_guard lock(state->mutex);
            auto it = state->sessions.find(r.connection);
            confirmed = it != state->sessions.end() && it->second.confirmed;
        }
        if (confirmed) server.MarkAuthenticated(r.connection);
        return answer;
    });
}

std::string SecuritySessionServer::SessionKey(std::size_t connection) const {
    std::lock_guard lock(state_->mutex);
    auto it = state_->sessions.find(connection);
    return it == state_->sessions.end() ? std::string() : it->second.key;
}

bool SecuritySessionServer::Confirmed(std::size_t connection) const {
    std::lock_guard lock(state_->mutex);
    auto it = state_->sessions.find(connection);
    return it != state_->sessions.end() && it->second.confirmed;
}

void SecuritySessionServer::SetConfirmResult(int32_t result) {
    std::lock_guard lock(state_->mutex);
    state_->confirmResult = result;
}

void SecuritySessionServer::SetBadServerProof(bool bad) {
    std::lock_guard lock(state_->mutex);
    state_->badServerProof = bad;
}

std::string SecuritySessionServer::EncryptPacket(const std::string& sessionKey,
                                                 const std::string& packet) {
    const std::vector<uint8_t> key = FromHex(sessionKey);
    if (key.size() != 32 || packet.size() < kHeaderSize) return {};
    uint8_t nonce[kNonce];
    RAND_bytes(nonce, sizeof(nonce));
    const std::string aad = AuthenticatedHeader(packet);
    const std::string body = packet.substr(kHeaderSize);
    std::string cipher(body.size() + kTag, '\0');
    auto* out = reinterpret_cast<uint8_t*>(cipher.data());
    std::unique_ptr<EVP_CIPHER_CTX, KeyFree> ctx(EVP_CIPHER_CTX_new());
    int n = 0;
    EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.data(), nonce);
    EVP_EncryptUpdate(ctx.get(), nullptr, &n, reinterpret_cast<const uint8_t*>(aad.data()),
                      static_cast<int>(aad.size()));
    EVP_EncryptUpdate(ctx.get(), out, &n, reinterpret_cast<const uint8_t*>(body.data()),
                      static_cast<int>(body.size()));
    EVP_EncryptFinal_ex(ctx.get(), out + body.size(), &n);
    EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kTag, out + body.size());
    std::string result = aad;
    result.append(reinterpret_cast<const char*>(nonce), kNonce);
    result += cipher;
    WriteLength(result);
    return result;
}

std::optional<std::string> SecuritySessionServer::DecryptPacket(const std::string& sessionKey,
                                                                const std::string& packet) {
    const std::vector<uint8_t> key = FromHex(sessionKey);
    if (key.size() != 32 || packet.size() < kHeaderSize + kNonce + kTag) return std::nullopt;
    const std::string aad = AuthenticatedHeader(packet);
    const auto* nonce = reinterpret_cast<const uint8_t*>(packet.data()) + kHeaderSize;
    const std::size_t n = packet.size() - kHeaderSize - kNonce - kTag;
    std::string plain(n, '\0');
    std::string tag = packet.substr(packet.size() - kTag);
    std::unique_ptr<EVP_CIPHER_CTX, KeyFree> ctx(EVP_CIPHER_CTX_new());
    int got = 0;
    const bool ok =
        EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.data(), nonce) == 1 &&
        EVP_DecryptUpdate(ctx.get(), nullptr, &got, reinterpret_cast<const uint8_t*>(aad.data()),
                          static_cast<int>(aad.size())) == 1 &&
        EVP_DecryptUpdate(ctx.get(), reinterpret_cast<uint8_t*>(plain.data()), &got, nonce + kNonce,
                          static_cast<int>(n)) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTag, tag.data()) == 1 &&
        EVP_DecryptFinal_ex(ctx.get(), reinterpret_cast<uint8_t*>(plain.data()) + n, &got) == 1;
    ERR_clear_error();
    if (!ok) return std::nullopt;
    std::string result = packet.substr(0, kHeaderSize);
    result[7] = static_cast<char>(result[7] & ~1);
    result += plain;
    WriteLength(result);
    return result;
}

}  // namespace testserver
