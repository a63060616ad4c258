// The contract-code edit and its window-free rules: code checks, aliases, switch-key steps, the
// trade kinds and market-order rule of a contract, trading sections.
#include "orderentry/controls/ContractEdit.h"

#include <QColor>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <cstdio>
#include <memory>
#include <string>

#include "flexui/SecureKeyboardDlg.h"
#include "platform/core/Encoding.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/Messages.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowClass.h"
#include "record/Configure.h"
#include "tradedata/CodeDictionaries.h"
#include "tradedata/GlobalTables.h"
#include "tradedata/ProgramHelpers.h"
#include "tradedata/Registries.h"
#include "tradedata/TradingHelpers.h"
#include "tradedata/TradingTime.h"

namespace orderentry::controls {

using tradedata::RowRef;

namespace {

constexpr std::size_t kAliasLineLimit = 2047;

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && platform::AsciiIsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && platform::AsciiIsSpace(text.back())) text.remove_suffix(1);
    return text;
}

struct AliasStore {
    bool loaded = false;
    CodeAliasList list;
    std::string help;
};

AliasStore& Aliases() {
    static AliasStore store;
    if (!store.loaded) {
        tradedata::CodeAliases read = tradedata::LoadCodeAliases();
        store.list.Assign(read.aliases);
        store.help = std::move(read.helpInfo);
        store.loaded = true;
    }
    return store;
}

std::function<void(CContractEdit&)>& KeyboardOpener() {
    static std::function<void(CContractEdit&)> opener;
    return opener;
}

// The two bold Arial fonts the edit switches between (16 pixels with the button, else 14).
CFont* EditFont(bool large) {
    auto make = [](int height) {
        auto font = std::make_unique<CFont>();
        LOGFONT description;
        description.lfHeight = -height;
        description.lfWeight = 700;
        std::snprintf(description.lfFaceName, sizeof description.lfFaceName, "%s", "Arial");
        font->CreateFontIndirect(&description);
        return font;
    };
    static const std::unique_ptr<CFont> large16 = make(16);
    static const std::unique_ptr<CFont> normal14 = make(14);
    return large ? large16.get() : normal14.get();
}

// The button's picture: three rows of keys.
QImage KeyboardPicture() {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(QColor(60, 60, 60));
    painter.setBrush(QColor(250, 250, 250));
    painter.drawRect(0, 3, 15, 10);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(60, 60, 60));
    for (int y = 5; y <= 9; y += 2)
        for (int x = 2; x <= 12; x += 2) painter.drawRect(x, y, 1, 1);
    painter.drawRect(4, 11, 8, 1);
    return image;
}

QLineEdit* LineEditOf(const CWnd* wnd) { return qobject_cast<QLineEdit*>(wnd->GetWidget()); }

}  // namespace

// ---- rules ------------------------------------------------------------------------------------

CodeTextCheck CheckCodeText(std::string_view text) {
    if (text.empty()) return CodeTextCheck::kEmpty;
    if (platform::ToGbkRepertoire(text) != text) return CodeTextCheck::kNotGbk;
    if (platform::GbkLength(text) > kContractCodeBudget) return CodeTextCheck::kTooLong;
    return CodeTextCheck::kOk;
}

void CodeAliasList::Assign(const std::vector<std::string>& lines) {
    aliases_.clear();
    for (const std::string& whole : lines) {
        std::string_view line(whole);
        line = line.substr(0, kAliasLineLimit);
        if (const std::size_t comment = line.find("//"); comment != std::string_view::npos)
            line = line.substr(0, comment);
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = TrimSpaces(line.substr(0, equals));
        const std::string_view value = TrimSpaces(line.substr(equals + 1));
        if (value.empty()) continue;
        aliases_.emplace(std::string(key), std::string(value));  // the first line keeps it
    }
}

const std::string* CodeAliasList::Find(const std::string& text) const {
    if (text.empty()) return nullptr;
    const auto it = aliases_.find(text);
    return it == aliases_.end() ? nullptr : &it->second;
}

const CodeAliasList& GetCodeAliasList() { return Aliases().list; }
const std::string& GetCodeHelpText() { return Aliases().help; }
void ReloadCodeAliases() { Aliases().loaded = false; }

