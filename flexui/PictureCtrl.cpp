// CPictureCtrl: loading (pictures and GIF frames), the frame timer and double-buffered painting.
#include "flexui/PictureCtrl.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>

#include "flexui/GifDecoder.h"
#include "platform/ui/Dc.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WinDefsControls.h"

namespace {
constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT kTickMs = 50;
constexpr int kShortDelay = 4;  // hundredths; this or less shows for kShortDelayMs
constexpr int kShortDelayMs = 100;

QImage DecodePicture(const uint8_t* data, size_t length) {
    QImage image;
    image.loadFromData(data, static_cast<int>(std::min<size_t>(length, INT32_MAX)));
    return image;
}
}  // namespace

CPictureCtrl::~CPictureCtrl() = default;

BOOL CPictureCtrl::Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    if (!CWnd::Create("Static", text, style, rect, parent, id)) return FALSE;
    // A picture loaded before the window existed starts playing now.
    if (frames_.size() > 1) SetTimer(kFrameTimer, kTickMs);
    return TRUE;
}

const CPictureCtrl::Frame* CPictureCtrl::GetFrame(int index) const {
    return index >= 0 && index < GetFrameCount() ? &frames_[static_cast<size_t>(index)] : nullptr;
}

int CPictureCtrl::FrameTime(const Frame& frame) {
    return frame.delay <= kShortDelay ? kShortDelayMs : frame.delay * 10;
}

void CPictureCtrl::Unload() {
    if (m_hWnd) KillTimer(kFrameTimer);
    frames_.clear();
    flags_ = 0;
    current_ = 0;
    remainingMs_ = 0;
    gifBkColor_ = 0;
}

BOOL CPictureCtrl::LoadPicture(const void* data, size_t length) {
    Unload();
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (!bytes || length == 0) return FALSE;
    if (!IsGifData(bytes, length)) {
        QImage picture = DecodePicture(bytes, length);
        if (picture.isNull()) return FALSE;
        Frame frame;
        frame.size = SIZE{picture.width(), picture.height()};
        frame.picture = std::move(picture);
        frames_.push_back(std::move(frame));
    } else {
        GifFile gif = ReadGif(bytes, length);
        if (gif.frames.empty()) return FALSE;
        flags_ |= PICTURE_GIF;
        gifBkColor_ = gif.background;
        for (const GifFrame& part : gif.frames) {
            Frame frame;
            frame.delay = part.delay;
            frame.disposal = part.disposal;
            frame.size = SIZE{part.width, part.height};
            frame.offset = POINT{part.left, part.top};
            // One frame: the whole GIF is the picture; more: each frame on its own.
            frame.picture = gif.frames.size() == 1
                                ? DecodePicture(bytes, length)
                                : DecodePicture(part.gif.data(), part.gif.size());
            frames_.push_back(std::move(frame));
        }
        if (frames_.size() > 1) flags_ |= PICTURE_ANIMATED;
    }
    if (frames_.size() > 1) {
        remainingMs_ = FrameTime(frames_.front());
        if (m_hWnd) SetTimer(kFrameTimer, kTickMs);
    }
    if (m_hWnd) Invalidate(FALSE);
    return TRUE;
}

BOOL CPictureCtrl::LoadPicture(UINT resourceId, const char* module, const char* type) {
    const QString folder = QStringLiteral(":/") + (module && *module ? module : "pavlet");
    const QString kind = QString::fromUtf8(type && *type ? type : "bitmap").toLower();
    const QStringList names =
        QDir(folder).entryList({QStringLiteral("%1_%2.*").arg(kind).arg(resourceId)}, QDir::Files);
    if (names.isEmpty()) {
        Unload();
        return FALSE;
    }
    QFile file(folder + "/" + names.front());
    if (!file.open(QIODevice::ReadOnly)) {
        Unload();
        return FALSE;
    }
    const QByteArray bytes = file.readAll();
    return LoadPicture(bytes.constData(), static_cast<size_t>(bytes.size()));
}

