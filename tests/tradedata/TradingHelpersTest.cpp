// Tests of the shared trading helpers: the order-fill record and where it goes, the window
// title, the trading-card parameters and the pre-placed order store in the private profile,
// flex rows, service items, the two queries against the test server and the small parsers.
#include "tradedata/Scrambler.h"
#include "tradedata/TradingHelpers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/core/Clock.h"
#include "platform/core/ProfileFile.h"
#include "record/Configure.h"
#include "record/FixRecord.h"
#include "record/MemRecord.h"
#include "record/StringHelpers.h"
#include "shell/services/LocalFiles.h"
#include "shell/services/StartupSettings.h"
#include "tests/tradedata/ServerFixture.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/TestServer.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ProgramClock.h"
#include "tradedata/TradeRequest.h"

namespace tradedata {
namespace {

using namespace std::chrono;
using testing::AddRow;

struct SentMessage {
    WindowId window;
    uint32_t message;
    uintptr_t wParam;
    std::vector<uint8_t> bytes;  // the record of a WM_COPYDATA
    std::string text;            // the text of a frame command 79/80
};

class TradingHelpersTest : public testing::ServerTest {
protected:
    void SetUp() override {
        testing::ResetGlobalTables();
        SetWorkplaceWindow(77);
        SetWindowSender({[this](WindowId w, uint32_t m, uintptr_t wp, intptr_t lp) -> intptr_t {
                             SentMessage s{w, m, wp, {}, {}};
                             if (m == kWmCopyData) {
                                 const auto* data = reinterpret_cast<const CopyData*>(lp);
                                 EXPECT_EQ(data->dwData, kOrderFillDataId);
                                 const auto* p = static_cast<const uint8_t*>(data->lpData);
                                 s.bytes.assign(p, p + data->cbData);
                             }
                             sent.push_back(s);
                             if (m == kWmFrameCommand && wp == 62) visible.push_back(panel);
                             return 5;
                         },
                         [this](WindowId w) {
                             return std::find(visible.begin(), visible.end(), w) != visible.end();
                         },
                         [this](WindowId w, uint32_t m, uintptr_t wp, std::string_view text) {
                             posted.push_back({w, m, wp, {}, std::string(text)});
                             return true;
                         }});
    }
    void TearDown() override {
        if (client) Disconnect();
        SetWindowSender({});
        SetQuickOrderWindow(0);
        SetOrderEntryWindow(0);
        SetWorkplaceWindow(0);
        shell::SetDisplaySettings(0);
        shell::SetClientSettings(0);
        SetClockBase(LocalFileTimeNow());
        testing::ResetGlobalTables();
    }
    std::string PrivateKey(std::string_view section, std::string_view key) {
        return platform::ReadProfileString(PrivateProfileFile(), section, key);
    }

    testing::SettingsSandbox sandbox;
    platform::ManualClock clock;
    platform::ScopedClockSource source{clock};
    std::vector<SentMessage> sent;
    std::vector<SentMessage> posted;
    std::vector<WindowId> visible;
    const WindowId quick = 31, panel = 32;
};

int32_t ReadI32(const std::vector<uint8_t>& b, std::size_t at) {
    return static_cast<int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 |
                                static_cast<uint32_t>(b[at + 3]) << 24);
}

TEST_F(TradingHelpersTest, OrderFillRecordLayout) {
    OrderFill fill{std::string(40, 'x'), 4, 2, 7, 3050.5, 729, 3};
    const OrderFillRecord r = BuildOrderFillRecord(fill);
    const std::vector<uint8_t> b(r.begin(), r.end());
    EXPECT_EQ(ReadI32(b, 0), 104);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + 4)), std::string(31, 'x'));
    EXPECT_EQ(b[35], 0);
    for (std::size_t i = 36; i < 72; ++i) EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(ReadI32(b, 72), 4);
    EXPECT_EQ(ReadI32(b, 76), 2);
    EXPECT_EQ(ReadI32(b, 80), 7);
    EXPECT_EQ(ReadI32(b, 84), 0);
    double price = 0;
    std::memcpy(&price, b.data() + 88, 8);
    EXPECT_EQ(price, 3050.5);
    EXPECT_EQ(ReadI32(b, 96), 729);
    EXPECT_EQ(ReadI32(b, 100), 3);
    // A code with a character across the 31-byte limit is cut before it.
    fill.code = std::string(30, 'a') + "铜";
    const OrderFillRecord cut = BuildOrderFillRecord(fill);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(cut.data() + 4)), std::string(30, 'a'));
}

