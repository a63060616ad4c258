// CToolBar: the tool bar resource text, the button layout, painting and mouse handling.
//
// Tool bar resource text ("*.tbr", ASCII):
//   TOOLBAR <id>, <image width>, <image height>
//   BUTTON <command id>          one line per button, in order
//   SEPARATOR
// Blank lines and lines starting with '#' are skipped, as in the dialog templates beside them;
// commas and blanks separate fields.
#include "platform/ui/ToolBar.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <algorithm>
#include <charconv>

#include "platform/ui/Dc.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/GdiObjects.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Messages.h"
#include "platform/ui/MouseTracking.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"

namespace platform::ui {
namespace {

constexpr size_t kMaxButtons = 1024;
constexpr int kMaxImageSize = 256;

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == ',')) ++at;
        const size_t start = at;
        while (at < line.size() && line[at] != ' ' && line[at] != '\t' && line[at] != ',') ++at;
        if (at > start) fields.push_back(line.substr(start, at - start));
    }
    return fields;
}

bool Number(std::string_view text, int low, int high, int* out) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return false;
    *out = value;
    return true;
}

bool Fail(std::string* error, int line, const std::string& what) {
    if (error) *error = "line " + std::to_string(line) + ": " + what;
    return false;
}

StringResourceLookup& Lookup() {
    static StringResourceLookup lookup;
    return lookup;
}

}  // namespace

bool ParseToolBarResource(std::string_view text, ToolBarResource* out, std::string* error) {
    *out = ToolBarResource{};
    bool header = false;
    int lineNumber = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.empty() || line == "\r" || line.front() == '#') continue;
        if (line.back() == '\r') line.remove_suffix(1);
        const std::vector<std::string_view> fields = Fields(line);
        if (fields.empty()) continue;
        const std::string_view keyword = fields[0];
        if (keyword == "TOOLBAR") {
            if (header) return Fail(error, lineNumber, "a second TOOLBAR line");
            int id = 0, width = 0, height = 0;
            if (fields.size() != 4 || !Number(fields[1], 1, 0xFFFF, &id) ||
                !Number(fields[2], 1, kMaxImageSize, &width) ||
                !Number(fields[3], 1, kMaxImageSize, &height))
                return Fail(error, lineNumber,
                            "TOOLBAR needs an id (1-65535) and an image size (1-256 pixels)");
            out->id = id;
            out->imageWidth = width;
            out->imageHeight = height;
            header = true;
            continue;
        }
        if (!header) return Fail(error, lineNumber, "the text must start with a TOOLBAR line");
        if (out->commands.size() >= kMaxButtons) return Fail(error, lineNumber, "too many buttons");
        if (keyword == "SEPARATOR" && fields.size() == 1) {
            out->commands.push_back(ID_SEPARATOR);
        } else if (keyword == "BUTTON") {
            int command = 0;
            if (fields.size() != 2 || !Number(fields[1], 1, 0xFFFF, &command))
                return Fail(error, lineNumber, "BUTTON needs a command id (1-65535)");
            out->commands.push_back(static_cast<UINT>(command));
        } else {
            return Fail(error, lineNumber, "unknown line \"" + std::string(keyword) + "\"");
        }
    }
    if (!header) return Fail(error, lineNumber, "no TOOLBAR line");
    return true;
}

void SetStringResourceLookup(StringResourceLookup lookup) { Lookup() = std::move(lookup); }

std::string LoadStringResource(UINT id) { return Lookup() ? Lookup()(id) : std::string(); }

}  // namespace platform::ui

namespace {

// The text size in the bar's font (the default GUI font).
SIZE TextExtent(const std::string& text) {
    if (text.empty()) return SIZE{0, 0};
    CDC dc;
    dc.SelectObject(GetStockFont(DEFAULT_GUI_FONT));
    return dc.GetTextExtent(text);
}

// The image as a disabled button shows it: grey, lightened towards the face.
QImage GreyImage(QImage image) {
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = row[x];
            if (qAlpha(p) == 0) continue;
            const int grey = 128 + (qRed(p) * 30 + qGreen(p) * 59 + qBlue(p) * 11) / 200;
            row[x] = qRgba(grey, grey, grey, qAlpha(p));
        }
    }
    return image;
}

bool HasImage(const CImageList* list, int image) {
    return list && image >= 0 && image < list->GetImageCount();
}

}  // namespace

CToolBar::CToolBar() : m_sizeButton{23, 22}, m_sizeImage{16, 15} {
    OnMessage(WM_MOUSELEAVE, [this](WPARAM, LPARAM) {
        SetHot(-1);
        return LRESULT{0};
    });
}

