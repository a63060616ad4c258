// The proxy settings of a profile section and the connection procedure of the trading and
// quote connections: the start server (remembered, random or least loaded), fail-over
// through the rest, and the set-up of the connection that got through.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace NoltComm {

class CTradeConnection;

// The proxy of a connection as a settings section gives it (texts at most 31 GBK bytes).
struct ProxyConfig {
    std::string host;
    int32_t type = 0;  // kProxySocks4, kProxySocks5, kProxyHttp; anything else: none
    int32_t port = 0;
    std::string user;
    std::string password;
};

// The proxy record older installations keep as the binary value "PROXY" of a section.
struct LegacyProxyRecord {
    char host[32];
    int32_t type;
    int32_t port;
    char user[32];
    char password[32];
};
static_assert(sizeof(LegacyProxyRecord) == 104);

// Fills *out from "PROXYTYPE", "PROXYADDR", "PROXYPORT", "PROXYUSER" and "PROXYPWD" of the
// section ("localize.ini" first, then the installation profile): true for a proxy type. For
// another type, true (with *out cleared) when the installation profile's section holds the
// "PROXYTYPE" key at all, else the success of reading the legacy "PROXY" record.
bool LoadProxySettings(std::string_view section, ProxyConfig* out);

// Link mode and authentication texts of a connection; a mode below 1 keeps the defaults.
struct ConnectionRecord {
    int32_t linkMode = 0;
    std::string firstAuthText;
    std::string secondAuthText;
};

// The item of the ';'-separated list to try first: the position of current in it, else, for
// a list of two items or more, draw modulo the number of items; never negative.
int ChooseStartIndex(std::string_view list, std::string_view current, uint32_t draw);

// A draw of the program's seeded random generator (safe from any thread).
uint32_t DrawRandom();

// Creates, configures and connects a trading connection into *connection unless it already
// holds one. Tries the start item of addressList (';'-separated "address@port/protocol"
// items; ':' and ',' also separate the port), then the others in order; with loadQuery and the
// "EnableEqualization" switch on, the start server's cluster list and loads replace the list
// (and addressList) first and the least loaded server is tried first, and when none of those
// connects the list as passed in is tried again (and given back). On success currentAddress
// names the server reached, the other items become the reconnection list, and the head values
// and station text are set. On failure *connection stays empty and errorText holds the last
// attempt's error. 1 when *connection holds a connected connection afterwards, else 0.
int ConnectTradeServer(std::unique_ptr<CTradeConnection>* connection, std::string* addressList,
                       std::string* currentAddress, std::string* errorText, bool loadQuery,
                       const ProxyConfig* proxy, const ConnectionRecord* record);

}  // namespace NoltComm
