// CBalloonTip: placement, drawing and closing of balloon tips, and the thread-wide watchers of
// mouse presses, key presses and window moves that close balloons or make them follow.
#include "flexui/BalloonTip.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QObject>
#include <QPainter>
#include <QPen>
#include <QStyle>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <vector>

#include "flexui/DrawHelpers.h"
#include "platform/core/Encoding.h"
#include "platform/ui/Dc.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/UiServices.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowClass.h"

namespace {

constexpr const char* kBalloonClass = "BalloonTipClass";
constexpr UINT_PTR kTimeoutTimer = 1;
constexpr int kCloseSize = 18;
constexpr COLORREF kMagenta = RGB(255, 0, 255);

CBalloonTip::TimerStarter gTimerStarter = nullptr;

// Library-wide drawing objects, made on first use and kept for the whole run.
struct BalloonResources {
    CFont titleFont;
    CFont contentFont;
    CImageList closeButton;
};

// The close button's three cells (normal, hot, pressed), 18 x 18, magenta where transparent.
QImage CloseButtonCells() {
    QImage image(3 * kCloseSize, kCloseSize, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 255));
    QPainter painter(&image);
    for (int cell = 0; cell < 3; ++cell) {
        QRect box(cell * kCloseSize + 1, 1, kCloseSize - 3, kCloseSize - 3);
        if (cell > 0) {
            painter.setPen(QColor(128, 128, 128));
            painter.setBrush(cell == 1 ? QColor(255, 255, 255) : QColor(210, 210, 220));
            painter.drawRect(box);
        }
        painter.setPen(QPen(cell == 2 ? QColor(0, 0, 0) : QColor(96, 96, 96), 2));
        QPoint o(cell * kCloseSize + (cell == 2 ? 1 : 0), cell == 2 ? 1 : 0);
        painter.drawLine(o + QPoint(5, 5), o + QPoint(12, 12));
        painter.drawLine(o + QPoint(12, 5), o + QPoint(5, 12));
    }
    return image;
}

BalloonResources& Resources() {
    static BalloonResources* resources = [] {
        auto* r = new BalloonResources;  // lives until the process ends
        r->titleFont.CreateFont(-16, 0, 0, 0, 400, 0, 0, 0, 134, 0, 0, 0, 0, "黑体");
        r->contentFont.CreateFont(-12, 0, 0, 0, 400, 0, 0, 0, 134, 0, 0, 0, 0, "宋体");
        r->closeButton.Create(kCloseSize, kCloseSize, ILC_COLOR32 | ILC_MASK, 3, 0);
        CBitmap bitmap;
        bitmap.CreateFromImage(CloseButtonCells());
        r->closeButton.Add(&bitmap, kMagenta);
        return r;
    }();
    return *resources;
}

void EnsureBalloonClass() {
    if (!platform::ui::FindWindowClass(kBalloonClass))
        platform::ui::RegisterWindowClass(kBalloonClass,
                                          std::make_unique<platform::ui::WindowClass>());
}

// The thread-wide watchers: what the mouse, keyboard and window-procedure hooks were. Any
// number of balloons can be registered; the filter is on the application while one is. A
// balloon hears only input that comes after the event it was launched from (a click that took
// the focus from a refused field must not close that field's balloon).
class BalloonWatch : public QObject {
public:
    static BalloonWatch& Instance() {
        static BalloonWatch* watch = new BalloonWatch;  // lives until the process ends
        return *watch;
    }

