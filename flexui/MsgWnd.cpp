// CMsgWnd: creation, stacking, the grow / wait / shrink timers, mouse handling, painting and the
// alert sounds of the pop-up notices.
#include "flexui/MsgWnd.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <utility>

#include "platform/core/SoundPlayer.h"
#include "platform/ui/Cursor.h"
#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/MouseTracking.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowClass.h"

namespace {

constexpr const char* kClassName = "NoltPavlMsgWndClass";
constexpr UINT kGrowElapse = 20;
constexpr int kStep = 2;      // pixels per grow or shrink tick
constexpr int kStackGap = 3;  // between stacked pop-ups
constexpr int kBandHeight = 26;
constexpr int kCloseInset = 4;
constexpr int kMessageHeight = 48;
constexpr COLORREF kTextColor = RGB(31, 51, 107);
constexpr COLORREF kCloseMask = RGB(255, 0, 255);
constexpr int kCloseCell = 18;
// Used when the built-in background picture is missing.
constexpr int kFallbackWidth = 220;
constexpr int kFallbackHeight = 110;

struct PopupState {
    PopupState() = default;
    PopupState(const PopupState&) = delete;
    PopupState& operator=(const PopupState&) = delete;
    // Pop-ups still open at process exit outlive the window layer: they are left alone.
    ~PopupState() {
        for (auto& popup : owned) (void)popup.release();
    }

    std::string title = "Nolt Messenger";
    std::vector<CMsgWnd*> open;
    std::vector<std::unique_ptr<CMsgWnd>> owned;  // made by PopMsgWnd
    HWND last = 0;
    HWND align = 0;
    UINT delay = 10000;
    UINT fresh = 20;
    bool registered = false;
    std::atomic<int> soundBusy{0};
};

PopupState& State() {
    static PopupState state;
    return state;
}

// The library's WAVE resource as a file the sound player can read: written once per process.
std::string SoundFile(int resourceId) {
    static std::mutex lock;
    static std::set<int> written;
    const QString resource = QStringLiteral(":/pavlet/wave_%1.wav").arg(resourceId);
    const QString path = QDir(QDir::tempPath())
                             .filePath(QStringLiteral("kelmon-alert-%1-%2.wav")
                                           .arg(QCoreApplication::applicationPid())
                                           .arg(resourceId));
    std::lock_guard guard(lock);
    // Written again when something removed the file meanwhile.
    if (!written.count(resourceId) || !QFileInfo::exists(path)) {
        QFile in(resource);
        if (!in.open(QIODevice::ReadOnly)) return {};
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
        if (out.write(in.readAll()) != in.size()) return {};
        written.insert(resourceId);
    }
    return path.toStdString();
}

}  // namespace

CMsgWnd::CMsgWnd() {
    OnMessage(WM_SETCURSOR, [this](WPARAM, LPARAM) -> LRESULT {
        POINT point;
        ::GetCursorPos(&point);
        ScreenToClient(&point);
        const RECT close = GetCloseRect(), message = GetMessageRect();
        if (PtInRect(&close, point) || (!text_.empty() && PtInRect(&message, point))) {
            ::SetCursor(LoadCursor(nullptr, IDC_HAND));
            return TRUE;
        }
        return Default();
    });
    // The mouse left the window: nothing is under it any more, growing and shrinking go on.
    OnMessage(WM_MOUSELEAVE, [this](WPARAM, LPARAM) -> LRESULT {
        tracking_ = false;
        SetHover(0, 0);
        return 0;
    });
}

CMsgWnd::~CMsgWnd() {
    // While this is still a CMsgWnd, so that the list forgets it.
    if (m_hWnd) DestroyWindow();
}

CMsgWnd* CMsgWnd::PopMsgWnd(const std::string& text, int soundKind, HWND notifyWnd,
                            UINT notifyMessage, WPARAM wParam, LPARAM lParam) {
    auto popup = std::make_unique<CMsgWnd>();
    CMsgWnd* raw = popup.get();
    State().owned.push_back(std::move(popup));
    if (!raw->Create(text, soundKind, notifyWnd, notifyMessage, wParam, lParam)) {
        auto& owned = State().owned;
        std::erase_if(owned, [raw](const auto& p) { return p.get() == raw; });
        return nullptr;
    }
    return raw;
}

