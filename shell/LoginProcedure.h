// The login request's own steps, apart from the dialog: the customer number and key, the
// encrypted password and authorisation code, the terminal description, request 16551 and
// what its answer puts into the account row.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace NoltComm {
class CTradeRequest;
}

namespace shell {

inline constexpr int32_t kLoginFunction = 16551;
inline constexpr const char* kLoginApplicationId = "tavro_brisko_1.6.3";

// At most 31 characters of the typed number, left-padded with '0' to 12.
std::string PadCustomerNumber(std::string_view typed);
// The first 16 characters of the padded number, left-padded with '0' to 16.
std::string LoginKeyOf(std::string_view paddedKhh);

// Type-14 Base64 text of `plain` and its terminating NUL, in a buffer sized from the
// encoder; false when the cipher failed.
bool EncryptLoginText(std::string_view key, std::string_view plain, std::string* text);

// The outside collector's entry: fills the buffer, says the size it needs (> 0) or fails (-1).
using SysInfoCollector = std::function<int(char* buffer, int* length)>;

// The terminal description the login carries, or why the login cannot go on.
struct TerminalDescription {
    int32_t status = 0;      // the collector's status (field 1029)
    bool collected = false;  // `text` goes out as field 11001003
    std::string text;
    std::string failure;  // not empty: the message that ends the login
};
TerminalDescription CollectTerminalDescription(const SysInfoCollector& collector);

struct LoginInputs {
    std::string khh;       // padded
    std::string password;  // at most 31 characters
    std::string extra;     // communication password (style 1) or dynamic token (style 2)
    int32_t authStyle = 0;
    bool checkStamp = false;  // sends the machine identification text
    std::string machineInfo;
    std::string versionText;
};

// Composes request 16551 in the field order the server expects; false with the message to
// show when a text could not be encrypted.
bool ComposeLoginRequest(NoltComm::CTradeRequest& request, const LoginInputs& inputs,
                         const TerminalDescription& terminal, std::string* failure);

// The logged-in account's row from the answer's current row: added, given its fields and
// flags, and the system status put into `AppStateFlags`. Returns the row.
int ApplyLoginAnswer(NoltComm::CTradeRequest& answer, const LoginInputs& inputs);

// The message shown after the login: 1777, or the fixed texts of status 1 and 2.
std::string LoginMessage(int32_t status, std::string_view serverText);

}  // namespace shell
