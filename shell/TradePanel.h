// CTradePanelDlg: the standard trading panel, the workspace the main frame hosts when no view
// plug-in is chosen. It passes the workspace messages on to the frame and the registered
// windows, keeps the business pages under its tabs, docks the bars of the frame with their
// panels, chooses the order panel for the page in front, reads the panel settings and hot keys,
// runs its worker thread and locks the screen after the user's inactivity.
//
// CTradePanelBar: one docking bar of the frame hosting one panel.
//
// The pages, order panels and most bar panels come from the factory slots of
// shell/TradePanelParts.h; the batch jobs of the worker (cancel all, close all, timed
// pre-placed orders, trading-card cancels, the session-end reminder) and the commands that open
// other subsystems' dialogs are not here yet.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "flexui/FlexDialog.h"
#include "flexui/FlexDialogBar.h"
#include "settings/controls/GradientTabCtrl.h"
#include "shell/TradePanelParts.h"
#include "shell/TradePanelSettings.h"
#include "shell/TradePanelWorker.h"

class CFrameWnd;

namespace shell {

class CTradePanelBar : public CFlexDialogBar {
public:
    static constexpr UINT IDD = 152;
};

// The panel's bars, in creation order.
enum class PanelBar {
    QuoteTabs,
    QuoteBoard,
    StatusStrip,
    InfoList,
    AccountSummary,
    OrderTop,
    OrderRight,
    Count
};

inline constexpr UINT kPanelBarIds[] = {0x808A, 0x8084, 0x8085, 0x8089, 0x8086, 0x8088, 0x8087};

// The panel's commands.
inline constexpr UINT ID_PANEL_ABOUT = 32791;
inline constexpr UINT ID_PANEL_EXIT = 32792;
inline constexpr UINT ID_PANEL_LOCK = 32794;
inline constexpr UINT ID_PANEL_CANCEL_ALL = 32796;
inline constexpr UINT ID_PANEL_CANCEL_OPENING = 32797;
inline constexpr UINT ID_PANEL_CANCEL_CLOSING = 32798;
inline constexpr UINT ID_PANEL_FOCUS_ORDER = 32801;
inline constexpr UINT ID_PANEL_LAYER_RESTORE = 32802;
inline constexpr UINT ID_PANEL_CLOSE_ALL = 32919;
inline constexpr UINT ID_PANEL_ORDER_QUERY_QUICK = 32928;
inline constexpr UINT ID_PANEL_ORDER_QUERY_BUY = 32983;
inline constexpr UINT ID_PANEL_ORDER_QUERY_SELL = 32984;
inline constexpr UINT ID_PANEL_TAB_FIRST = 32860;   // + tab index 0..19
inline constexpr UINT ID_PANEL_PAGE_FIRST = 32880;  // + page id 0..19

// The frame's system hot key of the boss key.
inline constexpr int kBossHotKeyId = 1;
// The panel's auto-lock timer.
inline constexpr UINT_PTR kAutoLockTimer = 1;
inline constexpr UINT kAutoLockPeriodMs = 100;
// A sticky status text holds the strip this long unless the user acts meanwhile.
inline constexpr int64_t kStickyStatusMs = 10000;

class CTradePanelDlg : public CFlexDialog {
public:
    static constexpr UINT IDD = 151;
    static constexpr int kTabId = 1006;

    CTradePanelDlg();
    ~CTradePanelDlg() override;

    void SetFrame(CFrameWnd* frame) { frame_ = frame; }
    CFrameWnd* Frame() const { return frame_; }

    // The page id of the tab (0 when none); brings it to the front with its order panel.
    int32_t SelectPage(int tabIndex);
    // The index of the tab of that page, or -1.
    int FindTabByPage(int32_t pageId) const;
    void ShowOrderPanel(int mode);
    // Sends to every live registered window, in list order.
    void SendToNotifyWindows(UINT message, WPARAM wParam, LPARAM lParam);
    // Posts to every registered window; a one-row change goes first to the quote board and the
    // active order panel, a contract change first to the quote board, by a synchronous send.
    void PostToNotifyWindows(UINT message, WPARAM wParam, LPARAM lParam);