TEST_F(TradingHelpersTest, OrderFillGoesToTheVisibleWindow) {
    const OrderFill fill{"m2501", 0, 0, 0, 0, 729, 3};
    // No receiving window registered: nothing sent.
    EXPECT_EQ(SendOrderFillRequest(true, 9, fill), 0);
    EXPECT_TRUE(sent.empty());

    // A hidden panel, may open: the workplace shows it first.
    SetOrderEntryWindow(panel);
    EXPECT_EQ(SendOrderFillRequest(true, 9, fill), 5);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].window, 77u);
    EXPECT_EQ(sent[0].message, kWmFrameCommand);
    EXPECT_EQ(sent[0].wParam, 62u);
    EXPECT_EQ(sent[1].window, panel);
    EXPECT_EQ(sent[1].wParam, 9u);
    EXPECT_EQ(sent[1].bytes.size(), 104u);

    // Without the may-open flag the panel gets nothing.
    sent.clear();
    EXPECT_EQ(SendOrderFillRequest(false, 9, fill), 0);
    EXPECT_TRUE(sent.empty());

    // A visible quick-order window wins, whatever the flag.
    SetQuickOrderWindow(quick);
    visible.push_back(quick);
    EXPECT_EQ(SendOrderFillRequest(false, 9, fill), 5);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].window, quick);

    // Status texts are posted with their own copy, never sent: the caller may be a worker the
    // user-interface thread is waiting for.
    sent.clear();
    EXPECT_EQ(SendTextToMainWindow("已撤单", true), 1);
    EXPECT_EQ(SendTextToMainWindow("x", false), 1);
    EXPECT_TRUE(sent.empty());
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].window, 77u);
    EXPECT_EQ(posted[0].wParam, 80u);
    EXPECT_EQ(posted[0].text, "已撤单");
    EXPECT_EQ(posted[1].wParam, 79u);
    SetWorkplaceWindow(0);
    EXPECT_EQ(SendTextToMainWindow("y", false), 0);
    EXPECT_EQ(posted.size(), 2u);
}

TEST_F(TradingHelpersTest, WindowTitle) {
    const std::string version = " v" + shell::GetProgramVersionText();
    EXPECT_EQ(GetWindowTitle(), std::string(shell::kProgramName) + version);
    pavlet::WriteConfigure("SYSTEM", "TITLE", "期货");
    const int row = AddAccount(1, "000801", "01", "张三", "pw", nullptr);
    SetLoginAccount(row);
    EXPECT_EQ(GetWindowTitle(), "期货" + version);
    shell::SetDisplaySettings(2);
    EXPECT_EQ(GetWindowTitle(), "张三 期货" + version);
    // The client number before it, leading zeros removed.
    shell::SetDisplaySettings(6);
    EXPECT_EQ(GetWindowTitle(), "801 张三 期货" + version);
}

