// Byte layouts and texts of the stored drawing and window values.
#include "platform/ui/ProfileCodecs.h"

#include <cstring>

#include "platform/core/Encoding.h"
#include "platform/core/Numbers.h"
#include "platform/core/ProfileFile.h"
#include "platform/ui/WindowLayer.h"

namespace platform::ui {
namespace {

void PutInt(uint8_t* at, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

int32_t GetInt(const uint8_t* at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(at[i]) << (8 * i);
    return static_cast<int32_t>(v);
}

template <std::size_t N>
std::string EncodeRecord(const std::array<uint8_t, N>& record) {
    return EncodeProfileStruct(record.data(), record.size());
}

// Fills *out only from a well-formed record of exactly N bytes.
template <std::size_t N, typename T, typename Unpack>
bool DecodeRecord(std::string_view text, T* out, Unpack unpack) {
    std::array<uint8_t, N> record{};
    if (!out || !DecodeProfileStruct(text, record.data(), record.size())) return false;
    *out = unpack(record);
    return true;
}

}  // namespace

std::array<uint8_t, kLogFontRecordSize> PackLogFont(const LOGFONT& font) {
    std::array<uint8_t, kLogFontRecordSize> record{};
    PutInt(&record[0], font.lfHeight);
    PutInt(&record[4], font.lfWidth);
    PutInt(&record[8], font.lfEscapement);
    PutInt(&record[12], font.lfOrientation);
    PutInt(&record[16], font.lfWeight);
    record[20] = font.lfItalic;
    record[21] = font.lfUnderline;
    record[22] = font.lfStrikeOut;
    record[23] = font.lfCharSet;
    record[24] = font.lfOutPrecision;
    record[25] = font.lfClipPrecision;
    record[26] = font.lfQuality;
    record[27] = font.lfPitchAndFamily;
    const std::string_view face(font.lfFaceName, strnlen(font.lfFaceName, LF_FACESIZE));
    const std::string gbk = Utf8ToGbk(face.substr(0, CutToGbkBudget(face, LF_FACESIZE - 1)));
    std::memcpy(&record[28], gbk.data(), std::min<std::size_t>(gbk.size(), LF_FACESIZE - 1));
    return record;
}

LOGFONT UnpackLogFont(const std::array<uint8_t, kLogFontRecordSize>& record) {
    LOGFONT font;
    font.lfHeight = GetInt(&record[0]);
    font.lfWidth = GetInt(&record[4]);
    font.lfEscapement = GetInt(&record[8]);
    font.lfOrientation = GetInt(&record[12]);
    font.lfWeight = GetInt(&record[16]);
    font.lfItalic = record[20];
    font.lfUnderline = record[21];
    font.lfStrikeOut = record[22];
    font.lfCharSet = record[23];
    font.lfOutPrecision = record[24];
    font.lfClipPrecision = record[25];
    font.lfQuality = record[26];
    font.lfPitchAndFamily = record[27];
    // A name that fills all 32 bytes has no terminator: it ends with the record.
    const auto* face = reinterpret_cast<const char*>(&record[28]);
    const std::string utf8 = GbkToUtf8(std::string_view(face, strnlen(face, LF_FACESIZE)));
    CopyTextToBuffer(utf8, font.lfFaceName, LF_FACESIZE);
    return font;
}

std::string EncodeLogFont(const LOGFONT& font) { return EncodeRecord(PackLogFont(font)); }

bool DecodeLogFont(std::string_view text, LOGFONT* font) {
    return DecodeRecord<kLogFontRecordSize>(text, font, UnpackLogFont);
}

std::array<uint8_t, kWindowPlacementRecordSize> PackWindowPlacement(
    const WINDOWPLACEMENT& placement) {
    std::array<uint8_t, kWindowPlacementRecordSize> record{};
    const int32_t fields[11] = {static_cast<int32_t>(placement.length),
                                static_cast<int32_t>(placement.flags),
                                static_cast<int32_t>(placement.showCmd),
                                placement.ptMinPosition.x,
                                placement.ptMinPosition.y,
                                placement.ptMaxPosition.x,
                                placement.ptMaxPosition.y,
                                placement.rcNormalPosition.left,
                                placement.rcNormalPosition.top,
                                placement.rcNormalPosition.right,
                                placement.rcNormalPosition.bottom};
    for (int i = 0; i < 11; ++i) PutInt(&record[static_cast<size_t>(i) * 4], fields[i]);
    return record;
}

WINDOWPLACEMENT UnpackWindowPlacement(
    const std::array<uint8_t, kWindowPlacementRecordSize>& record) {
    int32_t f[11];
    for (int i = 0; i < 11; ++i) f[i] = GetInt(&record[static_cast<size_t>(i) * 4]);
    WINDOWPLACEMENT placement;
    placement.length = static_cast<UINT>(f[0]);
    placement.flags = static_cast<UINT>(f[1]);
    placement.showCmd = static_cast<UINT>(f[2]);
    placement.ptMinPosition = POINT{f[3], f[4]};
    placement.ptMaxPosition = POINT{f[5], f[6]};
    placement.rcNormalPosition = RECT{f[7], f[8], f[9], f[10]};
    return placement;
}

std::string EncodeWindowPlacement(const WINDOWPLACEMENT& placement) {
    return EncodeRecord(PackWindowPlacement(placement));
}

bool DecodeWindowPlacement(std::string_view text, WINDOWPLACEMENT* placement) {
    return DecodeRecord<kWindowPlacementRecordSize>(text, placement, UnpackWindowPlacement);
}

std::string EncodeColor(COLORREF color) { return FormatInt(static_cast<int32_t>(color)); }

COLORREF DecodeColor(std::string_view text, COLORREF defaultColor) {
    if (text.empty()) return defaultColor;
    return static_cast<COLORREF>(AtolSat(text));
}

int32_t MakeHotKeyValue(BYTE virtualKey, BYTE modifiers) {
    return static_cast<int32_t>(modifiers) * 256 + virtualKey;
}

void SplitHotKeyValue(int32_t value, BYTE* virtualKey, BYTE* modifiers) {
    const auto v = static_cast<uint32_t>(value);
    if (virtualKey) *virtualKey = static_cast<BYTE>(v & 0xFF);
    if (modifiers) *modifiers = static_cast<BYTE>((v >> 8) & 0xFF);
}

}  // namespace platform::ui