BOOL CMsgWnd::Create(const std::string& text, int soundKind, HWND notifyWnd, UINT notifyMessage,
                     WPARAM wParam, LPARAM lParam) {
    PopupState& state = State();
    if (!state.registered) {
        platform::ui::RegisterWindowClass(kClassName,
                                          std::make_unique<platform::ui::WindowClass>());
        state.registered = true;
    }
    if (!CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kClassName, "", WS_POPUP, RECT{}, nullptr, 0))
        return FALSE;
    if (!text.empty()) text_ = text;
    notifyWnd_ = notifyWnd;
    notifyMessage_ = notifyMessage;
    notifyWParam_ = wParam;
    notifyLParam_ = lParam;
    titleFont_.CreateFont(18, 0, 0, 0, FW_MEDIUM, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0,
                          "MS Sans Serif");

    QImage picture(QStringLiteral(":/pavlet/bitmap_107.bmp"));
    if (picture.isNull()) {
        picture = QImage(kFallbackWidth, kFallbackHeight, QImage::Format_RGB32);
        picture.fill(platform::ui::ToQColor(GetSysColor(COLOR_WINDOW)));
    }
    background_.CreateFromImage(picture);
    fullWidth_ = picture.width();
    fullHeight_ = picture.height();

    closeImages_.Create(kCloseCell, kCloseCell, ILC_COLOR24 | ILC_MASK, 3, 0);
    CBitmap cells;
    if (cells.CreateFromImage(QImage(QStringLiteral(":/pavlet/bitmap_104.bmp"))))
        closeImages_.Add(&cells, kCloseMask);

    currentHeight_ = 1;
    Position();
    ShowWindow(SW_SHOWNOACTIVATE);
    SetTimer(kGrowTimer, kGrowElapse);
    timerId_ = kGrowTimer;
    PlayAlertSound(soundKind);
    state.open.push_back(this);
    return TRUE;
}

void CMsgWnd::Position() {
    PopupState& state = State();
    int x = 0, y = 0;
    if (state.align && IsWindow(state.align)) {
        RECT client;
        ::GetClientRect(state.align, &client);
        POINT corner{client.right, client.bottom};
        ::ClientToScreen(state.align, &corner);
        x = corner.x - fullWidth_;
        y = corner.y;
    } else {
        const RECT work = platform::ui::GetUiServices().WorkArea(m_hWnd);
        x = work.right - fullWidth_ - 2;
        y = work.bottom;
    }
    // Above the previous pop-up while this one fits below the top of the screen; otherwise
    // over the lowest place.
    if (state.last && state.last != m_hWnd && IsWindow(state.last)) {
        RECT previous;
        ::GetWindowRect(state.last, &previous);
        const int candidate = previous.bottom - fullHeight_ - kStackGap;
        if (candidate > fullHeight_) y = candidate;
    }
    anchor_ = POINT{x, y};
    PlaceAtHeight(currentHeight_);
    state.last = m_hWnd;
}

void CMsgWnd::PlaceAtHeight(int height) {
    currentHeight_ = height;
    MoveWindow(anchor_.x, anchor_.y - height, fullWidth_, height);
}

RECT CMsgWnd::GetCloseRect() const {
    return RECT{fullWidth_ - kBandHeight + kCloseInset, kCloseInset, fullWidth_ - kCloseInset,
                kBandHeight - kCloseInset};
}

RECT CMsgWnd::GetMessageRect() const {
    // Below the title band, 10 in on each side, another 10 left and right, 48 high centred.
    RECT area{10 + 10, kBandHeight + 10, fullWidth_ - 10 - 10, fullHeight_ - 10};
    const int top = area.top + ((area.bottom - area.top) - kMessageHeight) / 2;
    return RECT{area.left, top, area.right, top + kMessageHeight};
}

void CMsgWnd::OnTimer(UINT_PTR id) {
    PopupState& state = State();
    switch (id) {
        case kGrowTimer:
            // Full height reached: wait. Growth stops at the full height, never past the
            // background picture.
            if (currentHeight_ >= fullHeight_) {
                KillTimer(kGrowTimer);
                SetTimer(kDelayTimer, state.delay);
                timerId_ = kDelayTimer;
                return;
            }
            if (!Paused()) PlaceAtHeight(std::min(currentHeight_ + kStep, fullHeight_));
            return;
        case kDelayTimer:
            KillTimer(kDelayTimer);
            timerId_ = 0;
            if (state.fresh != 0) {
                SetTimer(kShrinkTimer, state.fresh);
                timerId_ = kShrinkTimer;
            }
            return;
        case kShrinkTimer:
            if (currentHeight_ <= 0) {
                KillTimer(kShrinkTimer);
                timerId_ = 0;
                PostMessage(WM_CLOSE);
                return;
            }
            if (!Paused()) PlaceAtHeight(std::max(currentHeight_ - kStep, 0));
            return;
        default:
            CWnd::OnTimer(id);
    }
}

void CMsgWnd::SetHover(int flags, int cell) {
    if (flags == hover_ && cell == closeCell_) return;
    hover_ = flags;
    closeCell_ = cell;
    Invalidate(FALSE);
}

void CMsgWnd::OnMouseMove(UINT flags, POINT point) {
    if (!tracking_) {
        TRACKMOUSEEVENT track;
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = m_hWnd;
        tracking_ = TrackMouseEvent(&track);
    }
    const RECT close = GetCloseRect(), message = GetMessageRect();
    int hover = 0, cell = 0;
    if (PtInRect(&close, point)) {
        hover |= 1;
        cell = (flags & MK_LBUTTON) ? 2 : 1;
    }
    if (!text_.empty() && PtInRect(&message, point)) hover |= 2;
    SetHover(hover, cell);
}