TEST_F(TradingHelpersTest, TradeCardParamsRoundTripAndLookup) {
    ProductTable.Create(kProductLayout);
    AddRow(ProductTable, {{599, "SQ"}, {720, "cu"}, {721, "铜"}, {763, "SQcu"}});
    FuturesContractTable.Create(kFuturesContractLayout);
    AddRow(FuturesContractTable, {{599, "SQ"}, {719, "cu2501"}, {720, "cu"}});
    AddRow(FuturesContractTable, {{599, "SQ"}, {719, "al2501"}, {720, "al"}});
    const std::string file = PrivateProfileFile();
    platform::WriteProfileString(file, "JYKWTSL", "JYKWTSL0",
                                 "599=SQ|720=cu|847=3|855=2|1798=40|1796=20|");
    // A product that is not traded is dropped; a gap ends the list.
    platform::WriteProfileString(file, "JYKWTSL", "JYKWTSL1", "599=SQ|720=zz|847=9|");
    platform::WriteProfileString(file, "JYKWTSL", "JYKWTSL3", "599=SQ|720=cu|847=9|");
    LoadTradeCardParams();
    ASSERT_EQ(TradeCardParamTable.GetCount(), 1);
    EXPECT_EQ(TradeCardParamTable.Get(721, 0), "铜");
    double takeProfit = -1, stopLoss = -1;
    EXPECT_EQ(GetTradeCardParams("cu2501", true, &takeProfit, &stopLoss), 3);
    EXPECT_EQ(takeProfit, 40);
    EXPECT_EQ(stopLoss, 20);
    EXPECT_EQ(GetTradeCardParams("cu2501", false, &takeProfit, &stopLoss), 2);
    EXPECT_EQ(GetTradeCardParams("al2501", true, &takeProfit, &stopLoss), 0);
    EXPECT_EQ(takeProfit, 0);
    EXPECT_EQ(GetTradeCardParams("nothing", true, nullptr, nullptr), 0);

    TradeCardParamTable.Set(847, 6, 0);
    SaveTradeCardParams();
    EXPECT_EQ(PrivateKey("JYKWTSL", "JYKWTSL3"), "");
    const std::string saved = PrivateKey("JYKWTSL", "JYKWTSL0");
    EXPECT_EQ(pavlet::GetFlexItem(saved, 847u), "6");
    EXPECT_EQ(pavlet::GetFlexItem(saved, 1798u), "40.0000");
    LoadTradeCardParams();
    EXPECT_EQ(GetTradeCardParams("cu2501", true, nullptr, nullptr), 6);
}

