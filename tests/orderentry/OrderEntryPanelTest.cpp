// COrderEntryPanel against the test server's order book: an order typed and sent reaches the
// book and fills when the market crosses it, a refused order shows the server's text, a
// split by the split size, a conditional order's fields, codes that must send nothing, the
// order-fill record, quote-row notices, the slot registration, and its worker's throttle.
#include "orderentry/OrderEntryPanel.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <mutex>
#include <vector>

#include "comm/FixApiClient.h"
#include "orderentry/Parts.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
#include "shell/MainFrame.h"
#include "shell/PartSlots.h"
#include "shell/TradePanelParts.h"
#include "shell/TradePanelSettings.h"
#include "shell/services/StartupSettings.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/OrderBook.h"
#include "testserver/TestServer.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/OrderSubmit.h"
#include "tradedata/Registries.h"
#include "tradedata/TradingHelpers.h"

namespace orderentry {
namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::ProcessEventsUntil;
using tradedata::testing::AddRow;

constexpr const char* kKhh = "000010086001";  // the sample day's first account
constexpr tradedata::WindowId kWorkplace = 77;

int DropLine(std::string_view) { return 1; }

class OrderEntryPanelTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        using namespace tradedata;
        platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
        tradedata::testing::ResetGlobalTables();
        CreateFrameTables();
        SetOrderTraceWriter(&DropLine);
        shell::SetOrderEntryOptions(0);
        book_ = server_.EnableOrderBook();
        ASSERT_TRUE(server_.Start()) << server_.ErrorText();
        client_ = std::make_unique<NoltComm::CFixApiClient>();
        ASSERT_TRUE(client_->Connect("127.0.0.1@" + std::to_string(server_.Port()) + "/tcp"));
        SetTradingConnection(client_.get());

        const int account = AddAccount(1, kKhh, "0101", "张三", "123456", nullptr);
        SetLoginAccount(account);
        SetAccountFlag(kFlagActive, account);
        ExchangeTable.Create(kExchangeLayout);
        AddRow(ExchangeTable, {{599, "SQ"}, {601, "上期所"}, {1681, "1"}, {1710, "2"}});
        TradingCodeTable.Create(kTradingCodeLayout);
        AddRow(TradingCodeTable, {{605, kKhh}, {599, "SQ"}, {1716, "81001234"}, {511, "RMB"}});
        FuturesContractTable.Create(kFuturesContractLayout);
        AddRow(FuturesContractTable, {{599, "SQ"},
                                      {719, "cu2701"},
                                      {720, "cu"},
                                      {511, "RMB"},
                                      {594, "10"},
                                      {637, "1"},
                                      {703, "68820"},
                                      {706, "79180"},
                                      {686, "10"},
                                      {1755, "5"},
                                      {1045, "0"},
                                      {842, "73990"},
                                      {843, "4"},
                                      {850, "74010"},
                                      {851, "6"}});
        OptionContractTable.Create(kOptionContractLayout);

