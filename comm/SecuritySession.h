// The security-session authentication: a key exchange with mutual proof through the
// security-session crypto module, whose body cipher then serves the connection.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "comm/SymmetricCipher.h"

namespace NoltComm {

class CFixApiClient;
class CQvCryptoManager;

inline constexpr int32_t kFunctionSessionKeyExchange = 100;
inline constexpr int32_t kFunctionSessionConfirm = 101;
inline constexpr char kSessionKeyAlgorithm[] = "SWRSA";
inline constexpr char kSessionBodyCipher[] = "SW_ALG34";
inline constexpr char kDefaultSecuritySessionModule[] = "DORUD.dll";

// The module's file name, a setting of the installation ("DORUD.dll" unless set; a ".dll"
// name is looked for as ".so"). Thread-safe.
void SetSecuritySessionModule(std::string_view fileName);
std::string GetSecuritySessionModule();

// Runs the handshake on the client's connected, not yet authenticated link: requests 100 and
// 101 go out with the handshake mark and are answered before this returns. The caller holds
// the connection's authentication lock and has marked it not authenticated; on true it marks
// it authenticated. Once the session key is accepted, the module's body cipher replaces
// `cipher` (the connection's, which it owns) and is installed on the link for decryption; the
// link's encryption switch is left as it is. Even when request 101 is then refused, that
// cipher stays. False with the reason in errorText; the texts of the module objects and of
// the server are passed on, nothing secret is written anywhere.
bool AuthenticateBySecuritySession(CFixApiClient& client, std::string_view authValue1,
                                   std::string_view authValue2,
                                   std::unique_ptr<CQvSymmetricCipher>& cipher,
                                   std::string& errorText, CQvCryptoManager& manager);

}  // namespace NoltComm