CToolBar::~CToolBar() = default;

BOOL CToolBar::Create(CWnd* parent, DWORD style, UINT id) { return CreateEx(parent, 0, style, id); }

BOOL CToolBar::CreateEx(CWnd* parent, DWORD ctrlStyle, DWORD style, UINT id) {
    if (!parent || m_hWnd) return FALSE;
    const RECT rect{0, 0, 0, 0};
    if (auto* frame = dynamic_cast<CFrameWnd*>(parent)) {
        if (!CreateBar(frame, nullptr, style, rect, id)) return FALSE;
    } else {
        m_dwStyle = style & ~(WS_VISIBLE | WS_CHILD);
        if (!CWnd::CreateEx(0, nullptr, "", WS_CHILD | (style & WS_VISIBLE), rect, parent, id))
            return FALSE;
    }
    ModifyStyle(0, ctrlStyle & 0xFFFF);
    Changed();
    return TRUE;
}

BOOL CToolBar::LoadToolBar(UINT resourceId) {
    platform::ui::ToolBarResource found;
    QString folder;
    for (const std::string& root : platform::ui::ResourceModuleRoots()) {
        QDir dir(QString::fromStdString(root));
        for (const QString& name : dir.entryList({"*.tbr"}, QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::ReadOnly)) continue;
            const QByteArray bytes = file.readAll();
            platform::ui::ToolBarResource parsed;
            // A broken file is no tool bar at all, as a template that fails to load.
            if (!platform::ui::ParseToolBarResource(
                    std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), &parsed,
                    nullptr) ||
                parsed.id != static_cast<int32_t>(resourceId))
                continue;
            found = std::move(parsed);
            folder = dir.path();
            break;
        }
        if (found.id != 0) break;
    }
    if (found.id == 0) return FALSE;
    if (!SetButtons(found.commands.data(), static_cast<int>(found.commands.size()))) return FALSE;
    m_sizeImage = SIZE{found.imageWidth, found.imageHeight};
    m_sizeButton = SIZE{found.imageWidth + kButtonPadX, found.imageHeight + kButtonPadY};
    if (normal_ == resourceImages_.get()) normal_ = nullptr;
    resourceImages_.reset();
    const QImage picture(QDir(folder).filePath(QString("bitmap_%1.bmp").arg(resourceId)));
    CBitmap bitmap;
    if (!picture.isNull() && bitmap.CreateFromImage(picture)) {
        auto images = std::make_unique<CImageList>();
        if (images->Create(found.imageWidth, found.imageHeight, ILC_COLOR32 | ILC_MASK, 0, 4) &&
            images->Add(&bitmap, kResourceMaskColor) >= 0) {
            resourceImages_ = std::move(images);
            if (!normal_) normal_ = resourceImages_.get();
        }
    }
    Changed();
    return TRUE;
}

BOOL CToolBar::SetButtons(const UINT* ids, int count) {
    if (count < 0) return FALSE;
    buttons_.assign(static_cast<size_t>(count), Button{});
    int image = 0;
    for (Button& button : buttons_) {
        const UINT id = ids ? *ids++ : 0;
        button.id = id;
        if (ids && id == ID_SEPARATOR) {
            button.style = TBSTYLE_SEP;
            button.cx = kSeparatorWidth;
        } else {
            button.image = image++;
        }
    }
    pressed_ = -1;
    hotItem_ = -1;
    Changed();
    return TRUE;
}

void CToolBar::SetSizes(SIZE button, SIZE image) {
    m_sizeImage = SIZE{std::max<LONG>(image.cx, 0), std::max<LONG>(image.cy, 0)};
    m_sizeButton = SIZE{std::max<LONG>(button.cx, 0), std::max<LONG>(button.cy, 0)};
    Changed();
}

int CToolBar::CommandToIndex(UINT id) const {
    for (int i = 0; i < GetCount(); ++i)
        if (buttons_[static_cast<size_t>(i)].id == id) return i;
    return -1;
}

UINT CToolBar::GetItemID(int index) const {
    return Valid(index) ? buttons_[static_cast<size_t>(index)].id : 0;
}

void CToolBar::GetItemRect(int index, RECT* rect) const {
    if (!rect) return;
    *rect = Valid(index) ? Rects()[static_cast<size_t>(index)] : RECT{0, 0, 0, 0};
}

