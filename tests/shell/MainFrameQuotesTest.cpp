// The frame's quote feeds against the test server's level-2 simulator: the settings read from
// the installation profile, the multicast feed and the level-2 TCP channel delivering rows,
// one refresh message to the workspace for many changed rows, and the close that stops the
// quote thread, cancels the subscriptions and then closes every socket.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "market/feed/Level2Control.h"
#include "record/MemRecord.h"
#include "shell/FrameMessages.h"
#include "shell/MainFrame.h"
#include "shell/TradeApp.h"
#include "shell/services/StartupSettings.h"
#include "support/ScratchProfile.h"
#include "support/ui/ProbeWnd.h"
#include "support/ui/UiTestApp.h"
#include "tests/market/feed/Level2Fixture.h"
#include "testserver/Level2Server.h"
#include "testserver/QuoteRecords.h"
#include "tradedata/Accounts.h"
#include "tradedata/ContractLookup.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Registries.h"

namespace shell {
namespace {

using kelmon::test::ui::LoggedMessage;
using kelmon::test::ui::ProbeWnd;
using kelmon::test::ui::ProcessEventsUntil;
using market::feed::QuoteSocketSlot;

using market::feed::testing::FreePort;
using market::feed::testing::TickSnapshot;

std::string Snapshot(int64_t last) { return TickSnapshot("cu2501", last); }

// No worker: the test drives the worker's calls itself.
class QuoteFrame : public CMainFrame {
protected:
    std::unique_ptr<CWorkerThread> CreateWorkerThread() override { return nullptr; }
    void LoadWorkspace(const std::string&) override {}
    void ReleaseWorkspace() override {}
};

class MainFrameQuotesTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start()) << server.ErrorText();
        profile.Write("SYSTEM", "Level2ControlAddr", "127.0.0.1");
        profile.Write("SYSTEM", "Level2ControlPort", std::to_string(server.Port()));
        profile.Write("SYSTEM", "BroadcastPort", std::to_string(broadcastPort));
        profile.Write("SYSTEM", "QuoteSubscibeCode", "16405");
        ClearQuoteSourceState(0x7fff);
        ReplaceQuoteSourceState(kQuoteSourceChoiceMask, kQuoteSourceAutomatic);
    }
    void TearDown() override {
        SetWorkspaceWindow(0);
        tradedata::ResetAccountSelection();
        ClearQuoteSourceState(0x7fff);
        ReplaceQuoteSourceState(kQuoteSourceChoiceMask, 0);
        server.Stop();
        UiTest::TearDown();
    }
    static void AddCopper() {
        auto& table = tradedata::FuturesContractTable;
        if (table.GetFCount() == 0) table.Create(tradedata::kFuturesContractLayout);
        const int row = table.GetMemRecord()->Append(nullptr, true);
        table.Set(719, "cu2501", row);
        table.Set(599, "SQ", row);
        table.Set(594, "10", row);
        table.Set(1752, "5", row);
        table.Set(644, 0x100, row);
        // The level-2 login names the current customer.
        tradedata::SetCurrentAccount(tradedata::AddAccount(0, "10086001", "", "", "123456", ""));
    }
    static double Last() { return tradedata::GetRowDouble(729, tradedata::FindContract("cu2501")); }

    testsupport::ScratchProfile profile;
    testserver::Level2Server server;  // record mode 1: quotes on the control connection
    uint16_t broadcastPort = FreePort();
};