    void Register(HWND hwnd) {
        DropDead();
        if (std::none_of(entries_.begin(), entries_.end(),
                         [hwnd](const Entry& e) { return e.hwnd == hwnd; })) {
            entries_.push_back(Entry{hwnd, false});
            QMetaObject::invokeMethod(
                this,
                [this, hwnd] {
                    for (Entry& e : entries_)
                        if (e.hwnd == hwnd) e.armed = true;
                },
                Qt::QueuedConnection);
        }
        if (!installed_) {
            qApp->installEventFilter(this);
            installed_ = true;
        }
    }
    void Unregister(HWND hwnd) {
        entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                      [hwnd](const Entry& e) { return e.hwnd == hwnd; }),
                       entries_.end());
        DropDead();
        if (entries_.empty() && installed_) {
            qApp->removeEventFilter(this);
            installed_ = false;
        }
    }
    size_t Count() {
        DropDead();
        return entries_.size();
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::NonClientAreaMouseButtonPress: {
                auto* mouse = static_cast<QMouseEvent*>(event);
                bool client = event->type() == QEvent::MouseButtonPress;
                UINT message = 0;
                if (mouse->button() == Qt::LeftButton)
                    message = client ? WM_LBUTTONDOWN : WM_NCLBUTTONDOWN;
                else if (mouse->button() == Qt::RightButton)
                    message = client ? WM_RBUTTONDOWN : WM_NCRBUTTONDOWN;
                else if (mouse->button() == Qt::MiddleButton)
                    message = client ? WM_MBUTTONDOWN : WM_NCMBUTTONDOWN;
                if (message) Relay(WM_BALLOON_MOUSEHOOK, message);
                break;
            }
            case QEvent::KeyPress:
                Relay(WM_BALLOON_KEYHOOK,
                      static_cast<WPARAM>(static_cast<QKeyEvent*>(event)->key()));
                break;
            case QEvent::Move:
                if (object->isWidgetType()) {
                    HWND moved = platform::ui::WindowOf(static_cast<QWidget*>(object));
                    if (moved) Relay(WM_BALLOON_CALLWNDHOOK, moved);
                }
                break;
            default:
                break;
        }
        return false;
    }

private:
    struct Entry {
        HWND hwnd = 0;
        bool armed = false;
    };

    void DropDead() {
        entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                      [](const Entry& e) { return !IsWindow(e.hwnd); }),
                       entries_.end());
    }
    void Relay(UINT message, WPARAM wParam) {
        // A balloon may close (and unregister) while it hears the message: walk a copy.
        std::vector<HWND> windows;
        for (const Entry& e : entries_)
            if (e.armed || message == WM_BALLOON_CALLWNDHOOK) windows.push_back(e.hwnd);
        for (HWND hwnd : windows)
            if (IsWindow(hwnd)) ::SendMessage(hwnd, message, wParam, 0);
    }

    std::vector<Entry> entries_;
    bool installed_ = false;
};

SIZE TextSize(CDC& dc, CFont& font, const std::string& text, UINT format, int width) {
    CFont* old = dc.SelectObject(&font);
    RECT r{0, 0, width, 0};
    dc.DrawText(text, &r, format | DT_CALCRECT);
    dc.SelectObject(old);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (true) {
        size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) break;
        start = end + 2;
    }
    return lines;
}

}  // namespace

// ---- placement ---------------------------------------------------------------------------------

SIZE BalloonWindowSize(SIZE content, bool hasIcon, DWORD options) {
    int width = content.cx + (hasIcon ? 48 : (options & BALLOON_CLOSEBUTTON) ? 26 : 8);
    int height = content.cy + ((options & BALLOON_NOSTEM) ? 44 : 68);
    return SIZE{width, height};
}

BalloonGeometry PlaceBalloon(POINT anchor, SIZE size, DWORD options, const RECT& desktop) {
    const int w = size.cx;
    const int h = size.cy;
    BalloonGeometry g;
    if (options & BALLOON_NOSTEM) {
        int x = std::max(anchor.x, desktop.left);
        int y = std::max(anchor.y, desktop.top);
        if (x + w > desktop.right) x = anchor.x - w;
        if (y + h > desktop.bottom) y = anchor.y - h;
        g.window = RECT{x, y, x + w, y + h};
        g.body = RECT{0, 0, w, h};
        g.client = RECT{4, 4, w - 4, h - 4};
        return g;
    }
    const bool upper = anchor.y < (desktop.top + desktop.bottom) / 2;
    const bool right = anchor.x >= (desktop.left + desktop.right) / 2;
    g.quadrant = upper ? (right ? 1 : 2) : (right ? 3 : 4);
    const int baseY = upper ? 25 : h - 26;
    const int tipY = upper ? 1 : h - 2;
    const int nearX = right ? w - 16 : 16;
    const int farX = right ? w - 40 : 40;
    g.stem[0] = POINT{farX, baseY};
    g.stem[1] = POINT{nearX, baseY};
    g.stem[2] = POINT{nearX, tipY};
    g.body = upper ? RECT{0, kBalloonStemBand, w, h} : RECT{0, 0, w, h - kBalloonStemBand};
    g.client = upper ? RECT{4, kBalloonStemBand + 4, w - 4, h - 4}
                     : RECT{4, 4, w - 4, h - kBalloonStemBand - 4};

    int x = anchor.x - nearX;
    int y = anchor.y - tipY;
    if (x < desktop.left) x = desktop.left;
    if (x + w > desktop.right) x = desktop.right - w;
    // The tip moves the other way so that it stays on the anchor (inside the window).
    g.stem[2].x = std::clamp(anchor.x - x, 0, std::max(0, w - 1));
    // Vertically only the body must stay on the desktop; the stem band may lie outside.
    const int bodyTop = y + g.body.top;
    const int bodyBottom = y + g.body.bottom;
    if (bodyTop < desktop.top)
        y += desktop.top - bodyTop;
    else if (bodyBottom > desktop.bottom)
        y -= bodyBottom - desktop.bottom;
    g.window = RECT{x, y, x + w, y + h};
    return g;
}

