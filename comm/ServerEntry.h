// Server list entries of the installation profile: a name, ',', then one or more addresses
// separated by ';', each written "address@port/protocol".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace NoltComm {

// Reads "address@port/protocol" (or "address,port/protocol"): the protocol is the text after
// the first '/' (in lower case), the address the text before the last '@' (or, without one,
// the last ',') in upper case, the port the decimal value after it. Only the first 255 bytes
// count. False, leaving the outputs alone, without a '/' or a separator.
bool ParseServerAddress(std::string_view text, std::string* address, int32_t* port,
                        std::string* protocol);
// "%s@%d/%s".
std::string FormatServerAddress(std::string_view address, int32_t port, std::string_view protocol);

// The entry rewritten as "name,address@port/protocol;...", keeping the addresses that parse;
// empty when the name is empty or no address parses.
std::string NormalizeServerEntry(std::string_view entry);

// The first entry whose name or one of whose addresses is exactly the text; -1 when none.
int FindServerEntry(const std::vector<std::string>& list, std::string_view text);
// The name (text before the first ',') and the addresses (the rest) of entry index; an index
// out of range leaves the outputs unchanged and gives false.
bool GetServerEntry(const std::vector<std::string>& list, int index, std::string* name,
                    std::string* addresses);

}  // namespace NoltComm