        SetWorkplaceWindow(kWorkplace);
        SetPostFunction([this](WindowId window, uint32_t message, uintptr_t wParam, intptr_t) {
            std::lock_guard lock(mutex_);
            posts_.push_back({window, message, wParam});
        });
        WindowSender sender;
        sender.postText = [this](WindowId, uint32_t, uintptr_t wParam, std::string_view text) {
            std::lock_guard lock(mutex_);
            texts_.push_back({wParam == 80, std::string(text)});
            return true;
        };
        SetWindowSender(std::move(sender));
        COrderEntryPanel::SetQuantityFunction([this](const tradedata::QuantityRequest& q) {
            std::lock_guard lock(mutex_);
            asked_.push_back(q.openClose);
            return q.openClose == 1 ? 7 : 3;
        });
        ASSERT_TRUE(host_.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 480, 640},
                                   nullptr, 0));
    }
    void TearDown() override {
        panel_.reset();
        host_.DestroyWindow();
        COrderEntryPanel::SetQuantityFunction(nullptr);
        tradedata::SetWindowSender({});
        tradedata::SetPostFunction(nullptr);
        tradedata::SetWorkplaceWindow(0);
        tradedata::SetTradingConnection(nullptr);
        client_.reset();
        server_.Stop();
        tradedata::SetOrderTraceWriter(nullptr);
        shell::SetOrderEntryOptions(0);
        tradedata::testing::ResetGlobalTables();
        UiTest::TearDown();
    }

    COrderEntryPanel& Open(UINT templateId = COrderEntryPanel::IDD) {
        panel_ = std::make_unique<COrderEntryPanel>();
        EXPECT_TRUE(
            panel_->Create(templateId, templateId == COrderEntryPanel::IDD ? 0 : 1, &host_));
        panel_->ShowWindow(SW_SHOW);
        DrainEvents();
        return *panel_;
    }
    void Fill(const char* code, const char* price, const char* quantity) {
        panel_->GetDlgItem(COrderEntryPanel::kContract)->SetWindowText(code);
        panel_->GetDlgItem(COrderEntryPanel::kPrice)->SetWindowText(price);
        panel_->GetDlgItem(COrderEntryPanel::kQuantity)->SetWindowText(quantity);
    }
    std::vector<testserver::ReceivedRequest> Submits() const { return book_->Submits(); }
    std::string LastText() {
        std::lock_guard lock(mutex_);
        return texts_.empty() ? std::string() : texts_.back().second;
    }
    bool LastTextFailed() {
        std::lock_guard lock(mutex_);
        return !texts_.empty() && texts_.back().first;
    }
    int PostsOf(uint32_t message, uintptr_t bits) {
        std::lock_guard lock(mutex_);
        int n = 0;
        for (const auto& p : posts_) n += p.message == message && (p.wParam & bits) == bits;
        return n;
    }

    struct Post {
        tradedata::WindowId window;
        uint32_t message;
        uintptr_t wParam;
    };
    tradedata::testing::SettingsSandbox sandbox_;
    testserver::TestServer server_;
    std::shared_ptr<testserver::OrderBook> book_;
    std::unique_ptr<NoltComm::CFixApiClient> client_;
    CWnd host_;
    std::unique_ptr<COrderEntryPanel> panel_;
    std::mutex mutex_;
    std::vector<Post> posts_;
    std::vector<std::pair<bool, std::string>> texts_;
    std::vector<int32_t> asked_;
};

TEST_F(OrderEntryPanelTest, TypedOrderReachesTheBookAndFillsWhenTheMarketCrosses) {
    COrderEntryPanel& panel = Open();
    auto* code =
        qobject_cast<QLineEdit*>(panel.GetDlgItem(COrderEntryPanel::kContract)->GetWidget());
    auto* price = qobject_cast<QLineEdit*>(panel.GetDlgItem(COrderEntryPanel::kPrice)->GetWidget());
    auto* quantity =
        qobject_cast<QLineEdit*>(panel.GetDlgItem(COrderEntryPanel::kQuantity)->GetWidget());
    ASSERT_TRUE(code && price && quantity);
    QTest::keyClicks(code, "cu2701");
    price->setFocus();
    DrainEvents();
    price->clear();
    QTest::keyClicks(price, "74000");
    quantity->clear();
    QTest::keyClicks(quantity, "2");
    QTest::mouseClick(panel.GetDlgItem(IDOK)->GetWidget(), Qt::LeftButton);
    DrainEvents();

    const auto submits = Submits();
    ASSERT_EQ(submits.size(), 1u) << LastText();
    EXPECT_EQ(submits[0].function, 16150);
    EXPECT_EQ(*submits[0].Find(719), "cu2701");
    EXPECT_EQ(*submits[0].Find(1716), "81001234");
    EXPECT_EQ(*submits[0].Find(683), "1");
    EXPECT_EQ(*submits[0].Find(1718), "1");
    EXPECT_EQ(*submits[0].Find(684), "2");
    EXPECT_DOUBLE_EQ(std::stod(*submits[0].Find(682)), 74000);
    EXPECT_FALSE(LastTextFailed()) << LastText();
    EXPECT_EQ(PostsOf(tradedata::kWmFrameRefresh, 0x1000), 1);

    // The market's ask comes down through the order's price: the book fills it.
    book_->OnQuote("cu2701", {73980, 73990, 10, 10});
    ASSERT_TRUE(book_->WaitIdle(std::chrono::seconds(5)));
    const auto trades = book_->Trades();
    ASSERT_EQ(trades.size(), 1u);
    EXPECT_EQ(trades[0].quantity, 2);
    EXPECT_EQ(trades[0].contract, "cu2701");

    EXPECT_TRUE(panel.GetWidget()->grab().save(kelmon::test::ui::ScreenshotDir() +
                                               "/order_entry_panel.png"));
}

