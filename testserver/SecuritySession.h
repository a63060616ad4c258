// The server side of the security-session handshake (requests 100 and 101) with the
// algorithms of the test security-session module, written apart from the module's code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace testserver {

class TestServer;

class SecuritySessionServer {
public:
    // Answers requests 100 and 101 on the server from now on (hooks; the server must not be
    // serving those functions otherwise).
    explicit SecuritySessionServer(TestServer& server);

    // The session key text handed to the connection by request 100; empty before.
    std::string SessionKey(std::size_t connection) const;
    // Whether request 101 of the connection passed every check.
    bool Confirmed(std::size_t connection) const;
    // The result item 507 of an accepted request 101 (1 unless set).
    void SetConfirmResult(int32_t result);
    // Request 100 answers with a proof that does not hold.
    void SetBadServerProof(bool bad);

    // A packet (header and body) encrypted and decrypted as the module's "SW_ALG34" does
    // with the session key; nullopt when it does not authenticate.
    static std::string EncryptPacket(const std::string& sessionKey, const std::string& packet);
    static std::optional<std::string> DecryptPacket(const std::string& sessionKey,
                                                    const std::string& packet);

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace testserver