int CToolBar::HitTest(POINT point) const {
    const std::vector<RECT>& rects = Rects();
    for (size_t i = 0; i < rects.size(); ++i)
        if (!(buttons_[i].style & TBSTYLE_SEP) && PtInRect(&rects[i], point))
            return static_cast<int>(i);
    return -1;
}

void CToolBar::SetButtonInfo(int index, UINT id, UINT style, int image) {
    if (!Valid(index)) return;
    Button& button = buttons_[static_cast<size_t>(index)];
    button.id = id;
    button.style = static_cast<BYTE>(style);
    button.image = image;
    if ((style & TBSTYLE_SEP) && button.cx == 0) button.cx = kSeparatorWidth;
    Changed();
}

void CToolBar::GetButtonInfo(int index, UINT& id, UINT& style, int& image) const {
    if (!Valid(index)) {
        id = 0;
        style = 0;
        image = -1;
        return;
    }
    const Button& button = buttons_[static_cast<size_t>(index)];
    id = button.id;
    style = button.style;
    image = button.image;
}

UINT CToolBar::GetButtonStyle(int index) const {
    return Valid(index) ? buttons_[static_cast<size_t>(index)].style : 0;
}

void CToolBar::SetButtonStyle(int index, UINT style) {
    if (!Valid(index)) return;
    buttons_[static_cast<size_t>(index)].style = static_cast<BYTE>(style);
    Changed();
}

BOOL CToolBar::SetButtonText(int index, const std::string& text) {
    if (!Valid(index)) return FALSE;
    buttons_[static_cast<size_t>(index)].text = text;
    Changed();
    return TRUE;
}

std::string CToolBar::GetButtonText(int index) const {
    return Valid(index) ? buttons_[static_cast<size_t>(index)].text : std::string();
}

void CToolBar::SetButtonCx(int index, int cx) {
    if (!Valid(index)) return;
    buttons_[static_cast<size_t>(index)].cx = std::max(cx, 0);
    Changed();
}

BYTE CToolBar::GetButtonState(UINT id) const {
    const int index = CommandToIndex(id);
    return index >= 0 ? buttons_[static_cast<size_t>(index)].state : 0;
}

void CToolBar::SetButtonState(UINT id, BYTE state) {
    const int index = CommandToIndex(id);
    if (index < 0) return;
    buttons_[static_cast<size_t>(index)].state = state;
    if (!(state & TBSTATE_ENABLED) && hotItem_ == index) hotItem_ = -1;
    if (m_hWnd) Invalidate();
}

void CToolBar::EnableButton(UINT id, BOOL enable) {
    const BYTE state = GetButtonState(id);
    SetButtonState(id, enable ? (state | TBSTATE_ENABLED) : (state & ~TBSTATE_ENABLED));
}

BOOL CToolBar::IsButtonEnabled(UINT id) const {
    return (GetButtonState(id) & TBSTATE_ENABLED) != 0;
}

void CToolBar::CheckButton(UINT id, BOOL check) {
    const BYTE state = GetButtonState(id);
    SetButtonState(id, check ? (state | TBSTATE_CHECKED) : (state & ~TBSTATE_CHECKED));
}

BOOL CToolBar::IsButtonChecked(UINT id) const {
    return (GetButtonState(id) & TBSTATE_CHECKED) != 0;
}

CImageList* CToolBar::SetImageList(CImageList* images) {
    CImageList* previous = normal_;
    normal_ = images;
    Changed();
    return previous;
}

CImageList* CToolBar::GetImageList() const { return normal_; }

CImageList* CToolBar::SetHotImageList(CImageList* images) {
    CImageList* previous = hot_;
    hot_ = images;
    if (m_hWnd) Invalidate();
    return previous;
}

CImageList* CToolBar::SetDisabledImageList(CImageList* images) {
    CImageList* previous = disabled_;
    disabled_ = images;
    if (m_hWnd) Invalidate();
    return previous;
}

SIZE CToolBar::NeededButtonSize(int index) const {
    if (!Valid(index)) return SIZE{0, 0};
    const Button& button = buttons_[static_cast<size_t>(index)];
    const SIZE text = TextExtent(button.text);
    // Every button of a bar that shows texts below the images keeps the room for a text line.
    LONG textHeight = text.cy;
    if (textHeight == 0)
        for (const Button& other : buttons_)
            if (!other.text.empty()) textHeight = std::max(textHeight, TextExtent(other.text).cy);
    const bool hasImage = button.image >= 0;
    const SIZE image = hasImage ? m_sizeImage : SIZE{0, 0};
    if (m_hWnd && (GetStyle() & TBSTYLE_LIST)) {
        const LONG gap = hasImage && text.cx > 0 ? 4 : 0;
        return SIZE{image.cx + gap + text.cx + kButtonPadX,
                    std::max(image.cy, textHeight) + kButtonPadY};
    }
    return SIZE{std::max(image.cx, text.cx) + kButtonPadX,
                image.cy + (textHeight > 0 ? textHeight + 2 : 0) + kButtonPadY};
}