int StepCommonContract(int current, bool forward, int count,
                       const std::function<bool(int)>& resolves) {
    if (count < 1) return -1;
    int i = current < 0 || current >= count ? -1 : current;
    for (;;) {
        if (forward) {
            ++i;
            if (i >= count) return -1;
        } else {
            if (i < 0) i = count;
            --i;
            if (i < 0) return -1;
        }
        if (resolves(i)) return i;
    }
}

std::string AllowedTradeKinds(RowRef ref, int32_t closeControl) {
    std::string kinds = "1|2";
    if (ref < 0) return kinds;
    if (closeControl == 2) kinds += "|4";
    if (ref & tradedata::kOptionRef) kinds += "|6";
    return kinds;
}

bool ForbidsMarketOrderFor(RowRef ref, int32_t orderTypeMask) {
    if (ref < 0 || (ref & tradedata::kCombinationRef)) return true;
    return (orderTypeMask & 2) == 0;
}

// ---- the keyboard button ----------------------------------------------------------------------

CSoftKeyboardButton::~CSoftKeyboardButton() = default;

// ---- the edit ---------------------------------------------------------------------------------

CContractEdit::CContractEdit() = default;

CContractEdit::~CContractEdit() = default;

BOOL CContractEdit::SubclassDlgItem(UINT id, CWnd* parent) {
    if (!CWnd::SubclassDlgItem(id, parent)) return FALSE;
    if (softKeyboard_) ShowButton();
    return TRUE;
}

BOOL CContractEdit::SubclassWindow(HWND hwnd) {
    if (!CWnd::SubclassWindow(hwnd)) return FALSE;
    if (softKeyboard_) ShowButton();
    return TRUE;
}

void CContractEdit::SetSoftKeyboardOpener(std::function<void(CContractEdit&)> opener) {
    KeyboardOpener() = std::move(opener);
}

RowRef CContractEdit::SetContractCode(const std::string& code) {
    exchange_.clear();
    code_.clear();
    product_.clear();
    currency_.clear();
    name_.clear();
    orderTypeMask_ = 0;
    closeControl_ = 0;
    tableKind_ = 0;
    rowRef_ = -1;
    if (CheckCodeText(code) == CodeTextCheck::kOk) {
        int32_t kind = 0;
        const RowRef ref = tradedata::FindContractKind(code.c_str(), &kind);
        // An option underlying has no row of the futures, option or combination tables to fill
        // an order from, so an order window does not take it.
        if (ref >= 0 && kind != tradedata::kUnderlyingKind) {
            rowRef_ = ref;
            tableKind_ = kind;
        }
    }
    if (rowRef_ >= 0) {
        using tradedata::GetRowString;
        exchange_ = GetRowString(599, rowRef_);
        currency_ = GetRowString(511, rowRef_);
        if (rowRef_ & tradedata::kCombinationRef) {
            code_ = GetRowString(1060, rowRef_);
            name_ = code_;
            EnableSoftKeyboard(FALSE);
        } else if (rowRef_ & tradedata::kOptionRef) {
            code_ = GetRowString(9100, rowRef_);
            product_ = GetRowString(720, rowRef_);
            name_ = GetRowString(9101, rowRef_);
            EnableSoftKeyboard(FALSE);
        } else {
            code_ = GetRowString(719, rowRef_);
            product_ = GetRowString(720, rowRef_);
            name_ = GetRowString(722, rowRef_);
            EnableSoftKeyboard(
                pavlet::ReadPrivateConfigInt(kSoftKeyboardSection, kSoftKeyboardKey, 0, 0, 0) != 0);
        }
        if (const HWND board = tradedata::GetQuoteBoardWindow(); board && ::IsWindow(board)) {
            // The board takes the code as an owned text, as with every contract notice it gets.
            auto copy = std::make_unique<std::string>(code_);
            ::SendMessage(board, kWmContractNotice, 'I', reinterpret_cast<LPARAM>(copy.release()));
        }
        const int exchangeRow = tradedata::ExchangeTable.GetFCount() > 0
                                    ? tradedata::ExchangeTable.Find(599, exchange_.c_str())
                                    : -1;
        if (exchangeRow >= 0) {
            orderTypeMask_ = tradedata::ExchangeTable.GetLong(1681, exchangeRow);
            closeControl_ = tradedata::ExchangeTable.GetLong(1710, exchangeRow);
            tradedata::PostToWindow(tradedata::GetWorkplaceWindow(), kWmContractNotice, 'S',
                                    exchangeRow);
        }
    }
    if (m_hWnd) SetTextModified(code_, FALSE);
    return rowRef_;
}

