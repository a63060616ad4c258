// The machine description and the adapter of a connection.
#include "comm/MachineInfo.h"

#include <gtest/gtest.h>

#include <string>

#include "comm/Authentication.h"
#include "comm/SocketLink.h"
#include "platform/core/MachineFacts.h"
#include "tests/comm/LinkTestSupport.h"

namespace {

using namespace NoltComm;

TEST(MachineInfoTest, DigestOfTheMachineFacts) {
    const std::string info = GetMachineInfo();
    ASSERT_EQ(info.size(), 32u);
    EXPECT_EQ(info.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(info, DigestHex(platform::GetMachineFactsText()));
    EXPECT_EQ(GetMachineInfo(), info);
    // The digest of the zero volume serial text, what a machine without facts sends.
    EXPECT_EQ(DigestHex("00000000"), "DD4B21E9EF71E1291183A46B913AE6F2");
}

TEST(MachineInfoTest, AdapterOfAConnection) {
    std::string out = "unchanged";
    CSocketLink unconnected;
    EXPECT_FALSE(GetConnectionMacAddress(unconnected, &out));
    EXPECT_EQ(out, "unchanged");

    linktest::Listener listener;
    CSocketLink link;
    link.SetTimeoutSeconds(5);
    ASSERT_TRUE(link.Connect("127.0.0.1", listener.port(), 1)) << link.GetLinkErrorText();
    // No network adapter carries loopback: the local address stands.
    EXPECT_FALSE(GetConnectionMacAddress(link, &out));
    EXPECT_EQ(out, "127.0.0.1");
}

}  // namespace