TEST_F(MainFrameQuotesTest, QuotesReachTheRowsAndTheWorkspaceHearsOnce) {
    auto frame = std::make_unique<QuoteFrame>();
    ASSERT_TRUE(frame->LoadFrame("frame"));
    AddCopper();
    std::vector<LoggedMessage> log;
    ProbeWnd workspace("workspace", &log);
    workspace.logOnly = [](UINT message) { return message == WM_FRAME_REFRESH; };
    ASSERT_TRUE(
        workspace.Create(nullptr, "", WS_CHILD, RECT{0, 0, 10, 10}, &frame->ChildHost(), 1));
    SetWorkspaceWindow(workspace.m_hWnd);

    // What the worker does when it starts, then in its rounds.
    frame->OpenMulticastFeed();
    EXPECT_NE(frame->FrameState() & market::feed::kFrameMulticastFeedOpen, 0u);
    EXPECT_EQ(frame->QuoteSubscriptionFunction(), 16405);
    frame->ConnectLevel2Server();
    EXPECT_EQ(frame->FrameState() & 0x808u, 0x808u);
    EXPECT_EQ(GetQuoteSourceState() & 0xffu, 0x86u);
    frame->SubscribeQuotes();
    ASSERT_TRUE(server.WaitForSubscribed("cu2501", std::chrono::seconds(10)));
    EXPECT_FALSE(frame->RestoreQuoteFeeds());

    // Two records on the control connection before the workspace looks: one message.
    ASSERT_EQ(server.Publish("cu2501", {Snapshot(7001), Snapshot(7002)}), 1u);
    ASSERT_TRUE(ProcessEventsUntil([] { return Last() == 70020.0; }));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !workspace.Got(WM_FRAME_REFRESH).empty(); }));
    const auto refreshes = workspace.Got(WM_FRAME_REFRESH);
    ASSERT_EQ(refreshes.size(), 1u);
    EXPECT_EQ(refreshes[0].wParam, kRefreshRow);
    EXPECT_EQ(refreshes[0].lParam, CMainFrame::kChangedRowsPending);
    EXPECT_EQ(frame->TakeChangedRows(), std::vector<int32_t>{tradedata::FindContract("cu2501")});

    // The multicast feed (plain broadcast reception: no group is set).
    const std::string record = Snapshot(7003);
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(broadcastPort);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(
        sendto(fd, record.data(), record.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
        static_cast<ssize_t>(record.size()));
    close(fd);
    ASSERT_TRUE(ProcessEventsUntil([] { return Last() == 70030.0; }));

    // Closing: the quote thread stops, the subscriptions are cancelled, the sockets close.
    const auto before = server.Commands().size();
    frame->DestroyWindow();
    EXPECT_FALSE(frame->QuoteFeeds().Receiver().IsOpen(QuoteSocketSlot::kControl));
    EXPECT_FALSE(frame->QuoteFeeds().Receiver().IsOpen(QuoteSocketSlot::kMulticast));
    ASSERT_TRUE(ProcessEventsUntil([&] { return server.Commands().size() > before; }));
    EXPECT_EQ(server.Commands().back(), "4012|all");
    EXPECT_TRUE(ProcessEventsUntil([&] { return server.ConnectionCount() == 0; }));
    frame.reset();
}

TEST_F(MainFrameQuotesTest, ALostControlConnectionIsMadeAgainByTheWorkersRound) {
    auto frame = std::make_unique<QuoteFrame>();
    ASSERT_TRUE(frame->LoadFrame("frame"));
    AddCopper();
    frame->ConnectLevel2Server();
    ASSERT_TRUE(frame->QuoteFeeds().Receiver().ControlCarriesQuotes());
    ASSERT_EQ(server.DropControlConnections(), 1u);
    // The quote thread notices the close (once the program's input is idle it runs).
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return !frame->QuoteFeeds().Receiver().IsOpen(QuoteSocketSlot::kControl); }));
    // The back-off after a working connection is a second: no round reconnects before it.
    EXPECT_FALSE(frame->RestoreQuoteFeeds());
    clock_.AdvanceMs(market::feed::kFirstBackoffMs);
    EXPECT_TRUE(frame->RestoreQuoteFeeds());
    EXPECT_TRUE(frame->QuoteFeeds().Receiver().ControlCarriesQuotes());
    EXPECT_TRUE(server.WaitForChannels(1, std::chrono::seconds(10)));
    frame->DestroyWindow();
    frame.reset();
}

}  // namespace
}  // namespace shell
