// CLoginDlg: settings and server list at open, the stacked rows, the login itself and the
// dialog's other commands.
#include "shell/LoginDlg.h"

#include <algorithm>
#include <charconv>
#include <mutex>

#include "comm/ConnectProcedure.h"
#include "comm/MachineInfo.h"
#include "comm/TradeConnection.h"
#include "platform/outside/SysInfoCollector.h"
#include "platform/ui/DataExchange.h"
#include "platform/ui/UiServices.h"
#include "record/Configure.h"
#include "shell/PostLoginLoader.h"
#include "shell/SharedFonts.h"
#include "shell/TradeApp.h"
#include "shell/services/LogLine.h"
#include "shell/services/SettingsWriters.h"
#include "shell/services/StartupSettings.h"
#include "shell/services/TradeLogger.h"
#include "tradedata/AccountQueries.h"
#include "tradedata/Accounts.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/Rates.h"
#include "tradedata/Scrambler.h"
#include "tradedata/ServerLists.h"
#include "tradedata/TradeRequest.h"
#include "tradedata/TradingHelpers.h"

namespace shell {
namespace {

constexpr const char* kLoginCaption = "客户登录";
constexpr const char* kTokenCaption = "动态令牌时间同步";
constexpr const char* kConnectFailed = "连接服务器失败!";
// A refusal or a failed request that brought no reason of its own.
constexpr const char* kLoginFailed = "登录失败!";
constexpr COLORREF kBannerColor = RGB(32, 32, 32);

std::mutex& ServerLock() {
    static std::mutex lock;
    return lock;
}
TradeServerInUse& Server() {
    static TradeServerInUse server;
    return server;
}

std::string BeforeChar(const std::string& text, char c) { return text.substr(0, text.find(c)); }
std::string AfterChar(const std::string& text, char c) {
    const size_t at = text.find(c);
    return at == std::string::npos ? std::string() : text.substr(at + 1);
}

bool ListHolds(const std::string& list, const std::string& address) {
    if (address.empty()) return false;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = std::min(list.find(';', start), list.size());
        if (list.compare(start, end - start, address) == 0) return true;
        start = end + 1;
    }
    return false;
}

// The rows the layout moves as one, top to bottom.
constexpr int kExtraRow[] = {CLoginDlg::kExtraLabel, CLoginDlg::kExtra, CLoginDlg::kTokenSync};
constexpr int kPictureRow[] = {CLoginDlg::kCodeLabel, CLoginDlg::kCodeEdit, CLoginDlg::kCodePicture,
                               CLoginDlg::kNewCode};
constexpr int kBelowRows[] = {CLoginDlg::kSeparator, IDOK, CLoginDlg::kServerSettings, IDCANCEL};
constexpr int kDialogFrame = 0;  // the dialog's own entry among the original rectangles

}  // namespace

TradeServerInUse GetTradeServerInUse() {
    std::lock_guard lock(ServerLock());
    return Server();
}

void SetTradeServerInUse(TradeServerInUse server) {
    std::lock_guard lock(ServerLock());
    Server() = std::move(server);
}

CLoginDlg::CLoginDlg(CWnd* parent) : CDialog(IDD, parent), collector_(&TavroGetSysInfo) {}

CLoginDlg::~CLoginDlg() = default;

std::unique_ptr<NoltComm::CTradeConnection> CLoginDlg::TakeConnection() {
    return std::move(connection_);
}

void CLoginDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, kCustomer, customer_);
    DDX_Check(dx, kRemember, remember_);
}

