// CMDITabCtrl: one tab per MDI child kept in step by Update, the close button, activation by
// tab and the band the row takes from the frame's layout.
#include "flexui/MDITabCtrl.h"

#include <QIcon>
#include <QWidget>
#include <algorithm>
#include <vector>

#include "platform/ui/FrameWnd.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"

namespace {

constexpr COLORREF kCloseMask = RGB(255, 0, 255);
constexpr UINT kCloseBitmap = 104;
constexpr int kIconSize = 16;
constexpr DWORD kTabStylesRemoved =
    TCS_MULTILINE | TCS_VERTICAL | TCS_FIXEDWIDTH | TCS_OWNERDRAWFIXED | 0x0004 /*multi-select*/;

}  // namespace

CMDITabCtrl::CMDITabCtrl() = default;
CMDITabCtrl::~CMDITabCtrl() = default;

void CMDITabCtrl::SetViewStyle(int minTabs, BOOL icons) {
    DWORD style = static_cast<DWORD>(std::clamp(minTabs, 0, 15));
    if (m_hWnd)
        style |= viewStyle_ & kIcons;  // the image list is made by Create
    else if (icons)
        style |= kIcons;
    viewStyle_ = style;
}

int CMDITabCtrl::GetMinTabCount() const { return std::max<int>(1, viewStyle_ & 0xF); }

