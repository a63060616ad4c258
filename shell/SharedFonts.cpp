// The shared fonts: created from their descriptions, kept in one static table.
#include "shell/SharedFonts.h"

#include <array>
#include <cstring>

#include "platform/ui/GdiObjects.h"

namespace shell {
namespace {

struct Description {
    LONG height;
    LONG weight;
    BYTE charSet;
    const char* face;
};

constexpr BYTE kGb2312 = 134;
constexpr BYTE kDefaultCharset = 1;

constexpr std::array<Description, 5> kDescriptions{{
    {-18, 500, kGb2312, "黑体"},
    {-12, 0, kGb2312, "宋体"},
    {-16, 500, kGb2312, "黑体"},
    {-16, 700, kDefaultCharset, "Arial"},
    {-14, 700, kDefaultCharset, "Arial"},
}};

std::array<CFont, 5>& Fonts() {
    static std::array<CFont, 5> fonts;
    return fonts;
}

}  // namespace

LOGFONT SharedFontDescription(SharedFont which) {
    const Description& d = kDescriptions[static_cast<size_t>(which)];
    LOGFONT font{};
    font.lfHeight = d.height;
    font.lfWeight = d.weight;
    font.lfCharSet = d.charSet;
    std::strncpy(font.lfFaceName, d.face, sizeof(font.lfFaceName) - 1);
    return font;
}

void CreateSharedFonts() {
    for (size_t i = 0; i < kDescriptions.size(); ++i) {
        CFont& font = Fonts()[i];
        if (font.IsCreated()) continue;
        const LOGFONT description = SharedFontDescription(static_cast<SharedFont>(i));
        font.CreateFontIndirect(&description);
    }
}

CFont* GetSharedFont(SharedFont which) {
    CFont& font = Fonts()[static_cast<size_t>(which)];
    return font.IsCreated() ? &font : nullptr;
}

void ReleaseExitFonts() {
    Fonts()[static_cast<size_t>(SharedFont::kTitle)].DeleteObject();
    Fonts()[static_cast<size_t>(SharedFont::kListText)].DeleteObject();
}

}  // namespace shell
