// CSecurityCode: random codes, their noisy tilted drawing into a memory bitmap, and the check of
// what the user typed back.
#include "flexui/SecurityCode.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "flexui/SecureRandom.h"
#include "platform/core/Encoding.h"

namespace {

int Rand() { return static_cast<int>(SecureRandomBelow(0x8000)); }

// Each channel c becomes (c + rand() mod max(c, 16)) mod 255.
COLORREF RandomColorNear(COLORREF base) {
    auto channel = [](int c) { return static_cast<BYTE>((c + Rand() % std::max(c, 16)) % 255); };
    return RGB(channel(GetRValue(base)), channel(GetGValue(base)), channel(GetBValue(base)));
}

constexpr COLORREF kNoiseBase = RGB(127, 127, 255);

}  // namespace

CSecurityCode::CSecurityCode() = default;

CSecurityCode::~CSecurityCode() = default;

std::string CSecurityCode::GetRandString(int length, int classes) {
    if (length < 1) length = 5;
    if ((classes & 7) == 0) classes = SECURITY_UPPER | SECURITY_LOWER;
    std::string alphabet;
    if (classes & SECURITY_DIGITS) alphabet += "0123456789";
    if (classes & SECURITY_UPPER) alphabet += "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    if (classes & SECURITY_LOWER) alphabet += "abcdefghijklmnopqrstuvwxyz";
    std::string code;
    for (int i = 0; i < length; ++i)
        code += alphabet[SecureRandomBelow(static_cast<uint32_t>(alphabet.size()))];
    return code;
}

void CSecurityCode::SetSecurityText(const char* code, CBitmap* background) {
    code_ = code ? code : GetRandString(5, SECURITY_UPPER | SECURITY_LOWER);
    Draw(background);
}

void CSecurityCode::SetSecurityText(int length, int classes, CBitmap* background) {
    if (length < 1 || length > 31) length = 5;
    code_ = GetRandString(length, classes);
    Draw(background);
}

BOOL CSecurityCode::CheckSecurityText(const std::string& text, BOOL caseSensitive) const {
    if (caseSensitive) return text == code_ ? TRUE : FALSE;
    return platform::EqualsNoCaseAscii(text, code_) ? TRUE : FALSE;
}

void CSecurityCode::Draw(CBitmap* background) {
    RECT client{0, 0, 0, 0};
    if (m_hWnd) GetClientRect(&client);
    const int width = std::max<int>(1, client.right - client.left);
    const int height = std::max<int>(1, client.bottom - client.top);

    display_ = std::make_unique<CBitmap>();
    display_->CreateCompatibleBitmap(nullptr, width, height);
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CBitmap* old = dc.SelectObject(display_.get());
    RECT all{0, 0, width, height};
    if (background && background->IsCreated()) {
        CBrush pattern;
        pattern.CreatePatternBrush(background);
        dc.FillRect(&all, &pattern);
    } else {
        dc.FillSolidRect(&all, RGB(0, 32, 64));
    }

    // Three noise curves through four random points each.
    for (int i = 0; i < 3; ++i) {
        POINT points[4];
        for (int j = 0; j < 4; ++j) points[j] = POINT{(i + Rand()) % width, (j + Rand()) % height};
        CPen pen(PS_SOLID, 2, RandomColorNear(kNoiseBase));
        CPen* oldPen = dc.SelectObject(&pen);
        dc.PolyBezier(points, 4);
        dc.SelectObject(oldPen);
    }

    // The characters, tilted by 20, 10, 0, -10 or -20 degrees, on their own black picture that
    // is ORed onto the display.
    CFont font;
    font.CreateFont(-30, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
    const QFont& qfont = font.Font();
    QFontMetrics metrics(qfont);
    struct Glyph {
        QString text;
        int angle;  // tenths of a degree, counter-clockwise
        COLORREF color;
        int charWidth;
        int charHeight;
    };
    std::vector<Glyph> glyphs;
    int textWidth = 0;
    int textHeight = 0;
    for (QChar c : QString::fromStdString(code_)) {
        Glyph g{QString(c), 200 - 100 * (Rand() % 5), RandomColorNear(kNoiseBase),
                metrics.horizontalAdvance(c), metrics.height()};
        int extra = static_cast<int>(std::sin(std::abs(g.angle) * 3.14159 / 1800) * g.charHeight);
        textWidth += g.charWidth + extra;
        textHeight = std::max(textHeight, g.charHeight);
        glyphs.push_back(g);
    }
    if (!glyphs.empty()) {
        QImage chars(std::max(1, textWidth), std::max(1, textHeight), QImage::Format_RGB32);
        chars.fill(Qt::black);
        {
            QPainter painter(&chars);
            painter.setFont(qfont);
            int x = 0;
            for (const Glyph& g : glyphs) {
                int extra =
                    static_cast<int>(std::sin(std::abs(g.angle) * 3.14159 / 1800) * g.charHeight);
                if (g.angle < 0) x += extra;
                painter.save();
                painter.translate(x, metrics.ascent());
                painter.rotate(-g.angle / 10.0);
                painter.setPen(QColor(GetRValue(g.color), GetGValue(g.color), GetBValue(g.color)));
                painter.drawText(0, 0, g.text);
                painter.restore();
                x += g.charWidth;
                if (g.angle > 0) x += extra;
            }
        }
        CBitmap charBitmap;
        charBitmap.CreateFromImage(chars);
        CDC charDc;
        charDc.CreateCompatibleDC(nullptr);
        CBitmap* oldChars = charDc.SelectObject(&charBitmap);
        dc.BitBlt((width - chars.width()) / 2, (height - chars.height()) / 2, chars.width(),
                  chars.height(), &charDc, 0, 0, SRCPAINT);
        charDc.SelectObject(oldChars);
    }
    dc.SelectObject(old);
    if (m_hWnd) Invalidate(FALSE);
}

void CSecurityCode::OnPaint() {
    CPaintDC dc(this);
    if (!display_) return;
    CDC memory;
    memory.CreateCompatibleDC(&dc);
    CBitmap* old = memory.SelectObject(display_.get());
    BITMAP info{};
    display_->GetBitmap(&info);
    dc.BitBlt(0, 0, info.bmWidth, info.bmHeight, &memory, 0, 0, SRCCOPY);
    memory.SelectObject(old);
}

BOOL CSecurityCode::OnEraseBkgnd(CDC*) { return TRUE; }

void CSecurityCode::OnDestroy() {
    display_.reset();
    CWnd::OnDestroy();
}
