// "tooltips_class32": tools kept per tip window by (window, id), shown in a frameless label
// after the initial delay (at once when it is 0) and hidden after the automatic-pop delay.
#include "platform/ui/ToolTip.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <map>

#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowTable.h"

namespace platform::ui {
namespace {

constexpr int kDefaultInitialMs = 500;
constexpr const char* kStateName = "kelmonToolTipState";

struct Tool {
    UINT flags = 0;
    HWND hwnd = 0;
    UINT_PTR id = 0;
    RECT rect;
    bool callback = false;
    std::string text;
    LPARAM lParam = 0;
};
using ToolKey = std::pair<HWND, UINT_PTR>;

bool Contains(const RECT& rect, POINT point) {
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top &&
           point.y < rect.bottom;
}

// The window whose mouse messages show the tool.
HWND WatchedWindow(const Tool& tool) {
    return (tool.flags & TTF_IDISHWND) ? static_cast<HWND>(tool.id) : tool.hwnd;
}

class ToolTipState : public QObject {
public:
    ToolTipState(HWND tip, QLabel* label) : QObject(label), tip_(tip), label_(label) {
        setObjectName(kStateName);
        initial_.setSingleShot(true);
        autoPop_.setSingleShot(true);
        connect(&initial_, &QTimer::timeout, this, [this] { Show(pending_); });
        connect(&autoPop_, &QTimer::timeout, this, [this] { Pop(); });
    }

    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
        *handled = true;
        switch (message) {
            case TTM_ADDTOOL:
                return AddTool(reinterpret_cast<const TOOLINFO*>(lParam));
            case TTM_DELTOOL:
                if (auto* info = reinterpret_cast<const TOOLINFO*>(lParam)) {
                    ToolKey key{info->hwnd, info->uId};
                    if (shown_ == key || pending_ == key) Pop();
                    tools_.erase(key);
                }
                return 0;
            case TTM_UPDATETIPTEXT:
                if (auto* info = reinterpret_cast<const TOOLINFO*>(lParam)) {
                    auto found = tools_.find({info->hwnd, info->uId});
                    if (found == tools_.end()) return 0;
                    SetText(&found->second, info->lpszText);
                    if (visible_ && shown_ == found->first) Show(shown_);
                }
                return 0;
            case TTM_NEWTOOLRECT:
                if (auto* info = reinterpret_cast<const TOOLINFO*>(lParam)) {
                    auto found = tools_.find({info->hwnd, info->uId});
                    if (found != tools_.end()) found->second.rect = info->rect;
                }
                return 0;
            case TTM_GETTOOLCOUNT:
                return static_cast<LRESULT>(tools_.size());
            case TTM_ACTIVATE:
                active_ = wParam != 0;
                if (!active_) Pop();
                return 0;
            case TTM_SETDELAYTIME:
                SetDelay(wParam, static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam))));
                return 0;
            case TTM_GETDELAYTIME:
                return wParam == TTDT_AUTOPOP  ? autoPopMs_
                       : wParam == TTDT_RESHOW ? reshowMs_
                                               : initialMs_;
            case TTM_SETMAXTIPWIDTH: {
                int previous = maxWidth_;
                maxWidth_ = static_cast<int>(lParam);
                return previous;
            }
            case TTM_GETMAXTIPWIDTH:
                return maxWidth_;
            case TTM_SETTITLE:
                icon_ = static_cast<UINT>(wParam);
                title_ = lParam ? reinterpret_cast<const char*>(lParam) : "";
                return TRUE;
            case TTM_RELAYEVENT:
                if (auto* msg = reinterpret_cast<const MSG*>(lParam)) Relay(*msg);
                return 0;
            case TTM_POP:
                Pop();
                return 0;
            case TTM_TRACKACTIVATE:
                if (auto* info = reinterpret_cast<const TOOLINFO*>(lParam)) {
                    if (wParam) {
                        tracking_ = true;
                        Show({info->hwnd, info->uId});
                    } else {
                        tracking_ = false;
                        Pop();
                    }
                }
                return 0;
            case TTM_TRACKPOSITION:
                trackAt_ = POINT{static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam))),
                                 static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lParam)))};
                if (tracking_ && visible_) label_->move(trackAt_.x, trackAt_.y);
                return 0;
            default:
                *handled = false;
                return 0;
        }
    }

    ShownToolTip Shown() const {
        ShownToolTip shown;
        shown.visible = visible_ && label_->isVisible();
        if (!shown.visible) return shown;
        shown.text = text_;
        shown.title = title_;
        shown.at = POINT{label_->x(), label_->y()};
        shown.hwnd = shown_.first;
        shown.id = shown_.second;
        return shown;
    }