BOOL CMDITabCtrl::Create(CWnd* frame, DWORD style, UINT id) {
    if (!frame || !::IsWindow(frame->m_hWnd) || m_hWnd) return FALSE;
    style = (style & ~kTabStylesRemoved) | WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS |
            TCS_FOCUSNEVER | TCS_FORCEICONLEFT;
    if (!CFlexTabCtrl::Create(style, RECT{0, 0, 100, kBandHeight}, frame, id)) return FALSE;
    frame_ = frame->m_hWnd;
    for (HWND child = ::GetWindow(frame_, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (::GetClassName(child) == "MDIClient") {
            mdiClient_ = child;
            break;
        }
    }
    const bool icons = viewStyle_ & kIcons;
    SendMessage(TCM_SETPADDING, 0, MAKELPARAM(icons ? 8 : 12, 3));
    if (icons) {
        images_ = std::make_unique<CImageList>();
        images_->Create(kIconSize, kIconSize, ILC_COLOR32 | ILC_MASK, 4, 4);
        SetImageList(images_.get());
    }
    close_.Create("", WS_CHILD | BS_PUSHBUTTON, RECT{0, 0, kCloseButtonSize, kCloseButtonSize},
                  this, kCloseButtonId);
    close_.SetBitmap(kCloseBitmap, "pavlet", kCloseMask, 0);
    Update();
    return TRUE;
}

int CMDITabCtrl::AddIcon(HWND child) {
    if (!images_) return -1;
    QWidget* widget = platform::ui::WidgetOf(child);
    const QIcon icon = widget ? widget->windowIcon() : QIcon();
    QImage image = icon.isNull() ? QImage() : icon.pixmap(kIconSize, kIconSize).toImage();
    if (image.isNull()) {
        image = QImage(kIconSize, kIconSize, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
    }
    return images_->Add(image.scaled(kIconSize, kIconSize));
}

void CMDITabCtrl::RemoveImage(int image) {
    if (!images_ || image < 0) return;
    images_->Remove(image);
    // The tabs after it now show the images one place earlier.
    for (int i = 0; i < GetItemCount(); ++i) {
        TCITEM item;
        item.mask = TCIF_IMAGE;
        if (GetItem(i, &item) && item.iImage > image) {
            --item.iImage;
            SetItem(i, &item);
        }
    }
}

void CMDITabCtrl::Update() {
    if (!m_hWnd) return;
    QWidget* widget = GetWidget();
    const bool updates = widget->updatesEnabled();
    widget->setUpdatesEnabled(false);
    const int before = GetItemCount();

    // The children, the active one first.
    std::vector<HWND> children;
    HWND active = 0;
    if (::IsWindow(mdiClient_)) {
        active = static_cast<HWND>(::SendMessage(mdiClient_, WM_MDIGETACTIVE));
        for (HWND child = ::GetWindow(mdiClient_, GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT))
            children.push_back(child);
        if (auto it = std::find(children.begin(), children.end(), active); it != children.end())
            std::rotate(children.begin(), it, it + 1);
        else if (!children.empty())
            active = children.front();
    }
    for (int i = GetItemCount() - 1; i >= 0; --i) {
        const HWND window = GetTabWindow(i);
        auto listed = std::find(children.begin(), children.end(), window);
        TCITEM item;
        item.mask = TCIF_IMAGE;
        GetItem(i, &item);
        if (listed == children.end()) {
            DeleteItem(i);
            RemoveImage(item.iImage);
            continue;
        }
        std::string text = ::GetWindowText(window);
        if (text.size() > 255) text.resize(255);
        TCITEM change;
        change.mask = TCIF_TEXT;
        change.pszText = text.data();
        SetItem(i, &change);
        if (window == active) SetCurSel(i);
        children.erase(listed);
    }
    for (HWND window : children) {
        std::string text = ::GetWindowText(window);
        if (text.size() > 255) text.resize(255);
        const int index =
            InsertItem(GetItemCount(), text, AddIcon(window), static_cast<LPARAM>(window));
        if (window == active) SetCurSel(index);
    }
    const int after = GetItemCount();
    const int least = GetMinTabCount();
    if ((before < least) != (after < least)) {
        if (auto* frame = dynamic_cast<CFrameWnd*>(CWnd::FromHandlePermanent(frame_)))
            frame->RecalcLayout();
    }
    PlaceCloseButton();
    widget->setUpdatesEnabled(updates);
    if (updates) widget->update();
}

void CMDITabCtrl::PlaceCloseButton() {
    if (!close_.m_hWnd) return;
    RECT r{};
    const int selected = GetCurSel();
    if (selected < 0 || !GetItemRect(selected, &r)) {
        close_.ShowWindow(SW_HIDE);
        return;
    }
    const int x = r.right - 3 - kCloseButtonSize;
    const int y = r.top + ((r.bottom - r.top) - kCloseButtonSize) / 2;
    close_.MoveWindow(x, y, kCloseButtonSize, kCloseButtonSize);
    close_.ShowWindow(SW_SHOW);
}

void CMDITabCtrl::OnSizeParent(AFX_SIZEPARENTPARAMS* layout) {
    if (GetItemCount() < GetMinTabCount()) {
        ShowWindow(SW_HIDE);
        return;
    }
    if (!layout) return;
    RECT band = layout->rect;
    if (GetStyle() & TCS_BOTTOM) {
        band.top = band.bottom - kBandHeight;
        layout->rect.bottom = band.top;
    } else {
        band.bottom = band.top + kBandHeight;
        layout->rect.top = band.bottom;
    }
    MoveWindow(band);
    SendMessage(TCM_SETITEMSIZE, 0, MAKELPARAM(0, kTabHeight));
    ShowWindow(SW_SHOW);
    PlaceCloseButton();
}

LRESULT CMDITabCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZEPARENT) {
        OnSizeParent(reinterpret_cast<AFX_SIZEPARENTPARAMS*>(lParam));
        return 0;
    }
    return CFlexTabCtrl::WindowProc(message, wParam, lParam);
}

BOOL CMDITabCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (message == WM_NOTIFY && header && header->code == TCN_SELCHANGE) {
        const int selected = GetCurSel();
        const HWND window = selected >= 0 ? GetTabWindow(selected) : 0;
        if (::IsWindow(window) && ::IsWindow(mdiClient_))
            ::SendMessage(mdiClient_, WM_MDIACTIVATE, static_cast<WPARAM>(window), 0);
        PlaceCloseButton();
        if (result) *result = 0;
        return TRUE;
    }
    return CFlexTabCtrl::OnChildNotify(message, wParam, lParam, result);
}

BOOL CMDITabCtrl::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == kCloseButtonId && HIWORD(wParam) == BN_CLICKED) {
        const int selected = GetCurSel();
        const HWND window = selected >= 0 ? GetTabWindow(selected) : 0;
        if (::IsWindow(window)) ::SendMessage(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        return TRUE;
    }
    return CFlexTabCtrl::OnCommand(wParam, lParam);
}