    // The settings into the option words, the panel's own values, the login-check switches
    // to the frame, then the main window's top-most state.
    void ReadSettings();
    void ApplyTopMost();
    // The hot-key accelerator table, the boss key and the tabs' hot-key labels.
    void LoadHotkeys();
    // The conditional tabs, each added or removed by the current account's services.
    void UpdateExtendedFunctionsTab();
    void UpdateTransferTab();
    void UpdateExtendedInstructionsTab();
    void UpdateOtherServicesTab();

    // ---- state, for the bars and the tests ----
    uint32_t State() const { return state_.load(std::memory_order_acquire); }
    uint32_t AppliedDisplayOptions() const { return appliedDisplay_; }
    const PanelSettings& Settings() const { return settings_; }
    int32_t CurrentPageId() const { return currentPageId_; }
    CWnd* CurrentPage() const { return currentPage_; }
    CWnd* CurrentOrderPanel() const { return currentOrderPanel_; }
    int OrderPanelMode() const { return orderPanelMode_; }
    CTradePanelBar* Bar(PanelBar bar) const { return bars_[static_cast<size_t>(bar)].get(); }
    CWnd* BarPanel(BarPanelKind kind) const { return barPanels_[static_cast<size_t>(kind)].get(); }
    CWnd* Page(PageKind kind) const { return pages_[static_cast<size_t>(kind)].get(); }
    CWnd* OrderPanel(OrderPanelKind kind) const {
        return orderPanels_[static_cast<size_t>(kind)].get();
    }
    CTradePanelWorker* Worker() const { return worker_.get(); }
    CWnd& Tabs() { return tabs_; }
    int TabCount() const;
    int32_t TabPage(int index) const;
    std::string TabText(int index) const;
    int CurrentTab() const;

    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override {}
    void OnCancel() override {}

protected:
    void OnDestroy() override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnTimer(UINT_PTR id) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    // The worker's jobs; the batch operations of a later build fill them.
    virtual CTradePanelWorker::Jobs WorkerJobs() { return {}; }
    // Runs while the stop waits for the worker (the user-interface thread's messages).
    virtual void KeepMessagesMoving();
    // Puts a text into the status strip.
    virtual void ShowStatusText(const std::string& text, BOOL sticky);

private:
    LRESULT OnFrameRefresh(WPARAM bits, LPARAM argument);
    void OnFrameNotice(WPARAM wParam, LPARAM lParam);
    LRESULT OnFrameCommand(WPARAM code, LPARAM argument);
    void OnStatusText(LPARAM text, bool sticky);
    HWND ShowOptionCalculator(bool show);
    void ApplySettingsChange(uint32_t before);
    void CreateBars();
    void ShowBar(PanelBar bar, bool show);
    void SetTitle();
    void PlaceCurrentPage();
    CWnd* PageFor(int32_t pageId);
    void DestroyPage(PageKind kind);
    void DestroyOrderPanel(OrderPanelKind kind);
    void DestroyChildren();
    // Adds the tab when `wanted` and it is missing, removes it when present and not wanted;
    // insertBefore picks the index of a new tab (-1: the end).
    void UpdateConditionalTab(int32_t pageId, bool wanted, int insertBefore,
                              bool destroyPagesFirst);
    int InsertTab(int index, const std::string& text, int32_t pageId);
    void SetTabText(int index, const std::string& text);

    settings::controls::CGradientTabCtrl tabs_;
    CFrameWnd* frame_ = nullptr;
    uint32_t appliedDisplay_ = 0;
    std::atomic<uint32_t> state_{0};
    CWnd* currentPage_ = nullptr;
    CWnd* currentOrderPanel_ = nullptr;
    int32_t currentPageId_ = 0;
    int orderPanelMode_ = 0;
    PanelSettings settings_;
    int64_t stickyStamp_ = 0;
    std::unique_ptr<CTradePanelWorker> worker_;
    std::array<std::unique_ptr<CTradePanelBar>, static_cast<size_t>(PanelBar::Count)> bars_;
    std::array<std::unique_ptr<CWnd>, static_cast<size_t>(BarPanelKind::Count)> barPanels_;
    std::array<std::unique_ptr<CWnd>, static_cast<size_t>(PageKind::Count)> pages_;
    std::array<std::unique_ptr<CWnd>, static_cast<size_t>(OrderPanelKind::Count)> orderPanels_;
};

}  // namespace shell