protected:
    // Tools added with TTF_SUBCLASS: the control sees their windows' mouse messages itself.
    bool eventFilter(QObject* object, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (!object->isWidgetType()) return false;
        HWND hwnd = WindowTable::Instance().HandleOf(object);
        if (!hwnd) return false;
        if (type == QEvent::Leave) {
            if (visible_ || initial_.isActive()) Pop();
            return false;
        }
        if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress) return false;
        auto* mouse = static_cast<QMouseEvent*>(event);
        QPoint at = mouse->position().toPoint();
        MSG msg;
        msg.hwnd = hwnd;
        msg.message = type == QEvent::MouseMove ? WM_MOUSEMOVE : WM_LBUTTONDOWN;
        msg.lParam = MAKELPARAM(static_cast<WORD>(at.x()), static_cast<WORD>(at.y()));
        Relay(msg);
        return false;
    }

private:
    LRESULT AddTool(const TOOLINFO* info) {
        if (!info) return FALSE;
        Tool tool;
        tool.flags = info->uFlags;
        tool.hwnd = info->hwnd;
        tool.id = info->uId;
        tool.rect = info->rect;
        tool.lParam = info->lParam;
        SetText(&tool, info->lpszText);
        if (tool.flags & TTF_SUBCLASS) {
            if (QWidget* watched = WidgetOf(WatchedWindow(tool))) watched->installEventFilter(this);
        }
        tools_[{tool.hwnd, tool.id}] = std::move(tool);
        return TRUE;
    }

    static void SetText(Tool* tool, const char* text) {
        tool->callback = text == LPSTR_TEXTCALLBACK;
        tool->text = tool->callback || !text ? "" : text;
    }

    void SetDelay(WPARAM which, int ms) {
        switch (which) {
            case TTDT_INITIAL:
                initialMs_ = ms < 0 ? kDefaultInitialMs : ms;
                break;
            case TTDT_AUTOPOP:
                autoPopMs_ = ms < 0 ? kDefaultInitialMs * 10 : ms;
                break;
            case TTDT_RESHOW:
                reshowMs_ = ms < 0 ? kDefaultInitialMs / 5 : ms;
                break;
            default:  // TTDT_AUTOMATIC: the others follow the initial delay
                initialMs_ = ms < 0 ? kDefaultInitialMs : ms;
                autoPopMs_ = initialMs_ * 10;
                reshowMs_ = initialMs_ / 5;
                break;
        }
    }

    // The tool under a mouse message of one of the watched windows.
    const Tool* HitTest(const MSG& msg) const {
        POINT point{static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(msg.lParam))),
                    static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(msg.lParam)))};
        for (const auto& [key, tool] : tools_) {
            if (tool.flags & TTF_TRACK) continue;
            if (tool.flags & TTF_IDISHWND) {
                if (static_cast<HWND>(tool.id) == msg.hwnd) return &tool;
            } else if (tool.hwnd == msg.hwnd && Contains(tool.rect, point)) {
                return &tool;
            }
        }
        return nullptr;
    }

    void Relay(const MSG& msg) {
        if (msg.message != WM_MOUSEMOVE) {
            // A click hides the tip until the mouse moves on to another tool.
            if (msg.message >= WM_LBUTTONDOWN && msg.message <= WM_MBUTTONDBLCLK) Pop();
            return;
        }
        const Tool* tool = HitTest(msg);
        if (!tool) {
            Pop();
            return;
        }
        ToolKey key{tool->hwnd, tool->id};
        POINT at{static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(msg.lParam))),
                 static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(msg.lParam)))};
        ClientToScreen(msg.hwnd, &at);
        mouseAt_ = at;
        if ((visible_ && shown_ == key) || (initial_.isActive() && pending_ == key)) return;
        bool wasVisible = visible_;
        Pop();
        if (!active_) return;
        pending_ = key;
        int delay = wasVisible ? reshowMs_ : initialMs_;
        if (delay <= 0)
            Show(key);
        else
            initial_.start(delay);
    }

    void Notify(HWND to, UINT_PTR id, UINT code) {
        NMHDR header{tip_, id, code};
        SendMessage(to, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&header));
    }

    void Show(ToolKey key) {
        initial_.stop();
        auto found = tools_.find(key);
        if (found == tools_.end()) return;
        Tool tool = found->second;  // the notifications may change or delete the tool
        std::string text = tool.text;
        if (tool.callback) {
            NMTTDISPINFO info;
            info.hdr = NMHDR{tip_, tool.id, TTN_GETDISPINFO};
            info.uFlags = tool.flags;
            info.lParam = tool.lParam;
            info.lpszText = info.szText;
            QPointer<QLabel> alive(label_);
            SendMessage(tool.hwnd, WM_NOTIFY, tool.id, reinterpret_cast<LPARAM>(&info));
            if (!alive) return;
            // The receiver points lpszText at its own text or fills szText (kept terminated).
            info.szText[sizeof info.szText - 1] = '\0';
            text = info.lpszText && info.lpszText != LPSTR_TEXTCALLBACK ? info.lpszText : "";
        }
        if (text.empty()) {
            Pop();
            return;
        }
        if (visible_ && shown_ != key) Pop();
        QPointer<QLabel> alive(label_);
        Notify(tool.hwnd, tool.id, TTN_SHOW);
        if (!alive) return;
        text_ = text;
        shown_ = key;
        QString shownText = QString::fromStdString(text).replace("\r\n", "\n");
        if (!title_.empty()) {
            label_->setTextFormat(Qt::RichText);
            label_->setText(QStringLiteral("<b>%1</b><br>%2")
                                .arg(QString::fromStdString(title_).toHtmlEscaped(),
                                     shownText.toHtmlEscaped().replace("\n", "<br>")));
        } else {
            label_->setTextFormat(Qt::PlainText);
            label_->setText(shownText);
        }
        label_->setWordWrap(maxWidth_ > 0);
        label_->setMaximumWidth(maxWidth_ > 0 ? maxWidth_ : QWIDGETSIZE_MAX);
        label_->adjustSize();
        POINT at = tracking_ ? trackAt_ : POINT{mouseAt_.x, mouseAt_.y + kBelowCursor};
        label_->move(at.x, at.y);
        label_->show();
        visible_ = true;
        if (!tracking_ && autoPopMs_ > 0) autoPop_.start(autoPopMs_);
    }

    void Pop() {
        initial_.stop();
        autoPop_.stop();
        pending_ = {};
        if (!visible_) return;
        visible_ = false;
        label_->hide();
        ToolKey was = shown_;
        shown_ = {};
        Notify(was.first, was.second, TTN_POP);
    }

    static constexpr int kBelowCursor = 20;
    HWND tip_;
    QLabel* label_;
    std::map<ToolKey, Tool> tools_;
    bool active_ = true;
    bool visible_ = false;
    bool tracking_ = false;
    int initialMs_ = kDefaultInitialMs;
    int autoPopMs_ = kDefaultInitialMs * 10;
    int reshowMs_ = kDefaultInitialMs / 5;
    int maxWidth_ = -1;
    UINT icon_ = 0;
    std::string title_;
    std::string text_;
    ToolKey shown_{};
    ToolKey pending_{};
    POINT trackAt_;
    POINT mouseAt_;
    QTimer initial_;
    QTimer autoPop_;
};