int CToolBar::ButtonLength(int index, bool horz) const {
    const Button& button = buttons_[static_cast<size_t>(index)];
    if (button.style & TBSTYLE_SEP) return button.cx > 0 ? button.cx : kSeparatorWidth;
    if (!horz) return m_sizeButton.cy;
    if (button.cx > 0) return button.cx;
    if (button.style & TBSTYLE_AUTOSIZE) return NeededButtonSize(index).cx;
    return m_sizeButton.cx;
}

// Horizontal bars put the buttons in a row; vertical ones in a column as wide as the widest.
const std::vector<RECT>& CToolBar::Rects() const {
    if (rects_.size() != buttons_.size() || laidOutVert_ != static_cast<bool>(IsVertDocked()))
        LayOut();
    return rects_;
}

void CToolBar::LayOut() const {
    rects_.assign(buttons_.size(), RECT{0, 0, 0, 0});
    const bool horz = !IsVertDocked();
    laidOutVert_ = !horz;
    LONG width = m_sizeButton.cx;
    if (!horz)
        for (int i = 0; i < GetCount(); ++i)
            if (!(buttons_[static_cast<size_t>(i)].style & TBSTYLE_SEP))
                width = std::max<LONG>(width, ButtonLength(i, true));
    LONG at = kBorder;
    for (int i = 0; i < GetCount(); ++i) {
        const LONG length = ButtonLength(i, horz);
        rects_[static_cast<size_t>(i)] =
            horz ? RECT{at, kBorder, at + length, kBorder + m_sizeButton.cy}
                 : RECT{kBorder, at, kBorder + width, at + length};
        at += length;
    }
}

SIZE CToolBar::CalcFixedLayout(BOOL stretch, BOOL horz) {
    LONG length = 0, across = horz ? m_sizeButton.cy : m_sizeButton.cx;
    for (int i = 0; i < GetCount(); ++i) {
        length += ButtonLength(i, horz);
        if (!horz && !(buttons_[static_cast<size_t>(i)].style & TBSTYLE_SEP))
            across = std::max<LONG>(across, ButtonLength(i, true));
    }
    length += 2 * kBorder;
    across += 2 * kBorder;
    if (stretch) length = kStretchLength;
    return horz ? SIZE{length, across} : SIZE{across, length};
}

void CToolBar::Changed() {
    LayOut();
    if (!m_hWnd) return;
    m_sizeDefault = CalcFixedLayout(FALSE, !IsVertDocked());
    if (m_pDockSite) m_pDockSite->RecalcLayout();
    Invalidate();
}

void CToolBar::SetHot(int index) {
    if (index == hotItem_) return;
    hotItem_ = index;
    if (index >= 0) {
        TRACKMOUSEEVENT request;
        request.dwFlags = TME_LEAVE;
        request.hwndTrack = m_hWnd;
        TrackMouseEvent(&request);
    }
    Invalidate();
}

BOOL CToolBar::OnEraseBkgnd(CDC* dc) {
    RECT client;
    GetClientRect(&client);
    dc->FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));
    return TRUE;
}

void CToolBar::OnPaint() {
    CPaintDC dc(this);
    RECT client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));
    CFont* oldFont = dc.SelectObject(GetStockFont(DEFAULT_GUI_FONT));
    dc.SetBkMode(TRANSPARENT);
    const std::vector<RECT>& rects = Rects();
    for (int i = 0; i < GetCount(); ++i) DrawButton(&dc, i, rects[static_cast<size_t>(i)]);
    dc.SelectObject(oldFont);
}