TEST_F(OrderEntryPanelTest, RefusedOrderShowsTheServersText) {
    Open();
    book_->RefuseNextOrder(-1, "可用资金不足");
    Fill("cu2701", "74000", "1");
    panel_->OnOK();
    EXPECT_EQ(LastText(), "可用资金不足");
    EXPECT_TRUE(LastTextFailed());
    EXPECT_EQ(PostsOf(tradedata::kWmFrameRefresh, 0x1000), 0);
}

TEST_F(OrderEntryPanelTest, SplitBySplitSizeAndItsSummary) {
    pavlet::WritePrivateConfigure("QHWT", "ZDFBWT", 1);
    pavlet::WritePrivateConfigure("DBWTSX", "SQ", 2);
    Open();
    Fill("cu2701", "74000", "5");
    panel_->OnOK();
    const auto submits = Submits();
    ASSERT_EQ(submits.size(), 3u) << LastText() << " split " << panel_->GetSplitSize();
    EXPECT_EQ(*submits[0].Find(684), "2");
    EXPECT_EQ(*submits[1].Find(684), "2");
    EXPECT_EQ(*submits[2].Find(684), "1");
    EXPECT_NE(LastText().find("自动分笔委托成功,总委托数量:5,成功委托数量:5\n第一笔委托合同号:"),
              std::string::npos)
        << LastText();
}

TEST_F(OrderEntryPanelTest, OrdersThatMustNotLeave) {
    COrderEntryPanel& panel = Open();
    struct Case {
        const char* code;
        const char* price;
        const char* quantity;
        const char* text;  // the report, or null for none
    };
    const Case cases[] = {
        {"", "74000", "1", nullptr},                           // no contract: focus only
        {"zz9999", "74000", "1", "合约代码无效"},              // unknown
        {"cu\xF0\x9F\x98\x80", "74000", "1", "合约代码无效"},  // not GBK
        {"cu2701", "79200", "1", kPriceRangeText},             // above the limit by 2 ticks
        {"cu2701", "0", "1", kPriceRangeText},                 // SQ takes no market orders
        {"cu2701", "74000", "0", nullptr},
        {"cu2701", "74000", "-3", nullptr},
    };
    for (const Case& c : cases) {
        {
            std::lock_guard lock(mutex_);
            texts_.clear();
        }
        Fill(c.code, c.price, c.quantity);
        panel.OnOK();
        EXPECT_EQ(Submits().size(), 0u) << c.code << " " << c.price << " " << c.quantity << " "
                                        << panel.GetDlgItemText(COrderEntryPanel::kPrice);
        EXPECT_EQ(LastText(), c.text ? c.text : "") << c.code;
    }
}

TEST_F(OrderEntryPanelTest, ConditionalOrderCarriesItsFields) {
    Open();
    Fill("cu2701", "74000", "1");
    panel_->CheckDlgButton(COrderEntryPanel::kConditionalBox, 1);
    panel_->GetDlgItem(COrderEntryPanel::kTriggerPrice)->SetWindowText("74100");
    panel_->OnOK();
    const auto orders = book_->StopAndConditionalOrders();
    ASSERT_EQ(orders.size(), 1u) << LastText();
    EXPECT_EQ(orders[0].function, 16324);
    std::vector<int32_t> tags;
    for (const auto& [tag, value] : orders[0].fields) tags.push_back(tag);
    const std::vector<int32_t> tail = {599,  719,  1716, 684,  1681, 682,  1717, 1718, 683,
                                       1795, 1846, 1800, 1783, 1240, 1836, 742,  533};
    ASSERT_GE(tags.size(), tail.size());
    EXPECT_EQ(std::vector<int32_t>(tags.end() - tail.size(), tags.end()), tail);
    EXPECT_DOUBLE_EQ(std::stod(*orders[0].Find(1800)), 74100);
    EXPECT_EQ(*orders[0].Find(1783), "1");
    EXPECT_EQ(PostsOf(tradedata::kWmFrameRefresh, 0x10000), 1);
}

