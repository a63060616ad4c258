// Face-name substitution and the Win32 height rules for fonts.
#include "platform/ui/FontMapping.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/ui/WindowLayer.h"

namespace platform::ui {
namespace {

// Installed CJK fonts, best first; every proportional face of the program falls back onto
// them so that Chinese and Latin text share one set of metrics.
const char* const kCjkSans[] = {"WenQuanYi Micro Hei", "Noto Sans CJK SC",    "Source Han Sans SC",
                                "WenQuanYi Zen Hei",   "Droid Sans Fallback", "AR PL UMing CN",
                                "DejaVu Sans"};
const char* const kCjkMono[] = {"WenQuanYi Micro Hei Mono", "Noto Sans Mono CJK SC",
                                "WenQuanYi Zen Hei Mono", "DejaVu Sans Mono"};

// Faces that are fixed-pitch on the systems the profiles come from.
bool IsFixedFace(const std::string& face) {
    static const char* const kFixed[] = {"新宋体",   "NSimSun",  "Courier New",    "Courier",
                                         "Fixedsys", "Terminal", "Lucida Console", "Consolas"};
    for (const char* f : kFixed)
        if (face == f) return true;
    return false;
}

bool Installed(const QString& family) {
    static std::mutex mutex;
    static std::map<QString, bool> known;
    std::lock_guard lock(mutex);
    auto it = known.find(family);
    if (it != known.end()) return it->second;
    const bool present = QFontDatabase::families().contains(family, Qt::CaseInsensitive);
    known.emplace(family, present);
    return present;
}

}  // namespace

std::string MapFaceName(const std::string& faceName, bool fixedPitch) {
    // Substitution is decided by the table, never by what the face name happens to match on
    // this machine, so that "Arial" draws with the same CJK font as "宋体" everywhere.
    const bool fixed = fixedPitch || IsFixedFace(faceName);
    static const char* const kKnownWindowsFaces[] = {
        "宋体",          "新宋体",          "黑体",           "楷体",     "仿宋",
        "微软雅黑",      "SimSun",          "NSimSun",        "SimHei",   "Microsoft YaHei",
        "MS Sans Serif", "MS Shell Dlg",    "MS Shell Dlg 2", "Arial",    "Tahoma",
        "Verdana",       "Times New Roman", "Courier New",    "Courier",  "System",
        "Fixedsys",      "Terminal",        "Lucida Console", "Consolas", "Segoe UI"};
    bool known = faceName.empty();
    for (const char* f : kKnownWindowsFaces)
        if (faceName == f) known = true;
    if (!known && Installed(QString::fromStdString(faceName))) return faceName;
    if (fixed)
        for (const char* f : kCjkMono)
            if (Installed(QString::fromUtf8(f))) return f;
    for (const char* f : kCjkSans)
        if (Installed(QString::fromUtf8(f))) return f;
    return faceName;
}

int PixelSizeForCellHeight(const QFont& font, int cellHeight) {
    QFont probe(font);
    probe.setPixelSize(100);
    QFontMetricsF metrics(probe);
    const double cellPer100 = metrics.ascent() + metrics.descent();
    if (cellPer100 <= 0) return std::max(1, cellHeight);
    // The largest em size whose cell does not pass the requested height.
    int size = std::max(1, static_cast<int>(std::lround(cellHeight * 100.0 / cellPer100)));
    while (size > 1) {
        probe.setPixelSize(size);
        QFontMetrics m(probe);
        if (m.ascent() + m.descent() <= cellHeight) break;
        --size;
    }
    return size;
}

QFont FontFromLogFont(const LOGFONT& logFont) {
    char face[LF_FACESIZE + 1] = {};
    std::memcpy(face, logFont.lfFaceName, LF_FACESIZE);
    const bool fixed = (logFont.lfPitchAndFamily & 0x3) == 1 /* FIXED_PITCH */;
    QFont font(QString::fromStdString(MapFaceName(face, fixed)));
    font.setStyleStrategy(QFont::PreferDefault);
    font.setHintingPreference(QFont::PreferFullHinting);
    if (logFont.lfHeight < 0)
        font.setPixelSize(std::max(1, -logFont.lfHeight));
    else if (logFont.lfHeight > 0)
        font.setPixelSize(PixelSizeForCellHeight(font, logFont.lfHeight));
    else
        font.setPixelSize(12);
    const int weight = logFont.lfWeight <= 0 ? 400 : std::clamp<int>(logFont.lfWeight, 1, 1000);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setItalic(logFont.lfItalic != 0);
    font.setUnderline(logFont.lfUnderline != 0);
    font.setStrikeOut(logFont.lfStrikeOut != 0);
    font.setKerning(false);
    return font;
}

void SetLogFontFace(LOGFONT* logFont, const std::string& faceName) {
    std::memset(logFont->lfFaceName, 0, LF_FACESIZE);
    CopyTextToBuffer(faceName, logFont->lfFaceName, LF_FACESIZE);
}

}  // namespace platform::ui