void CMsgWnd::OnLButtonDown(UINT, POINT point) {
    pressPoint_ = point;
    const RECT close = GetCloseRect();
    if (PtInRect(&close, point)) SetHover(hover_ | 1, 2);
}

void CMsgWnd::OnLButtonUp(UINT, POINT point) {
    const POINT press = pressPoint_;
    pressPoint_ = POINT{-1, -1};
    const RECT close = GetCloseRect(), message = GetMessageRect();
    if (PtInRect(&close, press) && PtInRect(&close, point)) {
        PostMessage(WM_CLOSE);
        return;
    }
    if (PtInRect(&message, press) && PtInRect(&message, point)) {
        if (notifyWnd_ && notifyMessage_)
            ::PostMessage(notifyWnd_, notifyMessage_, notifyWParam_, notifyLParam_);
        PostMessage(WM_CLOSE);
        return;
    }
    SetHover(hover_, PtInRect(&close, point) ? 1 : 0);
}

void CMsgWnd::OnClose() {
    KillTimer(kGrowTimer);
    KillTimer(kDelayTimer);
    KillTimer(kShrinkTimer);
    timerId_ = 0;
    ShowWindow(SW_HIDE);
    titleFont_.DeleteObject();
    background_.DeleteObject();
    closeImages_.DeleteImageList();
    DestroyWindow();
}

void CMsgWnd::PostNcDestroy() {
    PopupState& state = State();
    std::erase(state.open, this);
    auto it = std::find_if(state.owned.begin(), state.owned.end(),
                           [this](const auto& p) { return p.get() == this; });
    if (it != state.owned.end()) {
        // The pop-up owns itself: this is the last thing it does.
        std::unique_ptr<CMsgWnd> self = std::move(*it);
        state.owned.erase(it);
    }
}

BOOL CMsgWnd::OnEraseBkgnd(CDC*) { return TRUE; }

void CMsgWnd::OnPaint() {
    CPaintDC dc(this);
    if (!background_.IsCreated()) return;
    CDC memory;
    memory.CreateCompatibleDC(&dc);
    CBitmap canvas;
    canvas.CreateFromImage(background_.Image());
    CBitmap* oldBitmap = memory.SelectObject(&canvas);
    CFont* oldFont = memory.SelectObject(&titleFont_);
    memory.SetBkMode(TRANSPARENT);
    memory.SetTextColor(kTextColor);
    RECT title{kBandHeight, 0, fullWidth_ - kBandHeight, kBandHeight};
    memory.DrawText(State().title, &title, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    RECT message = GetMessageRect();
    memory.DrawText(text_, &message, DT_CENTER | DT_WORDBREAK | DT_END_ELLIPSIS | DT_NOPREFIX);
    dc.BitBlt(0, 0, fullWidth_, fullHeight_, &memory, 0, 0, SRCCOPY);
    const RECT close = GetCloseRect();
    closeImages_.Draw(&dc, closeCell_, POINT{close.left, close.top}, ILD_TRANSPARENT);
    memory.SelectObject(oldFont);
    memory.SelectObject(oldBitmap);
}

void CMsgWnd::RemoveAll() {
    std::vector<HWND> windows;
    for (CMsgWnd* popup : State().open) windows.push_back(popup->m_hWnd);
    for (HWND hwnd : windows)
        if (IsWindow(hwnd)) ::DestroyWindow(hwnd);
    State().open.clear();
}

void CMsgWnd::SetMsgTitle(const std::string& title) {
    if (!title.empty()) State().title = title;
}

std::string CMsgWnd::GetMsgTitle() { return State().title; }

UINT CMsgWnd::SetFreshElapse(UINT ms) { return std::exchange(State().fresh, ms); }

UINT CMsgWnd::SetDelayElapse(UINT ms) { return std::exchange(State().delay, ms); }

HWND CMsgWnd::SetAlignWnd(HWND wnd) { return std::exchange(State().align, wnd); }

std::vector<CMsgWnd*> CMsgWnd::OpenPopups() { return State().open; }

void CMsgWnd::PlayAlertSound(int kind) {
    std::atomic<int>& busy = State().soundBusy;
    // One sound at a time: a call made while another is inside plays nothing.
    if (busy.fetch_add(1) == 0) {
        platform::SoundPlayer& player = platform::GetSoundPlayer();
        if (player.HasOutputDevice()) {
            const int resource = kind == 1 ? 110 : kind == 2 ? 111 : kind == 3 ? 109 : 108;
            const std::string path = SoundFile(resource);
            if (!path.empty()) player.PlayFile(path, false);
        }
    }
    busy.fetch_sub(1);
}