TEST_F(OrderEntryPanelTest, StopOrderCarriesItsFields) {
    Open();
    // Setting a contract empties the spreads: the contract comes first, as the user leaves it.
    ASSERT_TRUE(panel_->SetContractCode("cu2701"));
    Fill("cu2701", "74000", "1");
    panel_->CheckDlgButton(COrderEntryPanel::kStopBox, 1);
    panel_->GetDlgItem(COrderEntryPanel::kStopLoss)->SetWindowText("50");
    panel_->OnOK();
    const auto orders = book_->StopAndConditionalOrders();
    ASSERT_EQ(orders.size(), 1u) << LastText();
    EXPECT_EQ(orders[0].function, 16421);
    std::vector<int32_t> tags;
    for (const auto& [tag, value] : orders[0].fields) tags.push_back(tag);
    // The stop-loss spread travels in 1798, its order price in 1799; no take-profit fields.
    const std::vector<int32_t> tail = {599, 719,  1716, 684,  1681, 682,  1717, 1718,
                                       683, 1798, 745,  1799, 1795, 1827, 1828};
    ASSERT_GE(tags.size(), tail.size());
    EXPECT_EQ(std::vector<int32_t>(tags.end() - tail.size(), tags.end()), tail);
    EXPECT_DOUBLE_EQ(std::stod(*orders[0].Find(1798)), 50);
    EXPECT_TRUE(Submits().empty());
}

TEST_F(OrderEntryPanelTest, OrderFillRecordSetsTheFields) {
    COrderEntryPanel& panel = Open();
    tradedata::OrderFill fill;
    fill.code = "cu2701";
    fill.openClose = 1;
    fill.direction = 2;
    fill.quantity = 3;
    fill.price = 74020;
    fill.requestKind = 3;
    const auto record = tradedata::BuildOrderFillRecord(fill);
    COPYDATASTRUCT data{104, 104, record.data()};
    EXPECT_TRUE(panel.SendMessage(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)));
    EXPECT_EQ(panel.GetContractRow(), 0);
    EXPECT_EQ(panel.GetDlgItemText(COrderEntryPanel::kQuantity), "3");
    EXPECT_EQ(panel.GetDlgItemText(COrderEntryPanel::kPrice), "74020");
    EXPECT_EQ(panel.GetTradingCode(), "81001234");

    // A record that is not the order-fill record changes nothing.
    const char junk[104] = {};
    COPYDATASTRUCT bad{104, 104, junk};
    panel.SendMessage(WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&bad));
    EXPECT_EQ(panel.GetDlgItemText(COrderEntryPanel::kQuantity), "3");
}

TEST_F(OrderEntryPanelTest, QuoteRowNoticesOfOtherContractsAreIgnoredAndBatchesAreRead) {
    COrderEntryPanel& panel = Open();
    ASSERT_TRUE(panel.SetContractCode("cu2701"));
    EXPECT_EQ(panel.GetDlgItemText(COrderEntryPanel::kAskPrice), "74010");
    tradedata::FuturesContractTable.Set(850, 74030.0, 0);
    panel.SendMessage(tradedata::kWmFrameRefresh, COrderEntryPanel::kMaskQuoteRow, 5);
    EXPECT_EQ(panel.GetDlgItemText(COrderEntryPanel::kAskPrice), "74010");
    panel.SendMessage(tradedata::kWmFrameRefresh, COrderEntryPanel::kMaskQuoteRow, 0);
    EXPECT_EQ(panel.GetDlgItemText(COrderEntryPanel::kAskPrice), "74030");
    EXPECT_EQ(panel.GetRefreshMask(), 0u);
    // The frame's wake-up for a batch of changed rows names none: the labels are read again.
    tradedata::FuturesContractTable.Set(850, 74040.0, 0);
    panel.SendMessage(tradedata::kWmFrameRefresh, COrderEntryPanel::kMaskQuoteRow,
                      shell::CMainFrame::kChangedRowsPending);
    EXPECT_EQ(panel.GetDlgItemText(COrderEntryPanel::kAskPrice), "74040");
}

