// The built-in communication authentication of a FixApi connection (the server's RSA key and
// challenge, the encrypted authentication text, the session key) and the masking of secret
// items in packet traces.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "comm/SymmetricCipher.h"

namespace NoltComm {

class CFixApiClient;
class CQvCryptoManager;

inline constexpr int32_t kFunctionAuthenticationKey = 22;
inline constexpr int32_t kFunctionAuthenticate = 23;
inline constexpr char kAuthenticationKeyAlgorithm[] = "RSA1024";
inline constexpr char kDefaultSessionCipher[] = "Std";
// Used in place of the two authentication texts when the first one is empty.
inline constexpr char kDefaultAuthText1[] = "zeduror";
inline constexpr char kDefaultAuthText2[] = "vivizaru";
// The server reads the authentication text into a 1,024-byte buffer and its cipher text into
// one of 2,048 bytes (both with their terminator).
inline constexpr std::size_t kMaxAuthenticationText = 1023;
inline constexpr std::size_t kMaxAuthenticationCipherText = 2047;

// The 16-byte MD5 digest of the data as 32 upper-case hexadecimal digits (empty when the
// crypto library fails).
std::string DigestHex(std::string_view data);
// Item 390: DigestHex of the challenge written twice.
std::string ChallengeDigest(std::string_view challenge);

struct AuthenticationValues {
    std::string first;
    std::string second;
    std::string sessionKey;     // empty when no key is made (SSL)
    std::string cipherName;     // likewise
    std::string authAlgorithm;  // the link's, "Std" or empty
    std::string programName;
    std::string versionText;
};

// The nine values, each followed by ","; an empty first text puts both defaults in front.
std::string BuildAuthenticationText(const AuthenticationValues& values);

// One run of the built-in handshake: what the client gives it and what it leaves.
struct BuiltInAuthentication {
    std::string headValue1;
    AuthenticationValues values;  // sessionKey and cipherName are filled by the run
    std::string sessionCipher = kDefaultSessionCipher;
    bool ssl = false;  // no session key: the bodies travel inside the SSL connection

    std::string serverText;   // item 203
    std::string linkStation;  // item 212
    bool hasLinkStation = false;
    std::string errorText;  // the reason of a failure; never a secret
};

// Requests 22 and 23 on the client's connected, not yet ready link. The caller holds the link
// state's authentication lock. The new body cipher replaces `cipher` (the connection owns it)
// once the server's first answer is accepted. True: the link's key text is set and, with a
// key, its encryption switched on with that cipher; the caller marks the link ready. False:
// the reason in run.errorText, the link unencrypted and without that cipher.
bool AuthenticateBuiltIn(CFixApiClient& client, BuiltInAuthentication& run,
                         std::unique_ptr<CQvSymmetricCipher>& cipher, CQvCryptoManager& manager);

// A packet body (tag=value items separated by SOH) with the values of the trade and funds
// passwords (items 598 and 714) replaced by "***", for trace lines.
std::string MaskSecretItems(std::string_view body);

}  // namespace NoltComm