RowRef CContractEdit::Resolve() {
    int32_t kind = 0;
    RowRef ref = code_.empty() ? -1 : tradedata::FindContractKind(code_.c_str(), &kind);
    if (ref < 0 || kind == tradedata::kUnderlyingKind) {
        ref = -1;
        kind = 0;
    }
    rowRef_ = ref;
    tableKind_ = kind;
    return rowRef_;
}

void CContractEdit::Clear() {
    exchange_.clear();
    code_.clear();
    product_.clear();
    currency_.clear();
    name_.clear();
    rowRef_ = -1;
    orderTypeMask_ = 0;
    closeControl_ = 0;
    tableKind_ = 0;
    if (m_hWnd) SetTextModified("", FALSE);
}

bool CContractEdit::CommitTypedCode(CWnd* host) {
    if (!m_hWnd || !SendMessage(EM_GETMODIFY)) return rowRef_ >= 0 || GetWindowText().empty();
    const std::string text = GetWindowText();
    bool good = true;
    if (text.empty()) {
        Clear();
    } else {
        const RowRef found = CheckCodeText(text) == CodeTextCheck::kOk
                                 ? tradedata::FindContractNoCase(text.c_str())
                                 : -1;
        if (found >= 0) {
            SetContractCode(tradedata::GetRowContractCode(found));
        } else {
            Clear();
        }
        good = rowRef_ >= 0;
        const HWND next = nextFocus_;
        if (!good && host && next && (next == host->m_hWnd || ::IsChild(host->m_hWnd, next))) {
            SetFocus();
            ::MessageBox(host->m_hWnd, kInvalidContractText, kOrderEntryCaption,
                         MB_OK | MB_ICONEXCLAMATION);
        }
    }
    SendMessage(EM_SETMODIFY, FALSE);
    return good;
}

bool CContractEdit::IsCombination() const {
    return rowRef_ >= 0 && (rowRef_ & tradedata::kCombinationRef) != 0;
}

bool CContractEdit::IsOption() const {
    return rowRef_ >= 0 && (rowRef_ & tradedata::kOptionRef) != 0;
}

bool CContractEdit::IsOutsideTradingHours() const {
    if (exchange_.empty()) return false;
    const tradedata::SystemTime now = tradedata::GetExchangeTimeByCode(exchange_);
    const int32_t time = now.hour * 10000 + now.minute * 100 + now.second;
    return !tradedata::TimeInSections(time,
                                      tradedata::GetTradingSections(exchange_, code_.c_str()));
}

std::string CContractEdit::GetOpenCloseChoices() const {
    return tradedata::GetOpenCloseItems(GetAllowedTradeKinds());
}

BOOL CContractEdit::EnableSoftKeyboard(BOOL enable) {
    enable = enable ? TRUE : FALSE;
    if (enable == softKeyboard_) return FALSE;
    softKeyboard_ = enable;
    if (m_hWnd) {
        if (enable)
            ShowButton();
        else
            RemoveButton();
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(EditFont(enable)), TRUE);
    }
    return TRUE;
}

void CContractEdit::SetSwitchKeys(UINT previousKey, UINT nextKey) {
    previousKey_ = previousKey;
    nextKey_ = nextKey;
}

void CContractEdit::SetTextModified(const std::string& text, BOOL modified) {
    SetWindowText(text);
    SendMessage(EM_SETMODIFY, modified);
}

void CContractEdit::ShowButton() {
    if (!softKeyboard_ || keyboard_ || !m_hWnd) return;
    auto button = std::make_unique<CSoftKeyboardButton>();
    if (!button->Create("", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW | BS_FLAT,
                        RECT{0, 0, kSoftKeyboardButtonWidth, 10}, this, kSoftKeyboardButtonId))
        return;
    button->SetIcon(KeyboardPicture(), 16);
    button->SetFrameTemplateIndex(1);
    keyboard_ = std::move(button);
    if (QLineEdit* edit = LineEditOf(this)) {
        const QMargins margins = edit->textMargins();
        edit->setTextMargins(0, margins.top(), kSoftKeyboardButtonWidth, margins.bottom());
    }
    ModifyStyle(0, WS_CLIPCHILDREN);
    PlaceButton();
}