TEST_F(OrderEntryPanelTest, QuoteLabelClicksMakeThePriceFollowTheirField) {
    COrderEntryPanel& panel = Open();
    ASSERT_TRUE(panel.SetContractCode("cu2701"));
    const std::pair<int, const char*> cases[] = {{COrderEntryPanel::kAskPrice, "74010"},
                                                 {COrderEntryPanel::kBidPrice, "73990"},
                                                 {COrderEntryPanel::kLimitUp, "79180"},
                                                 {COrderEntryPanel::kLimitDown, "68820"}};
    for (const auto& [label, price] : cases) {
        panel.SendMessage(WM_COMMAND, MAKEWPARAM(label, STN_CLICKED), 0);
        EXPECT_EQ(panel.GetDlgItemText(COrderEntryPanel::kPrice), price) << label;
    }
}

TEST_F(OrderEntryPanelTest, WorkerResultsReachTheLabels) {
    COrderEntryPanel& panel = Open();
    ASSERT_TRUE(panel.SetContractCode("cu2701"));
    panel.SetPriceTracking(0);
    // The contract's question may already be on its way without the price; the one with the
    // price then waits out the worker's interval on the program's clock, which only the test
    // moves.
    ASSERT_TRUE(ProcessEventsUntil([&] {
        clock_.AdvanceMs(COrderPanelWorker::kMinIntervalMs);
        return panel.GetDlgItemText(COrderEntryPanel::kOpenableLabel) == "7";
    })) << asked_.size()
        << " " << panel.GetDlgItemText(COrderEntryPanel::kPrice) << " "
        << (panel.GetWorker() ? panel.GetWorker()->Computations() : -1);
    EXPECT_EQ(panel.GetDlgItemText(COrderEntryPanel::kClosableLabel), "3");
}

TEST_F(OrderEntryPanelTest, SlotsCreateBothArrangementsAndSwitchPreplacedMode) {
    shell::SlotsResetGuard guard;
    RegisterParts();
    for (const std::string& error : platform::ui::LoadDialogModule("kelmon"))
        ADD_FAILURE() << error;
    for (auto kind :
         {shell::OrderPanelKind::OrderEntry, shell::OrderPanelKind::OrderEntryHorizontal}) {
        std::unique_ptr<CWnd> window = shell::CreateOrderPanel(kind, &host_);
        ASSERT_NE(window, nullptr);
        auto* panel = dynamic_cast<COrderEntryPanel*>(window.get());
        ASSERT_NE(panel, nullptr);
        EXPECT_NE(tradedata::FindNotifyWindow(panel->m_hWnd), -1);
        shell::ApplyOrderPanelMode(kind, panel, 2);
        EXPECT_EQ(panel->GetDlgItemText(IDOK), "预埋(&Y)");
        shell::ApplyOrderPanelMode(kind, panel, 1);
        EXPECT_EQ(panel->GetDlgItemText(IDOK), "下单(&Y)");
        if (kind == shell::OrderPanelKind::OrderEntryHorizontal) {
            panel->ShowWindow(SW_SHOW);
            DrainEvents();
            EXPECT_TRUE(panel->GetWidget()->grab().save(kelmon::test::ui::ScreenshotDir() +
                                                        "/order_entry_panel_horizontal.png"));
        }
        const HWND hwnd = panel->m_hWnd;
        window.reset();
        EXPECT_EQ(tradedata::FindNotifyWindow(hwnd), -1);
    }
}

