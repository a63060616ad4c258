// The login request's steps: number and key padding, request 16551 as the server receives
// and decrypts it, the terminal description's outcomes, and the account row the answer makes.
#include "shell/LoginProcedure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "comm/FixApiClient.h"
#include "platform/outside/SysInfoCollector.h"
#include "platform/outside/VaultCipher.h"
#include "record/MemRecord.h"
#include "shell/services/StartupSettings.h"
#include "testserver/TestServer.h"
#include "testserver/VaultCipher.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/TradeRequest.h"

namespace shell {
namespace {

using tavroEncrypt::CVaultCipher;

TEST(LoginProcedureTest, CustomerNumberAndKeyArePaddedAndCut) {
    struct Case {
        const char* typed;
        const char* khh;
        const char* key;
    };
    const Case cases[] = {
        {"12345", "000000012345", "0000000000012345"},
        {"123456789012", "123456789012", "0000123456789012"},
        {"12345678901234567890", "12345678901234567890", "1234567890123456"},
        {"1234567890123456789012345678901234", "1234567890123456789012345678901",
         "1234567890123456"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PadCustomerNumber(c.typed), c.khh);
        EXPECT_EQ(LoginKeyOf(PadCustomerNumber(c.typed)), c.key);
    }
}

// A collector that answers with a description of its own choosing.
SysInfoCollector Collector(int status, const std::string& plain, bool encrypt = true) {
    return [=](char* buffer, int* length) {
        if (status != 0) return status;
        std::string text = plain;
        if (encrypt) {
            EXPECT_TRUE(CVaultCipher::Encrypt(CVaultCipher::kTypeAesGcm, tavro::SysInfoKey(), plain,
                                              &text));
        }
        if (static_cast<int>(text.size()) + 1 > *length) return static_cast<int>(text.size()) + 1;
        std::memcpy(buffer, text.c_str(), text.size() + 1);
        *length = static_cast<int>(text.size());
        return 0;
    };
}

TEST(LoginProcedureTest, TerminalDescriptionOutcomes) {
    struct Case {
        const char* name;
        SysInfoCollector collector;
        bool collected;
        const char* failure;
    };
    const Case cases[] = {
        {"collected", Collector(0, "a@b@c@d"), true, ""},
        {"collector failed", Collector(-1, ""), false, "信息采集失败!"},
        {"buffer short: go on without it", Collector(2048, ""), false, ""},
        {"not our cipher", Collector(0, "bm90IGEgY2lwaGVy", false), false, "采集信息解密失败!"},
        {"two separators", Collector(0, "a@b@c"), false, "采集信息格式错误!"},
        // Over 512 bytes is refused, not merely logged.
        {"too long", Collector(0, std::string(600, 'x').append("@@@")), false, "采集信息格式错误!"},
        {"our own collector", SysInfoCollector(&TavroGetSysInfo), true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TerminalDescription d = CollectTerminalDescription(c.collector);
        EXPECT_EQ(d.collected, c.collected);
        EXPECT_EQ(d.failure, c.failure);
        if (d.collected) {
            EXPECT_EQ(std::count(d.text.begin(), d.text.end(), '@'), 3);
        }
    }
}

class LoginRequestTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Start()) << server_.ErrorText();
        client_ = std::make_unique<NoltComm::CFixApiClient>();
        ASSERT_TRUE(client_->Connect("127.0.0.1@" + std::to_string(server_.Port()) + "/tcp"));
    }
    void TearDown() override {
        tradedata::AccountTable.GetMemRecord()->Empty();
        tradedata::ResetAccountSelection();
        ClearAppStateFlags(~0u);
        client_.reset();
        server_.Stop();
    }
    testserver::ReceivedRequest LastLogin() {
        testserver::ReceivedRequest last;
        for (const auto& r : server_.Requests())
            if (r.function == kLoginFunction) last = r;
        return last;
    }

    testserver::TestServer server_;
    std::unique_ptr<NoltComm::CFixApiClient> client_;
};