BOOL CPictureCtrl::LoadPicture(const std::string& fileName) {
    std::vector<char> bytes;
    {
        std::ifstream in(fileName, std::ios::binary);
        if (!in) {
            Unload();
            return FALSE;
        }
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return LoadPicture(bytes.data(), bytes.size());
}

void CPictureCtrl::SetBkColor(COLORREF color) {
    bkColor_ = color;
    DropContexts();
    if (m_hWnd) Invalidate(FALSE);
}

void CPictureCtrl::SetBorderColor(COLORREF color) {
    borderColor_ = color;
    DropContexts();
    if (m_hWnd) Invalidate(FALSE);
}

void CPictureCtrl::DropContexts() {
    background_.DeleteObject();
    display_.DeleteObject();
}

BOOL CPictureCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_CTLCOLORSTATIC) {
        if (result) *result = 0;  // no brush: the control paints everything itself
        return TRUE;
    }
    return CWnd::OnChildNotify(message, wParam, lParam, result);
}

void CPictureCtrl::MakeBackground(int width, int height) {
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    background_.CreateCompatibleBitmap(&dc, width, height);
    CBitmap* old = dc.SelectObject(&background_);
    const RECT all{0, 0, width, height};
    QWidget* widget = GetWidget();
    QWidget* parent = widget ? widget->parentWidget() : nullptr;
    if (bkColor_ != CLR_INVALID || !parent) {
        dc.FillSolidRect(&all, bkColor_ != CLR_INVALID ? bkColor_ : GetSysColor(COLOR_BTNFACE));
    } else {
        // What the parent itself paints under the control, without its other children.
        QImage under(width, height, QImage::Format_RGB32);
        under.fill(platform::ui::ToQColor(GetSysColor(COLOR_BTNFACE)));
        parent->render(&under, QPoint(), QRegion(widget->geometry()),
                       QWidget::DrawWindowBackground);
        dc.DrawImage(0, 0, under);
    }
    if (borderColor_ != CLR_INVALID) {
        const RECT line{0, height - 1, width, height};
        dc.FillSolidRect(&line, borderColor_);
    }
    dc.SelectObject(old);
}

void CPictureCtrl::OnPaint() {
    CPaintDC paint(this);
    RECT client;
    GetClientRect(&client);
    const int width = client.right, height = client.bottom;
    if (width <= 0 || height <= 0) return;
    if (!background_.IsCreated()) MakeBackground(width, height);
    if (!display_.IsCreated()) {
        CDC reference;
        reference.CreateCompatibleDC(nullptr);
        display_.CreateCompatibleBitmap(&reference, width, height);
    }
    CDC back, dc;
    back.CreateCompatibleDC(nullptr);
    dc.CreateCompatibleDC(nullptr);
    CBitmap* oldBack = back.SelectObject(&background_);
    CBitmap* oldDisplay = dc.SelectObject(&display_);
    dc.BitBlt(0, 0, width, height, &back, 0, 0, SRCCOPY);
    if (const Frame* frame = GetFrame(current_); frame && !frame->picture.isNull()) {
        if (auto painter = dc.BeginPainter(false, false)) {
            const QImage& picture = frame->picture;
            if (GetStyle() & SS_CENTERIMAGE) {
                // Natural size: the pictures are at the screen's 96 dpi already.
                painter->drawImage(
                    QPoint((width - picture.width()) / 2, (height - picture.height()) / 2),
                    picture);
            } else {
                painter->drawImage(QRect(0, 0, width, height), picture);
            }
        }
    }
    paint.BitBlt(0, 0, width, height, &dc, 0, 0, SRCCOPY);
    back.SelectObject(oldBack);
    dc.SelectObject(oldDisplay);
}

BOOL CPictureCtrl::OnEraseBkgnd(CDC*) { return TRUE; }

void CPictureCtrl::OnSize(UINT type, int cx, int cy) {
    CWnd::OnSize(type, cx, cy);
    DropContexts();
}

void CPictureCtrl::OnTimer(UINT_PTR id) {
    if (id != kFrameTimer || frames_.size() < 2) {
        CWnd::OnTimer(id);
        return;
    }
    remainingMs_ -= static_cast<int>(kTickMs);
    if (remainingMs_ > 0) return;
    current_ = (current_ + 1) % GetFrameCount();
    remainingMs_ = FrameTime(frames_[static_cast<size_t>(current_)]);
    Invalidate(FALSE);
}

void CPictureCtrl::OnDestroy() {
    KillTimer(kFrameTimer);
    CWnd::OnDestroy();
}
