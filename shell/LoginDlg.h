// CLoginDlg: the modal login that start-up runs before any other window: server choice,
// customer number and password (with the communication password, dynamic token or picture
// code the settings ask for), request 16551 and the post-login loads; and the program-wide
// trade server values a successful login leaves.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "flexui/FlexEdit.h"
#include "flexui/SecurityCode.h"
#include "flexui/StaticEx.h"
#include "platform/ui/Dialog.h"
#include "shell/LoginProcedure.h"

namespace NoltComm {
class CTradeConnection;
}

namespace shell {

class CTradeApp;

// The trade server the program works with: the selected entry's name and address list, and
// the address the login reached (the quote sources read them too). Safe from any thread.
struct TradeServerInUse {
    std::string name;
    std::string addressList;
    std::string address;
};
TradeServerInUse GetTradeServerInUse();
void SetTradeServerInUse(TradeServerInUse server);

class CLoginDlg : public CDialog {
public:
    static constexpr UINT IDD = 169;
    enum : int {
        kServerList = 1100,
        kSpeedTest = 1635,
        kRegister = 1642,
        kCustomer = 1313,
        kRemember = 1450,
        kPassword = 1024,
        kExtraLabel = 1506,
        kExtra = 1026,
        kTokenSync = 1638,
        kCodeLabel = 1636,
        kCodeEdit = 1637,
        kCodePicture = 1639,
        kNewCode = 1640,
        kBanner = 1309,
        kSeparator = 1109,
        kServerSettings = 1101,
    };
    // Layout word: rows wanted (high bits) and rows shown (low byte).
    static constexpr uint32_t kWantCommPassword = 0x100;
    static constexpr uint32_t kWantToken = 0x200;
    static constexpr uint32_t kWantPictureCode = 0x8000;
    static constexpr uint32_t kShownExtra = 0x1;
    static constexpr uint32_t kShownTokenSync = 0x2;
    static constexpr uint32_t kShownPictureCode = 0x80;
    // Login state word bits.
    static constexpr uint32_t kLoginLoading = 1u << 28;
    static constexpr uint32_t kLoginServerChanged = 1u << 30;

    explicit CLoginDlg(CWnd* parent = nullptr);
    ~CLoginDlg() override;

    BOOL OnInitDialog() override;
    void OnOK() override;
    // The answer's 507: above 0 logged in; 0 or below refused; -1 for a local failure.
    int32_t Login();

    // The trading connection a successful login opened (null before, and after a failure).
    std::unique_ptr<NoltComm::CTradeConnection> TakeConnection();
    NoltComm::CTradeConnection* Connection() const { return connection_.get(); }

    uint32_t LayoutWord() const { return layout_; }
    uint32_t LoginState() const { return loginState_; }
    // A login succeeded: the dialog is ending and takes no other OK.
    bool LoggedIn() const { return loggedIn_; }
    int FailureCount() const { return failures_; }
    const std::string& AddressInUse() const { return address_; }
    CSecurityCode& PictureCode() { return picture_; }
    // The collector the login asks for the terminal description (tests give their own).
    void SetCollector(SysInfoCollector collector) { collector_ = std::move(collector); }

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    // Dialogs of other parts of the program, reached through these seams. Until those are
    // plugged in they do nothing and answer IDCANCEL.
    // Speed test over the server list; on IDOK *chosen names the entry picked (name or address).
    virtual INT_PTR RunSpeedTest(const std::vector<std::string>& servers, std::string* chosen);
    // The server information (maintenance) dialog.
    virtual INT_PTR RunServerSettings();
    // Dynamic-token time synchronisation for the customer on the open connection.
    virtual INT_PTR RunTokenSync(NoltComm::CTradeConnection* connection, const std::string& khh);
    // Simulated-account self-registration on the connection.
    virtual INT_PTR RunSelfRegistration(NoltComm::CTradeConnection* connection);
    // The first-login password change of the customer; IDOK when the password was changed.
    virtual INT_PTR RunFirstLoginPasswordChange(const std::string& khh);

private:
    void FillServerList();
    void ApplySelection();
    void SelectServer(const std::string& nameOrAddress);
    void Layout();
    void NewPicture();
    void ReadAuthStyle();
    void CloseConnection();
    // Connects to the selected address list; false (message shown under caption) when not.
    bool Connect(const char* caption);
    int32_t Fail(const std::string& text, UINT icon);
    // The OK that leaving a field for the login button posted, as it arrives.
    void OnPostedOK();

    CFlexEdit password_;
    CFlexEdit extra_;
    CFlexEdit codeEdit_;
    CSecurityCode picture_;
    CStaticEx banner_;

    std::string customer_;
    int remember_ = 0;
    std::vector<std::string> servers_;
    std::string lastServer_;
    std::string selectedName_;
    std::string addressList_;
    std::string address_;
    std::string connectedAddress_;  // what the last connection reached
    bool busy_ = false;             // a login is running: a second OK waits for nothing
    bool loggedIn_ = false;         // the dialog ends on the first success
    uint32_t oks_ = 0;              // OKs taken up (a login, or a field to fill first)
    // For each posted OK still on its way, the OK count when it was posted.
    std::deque<uint32_t> postedOks_;
    uint32_t layout_ = 0x81;
    int32_t authStyle_ = -1;
    int failures_ = 0;
    int threshold_ = 2;
    uint32_t loginState_ = 0;
    // Rows' original tops and heights (pixels) for stacking them.
    int extraRowHeight_ = 0;
    int pictureRowHeight_ = 0;
    std::vector<std::pair<int, RECT>> original_;

    SysInfoCollector collector_;
    std::unique_ptr<NoltComm::CTradeConnection> connection_;
};

// The login as start-up runs it: the dialog modally; on IDOK the application adopts the
// trading connection it opened.
INT_PTR RunLoginDialog(CTradeApp& app);

}  // namespace shell