TEST_F(LoginRequestTest, ServerReadsTheFieldsInOrderAndDecryptsPasswordAndCode) {
    struct Case {
        int32_t style;
        bool checkStamp;
        bool collected;
        std::vector<int32_t> tail;  // fields after 1029
    };
    const Case cases[] = {
        {0, false, true, {11001003}},
        {1, true, false, {1062, 3004}},
        {2, false, true, {11001003, 920}},
        {3, false, false, {}},  // an unknown style sends no extra field
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        LoginInputs in;
        in.khh = PadCustomerNumber("12345");
        in.password.assign(31, 'p').append("overflow");
        in.extra = "778899";
        in.authStyle = c.style;
        in.checkStamp = c.checkStamp;
        in.machineInfo = "Linux|/usr|0000ABCD|SERIAL";
        in.versionText = "6.3.0.1";
        TerminalDescription terminal;
        terminal.collected = c.collected;
        terminal.text = "a@b@c@d";
        server_.Script(kLoginFunction, {{{507, "1"}}});
        auto request = NoltComm::CTradeRequest::Create(client_.get());
        std::string failure;
        ASSERT_TRUE(ComposeLoginRequest(*request, in, terminal, &failure));
        ASSERT_TRUE(request->Send());

        const testserver::ReceivedRequest got = LastLogin();
        std::vector<int32_t> tags;
        for (const auto& f : got.fields)
            if (f.tag != 8 && f.tag != 35) tags.push_back(f.tag);
        std::vector<int32_t> expected{605, 598, 621, 11001005, 11001013, 781, 7153, 3072, 1029};
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(tags, expected);
        EXPECT_EQ(got.Get(605), "000000012345");
        EXPECT_EQ(got.Get(11001005), kLoginApplicationId);
        std::string plain;
        ASSERT_TRUE(testserver::DecryptVaultText("0000000000012345", got.Get(598), &plain));
        EXPECT_EQ(plain, std::string(31, 'p') + '\0');  // 31 characters and the NUL
        ASSERT_TRUE(testserver::DecryptVaultText("0000000000012345", got.Get(11001013), &plain));
        EXPECT_EQ(plain.size(), 33u);
        if (c.style == 2) {
            EXPECT_EQ(got.Get(920), "778899");
        }
    }
}

TEST_F(LoginRequestTest, AnswerFillsTheAccountRowFlagsAndSystemStatus) {
    struct Case {
        const char* name;
        testserver::Row row;
        int32_t flags;  // of 0x4000 | 0x100 | 0x8 | 3
        uint32_t status;
        const char* message;
    };
    const Case cases[] = {
        {"plain", {{507, "1"}, {605, ""}, {727, "0"}, {1777, "欢迎"}}, 3, 0, "欢迎"},
        {"all flags",
         {{507, "1"},
          {605, "000000012345"},
          {964, "x"},
          {9020, "1"},
          {1831, "20261211"},
          {1832, "20261201"},
          {1787, "1"},
          {727, "2"},
          {1777, "欢迎"}},
         0x410B,
         2,
         "测试环境，所有数据仅供测试。"},
        {"password not due",
         {{507, "1"}, {9020, "1"}, {1831, "20261201"}, {1832, "20261211"}, {1787, "2"}, {727, "1"}},
         3,
         1,
         "系统正在清算，您所查询到的数据可能不是本日最终结果，请稍候再查。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server_.Script(kLoginFunction, {c.row});
        auto request = NoltComm::CTradeRequest::Create(client_.get());
        request->SetFunction(kLoginFunction);
        ASSERT_TRUE(request->Send());
        ASSERT_TRUE(request->NextRow());
        LoginInputs in;
        in.khh = "000000012345";
        in.password = "pw";
        const int row = ApplyLoginAnswer(*request, in);
        ASSERT_GE(row, 0);
        EXPECT_EQ(tradedata::AccountTable.Get(605, row), "000000012345");
        for (int32_t bit : {3, 0x4000, 0x100, 0x8})
            EXPECT_EQ(tradedata::TestAccountFlag(bit, row), (c.flags & bit) == bit) << bit;
        EXPECT_EQ(GetAppStateFlags() & 0xF, c.status);
        EXPECT_EQ(LoginMessage(static_cast<int32_t>(c.status), request->GetString(1777)),
                  c.message);
        tradedata::AccountTable.GetMemRecord()->Empty();
    }
}

}  // namespace
}  // namespace shell
