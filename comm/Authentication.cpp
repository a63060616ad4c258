// The built-in communication authentication (requests 22 and 23), the challenge digest, the
// authentication text and the trace masking of the password items.
#include "comm/Authentication.h"

#include <openssl/evp.h>

#include <mutex>
#include <span>

#include "comm/CryptoManager.h"
#include "comm/FixApiClient.h"
#include "comm/FixRequest.h"
#include "comm/RsaKey.h"
#include "comm/RsaPublicKey.h"

namespace NoltComm {

namespace {

constexpr int32_t kTagKeyAlgorithm = 235;
constexpr int32_t kTagHeadValue1 = 230;
constexpr int32_t kTagResult = 507;
constexpr int32_t kTagResult2 = 240;
constexpr int32_t kTagModulus = 242;
constexpr int32_t kTagExponent = 243;
constexpr int32_t kTagChallenge = 389;
constexpr int32_t kTagCipherText = 245;
constexpr int32_t kTagDigest = 390;
constexpr int32_t kTagServerText = 203;
constexpr int32_t kTagLinkStation = 212;
constexpr int32_t kTagAnswerText = 508;

constexpr char kMask[] = "***";
constexpr std::string_view kSecretTags[] = {"598", "714"};

// RSA encryption is serialised program-wide, as the key holders of every connection share
// the library's random generator.
std::mutex& RsaEncryptionLock() {
    static std::mutex lock;
    return lock;
}

struct ReleaseRequest {
    void operator()(CFixRequest* request) const { request->Release(); }
};
using RequestRef = std::unique_ptr<CFixRequest, ReleaseRequest>;

// A handshake request that the not yet ready link lets through.
RequestRef HandshakeRequest(CFixApiClient& client, int32_t function) {
    RequestRef request(client.CreateRequest());
    request->BeginRequest(function);
    request->SetHandshakeMark(true);
    request->SetPushFlag(true);
    return request;
}

// Item 507 or 240 of 0 or less refuses the step: the server's text, else a text of our own.
bool Refused(CFixRequest& request, std::string& errorText) {
    for (const int32_t tag : {kTagResult, kTagResult2}) {
        if (request.HasField(tag) && request.GetLong(tag) <= 0) {
            errorText = request.GetString(kTagAnswerText);
            if (errorText.empty()) errorText = "服务器拒绝通信认证";
            return true;
        }
    }
    return false;
}

// The reason when no answer row was counted.
std::string NoAnswerText(CFixRequest& request) {
    std::string text = request.GetErrorText();
    return text.empty() ? std::string("通信认证没有应答") : "通信认证没有应答: " + text;
}

}  // namespace

std::string DigestHex(std::string_view data) {
    uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), digest, &length, EVP_md5(), nullptr) != 1) {
        return std::string();
    }
    std::string text = ToHex(std::span<const uint8_t>(digest, length));
    for (char& c : text) {
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::string ChallengeDigest(std::string_view challenge) {
    return DigestHex(std::string(challenge) + std::string(challenge));
}

std::string BuildAuthenticationText(const AuthenticationValues& values) {
    const bool defaults = values.first.empty();
    const std::string_view parts[] = {
        defaults ? std::string_view(kDefaultAuthText1) : std::string_view(values.first),
        defaults ? std::string_view(kDefaultAuthText2) : std::string_view(values.second),
        values.sessionKey,
        "0",
        values.cipherName,
        values.authAlgorithm,
        values.programName,
        values.versionText,
        values.programName,
    };
    std::string text;
    for (const std::string_view part : parts) {
        text += part;
        text += ',';
    }
    return text;
}

bool AuthenticateBuiltIn(CFixApiClient& client, BuiltInAuthentication& run,
                         std::unique_ptr<CQvSymmetricCipher>& cipher, CQvCryptoManager& manager) {
    const auto fail = [&](std::string text) {
        run.errorText = std::move(text);
        return false;
    };
    CQvRsaPublicKey key;
    std::string challenge;
    {
        RequestRef first = HandshakeRequest(client, kFunctionAuthenticationKey);
        first->AddField(kTagKeyAlgorithm, kAuthenticationKeyAlgorithm);
        first->AddField(kTagHeadValue1, run.headValue1);
        if (first->NextRow()) {
            if (Refused(*first, run.errorText)) return false;
            // A key the server cannot have meant (too short, even exponent) would protect
            // nothing: the values are not sent under it.
            if (!key.SetPublicKey(first->GetString(kTagModulus), first->GetString(kTagExponent))) {
                return fail("服务器公钥无效: " + key.GetErrorText());
            }
            challenge = first->GetString(kTagChallenge);
        }
        if (first->GetRowCount() < 1) return fail(NoAnswerText(*first));
    }

    // The link must stop pointing at the old cipher before it goes.
    client.SetCipher(nullptr);
    cipher.reset();
    cipher = manager.CreateSymmetric(run.sessionCipher);
    run.values.sessionKey.clear();
    run.values.cipherName.clear();
    if (!run.ssl) {
        // Without a session cipher the bodies would travel in clear text after a success.
        if (!cipher) return fail("无法建立会话加密算法: " + manager.GetLastErrorText());
        if (!cipher->GenerateKey()) return fail("无法生成会话密钥");
        run.values.cipherName = cipher->GetName();
        run.values.sessionKey = cipher->GetKey();
        client.SetEncryption(false);
    }

    const std::string text = BuildAuthenticationText(run.values);
    if (text.size() > kMaxAuthenticationText) return fail("认证信息过长");
    std::string sealed;
    int32_t sealedLength = -1;
    {
        std::lock_guard lock(RsaEncryptionLock());
        sealedLength = key.Encrypt(text, sealed);
    }
    // An empty or partly encrypted text must never be sent as if the encryption had worked.
    if (sealedLength <= 0 || sealed.empty()) {
        return fail("认证信息加密失败: " + key.GetErrorText());
    }
    if (sealed.size() > kMaxAuthenticationCipherText) return fail("认证信息过长");

    RequestRef second = HandshakeRequest(client, kFunctionAuthenticate);
    second->AddField(kTagCipherText, sealed);
    if (!challenge.empty()) second->AddField(kTagDigest, ChallengeDigest(challenge));
    // Installed for reading already (the switch stays off): a server may encrypt what it sends
    // right behind its answer, before this thread has woken up to switch encryption on.
    if (!run.values.sessionKey.empty()) client.SetCipher(cipher.get());
    const auto failSecond = [&](std::string reason) {
        client.SetCipher(nullptr);
        return fail(std::move(reason));
    };
    if (second->NextRow()) {
        if (Refused(*second, run.errorText)) return failSecond(run.errorText);
        run.serverText = second->GetString(kTagServerText);
        run.hasLinkStation = second->HasField(kTagLinkStation);
        if (run.hasLinkStation) run.linkStation = second->GetString(kTagLinkStation);
    }
    if (second->GetRowCount() < 1) return failSecond(NoAnswerText(*second));

    client.SetKeyText(run.values.sessionKey);
    if (!run.values.sessionKey.empty()) {
        client.SetCipher(cipher.get());
        client.SetEncryption(true);
    }
    return true;
}

std::string MaskSecretItems(std::string_view body) {
    std::string out;
    out.reserve(body.size());
    while (!body.empty()) {
        const std::size_t end = body.find('\x01');
        const std::string_view item = body.substr(0, end);
        const std::size_t equals = item.find('=');
        bool secret = false;
        if (equals != std::string_view::npos) {
            for (const std::string_view tag : kSecretTags)
                secret = secret || item.substr(0, equals) == tag;
        }
        if (secret) {
            out.append(item.substr(0, equals + 1));
            out += kMask;
        } else {
            out.append(item);
        }
        if (end == std::string_view::npos) break;
        out += '\x01';
        body.remove_prefix(end + 1);
    }
    return out;
}

}  // namespace NoltComm