TEST_F(TradingHelpersTest, PreplacedOrderTakesTheFirstEmptyKey) {
    SetClockBase(LocalSecondsToFileTime(local_days(2026y / 12 / 10) + 9h + 5min + 7s) -
                 10'000 * GetHighResTickCount());
    const std::string file = PrivateProfileFile();
    platform::WriteProfileString(file, "YYWT", "YYWT1", "605=1|");
    PreplacedOrder order{"8001", "SQ", "cu2501", "J1", 1, 1, 2, 70150.0, 0, 1};
    EXPECT_EQ(SavePreplacedOrder(order), 2);
    const std::string record = PrivateKey("YYWT", "YYWT2");
    EXPECT_EQ(pavlet::GetFlexItem(record, 719u), "cu2501");
    EXPECT_EQ(pavlet::GetFlexItem(record, 684u), "2");
    EXPECT_EQ(pavlet::GetFlexItemDouble(record, 682u), 70150.0);
    EXPECT_EQ(pavlet::GetFlexItem(record, 7107u), "20261210");
    EXPECT_EQ(pavlet::GetFlexItem(record, 750u), "09:05:07");
    EXPECT_EQ(SavePreplacedOrder(order), 3);
}

TEST_F(TradingHelpersTest, FlexRowsRoundTrip) {
    CFixRecord table;
    table.Create(kBankAccountLayout);
    EXPECT_EQ(AppendFlexRows(table,
                             "\x05"
                             "908=工行|511=RMB|\x05\x05"
                             "908=农行|605=8|\x05"),
              2);
    ASSERT_EQ(table.GetCount(), 2);
    EXPECT_EQ(table.Get(908, 0), "工行");
    EXPECT_EQ(table.Get(605, 1), "8");
    const std::string text = TableRowsToFlexText(table, 0, 99);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\x05'), 1);
    CFixRecord copy;
    copy.Create(kBankAccountLayout);
    EXPECT_EQ(AppendFlexRows(copy, text), 2);
    EXPECT_EQ(copy.Get(511, 0), "RMB");
    // A first row out of range starts at 0; the last row alone.
    EXPECT_EQ(TableRowsToFlexText(table, 5, 0), TableRowsToFlexText(table, 0, 0));
    EXPECT_EQ(pavlet::GetFlexItem(TableRowsToFlexText(table, 1, 1), 908u), "农行");
}

TEST_F(TradingHelpersTest, Parsers) {
    std::vector<std::string> pieces;
    EXPECT_EQ(SplitByChars(",a,,b;c,", ",;", pieces), 3);
    EXPECT_EQ(pieces, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(SplitByChars("", ",", pieces), 0);

    struct DateCase {
        const char* text;
        bool ok;
        local_seconds value;
    } dates[] = {
        {"2026-12-10", true, local_days(2026y / 12 / 10)},
        {"2026/2/28 13:04:05", true, local_days(2026y / 2 / 28) + 13h + 4min + 5s},
        {"2026.12.10 09:30", true, local_days(2026y / 12 / 10) + 9h + 30min},
        {"2026-02-30", false, {}},
        {"2026-12", false, {}},
        {"2026-12-10 24:00:00", false, {}},
        {"20x6-12-10", false, {}},
    };
    for (const DateCase& c : dates) {
        local_seconds out{};
        EXPECT_EQ(ParseDateTime(c.text, out), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(out, c.value) << c.text;
        }
    }

    EXPECT_EQ(GetWeekdayName(0), "星期天");
    EXPECT_EQ(GetWeekdayName(6), "星期六");
    EXPECT_EQ(GetWeekdayName(7), "");
    EXPECT_EQ(GetWeekdayName(-1), "");

    SetClockBase(LocalSecondsToFileTime(local_days(2026y / 12 / 10) + 15h) -
                 10'000 * GetHighResTickCount());
    EXPECT_NEAR(GetYearsToExpiry("2027.12.10"), 1.0, 1e-9);
    EXPECT_NEAR(GetYearsToExpiry("20261211"), 1.0 / 365, 1e-9);
    EXPECT_EQ(GetYearsToExpiry("20270230"), 0);
    EXPECT_EQ(GetYearsToExpiry("2027121"), 0);
    EXPECT_EQ(GetYearsToExpiry("abcdefgh"), 0);
}

TEST_F(TradingHelpersTest, InputOrderAndLookups) {
    const int32_t allowed[] = {1, 2, 3, 4};
    EXPECT_EQ(LoadInputOrderSettings(allowed), (std::vector<int32_t>{1, 2, 3, 4}));
    pavlet::WritePrivateConfigure("QHWT", "INPUTORDER", "3;9,1,3");
    EXPECT_EQ(LoadInputOrderSettings(allowed), (std::vector<int32_t>{3, 1, 2, 4}));

    EXPECT_EQ(FindBankRow("01", "RMB"), -1);
    BankTable.Create(kBankLayout);
    AddRow(BankTable, {{692, "01"}, {511, "USD"}});
    AddRow(BankTable, {{692, "01"}, {511, "RMB"}});
    EXPECT_EQ(FindBankRow("01", "RMB"), 1);
    EXPECT_EQ(FindBankRow("02", "RMB"), -1);

    pavlet::WriteConfigure("Trade", "X", "1");
    EXPECT_TRUE(HasIniSection("tRADE", pavlet::GetFilePath(pavlet::GetProfileName())));
    EXPECT_FALSE(HasIniSection("Trad", pavlet::GetFilePath(pavlet::GetProfileName())));
}

TEST_F(TradingHelpersTest, CodeAliasesFromThePrivateProfileElseTheProgramProfile) {
    pavlet::WriteConfigure("CODE", "HelpInfo", "program");
    pavlet::WriteConfigure("CODE", "cu", "cu2501");
    CodeAliases aliases = LoadCodeAliases();
    EXPECT_EQ(aliases.helpInfo, "program");
    EXPECT_EQ(aliases.aliases, (std::vector<std::string>{"HelpInfo=program", "cu=cu2501"}));
    pavlet::WritePrivateConfigure("CODE", "al", "al2501");
    aliases = LoadCodeAliases();
    EXPECT_EQ(aliases.helpInfo, "program");  // the private store falls back to the program's
    EXPECT_EQ(aliases.aliases, (std::vector<std::string>{"al=al2501"}));
}

TEST_F(TradingHelpersTest, CodeAliasesTakeEveryLineOfASectionWithCrLineEnds) {
    // Saved by an editor that ends lines in CR alone; the alias page drops what is no alias.
    std::ofstream(PrivateProfileFile(), std::ios::binary | std::ios::trunc)
        << "[CODE]\rHelpInfo=mine\rcu=cu2501\r// note\r=orphan\r rb = rb2505 \r[NEXT]\rx=1\r";
    platform::FlushProfileCache();
    const CodeAliases aliases = LoadCodeAliases();
    EXPECT_EQ(aliases.helpInfo, "mine");
    EXPECT_EQ(aliases.aliases, (std::vector<std::string>{"HelpInfo=mine", "cu=cu2501", "// note",
                                                         "=orphan", "rb=rb2505"}));
}

TEST_F(TradingHelpersTest, ServiceItemsOrder) {
    EXPECT_EQ(GetServiceItems().size(), 13u);
    EXPECT_EQ(FindServiceItem(0x40).name, "前端银期转帐");
    EXPECT_EQ(FindServiceItem(0x40).flag, 1u);
    EXPECT_EQ(FindServiceItem(0x100).bit, 0u);
    pavlet::WriteConfigure("SYSTEM", "ServiceOrder", "64, 8,12345,0x800000");
    ApplyServiceOrder();
    const std::vector<ServiceItem> items = GetServiceItems();
    ASSERT_EQ(items.size(), 13u);
    EXPECT_EQ(items[0].bit, 0x40u);
    EXPECT_EQ(items[1].bit, 0x8u);
    EXPECT_EQ(items[2].bit, 0x800000u);
    EXPECT_EQ(items[3].bit, 0x1u);  // the others keep their order
    EXPECT_EQ(items[4].bit, 0x2u);
    // Back to the original order for the other tests of this program.
    pavlet::WriteConfigure("SYSTEM", "ServiceOrder",
                           "1,2,4,8,16,32,64,128,512,2048,16384,1024,8388608");
    ApplyServiceOrder();
    EXPECT_EQ(GetServiceItems()[0].bit, 0x1u);
    EXPECT_EQ(GetServiceItems()[12].bit, 0x800000u);
}

TEST_F(TradingHelpersTest, PasswordCheckAndSettlementText) {
    StartAndConnect();
    SetAccountQueryTexts("1.0", "ABCDEF", "");
    server.Script(13002, {{{507, "-3"}, {508, "密码错误"}, {605, "8001"}}});
    std::string text, khh;
    EXPECT_EQ(VerifyClientPassword(client.get(), "8001", "pw", &text, &khh), -3);
    EXPECT_EQ(text, "密码错误");
    EXPECT_EQ(khh, "8001");
    EXPECT_EQ(Sent(13002, 598), XorScrambleUtf8("pw"));
    EXPECT_EQ(Sent(13002, 781), "2");
    EXPECT_EQ(Sent(13002, 1062), "<absent>");
    shell::SetClientSettings(shell::kClientSendMachineInfo);
    VerifyClientPassword(client.get(), "8001", "pw", nullptr, nullptr);
    EXPECT_EQ(Sent(13002, 1062), "ABCDEF");

    server.Script(16169, {{{507, "1"}, {1777, "line1\\r\\nline2"}},
                          {{507, "1"}, {1777, "line3"}},
                          {{507, "-1"}, {1777, "never"}},
                          {{507, "1"}, {1777, "after"}}});
    EXPECT_EQ(QuerySettlementText(client.get(), "8001", "1", "20261210"),
              "line1\r\nline2\r\nline3\r\n");
    EXPECT_EQ(Sent(16169, 605), "8001");

    // A split answer field.
    server.Script(16904, {{{507, "1"}, {1777, "a,,b,c"}}});
    auto request = NoltComm::CTradeRequest::Create(client.get());
    request->SetFunction(16904);
    ASSERT_TRUE(request->Send());
    ASSERT_TRUE(request->NextRow());
    CFixRecord table;
    table.Create(kBankLayout);
    table.GetMemRecord()->Append(nullptr, true);
    const unsigned tags[] = {692, 511, 0};
    SplitAnswerFieldToRow(table, 0, *request, 1777, tags);
    EXPECT_EQ(table.Get(692, 0), "a");
    EXPECT_EQ(table.Get(511, 0), "b");
    SetAccountQueryTexts("", "", "");
}

}  // namespace
}  // namespace tradedata
