// The shell's slots: every factory slot filled in one line with MakeChild and asked for its
// window, a creation that fails, the openers and commands called through (and answering 0
// while empty), the bar panel's text hook, and the guard that empties every slot.
#include "shell/PartSlots.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/ui/Wnd.h"
#include "shell/HostParts.h"
#include "shell/PartOpeners.h"
#include "shell/TradePanelParts.h"
#include "support/ui/UiTestApp.h"

namespace shell {
namespace {

using kelmon::test::ui::UiTest;

class Child : public CWnd {
public:
    BOOL Create(CWnd* parent) {
        return CWnd::Create(nullptr, "", WS_CHILD, RECT{0, 0, 10, 10}, parent, 0);
    }
};

class Refusing : public CWnd {
public:
    BOOL Create(CWnd*) { return FALSE; }
};

// A dialog class as RunModal sees one: constructed with its parent, run by DoModal.
class FakeDialog {
public:
    static inline CWnd* lastParent = nullptr;
    explicit FakeDialog(CWnd* parent) { lastParent = parent; }
    INT_PTR DoModal() { return 42; }
};

// One factory slot: how it is filled and how its window is asked for.
struct FactorySlot {
    const char* name;
    std::function<void(PanelWindowFactory)> fill;
    std::function<std::unique_ptr<CWnd>(CWnd*)> create;
};

std::vector<FactorySlot> FactorySlots() {
    return {
        {"page", [](PanelWindowFactory f) { SetPageFactory(PageKind::OrderQuery, f); },
         [](CWnd* p) { return CreatePage(PageKind::OrderQuery, p); }},
        {"order panel",
         [](PanelWindowFactory f) { SetOrderPanelFactory(OrderPanelKind::BatchOrder, f); },
         [](CWnd* p) { return CreateOrderPanel(OrderPanelKind::BatchOrder, p); }},
        {"bar panel", [](PanelWindowFactory f) { SetBarPanelFactory(BarPanelKind::QuoteBoard, f); },
         [](CWnd* p) { return CreateBarPanel(BarPanelKind::QuoteBoard, p); }},
        {"extended-order item",
         [](PanelWindowFactory f) {
             SetExtOrderItemFactory(ExtOrderItemKind::QuoteTriggerList, f);
         },
         [](CWnd* p) { return CreateExtOrderItem(ExtOrderItemKind::QuoteTriggerList, p); }},
        {"funds item",
         [](PanelWindowFactory f) { SetFundsItemFactory(FundsItemKind::AppointWithdrawList, f); },
         [](CWnd* p) { return CreateFundsItem(FundsItemKind::AppointWithdrawList, p); }},
        {"settings page",
         [](PanelWindowFactory f) { SetSettingsPageFactory(SettingsPageKind::SoundAlerts, f); },
         [](CWnd* p) { return CreateSettingsPage(SettingsPageKind::SoundAlerts, p); }},
        {"option underlying strip",
         [](PanelWindowFactory f) { PartOpeners().optionUnderlyingBar = f; },
         [](CWnd* p) {
             const auto& f = PartOpeners().optionUnderlyingBar;
             return f ? f(p) : nullptr;
         }},
    };
}

class PartSlotsTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(parent_.Create(nullptr, "", WS_POPUP, RECT{0, 0, 100, 100}, nullptr, 0));
    }
    void TearDown() override {
        parent_.DestroyWindow();
        UiTest::TearDown();
    }

    SlotsResetGuard slots_;
    CWnd parent_;
};

TEST_F(PartSlotsTest, EveryFactorySlotMakesItsChildThroughMakeChild) {
    for (const FactorySlot& slot : FactorySlots()) {
        SCOPED_TRACE(slot.name);
        EXPECT_EQ(slot.create(&parent_), nullptr);  // empty: nothing
        slot.fill(MakeChild<Child>());
        std::unique_ptr<CWnd> made = slot.create(&parent_);
        ASSERT_NE(made, nullptr);
        EXPECT_NE(dynamic_cast<Child*>(made.get()), nullptr);
        EXPECT_EQ(::GetParent(made->m_hWnd), parent_.m_hWnd);
        made->DestroyWindow();
        slot.fill(MakeChild<Refusing>());  // a failed creation hands nothing over
        EXPECT_EQ(slot.create(&parent_), nullptr);
        slot.fill(nullptr);
        EXPECT_EQ(slot.create(&parent_), nullptr);
    }
    // One kind's slot leaves the others of its host empty.
    SetSettingsPageFactory(SettingsPageKind::SoundAlerts, MakeChild<Child>());
    EXPECT_EQ(CreateSettingsPage(SettingsPageKind::TradeOptions, &parent_), nullptr);
}

