// Connection address texts: protocol suffix, host and port, and texts refused as invalid.
#include "comm/ConnectionString.h"

#include <gtest/gtest.h>

using namespace NoltComm;

namespace {

TEST(ConnectionString, ReadsHostPortAndProtocol) {
    const struct {
        std::string text;
        ConnectionStringResult result;
        std::string host;
        int32_t port;
        int32_t protocol;
    } cases[] = {
        {"10.0.0.5@7000/tcp", ConnectionStringResult::Ok, "10.0.0.5", 7000, kProtocolTcp},
        {"trade.example@17990/TCP/extra", ConnectionStringResult::Ok, "TRADE.EXAMPLE", 17990,
         kProtocolTcp},
        {",,1.2.3.4,,80/TCP", ConnectionStringResult::Ok, "1.2.3.4", 80, kProtocolTcp},
        {"@/TCP", ConnectionStringResult::Ok, "127.0.0.1", 0, kProtocolTcp},
        {"00000001.0A0B0C0D0E0F@5/spx", ConnectionStringResult::Ok, "00000001.0A0B0C0D0E0F", 5,
         kProtocolSpx},
        {"10.0.0.5@7000", ConnectionStringResult::Invalid, "", 0, 0},
        {"10.0.0.5@70000/TCP", ConnectionStringResult::Invalid, "", 0, 0},
        {"10.0.0.5@-1/TCP", ConnectionStringResult::Invalid, "", 0, 0},
        {std::string(43, 'h') + "@1/TCP", ConnectionStringResult::Invalid, "", 0, 0},
        {std::string(42, 'h') + "@1/TCP", ConnectionStringResult::Ok, std::string(42, 'H'), 1,
         kProtocolTcp},
        {"h@1/TCP" + std::string(240, ' '), ConnectionStringResult::Invalid, "", 0, 0},
        {"", ConnectionStringResult::Empty, "", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ConnectionAddress address;
        EXPECT_EQ(ParseConnectionString(c.text, &address), c.result);
        if (c.result != ConnectionStringResult::Ok) continue;
        EXPECT_EQ(address.host, c.host);
        EXPECT_EQ(address.port, c.port);
        EXPECT_EQ(address.protocol, c.protocol);
    }
}

}  // namespace