ToolTipState* StateOf(QWidget* widget) {
    return widget ? widget->findChild<ToolTipState*>(kStateName, Qt::FindDirectChildrenOnly)
                  : nullptr;
}

class ToolTipClass : public WindowClass {
public:
    QWidget* CreateWidget(QWidget* parent, Qt::WindowFlags, DWORD) const override {
        // Owned by its parent, or by its window until destroyed.
        auto* label = new QLabel(parent, Qt::ToolTip | Qt::FramelessWindowHint);
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
        label->setMargin(2);
        label->setAutoFillBackground(true);
        label->setAttribute(Qt::WA_ShowWithoutActivating);
        return label;
    }
    void Connect(HWND hwnd, QWidget* widget) const override {
        new ToolTipState(hwnd, static_cast<QLabel*>(widget));  // a child of the widget
    }
    LRESULT ClassProc(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam,
                      bool* handled) const override {
        ToolTipState* state = StateOf(record.widget);
        if (!state) {
            *handled = false;
            return 0;
        }
        return state->Handle(message, wParam, lParam, handled);
    }
};

}  // namespace

void AddToolTipClasses(std::vector<std::pair<std::string, std::unique_ptr<WindowClass>>>& classes) {
    classes.emplace_back("tooltips_class32", std::make_unique<ToolTipClass>());
}

