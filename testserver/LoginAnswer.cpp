// The login answer: the key is the customer number cut to 16 characters and left-padded with
// '0' to 16, as the client keys its cipher texts.
#include "testserver/LoginAnswer.h"

#include "testserver/VaultCipher.h"

namespace testserver {
namespace {

std::string KeyOf(const std::string& khh) {
    std::string key = khh.substr(0, 16);
    return std::string(16 - key.size(), '0') + key;
}

Answer Refusal(const char* text) { return Answer{{Row{{507, "-1"}, {508, text}}}}; }

}  // namespace

TestServer::Hook LoginAnswerHook(std::vector<LoginAccount> accounts) {
    return [accounts = std::move(accounts)](const ReceivedRequest& request) {
        const std::string khh = request.Get(605);
        for (const LoginAccount& account : accounts) {
            if (account.khh != khh) continue;
            std::string plain;
            // The client encrypts the password with its terminating NUL.
            if (!DecryptVaultText(KeyOf(khh), request.Get(598), &plain) ||
                plain != account.password + std::string(1, '\0'))
                return Refusal(kLoginWrongPassword);
            Row row{{507, "1"}, {605, khh}, {697, account.branch}, {613, account.name}};
            row.insert(row.end(), account.extra.begin(), account.extra.end());
            return Answer{{row}};
        }
        return Refusal(kLoginUnknownAccount);
    };
}

std::vector<LoginAccount> LoginAccountsOf(const TradingDay& day) {
    std::vector<LoginAccount> out;
    for (const TradingAccount& account : day.accounts) {
        LoginAccount login;
        login.khh = account.khh;
        login.password = account.password;
        if (const std::string branch = FieldOf(account.info, 697); !branch.empty())
            login.branch = branch;
        if (const std::string name = FieldOf(account.info, 613); !name.empty()) login.name = name;
        // The rest of the account's fields (services, dates, prompt) come with the answer.
        for (const auto& field : account.info)
            if (field.tag != 697 && field.tag != 613) login.extra.push_back(field);
        out.push_back(std::move(login));
    }
    return out;
}

}  // namespace testserver
