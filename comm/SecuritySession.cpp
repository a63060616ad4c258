// The security-session handshake over the crypto manager and the module's objects.
#include "comm/SecuritySession.h"

#include <mutex>

#include "comm/AsymmetricCipher.h"
#include "comm/CryptoManager.h"
#include "comm/FixApiClient.h"

namespace NoltComm {

namespace {

std::mutex g_moduleMutex;
std::string g_moduleName = kDefaultSecuritySessionModule;

// One reference to a request, released on every way out.
class RequestHold {
public:
    explicit RequestHold(CFixRequest* request) : request_(request) {}
    ~RequestHold() {
        if (request_ != nullptr) request_->Release();
    }
    RequestHold(const RequestHold&) = delete;
    RequestHold& operator=(const RequestHold&) = delete;
    CFixRequest* operator->() const { return request_; }
    explicit operator bool() const { return request_ != nullptr; }

private:
    CFixRequest* request_;
};

struct Item {
    int32_t tag;
    std::string_view value;
};

// Sends a handshake request and waits for its first row. True when item 507 is above 0; else
// the server's item 508, or the request's own reason when no answer came.
bool Exchange(RequestHold& request, int32_t function, std::initializer_list<Item> items,
              std::string& errorText) {
    if (!request) {
        errorText = "安全会话请求无法建立";
        return false;
    }
    bool composed = request->BeginRequest(function);
    for (const Item& item : items) composed = composed && request->AddField(item.tag, item.value);
    if (!composed) {
        errorText = "安全会话请求过长";
        return false;
    }
    request->SetHandshakeMark(true);
    const bool answered = request->NextRow();
    const int32_t result = answered && request->HasField(507) ? request->GetLong(507) : -1;
    if (result > 0) return true;
    errorText = answered ? request->GetString(508) : request->GetErrorText();
    if (errorText.empty()) errorText = "安全会话认证被拒绝";
    return false;
}

// The object's own reason; a module that gives none must not turn a failure into a blank.
std::string ReasonOf(const CQvAsymmetricCipher& object) {
    std::string text = object.GetErrorText();
    if (text.empty()) text = "安全会话算法" + object.GetName() + "操作失败";
    return text;
}

}  // namespace

void SetSecuritySessionModule(std::string_view fileName) {
    std::lock_guard lock(g_moduleMutex);
    g_moduleName.assign(fileName);
}

std::string GetSecuritySessionModule() {
    std::lock_guard lock(g_moduleMutex);
    return g_moduleName;
}

bool AuthenticateBySecuritySession(CFixApiClient& client, std::string_view authValue1,
                                   std::string_view authValue2,
                                   std::unique_ptr<CQvSymmetricCipher>& cipher,
                                   std::string& errorText, CQvCryptoManager& manager) {
    if (!manager.LoadModule(GetSecuritySessionModule())) {
        errorText = manager.GetLastErrorText();
        return false;
    }
    // A makes the one-time key pair and reads the server's answer, B proves who we are, C
    // checks the server's proof.
    auto keyPair = manager.CreateAsymmetric(kSessionKeyAlgorithm, 0);
    if (!keyPair) {
        errorText = manager.GetLastErrorText();
        return false;
    }
    if (!keyPair->GenerateKeyPair()) {
        errorText = ReasonOf(*keyPair);
        return false;
    }
    auto prover = manager.CreateAsymmetric(kSessionKeyAlgorithm, 0);
    if (!prover) {
        errorText = manager.GetLastErrorText();
        return false;
    }
    if (!prover->SetPrivateKey(std::string())) {
        errorText = ReasonOf(*prover);
        return false;
    }
    const std::string publicKey = keyPair->GetKey();
    std::string proof;
    if (!prover->Sign(std::string(authValue1) + ";" + publicKey, proof)) {
        errorText = ReasonOf(*prover);
        return false;
    }
    auto checker = manager.CreateAsymmetric(kSessionKeyAlgorithm, 0);
    if (!checker) {
        errorText = manager.GetLastErrorText();
        return false;
    }
    if (!checker->SetPublicKey(std::string())) {
        errorText = ReasonOf(*checker);
        return false;
    }

    RequestHold exchange(client.CreateRequest());
    if (!Exchange(exchange, kFunctionSessionKeyExchange,
                  {{1, publicKey}, {2, proof}, {4, authValue1}}, errorText)) {
        return false;
    }
    std::string sessionKey;
    if (!keyPair->PrivateDecrypt(exchange->GetString(3), sessionKey)) {
        errorText = ReasonOf(*keyPair);
        return false;
    }
    if (!checker->Verify(sessionKey, exchange->GetString(2))) {
        errorText = ReasonOf(*checker);
        return false;
    }
    auto session = manager.CreateSymmetric(kSessionBodyCipher);
    if (!session) {
        errorText = "加载安全会话算法失败";
        return false;
    }
    if (!session->SetKey(sessionKey)) {
        client.SetCipher(nullptr);
        cipher.reset();
        errorText = session->GetErrorText();
        if (errorText.empty()) errorText = "安全会话密钥无效";
        return false;
    }
    // Installed before the confirmation, whose answer may already come encrypted. The old
    // cipher goes only after the link stopped pointing at it.
    client.SetCipher(session.get());
    std::swap(cipher, session);
    session.reset();

    RequestHold confirm(client.CreateRequest());
    return Exchange(confirm, kFunctionSessionConfirm,
                    {{4, authValue1}, {5, authValue2}, {6, keyPair->GetAuxText()}}, errorText);
}

}  // namespace NoltComm
