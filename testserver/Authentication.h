// The server side of the built-in communication authentication (requests 22 and 23: the RSA
// key and challenge, the encrypted authentication text, the session key) and the body ciphers
// "Std", "BF" and "rc4" as the server applies them, written from the protocol with the crypto
// library directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "testserver/Answer.h"
#include "testserver/Packet.h"

namespace testserver {

inline constexpr int32_t kFunctionAuthenticationKey = 22;
inline constexpr int32_t kFunctionAuthenticate = 23;

// A connection's body cipher. Encrypt and Decrypt work on a whole packet (header and body) in
// place; false leaves it unusable for the protocol (the caller drops it). Thread-safe.
class SessionCipher {
public:
    virtual ~SessionCipher() = default;
    virtual bool Encrypt(std::string& packet) = 0;
    virtual bool Decrypt(std::string& packet) = 0;
};

// The cipher of the name ("Std" with an 8-character key, "BF" and "rc4" with 16 characters);
// null for an unknown name or a key of the wrong length.
std::unique_ptr<SessionCipher> MakeSessionCipher(std::string_view name, std::string_view key);

// The key-text form of a big-endian number (the 64-character key alphabet, 6 bits each).
std::string EncodeKeyText(const std::vector<uint8_t>& bytes);

// MD5 of the challenge written twice, upper-case hexadecimal.
std::string ChallengeDigestOf(std::string_view challenge);

// What the server made of one request 23.
struct AuthenticationRecord {
    std::size_t connection = 0;
    bool accepted = false;
    std::string refusal;              // item 508 of a refusal
    std::vector<std::string> values;  // the nine values of the decrypted text
    std::string digest;               // item 390 as received
};

class Authenticator {
public:
    // One 1024-bit key (exponent 65537) serves every server of the process.
    Authenticator();

    // The challenge of the following requests 22 (item 389); empty sends none. Random unless set.
    void SetChallenge(std::optional<std::string> challenge);
    // Item 212 in the answer to request 23 when not empty.
    void SetLinkStation(std::string text);

    Answer KeyAnswer(const ReceivedRequest& request);

    struct Outcome {
        Answer answer;
        bool accepted = false;
        std::unique_ptr<SessionCipher> cipher;  // null when the client made no session key
    };
    Outcome Authenticate(const ReceivedRequest& request);

    std::vector<AuthenticationRecord> Records() const;

    // The RSA private-key decryption of 128-byte blocks given in hexadecimal; nullopt when it
    // is empty, no whole blocks, or a block does not decrypt.
    std::optional<std::string> DecryptText(std::string_view hex) const;

private:
    Outcome Refuse(AuthenticationRecord record, std::string text);

    mutable std::mutex mutex_;
    std::optional<std::string> challenge_;
    std::string linkStation_;
    std::map<std::size_t, std::string> issued_;  // the challenge each connection was given
    std::vector<AuthenticationRecord> records_;
};

}  // namespace testserver