// ---- the balloon
// ---------------------------------------------------------------------------------

CBalloonTip::CBalloonTip() = default;

CBalloonTip::~CBalloonTip() = default;

void CBalloonTip::SetTimerStarter(TimerStarter starter) { gTimerStarter = starter; }

size_t CBalloonTip::WatchedCount() { return BalloonWatch::Instance().Count(); }

QImage CBalloonTip::LibraryIcon(int kind) {
    // Kind 1 (and any unknown kind) error, 2 warning, 3 information, 4 question.
    if (kind < 1 || kind > 4) kind = 1;
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor fills[] = {QColor(210, 40, 40), QColor(240, 200, 20), QColor(40, 90, 200),
                            QColor(40, 140, 90)};
    QColor fill = fills[kind - 1];
    painter.setPen(QPen(fill.darker(150), 1));
    painter.setBrush(fill);
    if (kind == 2) {
        const QPointF triangle[] = {{8, 0.5}, {15.5, 15}, {0.5, 15}};
        painter.drawPolygon(triangle, 3);
    } else {
        painter.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    }
    painter.setPen(QPen(kind == 2 ? QColor(0, 0, 0) : QColor(255, 255, 255), 2));
    switch (kind) {
        case 1:
            painter.drawLine(QPointF(5, 5), QPointF(11, 11));
            painter.drawLine(QPointF(11, 5), QPointF(5, 11));
            break;
        case 2:
            painter.drawLine(QPointF(8, 5), QPointF(8, 10));
            painter.drawPoint(QPointF(8, 12.5));
            break;
        case 3:
            painter.drawPoint(QPointF(8, 4));
            painter.drawLine(QPointF(8, 7), QPointF(8, 12));
            break;
        default:
            painter.drawArc(QRectF(5, 3, 6, 5), 180 * 16, -270 * 16);
            painter.drawLine(QPointF(8, 8), QPointF(8, 10));
            painter.drawPoint(QPointF(8, 12.5));
            break;
    }
    return image;
}

BOOL CBalloonTip::Create(const std::string& title, const std::string& content, POINT anchor,
                         DWORD options, CWnd* parent, UINT timeoutMs, const QImage* icon) {
    if (m_hWnd) return FALSE;
    content_ = content;
    title_ = title;
    options_ = options;
    timeoutMs_ = timeoutMs;
    if (icon && !icon->isNull()) icon_ = *icon;
    anchor_ = anchor;
    Resources();
    EnsureBalloonClass();
    MeasureContent();

    CWnd* owner = parent && IsWindow(parent->m_hWnd) ? parent->GetTopLevelParent() : nullptr;
    DWORD exStyle = WS_EX_TOOLWINDOW | ((options & BALLOON_TOPMOST) ? WS_EX_TOPMOST : 0);
    if (!CreateEx(exStyle, kBalloonClass, title.c_str(), WS_POPUP, RECT{0, 0, 1, 1}, owner, 0))
        return FALSE;
    // A tool-tip window never takes the activation (nor the focus) from the window it points at.
    if (QWidget* widget = GetWidget())
        widget->setWindowFlags(
            Qt::ToolTip | Qt::FramelessWindowHint |
            ((options & BALLOON_TOPMOST) ? Qt::WindowStaysOnTopHint : Qt::WindowFlags()));
    PositionWindow();
    if (options & (BALLOON_CLOSEONCLICK | BALLOON_CLOSEONKEY))
        BalloonWatch::Instance().Register(m_hWnd);
    ShowWindow(SW_SHOWNOACTIVATE);
    if (timeoutMs_) {
        if (gTimerStarter)
            gTimerStarter(m_hWnd, kTimeoutTimer, timeoutMs_);
        else
            SetTimer(kTimeoutTimer, timeoutMs_);
    }
    return TRUE;
}