void CToolBar::DrawButton(CDC* dc, int index, const RECT& rect) {
    const Button& button = buttons_[static_cast<size_t>(index)];
    const bool flat = (GetStyle() & TBSTYLE_FLAT) != 0;
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    if (button.style & TBSTYLE_SEP) {
        if (!flat) return;
        const bool horz = !IsVertDocked();
        const LONG mid = horz ? (rect.left + rect.right) / 2 - 1 : (rect.top + rect.bottom) / 2 - 1;
        if (horz) {
            dc->FillSolidRect(mid, rect.top, 1, rect.bottom - rect.top, shadow);
            dc->FillSolidRect(mid + 1, rect.top, 1, rect.bottom - rect.top, light);
        } else {
            dc->FillSolidRect(rect.left, mid, rect.right - rect.left, 1, shadow);
            dc->FillSolidRect(rect.left, mid + 1, rect.right - rect.left, 1, light);
        }
        return;
    }
    const bool enabled = (button.state & TBSTATE_ENABLED) != 0;
    const bool checked = (button.state & TBSTATE_CHECKED) != 0;
    const bool pressed =
        (button.state & TBSTATE_PRESSED) || (pressed_ == index && pressedInside_ && enabled);
    const bool hot = flat && enabled && hotItem_ == index;
    if (pressed || checked)
        dc->Draw3dRect(&rect, shadow, light);
    else if (!flat || hot)
        dc->Draw3dRect(&rect, light, shadow);

    const LONG shift = pressed ? 1 : 0;
    const bool list = (GetStyle() & TBSTYLE_LIST) != 0;
    const LONG width = rect.right - rect.left, height = rect.bottom - rect.top;
    const bool hasImage =
        HasImage(normal_, button.image) || (!enabled && HasImage(disabled_, button.image));
    const SIZE image = hasImage ? m_sizeImage : SIZE{0, 0};
    POINT at = list ? POINT{rect.left + kButtonPadX / 2, rect.top + (height - image.cy) / 2}
                    : POINT{rect.left + (width - image.cx) / 2, rect.top + kButtonPadY / 2};
    at.x += shift;
    at.y += shift;
    if (!enabled && HasImage(disabled_, button.image))
        disabled_->Draw(dc, button.image, at, ILD_TRANSPARENT);
    else if (!enabled && HasImage(normal_, button.image))
        dc->DrawImage(at.x, at.y, GreyImage(normal_->GetImage(button.image)));
    else if (hot && HasImage(hot_, button.image))
        hot_->Draw(dc, button.image, at, ILD_TRANSPARENT);
    else if (HasImage(normal_, button.image))
        normal_->Draw(dc, button.image, at, ILD_TRANSPARENT);

    if (button.text.empty()) return;
    dc->SetTextColor(GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    RECT text = rect;
    UINT format = DT_SINGLELINE | DT_VCENTER;
    if (list) {
        text.left = at.x + image.cx + (hasImage ? 4 : 0);
        text.right -= kButtonPadX / 2;
        text.top += shift;
        text.bottom += shift;
    } else {
        text.top = at.y + image.cy + (hasImage ? 2 : 0);
        text.bottom -= kButtonPadY / 2 - shift;
        text.left += shift;
        text.right += shift;
        format |= DT_CENTER;
    }
    dc->DrawText(button.text, &text, format);
}

void CToolBar::OnLButtonDown(UINT, POINT point) {
    const int index = HitTest(point);
    if (index < 0 || !(buttons_[static_cast<size_t>(index)].state & TBSTATE_ENABLED)) return;
    pressed_ = index;
    pressedInside_ = true;
    SetCapture();
    Invalidate();
}

void CToolBar::OnMouseMove(UINT, POINT point) {
    const int index = HitTest(point);
    if (pressed_ >= 0) {
        const bool inside = index == pressed_;
        if (inside != pressedInside_) {
            pressedInside_ = inside;
            Invalidate();
        }
    }
    const bool enabled =
        index >= 0 && (buttons_[static_cast<size_t>(index)].state & TBSTATE_ENABLED);
    if (GetStyle() & TBSTYLE_FLAT) SetHot(enabled ? index : -1);
}

void CToolBar::OnLButtonUp(UINT, POINT point) {
    if (pressed_ < 0) return;
    const int index = pressed_;
    pressed_ = -1;
    ReleaseCapture();
    Invalidate();
    if (HitTest(point) != index || !Valid(index)) return;
    Button& button = buttons_[static_cast<size_t>(index)];
    if (!(button.state & TBSTATE_ENABLED)) return;
    if (button.style & TBSTYLE_CHECK) button.state ^= TBSTATE_CHECKED;
    // The parent may destroy the bar while it handles the command: nothing of it is used after.
    const HWND self = m_hWnd;
    const HWND parent = ::GetParent(self);
    ::SendMessage(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(button.id), BN_CLICKED),
                  static_cast<LPARAM>(self));
}

void CToolBar::OnCaptureChanged(CWnd* wnd) {
    if (pressed_ >= 0 && wnd != this) {
        pressed_ = -1;
        Invalidate();
    }
    CControlBar::OnCaptureChanged(wnd);
}
