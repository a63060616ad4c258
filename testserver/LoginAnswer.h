// The server's answer to the login (16551): the password decrypted and compared with the
// account's, the account's fields on success and a refusal with its text otherwise.
#pragma once

#include <string>
#include <vector>

#include "testserver/TestServer.h"
#include "testserver/TradingDay.h"

namespace testserver {

inline constexpr int32_t kFunctionLogin = 16551;

struct LoginAccount {
    std::string khh;  // as the client sends it (12 characters at least)
    std::string password;
    std::string branch = "0001";
    std::string name = "测试客户";
    Row extra;  // more fields for the success row (727, 1777, 1787, ...)
};

// The refusal texts.
inline constexpr const char* kLoginUnknownAccount = "客户号不存在";
inline constexpr const char* kLoginWrongPassword = "交易密码错误";

// A hook for TestServer::SetHook(kFunctionLogin, ...).
TestServer::Hook LoginAnswerHook(std::vector<LoginAccount> accounts);

// A trading day's accounts as accounts that can log in: number, password, branch, name and the
// rest of the account's information fields.
std::vector<LoginAccount> LoginAccountsOf(const TradingDay& day);

}  // namespace testserver
