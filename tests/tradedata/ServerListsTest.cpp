// The server lists of the installation profile: plain, Base64, scrambled and binary entries,
// the end of a list, the further trading servers, and the server last used.
#include "tradedata/ServerLists.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/core/Encoding.h"
#include "platform/core/ProfileFile.h"
#include "record/Base64.h"
#include "record/Configure.h"
#include "tests/support/ScratchProfile.h"
#include "tradedata/Scrambler.h"

namespace tradedata {
namespace {

using List = std::vector<std::string>;

class ServerListsTest : public ::testing::Test {
protected:
    void Write(const char* section, const std::string& key, const std::string& value) {
        profile.Write(section, key, value);
    }
    static std::string Base64Of(const std::string& text) {
        return pavlet::base64_encode(platform::Utf8ToGbk(text));
    }
    static std::string Scrambled(const std::string& text) {
        return ScrambleText(kServerScrambleKey, text);
    }
    testsupport::ScratchProfile profile;
};

TEST_F(ServerListsTest, ScrambleTextWorksInBlocks) {
    const std::string text = "主站,10.0.0.1@8000/tcp";  // 22 GBK bytes: three blocks
    const std::string letters = ScrambleText(kServerScrambleKey, text);
    ASSERT_EQ(letters.size(), 48u);
    EXPECT_EQ(letters.substr(0, 16),
              ScrambleString(kServerScrambleKey, platform::Utf8ToGbk(text).substr(0, 8)));
    EXPECT_EQ(UnscrambleText(kServerScrambleKey, letters), text);
    // An unfinished block is dropped; the bytes end at the padding.
    EXPECT_EQ(UnscrambleText(kServerScrambleKey, letters.substr(0, 40)),
              platform::GbkToUtf8(platform::Utf8ToGbk(text).substr(0, 16)));
    EXPECT_EQ(UnscrambleText(kServerScrambleKey, "short"), "");
}

TEST_F(ServerListsTest, EntriesInEveryStoredForm) {
    Write("TradeServer", "SERVER1", "主站,10.0.0.1@8000/tcp;10.0.0.2,8001/TCP");
    Write("TradeServer", "SERVER2", Base64Of("备站,10.0.0.3,8002/tcp"));
    Write("TradeServer", "SERVER3", Scrambled("三号,10.0.0.4@8004/tcp;bad"));
    Write("TradeServer", "SERVER5", "after the gap,10.0.0.5@8005/tcp");  // the list ended at 4
    // An entry with a single known address is no news; one with two is compared whole.
    Write("ACISVR", "ACISVR1", "别名,10.0.0.3@8002/tcp");
    Write("ACISVR", "ACISVR2", "双址,10.0.0.1@8000/tcp;10.0.0.9@9/tcp");
    Write("ACISVR", "ACISVR3", "新站,10.0.0.6@8006/udp");
    List list;
    std::string current = "stale";
    LoadTradeServers(&list, &current);
    EXPECT_EQ(list, (List{"主站,10.0.0.1@8000/tcp;10.0.0.2@8001/tcp", "备站,10.0.0.3@8002/tcp",
                          "三号,10.0.0.4@8004/tcp;bad",  // unscrambled as it stands
                          "双址,10.0.0.1@8000/tcp;10.0.0.9@9/tcp", "新站,10.0.0.6@8006/udp"}));
    EXPECT_EQ(current, "");

    // The binary record of older installations.
    LegacyServerRecord record{};
    const std::string name = platform::Utf8ToGbk("行情一");
    std::memcpy(record.name, name.data(), name.size());
    record.port[0] = 0x58;  // 7000
    record.port[1] = 0x1B;
    inet_pton(AF_INET, "10.1.1.1", record.address);
    std::strcpy(record.protocol, "udp");
    ASSERT_TRUE(platform::WriteProfileStruct(profile.Path(), "QuoteServer", "SERVER1", &record,
                                             sizeof record));
    std::strcpy(record.protocol, "UDP");
    ASSERT_TRUE(platform::WriteProfileStruct(profile.Path(), "QuoteServer", "SERVER2", &record,
                                             sizeof record));
    LoadQuoteServers(&list, &current);
    EXPECT_EQ(list, (List{"行情一,10.1.1.1@7000/udp", "行情一,10.1.1.1@7000/tcp"}));
}

TEST_F(ServerListsTest, ScrambledEntriesThatAreAlsoBase64AreUnscrambled) {
    // Scrambled letters are Base64 as well. These two decode to bytes holding ',' and '/',
    // which once passed for an entry; the second is the login's own form of a local server.
    const std::string entries[] = {"本地,127.0.0.1@1607/tcp", "本地,127.0.0.1@2739/tcp"};
    for (const std::string& entry : entries) {
        Write("TradeServer", "SERVER1", Scrambled(entry));
        List list;
        std::string current;
        LoadTradeServers(&list, &current);
        EXPECT_EQ(list, List{entry});
    }
}

TEST_F(ServerListsTest, ServerLastUsed) {
    Write("TradeServer", "SERVER1", "主站,10.0.0.1@8000/tcp");
    Write("TradeServer", "SERVER2", "备站,10.0.0.2@8001/tcp");
    Write("QuoteServer", "SERVER1", "行情,10.0.1.1@7000/tcp");
    const struct {
        std::string stored;
        std::string lastServer;
        std::string trade;
    } cases[] = {
        {"备站", "", "备站"},           {"10.0.0.2@8001/tcp", "", "10.0.0.2@8001/tcp"},
        {Base64Of("主站"), "", "主站"}, {Scrambled("10.0.0.1@8000/tcp"), "", "10.0.0.1@8000/tcp"},
        {"旧站", "主站", "主站"},  // unknown: the last server of the further list
        {"旧站", "", "旧站"},      // nothing better: as read
        {"", "备站", "备站"},
    };
    for (const auto& c : cases) {
        Write("TradeCommInfo", "ServerName", c.stored);
        Write("ACISVR", "LASTSVRNAME", c.lastServer);
        List list;
        std::string current;
        LoadTradeServers(&list, &current);
        EXPECT_EQ(current, c.trade) << c.stored;
    }

    Write("QuoteCommInfo", "ServerName", Scrambled("行情"));
    List list;
    std::string current;
    LoadQuoteServers(&list, &current);
    EXPECT_EQ(list, List{"行情,10.0.1.1@7000/tcp"});
    EXPECT_EQ(current, "行情");
    Write("QuoteCommInfo", "ServerName", "别的");
    LoadQuoteServers(&list, &current);
    EXPECT_EQ(current, "别的");
}

}  // namespace
}  // namespace tradedata