ShownToolTip GetShownToolTip(HWND tip) {
    ToolTipState* state = StateOf(WidgetOf(tip));
    return state ? state->Shown() : ShownToolTip{};
}

}  // namespace platform::ui

// ---- CToolTipCtrl -----------------------------------------------------------------------------

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style) {
    return CreateEx(WS_EX_TOPMOST, "tooltips_class32", nullptr, WS_POPUP | style, RECT{}, parent,
                    0);
}

TOOLINFO CToolTipCtrl::MakeToolInfo(CWnd* wnd, UINT_PTR id) const {
    TOOLINFO info;
    HWND hwnd = wnd ? wnd->GetSafeHwnd() : 0;
    if (id == 0) {
        info.uFlags = TTF_IDISHWND;
        info.hwnd = ::GetParent(hwnd);
        info.uId = hwnd;
    } else {
        info.hwnd = hwnd;
        info.uId = id;
    }
    return info;
}

BOOL CToolTipCtrl::AddTool(CWnd* wnd, const char* text, const RECT* rect, UINT_PTR id) {
    if (!wnd) return FALSE;
    TOOLINFO info = MakeToolInfo(wnd, id);
    if (rect) {
        info.uFlags &= ~TTF_IDISHWND;
        info.hwnd = wnd->GetSafeHwnd();
        info.uId = id;
        info.rect = *rect;
    }
    info.uFlags |= TTF_SUBCLASS;
    info.lpszText = text ? text : LPSTR_TEXTCALLBACK;
    return SendMessage(TTM_ADDTOOL, 0, reinterpret_cast<LPARAM>(&info)) ? TRUE : FALSE;
}

void CToolTipCtrl::DelTool(CWnd* wnd, UINT_PTR id) {
    TOOLINFO info = MakeToolInfo(wnd, id);
    SendMessage(TTM_DELTOOL, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::UpdateTipText(const char* text, CWnd* wnd, UINT_PTR id) {
    TOOLINFO info = MakeToolInfo(wnd, id);
    info.lpszText = text ? text : LPSTR_TEXTCALLBACK;
    SendMessage(TTM_UPDATETIPTEXT, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::SetToolRect(CWnd* wnd, UINT_PTR id, const RECT& rect) {
    TOOLINFO info = MakeToolInfo(wnd, id);
    info.rect = rect;
    SendMessage(TTM_NEWTOOLRECT, 0, reinterpret_cast<LPARAM>(&info));
}

int CToolTipCtrl::GetToolCount() const {
    return static_cast<int>(::SendMessage(m_hWnd, TTM_GETTOOLCOUNT, 0, 0));
}

void CToolTipCtrl::Activate(BOOL activate) { SendMessage(TTM_ACTIVATE, activate ? TRUE : FALSE); }

void CToolTipCtrl::SetDelayTime(UINT initialMs) {
    SendMessage(TTM_SETDELAYTIME, TTDT_AUTOMATIC, MAKELPARAM(static_cast<WORD>(initialMs), 0));
}

void CToolTipCtrl::SetDelayTime(DWORD which, int ms) {
    SendMessage(TTM_SETDELAYTIME, which, MAKELPARAM(static_cast<WORD>(ms), 0));
}

int CToolTipCtrl::SetMaxTipWidth(int width) {
    return static_cast<int>(SendMessage(TTM_SETMAXTIPWIDTH, 0, width));
}

BOOL CToolTipCtrl::SetTitle(UINT icon, const char* title) {
    return SendMessage(TTM_SETTITLE, icon, reinterpret_cast<LPARAM>(title)) ? TRUE : FALSE;
}

void CToolTipCtrl::RelayEvent(MSG* msg) {
    SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
}

void CToolTipCtrl::Pop() { SendMessage(TTM_POP); }