void CContractEdit::RemoveButton() {
    if (keyboard_) {
        if (::IsWindow(keyboard_->m_hWnd)) keyboard_->DestroyWindow();
        keyboard_.reset();
    }
    if (!m_hWnd) return;
    if (QLineEdit* edit = LineEditOf(this)) {
        const QMargins margins = edit->textMargins();
        edit->setTextMargins(0, margins.top(), 0, margins.bottom());
    }
    ModifyStyle(WS_CLIPCHILDREN, 0);
}

void CContractEdit::PlaceButton() {
    if (!keyboard_ || !::IsWindow(keyboard_->m_hWnd)) return;
    RECT client;
    GetClientRect(&client);
    ::MoveWindow(keyboard_->m_hWnd, client.right - kSoftKeyboardButtonWidth, client.top,
                 kSoftKeyboardButtonWidth, client.bottom - client.top, TRUE);
}

BOOL CContractEdit::PreTranslateMessage(MSG* msg) {
    if (msg->message == WM_KEYDOWN && IsWindowEnabled()) {
        const UINT key = static_cast<UINT>(msg->wParam);
        if (previousKey_ != 0 && key == previousKey_) {
            StepContract(false);
            return TRUE;
        }
        if (nextKey_ != 0 && key == nextKey_) {
            StepContract(true);
            return TRUE;
        }
    }
    return CWnd::PreTranslateMessage(msg);
}

void CContractEdit::StepContract(bool forward) {
    CFixRecord& list = tradedata::ContractParamTable;
    const int count = list.GetFCount() > 0 ? list.GetCount() : 0;
    if (count < 1) return;
    const std::string text = GetWindowText();
    const int current = list.Find(719, text.c_str());
    const int row = StepCommonContract(current, forward, count, [&list](int r) {
        return tradedata::FindContract(list.Get(719, r).c_str()) >= 0;
    });
    if (row < 0) return;
    SetTextModified(list.Get(719, row), TRUE);
    if (CWnd* parent = GetParent())
        parent->SendMessage(WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), kEnSwitchContract),
                            static_cast<LPARAM>(m_hWnd));
}

LRESULT CContractEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_KILLFOCUS:
            nextFocus_ = wParam ? static_cast<HWND>(wParam) : ::GetFocus();
            break;
        case WM_SIZE: {
            const LRESULT result = CWnd::WindowProc(message, wParam, lParam);
            PlaceButton();
            return result;
        }
        default:
            break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CContractEdit::OnChildNotify(UINT message, WPARAM wParam, LPARAM, LRESULT*) {
    if (message != WM_COMMAND) return FALSE;
    switch (HIWORD(wParam)) {
        case EN_CHANGE:
            OnChange();
            break;
        case EN_SETFOCUS:
            OnSetfocus();
            break;
        default:
            break;
    }
    return FALSE;  // the host hears of every change and focus move too
}

void CContractEdit::OnChange() {
    if (changeGuard_) return;
    changeGuard_ = true;
    const std::string text = GetWindowText();
    if (const std::string* value = GetCodeAliasList().Find(text)) {
        const std::string replacement = *value;
        SetWindowText(replacement);
        const int end = static_cast<int>(replacement.size());
        SendMessage(EM_SETSEL, end, end);
        SendMessage(EM_SETMODIFY, TRUE);
    }
    changeGuard_ = false;
}

void CContractEdit::OnSetfocus() {
    SendMessage(EM_SETSEL, 0, -1);
    SendMessage(EM_SCROLLCARET);
    tradedata::SendTextToMainWindow(GetCodeHelpText(), false);
}

BOOL CContractEdit::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == kSoftKeyboardButtonId && HIWORD(wParam) == BN_CLICKED && keyboard_ &&
        static_cast<HWND>(lParam) == keyboard_->m_hWnd) {
        OnButtonKeyboard();
        return TRUE;
    }
    return CWnd::OnCommand(wParam, lParam);
}

void CContractEdit::OnButtonKeyboard() {
    if (KeyboardOpener())
        KeyboardOpener()(*this);
    else
        FlexSecureKeyboard(this);
    SetFocus();
}

void CContractEdit::OnDestroy() {
    CWnd::OnDestroy();
    RemoveButton();
}

}  // namespace orderentry::controls