namespace {

CBalloonTip* Launch(const std::string& title, const std::string& content, POINT anchor,
                    const QImage& icon, DWORD options, CWnd* parent, UINT timeoutMs,
                    CWnd* anchorWnd) {
    auto tip = std::make_unique<CBalloonTip>();
    if (anchorWnd) tip->SetAnchorPoint(anchor, anchorWnd);
    POINT screen = anchorWnd ? tip->AnchorOnScreen() : anchor;
    if (!tip->Create(title, content, screen, options, parent, timeoutMs,
                     icon.isNull() ? nullptr : &icon))
        return nullptr;
    if (anchorWnd) tip->SetAnchorPoint(anchor, anchorWnd);
    return tip.release();  // deletes itself when its window is gone
}

QImage SystemIcon(const char* name) {
    if (!name) return {};
    QStyle::StandardPixmap pixmap;
    switch (reinterpret_cast<uintptr_t>(name)) {
        case 32513:
            pixmap = QStyle::SP_MessageBoxCritical;
            break;
        case 32514:
            pixmap = QStyle::SP_MessageBoxQuestion;
            break;
        case 32515:
            pixmap = QStyle::SP_MessageBoxWarning;
            break;
        case 32516:
            pixmap = QStyle::SP_MessageBoxInformation;
            break;
        default:
            pixmap = QStyle::SP_DesktopIcon;
            break;
    }
    return QApplication::style()->standardIcon(pixmap).pixmap(16, 16).toImage();
}

}  // namespace

CBalloonTip* CBalloonTip::LaunchBalloon(const std::string& title, const std::string& content,
                                        POINT anchor, const char* systemIcon, DWORD options,
                                        CWnd* parent, UINT timeoutMs) {
    return Launch(title, content, anchor, SystemIcon(systemIcon), options, parent, timeoutMs,
                  nullptr);
}

CBalloonTip* CBalloonTip::LaunchBalloon(const std::string& title, const std::string& content,
                                        POINT anchor, int iconKind, DWORD options, CWnd* parent,
                                        UINT timeoutMs) {
    return Launch(title, content, anchor, LibraryIcon(iconKind), options, parent, timeoutMs,
                  nullptr);
}

CBalloonTip* CBalloonTip::LaunchBalloon(CWnd* control, const std::string& title,
                                        const std::string& content, int iconKind, BOOL select) {
    if (!control || !IsWindow(control->m_hWnd)) return nullptr;
    RECT rc;
    control->GetClientRect(&rc);
    POINT anchor{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    const bool edit = control->GetClassName() == "Edit";
    if (edit) {
        RECT text = rc;
        control->SendMessage(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&text));
        anchor = (control->GetStyle() & ES_RIGHT) ? POINT{text.right - 4, text.bottom - 4}
                                                  : POINT{text.left + 4, text.bottom - 4};
        if (select) {
            control->SendMessage(EM_SETSEL, 0, -1);
            control->SendMessage(EM_SCROLLCARET);
        }
    }
    CBalloonTip* tip = Launch(title, content, anchor, LibraryIcon(iconKind),
                              BALLOON_CLOSEONCLICK | BALLOON_CLOSEONKEY, nullptr, 10000, control);
    if (select) control->SetFocus();
    return tip;
}

CBalloonTip* CBalloonTip::LaunchBalloon(CWnd* parent, int controlId, const std::string& title,
                                        const std::string& content, int iconKind, BOOL select) {
    CWnd* control = parent ? parent->GetDlgItem(controlId) : nullptr;
    return control ? LaunchBalloon(control, title, content, iconKind, select) : nullptr;
}

void CBalloonTip::SetAnchorPoint(POINT point, CWnd* window) {
    anchor_ = point;
    anchorWnd_ = window ? window->m_hWnd : 0;
    if (!m_hWnd) return;
    if (anchorWnd_) BalloonWatch::Instance().Register(m_hWnd);
    if (IsWindowVisible()) PositionWindow();
}