BOOL CLoginDlg::OnInitDialog() {
    password_.SubclassDlgItem(kPassword, this);
    extra_.SubclassDlgItem(kExtra, this);
    codeEdit_.SubclassDlgItem(kCodeEdit, this);
    picture_.SubclassDlgItem(kCodePicture, this);
    banner_.SubclassDlgItem(kBanner, this);

    if (CFont* font = GetSharedFont(SharedFont::kTitle)) banner_.SetFont(font);
    banner_.SetTextColor(kBannerColor);
    banner_.SetWindowText(GetBannerText());
    SetWindowText(tradedata::GetWindowTitle());

    threshold_ = pavlet::ReadConfigInt("SYSTEM", "SecurityThreshold", 2, 0, 0);
    if (threshold_ == 0) layout_ |= kWantPictureCode;
    lastServer_ = GetLocalizeString("TradeCommInfo", "ServerName");
    remember_ = GetLocalizeInt("SYSTEM", "RememberLatestaccount", 1) != 0 ? 1 : 0;
    if (remember_) customer_ = GetLocalizeString("SYSTEM", "LatestAccount");
    CDialog::OnInitDialog();

    password_.SetEditStyle(256);
    password_.SetDimText("输入交易密码");
    extra_.SetEditStyle(256);
    codeEdit_.SetDimText("输入验证码,不区分大小写");

    // The rows stack from where the template puts them, all shown; the token button starts
    // hidden, as the initial layout word says.
    auto keep = [this](int id) {
        RECT r{};
        GetDlgItem(id)->GetWindowRect(&r);
        ScreenToClient(&r);
        original_.emplace_back(id, r);
    };
    RECT frame{};
    GetWindowRect(&frame);
    original_.emplace_back(kDialogFrame, frame);
    for (int id : kExtraRow) keep(id);
    for (int id : kPictureRow) keep(id);
    for (int id : kBelowRows) keep(id);
    auto top = [this](int id) {
        for (const auto& [i, r] : original_)
            if (i == id) return static_cast<int>(r.top);
        return 0;
    };
    extraRowHeight_ = top(kCodeEdit) - top(kExtra);
    pictureRowHeight_ = top(kSeparator) - top(kCodeEdit);
    GetDlgItem(kTokenSync)->ShowWindow(SW_HIDE);

    FillServerList();
    Layout();
    ReadAuthStyle();
    if (lastServer_.empty()) PostMessage(WM_COMMAND, MAKEWPARAM(kSpeedTest, BN_CLICKED), 0);
    return TRUE;
}

void CLoginDlg::FillServerList() {
    servers_.clear();
    std::string last;
    tradedata::LoadTradeServers(&servers_, &last);
    lastServer_ = last;
    int found = -1;
    for (size_t i = 0; i < servers_.size() && found < 0; ++i) {
        const std::string& entry = servers_[i];
        if (!last.empty() &&
            (BeforeChar(entry, ',') == last || ListHolds(AfterChar(entry, ','), last)))
            found = static_cast<int>(i);
    }
    if (address_.empty() && found >= 0) address_ = last;
    CWnd* list = GetDlgItem(kServerList);
    list->SendMessage(CB_RESETCONTENT);
    for (const std::string& entry : servers_) {
        const std::string name = BeforeChar(entry, ',');
        list->SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    }
    if (!servers_.empty()) {
        list->SendMessage(CB_SETCURSEL, static_cast<WPARAM>(std::max(found, 0)));
        ApplySelection();
    }
}

void CLoginDlg::ApplySelection() {
    const auto index = static_cast<int>(GetDlgItem(kServerList)->SendMessage(CB_GETCURSEL));
    if (index < 0 || index >= static_cast<int>(servers_.size())) return;
    selectedName_ = BeforeChar(servers_[index], ',');
    addressList_ = AfterChar(servers_[index], ',');
    if (address_.empty() || !ListHolds(addressList_, address_))
        address_ = BeforeChar(addressList_, ';');
    GetDlgItem(kRegister)->ShowWindow(SW_HIDE);
}

void CLoginDlg::SelectServer(const std::string& nameOrAddress) {
    for (size_t i = 0; i < servers_.size(); ++i) {
        if (BeforeChar(servers_[i], ',') == nameOrAddress ||
            ListHolds(AfterChar(servers_[i], ','), nameOrAddress)) {
            GetDlgItem(kServerList)->SendMessage(CB_SETCURSEL, i);
            if (ListHolds(AfterChar(servers_[i], ','), nameOrAddress)) address_ = nameOrAddress;
            ApplySelection();
            return;
        }
    }
}

void CLoginDlg::ReadAuthStyle() {
    int style = GetLocalizeKeyInt("SYSTEM", "AuthStyle", 0);
    if (style > 2 || style < 0) style = 0;
    if (style == authStyle_) return;
    authStyle_ = style;
    layout_ &= ~(kWantCommPassword | kWantToken);
    if (style == 1) layout_ |= kWantCommPassword;
    if (style == 2) layout_ |= kWantToken;
    Layout();
}

void CLoginDlg::NewPicture() { picture_.SetSecurityText(5, 0); }

