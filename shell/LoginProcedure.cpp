// Login request steps over the encryption and collector stand-ins and the account table.
#include "shell/LoginProcedure.h"

#include <algorithm>

#include "platform/outside/SysInfoCollector.h"
#include "platform/outside/VaultCipher.h"
#include "shell/services/LogLine.h"
#include "shell/services/StartupSettings.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Scrambler.h"
#include "tradedata/TradeRequest.h"

namespace shell {
namespace {

using tavroEncrypt::CVaultCipher;

constexpr int kCollectorBuffer = 1023;
constexpr int kDescriptionLimit = 512;
// The authorisation code the trading server expects of this program.
constexpr std::string_view kAuthCode = "5f0c2a9e71d84b3c96ae0d27f1b86c45";

std::string LeftPad(std::string_view text, size_t width) {
    std::string out;
    if (text.size() < width) out.assign(width - text.size(), '0');
    out.append(text);
    return out;
}

std::string CutChars(std::string_view text, size_t n) {
    return std::string(text.substr(0, std::min(text.size(), n)));
}

TerminalDescription Failed(int32_t status, std::string log, std::string message) {
    WriteLogLine(log);
    TerminalDescription d;
    d.status = status;
    d.failure = std::move(message);
    return d;
}

}  // namespace

std::string PadCustomerNumber(std::string_view typed) {
    std::string khh = CutChars(typed, 31);
    tradedata::PadAccountNumber(khh);
    return khh;
}

std::string LoginKeyOf(std::string_view paddedKhh) { return LeftPad(CutChars(paddedKhh, 16), 16); }

bool EncryptLoginText(std::string_view key, std::string_view plain, std::string* text) {
    std::string withNul(plain);
    withNul.push_back('\0');
    return CVaultCipher::Encrypt(CVaultCipher::kTypeAesGcm, key, withNul, text);
}

TerminalDescription CollectTerminalDescription(const SysInfoCollector& collector) {
    char buffer[kCollectorBuffer + 1] = {};
    int length = kCollectorBuffer;
    const int status = collector ? collector(buffer, &length) : -1;
    if (status < 0)
        return Failed(
            status,
            "信息采集 ERROR INFO:TavroGetSysInfo return value:" + std::to_string(status) + ".",
            "信息采集失败!");
    TerminalDescription d;
    d.status = status;
    if (status > 0) {
        WriteLogLine(
            "信息采集 ERROR INFO:TavroGetSysInfo input buffer is not enough,it at least needs:" +
            std::to_string(status) + ".");
        return d;
    }
    length = std::clamp(length, 0, kCollectorBuffer);
    std::string plain;
    if (!CVaultCipher::Decrypt(CVaultCipher::kTypeAesGcm, tavro::SysInfoKey(),
                               std::string_view(buffer, static_cast<size_t>(length)), &plain))
        return Failed(status, "信息采集 ERROR INFO:Decrypt failed.", "采集信息解密失败!");
    // A description that does not fit the 512 bytes the server takes is no description.
    if (plain.size() > static_cast<size_t>(kDescriptionLimit)) {
        return Failed(
            status,
            "信息采集 ERROR INFO:Decrypt out buffer is not enough,the actual out size is:" +
                std::to_string(plain.size()) + ".",
            "采集信息格式错误!");
    }
    if (std::count(plain.begin(), plain.end(), '@') != 3)
        return Failed(status, "信息采集 ERROR INFO:Information format error.", "采集信息格式错误!");
    d.collected = true;
    d.text = std::move(plain);
    return d;
}

bool ComposeLoginRequest(NoltComm::CTradeRequest& request, const LoginInputs& inputs,
                         const TerminalDescription& terminal, std::string* failure) {
    const std::string key = LoginKeyOf(inputs.khh);
    std::string password;
    std::string authCode;
    // Sending what a failed cipher left behind would only earn a refusal the user cannot
    // understand: the login stops here with its own message.
    if (!EncryptLoginText(key, CutChars(inputs.password, 31), &password)) {
        WriteLogLine("用户登录 ERROR INFO: Encrypt jymm failed.");
        if (failure) *failure = "密码加密失败!";
        return false;
    }
    if (!EncryptLoginText(key, kAuthCode, &authCode)) {
        WriteLogLine("用户登录 ERROR INFO: Encrypt authcode failed.");
        if (failure) *failure = "授权码加密失败!";
        return false;
    }
    request.SetFunction(kLoginFunction);
    request.SetString(605, inputs.khh);
    request.SetString(598, password);
    request.SetLong(621, 1);
    request.SetString(11001005, kLoginApplicationId);
    request.SetString(11001013, authCode);
    request.SetLong(781, 2);
    request.SetLong(7153, 1);
    request.SetString(3072, inputs.versionText);
    request.SetLong(1029, terminal.status);
    if (terminal.collected) request.SetString(11001003, terminal.text);
    if (inputs.checkStamp) request.SetString(1062, inputs.machineInfo);
    const std::string extra = CutChars(inputs.extra, 31);
    if (inputs.authStyle == 1) request.SetBytes(3004, tradedata::XorScrambleUtf8(extra));
    if (inputs.authStyle == 2) request.SetString(920, extra);
    return true;
}

int ApplyLoginAnswer(NoltComm::CTradeRequest& answer, const LoginInputs& inputs) {
    using tradedata::AccountTable;
    std::string khh = answer.GetString(605);
    if (khh.empty()) khh = inputs.khh;
    const std::string branch = answer.GetString(697);
    const std::string name = answer.GetString(613);
    const std::string password = CutChars(inputs.password, 31);
    const int row =
        tradedata::AddAccount(1, khh, branch.c_str(), name.c_str(), password.c_str(), nullptr);
    if (row < 0) return row;
    AccountTable.Set(570, answer.GetLong(570), row);
    AccountTable.Set(1844, answer.GetLong(1844), row);
    for (int32_t tag : {922, 1831, 964, 1730, 3001, 1332, 920})
        AccountTable.Set(tag, answer.GetString(tag), row);
    AccountTable.Set(820, answer.GetLong(820), row);

    int32_t flags = 3;
    if (!answer.GetString(964).empty()) flags |= 0x4000;
    if (answer.GetLong(9020) == 1 && answer.GetString(1832) < answer.GetString(1831))
        flags |= 0x100;
    if (answer.GetLong(1787) & 0x1) flags |= 0x8;
    tradedata::SetAccountFlag(flags, row);

    ClearAppStateFlags(0xF);
    SetAppStateFlags(static_cast<uint32_t>(answer.GetLong(727)) & 0xF);
    return row;
}

std::string LoginMessage(int32_t status, std::string_view serverText) {
    if (status == 1) return "系统正在清算，您所查询到的数据可能不是本日最终结果，请稍候再查。";
    if (status == 2) return "测试环境，所有数据仅供测试。";
    return std::string(serverText);
}

}  // namespace shell