TEST_F(PartSlotsTest, OpenersAnswerZeroWhileEmptyAndCarryTheirRequest) {
    const DisplaySettingsRequest request{"KHQY:客户权益,FYL:风险率", "KHQY", "KHQY"};
    EXPECT_EQ(RunOpener(PartOpeners().displaySettings, &parent_, request), 0);

    std::vector<std::string> seen;
    PartOpeners().displaySettings = [&](CWnd* parent, const DisplaySettingsRequest& r) -> INT_PTR {
        EXPECT_EQ(parent, &parent_);
        seen = {r.catalogue, r.defaults, r.key};
        return IDOK;
    };
    EXPECT_EQ(RunOpener(PartOpeners().displaySettings, &parent_, request), IDOK);
    EXPECT_EQ(seen, (std::vector<std::string>{"KHQY:客户权益,FYL:风险率", "KHQY", "KHQY"}));

    // A dialog constructed with its parent fills a slot in one line.
    EXPECT_EQ(RunOpener(PartOpeners().hotkeySettings, &parent_), 0);
    PartOpeners().hotkeySettings = RunModal<FakeDialog>();
    EXPECT_EQ(RunOpener(PartOpeners().hotkeySettings, &parent_), 42);
    EXPECT_EQ(FakeDialog::lastParent, &parent_);
}

TEST_F(PartSlotsTest, BarPanelTextReachesThePanelThroughItsHook) {
    std::vector<std::pair<std::string, BOOL>> shown;
    ShowBarPanelText(BarPanelKind::StatusStrip, &parent_, "无钩子", TRUE);  // no hook: nothing
    SetBarPanelFactory(BarPanelKind::StatusStrip, MakeChild<Child>(),
                       [&](CWnd* panel, const std::string& text, BOOL sticky) {
                           EXPECT_EQ(panel, &parent_);
                           shown.emplace_back(text, sticky);
                       });
    ShowBarPanelText(BarPanelKind::StatusStrip, nullptr, "无窗口", FALSE);  // no panel: nothing
    ShowBarPanelText(BarPanelKind::InfoList, &parent_, "别的栏", FALSE);    // another bar's slot
    ShowBarPanelText(BarPanelKind::StatusStrip, &parent_, "委托成功", FALSE);
    ShowBarPanelText(BarPanelKind::StatusStrip, &parent_, "委托失败", TRUE);
    EXPECT_EQ(shown,
              (std::vector<std::pair<std::string, BOOL>>{{"委托成功", FALSE}, {"委托失败", TRUE}}));
}

TEST_F(PartSlotsTest, TheGuardEmptiesEverySlotWhenItGoes) {
    int modes = 0;
    int commands = 0;
    {
        SlotsResetGuard guard;
        for (const FactorySlot& slot : FactorySlots()) slot.fill(MakeChild<Child>());
        SetOrderPanelFactory(OrderPanelKind::OrderEntry, MakeChild<Child>(),
                             [&](CWnd*, int) { ++modes; });
        SetBarPanelFactory(BarPanelKind::StatusStrip, MakeChild<Child>(),
                           [&](CWnd*, const std::string&, BOOL) { ++commands; });
        PartOpeners().recentBill = [](CWnd*) -> INT_PTR { return IDOK; };
        PartCommands().freeTradeCardResources = [&] { ++commands; };
    }
    for (const FactorySlot& slot : FactorySlots()) {
        SCOPED_TRACE(slot.name);
        EXPECT_EQ(slot.create(&parent_), nullptr);
    }
    ApplyOrderPanelMode(OrderPanelKind::OrderEntry, &parent_, 1);
    ShowBarPanelText(BarPanelKind::StatusStrip, &parent_, "x", FALSE);
    EXPECT_EQ(modes, 0);
    EXPECT_EQ(commands, 0);
    EXPECT_FALSE(PartOpeners().recentBill);
    EXPECT_FALSE(PartCommands().freeTradeCardResources);
}

}  // namespace
}  // namespace shell