POINT CBalloonTip::AnchorOnScreen() const {
    POINT p = anchor_;
    if (anchorWnd_ && IsWindow(anchorWnd_)) ::ClientToScreen(anchorWnd_, &p);
    return p;
}

void CBalloonTip::MeasureContent() {
    BalloonResources& r = Resources();
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    int width = 0;
    for (const std::string& line : SplitLines(content_))
        width = std::max(
            width,
            TextSize(dc, r.contentFont, line, DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS, 0).cx);
    SIZE wrapped = TextSize(dc, r.contentFont, content_, DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS,
                            std::max(width, 1));
    int contentWidth = wrapped.cx + 4;
    int titleWidth = TextSize(dc, r.titleFont, title_, DT_SINGLELINE | DT_NOPREFIX, 0).cx +
                     ((options_ & BALLOON_CLOSEBUTTON) ? 22 : 4);
    contentSize_ = SIZE{std::max(contentWidth, titleWidth), wrapped.cy};
}

void CBalloonTip::PositionWindow() {
    if (!m_hWnd) return;
    SIZE size = BalloonWindowSize(contentSize_, !icon_.isNull(), options_);
    RECT desktop = platform::ui::GetUiServices().WorkArea(m_hWnd);
    geometry_ = PlaceBalloon(AnchorOnScreen(), size, options_, desktop);
    const RECT& w = geometry_.window;
    MoveWindow(w.left, w.top, w.right - w.left, w.bottom - w.top, FALSE);

    CRgn region;
    region.CreateRoundRectRgn(geometry_.body.left, geometry_.body.top, geometry_.body.right + 1,
                              geometry_.body.bottom + 1, kBalloonCorner, kBalloonCorner);
    if (geometry_.quadrant) {
        CRgn stem;
        stem.CreatePolygonRgn(geometry_.stem, 3, ALTERNATE);
        region.CombineRgn(&region, &stem, RGN_OR);
    }
    if (!region_.IsCreated() || !region_.EqualRgn(&region)) {
        region_.DeleteObject();
        region_.CreateRectRgn(0, 0, 0, 0);
        region_.CopyRgn(&region);
        // The window takes its region over; the balloon keeps its copy for the outline.
        CRgn windowRegion;
        windowRegion.CreateRectRgn(0, 0, 0, 0);
        windowRegion.CopyRgn(&region_);
        SetWindowRgn(windowRegion, FALSE);
        RedrawWindow(m_hWnd, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    }
}

RECT CBalloonTip::CloseButtonRect() const {
    const RECT& c = geometry_.client;
    return RECT{c.right - kCloseSize, c.top + 1, c.right, c.top + 1 + kCloseSize};
}

void CBalloonTip::SetCloseCell(int cell) {
    if (cell == closeCell_) return;
    closeCell_ = cell;
    RECT r = CloseButtonRect();
    InvalidateRect(&r, FALSE);
}

BOOL CBalloonTip::OnEraseBkgnd(CDC*) { return TRUE; }

void CBalloonTip::OnPaint() {
    CPaintDC dc(this);
    Draw(&dc);
}

void CBalloonTip::Draw(CDC* dc) {
    BalloonResources& r = Resources();
    RECT whole;
    GetClientRect(&whole);
    // The outline: the region filled grey, then its inside (the region less one pixel on every
    // side) with the gradient.
    if (region_.IsCreated()) {
        CBrush grey(RGB(128, 128, 128));
        dc->FillRgn(&region_, &grey);
        QRegion outer = region_.Region();
        QRegion inner = outer & outer.translated(1, 0) & outer.translated(-1, 0) &
                        outer.translated(0, 1) & outer.translated(0, -1);
        CRgn clip;
        clip.CreateRectRgn(0, 0, 0, 0);
        clip.SetRegion(inner);
        dc->SaveDC();
        dc->SelectClipRgn(&clip);
        GradientFill(dc, whole, RGB(250, 250, 250), RGB(228, 228, 240), GRADIENT_TOP_TO_BOTTOM);
        dc->RestoreDC(-1);
    } else {
        GradientFill(dc, whole, RGB(250, 250, 250), RGB(228, 228, 240), GRADIENT_TOP_TO_BOTTOM);
    }

    const RECT& c = geometry_.client;
    const bool hasIcon = !icon_.isNull();
    if (hasIcon) dc->DrawImage(c.left + 4, c.top + 4, icon_);
    dc->SetBkMode(TRANSPARENT);
    CFont* oldFont = dc->SelectObject(&r.titleFont);
    dc->SetTextColor(RGB(0, 53, 153));
    RECT titleRect{c.left + (hasIcon ? 24 : 4), c.top + 4, c.right, c.top + 24};
    if (options_ & BALLOON_CLOSEBUTTON) titleRect.right -= kCloseSize;
    dc->DrawText(GetWindowText(), &titleRect, DT_SINGLELINE | DT_NOPREFIX);

    if ((options_ & BALLOON_CLOSEBUTTON) && r.closeButton.GetImageCount() > 0) {
        RECT b = CloseButtonRect();
        int cell = std::min(closeCell_, r.closeButton.GetImageCount() - 1);
        r.closeButton.Draw(dc, cell, POINT{b.left, b.top}, ILD_TRANSPARENT);
    }

    dc->SelectObject(&r.contentFont);
    dc->SetTextColor(GetSysColor(COLOR_INFOTEXT));
    int left = c.left + (hasIcon ? 24 : 4);
    RECT contentRect{left, c.top + 28, left + contentSize_.cx, c.top + 28 + contentSize_.cy};
    dc->DrawText(content_, &contentRect, DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    dc->SelectObject(oldFont);
}

void CBalloonTip::OnTimer(UINT_PTR id) {
    if (id == kTimeoutTimer) {
        KillTimer(kTimeoutTimer);
        ShowWindow(SW_HIDE);
        DestroyWindow();
    }
}

void CBalloonTip::OnClose() {
    ShowWindow(SW_HIDE);
    DestroyWindow();
}

void CBalloonTip::OnDestroy() {
    BalloonWatch::Instance().Unregister(m_hWnd);
    CWnd::OnDestroy();
}

void CBalloonTip::OnMouseMove(UINT flags, POINT point) {
    if (!(options_ & BALLOON_CLOSEBUTTON)) return;
    RECT b = CloseButtonRect();
    bool over = PtInRect(&b, point);
    bool pressedHere = (flags & MK_LBUTTON) && PtInRect(&b, press_);
    SetCloseCell(over ? (pressedHere ? 2 : 1) : 0);
}

void CBalloonTip::OnLButtonDown(UINT, POINT point) {
    press_ = point;
    RECT b = CloseButtonRect();
    if ((options_ & BALLOON_CLOSEBUTTON) && PtInRect(&b, point)) {
        SetCapture();
        SetCloseCell(2);
    }
}

void CBalloonTip::OnLButtonUp(UINT, POINT point) {
    RECT b = CloseButtonRect();
    bool onButton = (options_ & BALLOON_CLOSEBUTTON) && PtInRect(&b, press_) && PtInRect(&b, point);
    if (GetCapture() == this) ::ReleaseCapture();
    press_ = POINT{-1, -1};
    SetCloseCell(onButton ? 1 : 0);
    if (onButton) PostMessage(WM_CLOSE);
}

LRESULT CBalloonTip::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_BALLOON_MOUSEHOOK:
            if (options_ & BALLOON_CLOSEONCLICK) PostMessage(WM_CLOSE);
            return 0;
        case WM_BALLOON_KEYHOOK:
            if (options_ & BALLOON_CLOSEONKEY) PostMessage(WM_CLOSE);
            return 0;
        case WM_BALLOON_CALLWNDHOOK: {
            HWND moved = static_cast<HWND>(wParam);
            if (anchorWnd_ && moved != m_hWnd && IsWindow(anchorWnd_) &&
                (moved == anchorWnd_ || ::IsChild(moved, anchorWnd_)) && IsWindowVisible())
                PositionWindow();
            return 0;
        }
        case WM_NCHITTEST:
            return HTCLIENT;
        case WM_PRINT:
        case WM_PRINTCLIENT:
            if (wParam) Draw(reinterpret_cast<CDC*>(wParam));
            return 0;
        default:
            return CWnd::WindowProc(message, wParam, lParam);
    }
}

void CBalloonTip::PostNcDestroy() { delete this; }
