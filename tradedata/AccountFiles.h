// Per-account file names in the user directory and the set-up of an account's private profile
// on its first start on this installation.
#pragma once

#include <string>
#include <string_view>

namespace tradedata {

// "<user directory>/<16 letters>.<extension>": the account text (cut to 16 characters) padded
// on the left with '0' to 16; its last 8 characters scrambled under its first 8 as the key.
std::string GetAccountFilePath(std::string_view account, std::string_view extension);

// Prepares the account's private profile (GetAccountFilePath(account, "ini")) when it does
// not exist: from the older per-account folder beside the program when there is one (its
// messages and bills carried into the account's store), else from the installation profile.
void SetUpUserDirectory(std::string_view account);

}  // namespace tradedata