void CLoginDlg::Layout() {
    uint32_t shown = 0;
    if (layout_ & (kWantCommPassword | kWantToken)) shown |= kShownExtra;
    if ((layout_ & kWantToken) && authStyle_ == 2) shown |= kShownTokenSync;
    if (layout_ & kWantPictureCode) shown |= kShownPictureCode;
    const uint32_t was = layout_ & 0xFF;
    if (shown == was || original_.empty()) return;
    layout_ = (layout_ & ~0xFFu) | shown;

    const bool extra = shown & kShownExtra;
    const bool pictureCode = shown & kShownPictureCode;
    SetDlgItemText(kExtraLabel, authStyle_ == 2 ? "动态口令" : "通讯密码");
    const int extraShift = extra ? 0 : -extraRowHeight_;
    const int belowShift = extraShift + (pictureCode ? 0 : -pictureRowHeight_);
    for (const auto& [id, r] : original_) {
        int shift = belowShift;
        bool visible = true;
        if (std::find(std::begin(kExtraRow), std::end(kExtraRow), id) != std::end(kExtraRow)) {
            shift = 0;
            visible = id == kTokenSync ? (shown & kShownTokenSync) != 0 : extra;
        } else if (std::find(std::begin(kPictureRow), std::end(kPictureRow), id) !=
                   std::end(kPictureRow)) {
            shift = extraShift;
            visible = pictureCode;
        }
        if (id == kDialogFrame) {
            SetWindowPos(nullptr, 0, 0, r.right - r.left, r.bottom - r.top + belowShift,
                         SWP_NOMOVE | SWP_NOZORDER);
            continue;
        }
        CWnd* control = GetDlgItem(id);
        control->SetWindowPos(nullptr, r.left, r.top + shift, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        control->ShowWindow(visible ? SW_SHOW : SW_HIDE);
        if (id == kExtra) control->EnableWindow(extra);
        if (id == kCodeEdit) control->EnableWindow(pictureCode);
    }
    // The template's picture row starts with no picture in it.
    if (pictureCode && (!(was & kShownPictureCode) || picture_.GetSecurityText().empty()))
        NewPicture();
}

void CLoginDlg::CloseConnection() {
    if (!connection_) return;
    connection_->Close();
    connection_.reset();
}

int32_t CLoginDlg::Fail(const std::string& text, UINT icon) {
    ::MessageBox(m_hWnd, text.c_str(), kLoginCaption, MB_OK | icon);
    return -1;
}

bool CLoginDlg::Connect(const char* caption) {
    NoltComm::ProxyConfig proxy;
    if (!NoltComm::LoadProxySettings("TradeCommInfo", &proxy))
        NoltComm::LoadProxySettings("ACISVR", &proxy);
    std::string list = addressList_;
    std::string reached = address_;
    std::string error;
    if (NoltComm::ConnectTradeServer(&connection_, &list, &reached, &error, true, &proxy,
                                     nullptr) == 1 &&
        connection_) {
        addressList_ = list;
        connectedAddress_ = reached;
        return true;
    }
    connection_.reset();
    ::MessageBox(m_hWnd, error.empty() ? kConnectFailed : error.c_str(), caption,
                 MB_OK | MB_ICONERROR);
    return false;
}

int32_t CLoginDlg::Login() {
    CloseConnection();
    const std::string khh = PadCustomerNumber(customer_);
    LoginInputs inputs;
    inputs.khh = khh;
    inputs.password = GetDlgItemText(kPassword);
    if (GetDlgItem(kExtra)->IsWindowEnabled()) inputs.extra = GetDlgItemText(kExtra);
    inputs.authStyle = authStyle_;
    inputs.checkStamp = (GetAppStateFlags() & kAppStateCheckStamp) != 0;
    if (inputs.checkStamp) inputs.machineInfo = NoltComm::GetMachineInfo();
    inputs.versionText = tradedata::GetProgramVersion();

    if (!Connect(kLoginCaption)) return -1;

    // The quote sources follow the trading server's list.
    TradeServerInUse server = GetTradeServerInUse();
    server.addressList = addressList_;
    SetTradeServerInUse(server);
    const auto index = static_cast<int>(GetDlgItem(kServerList)->SendMessage(CB_GETCURSEL));
    if (index >= 0) {
        std::string value = selectedName_ + "," + addressList_;
        if (GetCommOptions() & kCommEncipher)
            value = tradedata::ScrambleText(tradedata::kServerScrambleKey, value);
        pavlet::WriteConfigure("TradeServer", "SERVER" + std::to_string(index + 1), value);
    }

    const TerminalDescription terminal = CollectTerminalDescription(collector_);
    if (!terminal.failure.empty()) {
        CloseConnection();
        return Fail(terminal.failure, MB_ICONERROR);
    }
    auto request = NoltComm::CTradeRequest::Create(connection_.get());
    std::string failure;
    if (!ComposeLoginRequest(*request, inputs, terminal, &failure)) {
        request.reset();
        CloseConnection();
        return Fail(failure, MB_ICONERROR);
    }
    int32_t result = -1;
    if (request->Send() && request->NextRow()) {
        const std::string text = request->GetString(507);
        if (!text.empty()) result = request->GetLong(507);
    }
    std::string errorText = request->GetErrorText();
    if (errorText.empty()) errorText = kLoginFailed;

    if (result <= 0) {
        request.reset();
        if (result < 0) ++failures_;
        if (threshold_ > 0 && failures_ >= threshold_) {
            if (layout_ & kShownPictureCode) {
                NewPicture();
            } else {
                layout_ |= kWantPictureCode;
                WriteLocalizeString("SYSTEM", "LatestAccount", "");
                Layout();
            }
        }
        CloseConnection();
        ::MessageBox(m_hWnd, errorText.c_str(), kLoginCaption, MB_OK | MB_ICONWARNING);
        return result;
    }

    failures_ = 0;
    // The account queries after this one identify the program as the login did: its
    // version, the machine and the terminal description.
    tradedata::SetAccountQueryTexts(inputs.versionText, NoltComm::GetMachineInfo(), terminal.text);
    address_ = connectedAddress_;
    server = GetTradeServerInUse();
    server.address = address_;
    server.name = selectedName_;
    SetTradeServerInUse(server);
    if (address_ != lastServer_) {
        WriteLocalizeString("TradeCommInfo", "ServerName", address_);
        if (lastServer_.empty() || !ListHolds(addressList_, lastServer_))
            loginState_ |= kLoginServerChanged;
    }

    const int32_t status = request->GetLong(727);
    const std::string message = LoginMessage(status, request->GetString(1777));
    const int row = ApplyLoginAnswer(*request, inputs);
    const std::string answeredKhh = tradedata::AccountTable.Get(605, row);
    request.reset();
    if (row < 0) {
        CloseConnection();
        return -1;
    }
    if (tradedata::TestAccountFlag(0x8, row)) {
        if (RunFirstLoginPasswordChange(answeredKhh) == IDOK) {
            tradedata::ClearAccountFlag(0x8, row);
        } else {
            tradedata::LogoutAccount(connection_.get(), row);
            CloseConnection();
            return -1;
        }
    }
    tradedata::QueryTradingCodes(connection_.get(), answeredKhh);
    WriteLocalizeString("SYSTEM", "LatestAccount", remember_ ? customer_ : std::string());
    tradedata::SetCurrentAccount(row);
    tradedata::SetLoginAccount(row);
    tradedata::SyncServerTime(connection_.get());

    loginState_ |= kLoginLoading;
    CPostLoginLoader loader(connection_.get(), row, (loginState_ & kLoginServerChanged) != 0);
    loader.Start();
    if (!message.empty())
        ::MessageBox(m_hWnd, message.c_str(), "系统提示", MB_OK | MB_ICONINFORMATION);
    // The frame needs the day's reference data: the dialog stays until the loads are done.
    loader.Wait();
    loginState_ &= ~kLoginLoading;
    return result;
}

void CLoginDlg::OnOK() {
    // One login at a time, and none once one has succeeded: the dialog is ending then, and a
    // second login would drop the first session's connection without its logout.
    if (busy_ || loggedIn_) return;
    ++oks_;
    UpdateData(TRUE);
    if (address_.empty()) {
        GotoDlgCtrl(GetDlgItem(kServerList));
        return;
    }
    if (customer_.empty()) {
        GotoDlgCtrl(GetDlgItem(kCustomer));
        return;
    }
    if (GetDlgItemText(kPassword).empty()) {
        GotoDlgCtrl(GetDlgItem(kPassword));
        return;
    }
    if ((layout_ & kShownPictureCode) &&
        !picture_.CheckSecurityText(GetDlgItemText(kCodeEdit), FALSE)) {
        SetDlgItemText(kCodeEdit, "");
        GotoDlgCtrl(GetDlgItem(kCodeEdit));
        return;
    }
    busy_ = true;
    const int32_t result = Login();
    busy_ = false;
    if (result < 1) {
        SetDlgItemText(kPassword, "");
        SetDlgItemText(kExtra, "");
        Layout();
        GotoDlgCtrl(GetDlgItem(kCustomer));
        GetDlgItem(kCustomer)->SendMessage(EM_SETSEL, 0, -1);
        CloseConnection();
        return;
    }
    loggedIn_ = true;
    if (GetLogLevel() != 0) GetTradeLogger("BriskoLog_", 200).Start();
    EndDialog(IDOK);
}

void CLoginDlg::OnPostedOK() {
    const uint32_t postedAt = postedOks_.front();
    postedOks_.pop_front();
    // An OK taken up since it was posted (the click that moved the focus, or Enter on the
    // button) has answered it already.
    if (postedAt != oks_) return;
    // The focus came with a mouse press on the button: its release clicks, and that OK logs
    // in; a press that ends off the button is no click and logs nothing in.
    if (GetDlgItem(IDOK)->SendMessage(BM_GETSTATE) & BST_PUSHED) return;
    OnOK();
}

BOOL CLoginDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    if (code == EN_KILLFOCUS && (id == kPassword || id == kExtra || id == kCodeEdit)) {
        // Enter moving through the fields onto the login button logs in.
        CWnd* focus = CWnd::GetFocus();
        if (focus && focus == GetDlgItem(IDOK)) {
            postedOks_.push_back(oks_);
            PostMessage(WM_COMMAND, IDOK, 0);
        }
        return TRUE;
    }
    // The posted OK comes without a control; the button's own click and Enter name theirs.
    if (id == IDOK && code == BN_CLICKED && lParam == 0 && !postedOks_.empty()) {
        OnPostedOK();
        return TRUE;
    }
    if (id == kServerList && code == CBN_SELCHANGE) {
        ApplySelection();
        return TRUE;
    }
    if (code != BN_CLICKED) return CDialog::OnCommand(wParam, lParam);
    switch (id) {
        case kRemember:
            WriteLocalizeInt("SYSTEM", "RememberLatestaccount", IsDlgButtonChecked(kRemember));
            return TRUE;
        case kNewCode:
            NewPicture();
            GotoDlgCtrl(GetDlgItem(kCodeEdit));
            return TRUE;
        case kServerSettings:
            RunServerSettings();
            FillServerList();
            return TRUE;
        case kSpeedTest: {
            std::string chosen;
            if (RunSpeedTest(servers_, &chosen) == IDOK || lastServer_.empty())
                if (!chosen.empty()) SelectServer(chosen);
            return TRUE;
        }
        case kTokenSync: {
            UpdateData(TRUE);
            if (address_.empty()) {
                GotoDlgCtrl(GetDlgItem(kServerList));
                return TRUE;
            }
            if (customer_.empty()) {
                GotoDlgCtrl(GetDlgItem(kCustomer));
                return TRUE;
            }
            CloseConnection();
            const std::string khh = PadCustomerNumber(customer_);
            if (Connect(kTokenCaption)) RunTokenSync(connection_.get(), khh);
            return TRUE;
        }
        case kRegister: {
            std::string list = addressList_;
            std::string reached;
            std::string error;
            std::unique_ptr<NoltComm::CTradeConnection> connection;
            if (NoltComm::ConnectTradeServer(&connection, &list, &reached, &error, false, nullptr,
                                             nullptr) == 1 &&
                connection) {
                RunSelfRegistration(connection.get());
                connection->Close();
            }
            return TRUE;
        }
        default:
            break;
    }
    return CDialog::OnCommand(wParam, lParam);
}

INT_PTR CLoginDlg::RunSpeedTest(const std::vector<std::string>&, std::string*) { return IDCANCEL; }
INT_PTR CLoginDlg::RunServerSettings() { return IDCANCEL; }
INT_PTR CLoginDlg::RunTokenSync(NoltComm::CTradeConnection*, const std::string&) {
    return IDCANCEL;
}
INT_PTR CLoginDlg::RunSelfRegistration(NoltComm::CTradeConnection*) { return IDCANCEL; }
INT_PTR CLoginDlg::RunFirstLoginPasswordChange(const std::string&) { return IDCANCEL; }

INT_PTR RunLoginDialog(CTradeApp& app) {
    CLoginDlg dialog;
    const INT_PTR result = dialog.DoModal();
    if (result == IDOK) app.AdoptTradingConnection(dialog.TakeConnection());
    return result;
}

}  // namespace shell