// ---- the worker ------------------------------------------------------------------------------

class OrderPanelWorkerTest : public kelmon::test::ui::UiTest {};

TEST_F(OrderPanelWorkerTest, ComputesAtMostOncePer1001MsWithTheNewestSnapshot) {
    std::mutex mutex;
    std::vector<std::pair<int64_t, double>> calls;  // clock time and price of each open question
    COrderPanelWorker worker(0, 0, [&](const tradedata::QuantityRequest& q) {
        std::lock_guard lock(mutex);
        if (q.openClose == 1) calls.push_back({platform::TickMs(), q.price});
        return 1;
    });
    ASSERT_TRUE(worker.Start());
    const int64_t start = platform::TickMs();
    QuantitySnapshot s;
    s.flags = kRecalcContract;
    s.open.openClose = 1;
    s.open.price = 100;
    worker.Submit(s);
    ASSERT_TRUE(ProcessEventsUntil([&] { return worker.Computations() == 1; }));
    // Three price changes within the second.
    for (double price : {101.0, 102.0, 103.0}) {
        s.flags = kRecalcPrice;
        s.open.price = price;
        worker.Submit(s);
        clock_.AdvanceMs(300);
    }
    clock_.AdvanceMs(1001 - 900 - 1);  // 1000 ms after the first: still held back
    clock_.AdvanceMs(1);
    ASSERT_TRUE(ProcessEventsUntil([&] { return worker.Computations() == 2; }));
    EXPECT_TRUE(worker.StopAndWait());
    std::lock_guard lock(mutex);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], (std::pair<int64_t, double>{start, 100}));
    EXPECT_EQ(calls[1], (std::pair<int64_t, double>{start + 1001, 103}));
}

// The panel takes one result per post; a second result before it looks keeps what the first
// answered and the second did not ask.
TEST_F(OrderPanelWorkerTest, AnUntakenResultKeepsTheQuantityTheNextDidNotAsk) {
    COrderPanelWorker worker(0, 0, [](const tradedata::QuantityRequest& q) {
        return q.openClose == 1 ? static_cast<int32_t>(q.price) : 3;
    });
    ASSERT_TRUE(worker.Start());
    QuantitySnapshot s;
    s.flags = kRecalcContract;  // both quantities
    s.open.openClose = 1;
    s.open.price = 5;
    s.close.openClose = 2;
    worker.Submit(s);
    ASSERT_TRUE(ProcessEventsUntil([&] { return worker.Computations() == 1; }));
    s.flags = kRecalcPrice;  // the open quantity only
    s.open.price = 7;
    worker.Submit(s);
    clock_.AdvanceMs(COrderPanelWorker::kMinIntervalMs);
    ASSERT_TRUE(ProcessEventsUntil([&] { return worker.Computations() == 2; }));
    EXPECT_TRUE(worker.StopAndWait());
    const std::optional<QuantityResult> result = worker.TakeResult();
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(result->hasOpen);
    EXPECT_EQ(result->open, 7);
    EXPECT_TRUE(result->hasClose);
    EXPECT_EQ(result->close, 3);
}

TEST_F(OrderPanelWorkerTest, StopsWhileAQuestionRuns) {
    std::mutex mutex;
    std::condition_variable cv;
    bool inside = false, release = false;
    COrderPanelWorker worker(0, 0, [&](const tradedata::QuantityRequest&) {
        std::unique_lock lock(mutex);
        inside = true;
        cv.notify_all();
        cv.wait(lock, [&] { return release; });
        return 1;
    });
    ASSERT_TRUE(worker.Start());
    QuantitySnapshot s;
    s.flags = kRecalcContract;
    worker.Submit(s);
    {
        std::unique_lock lock(mutex);
        cv.wait(lock, [&] { return inside; });
    }
    // The stop cannot cut the question off; it ends once the question returns.
    EXPECT_FALSE(worker.StopAndWait(0));
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    cv.notify_all();
    worker.Wait();
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_FALSE(worker.TakeResult().has_value());  // a stopping worker posts nothing
}

}  // namespace
}  // namespace orderentry
