// Stored forms: LOGFONT and WINDOWPLACEMENT records, colours and hot keys.
#include "platform/ui/ProfileCodecs.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/core/ProfileFile.h"
#include "platform/ui/FontMapping.h"
#include "platform/ui/GdiObjects.h"

namespace {

using namespace platform::ui;

LOGFONT SampleFont() {
    LOGFONT lf;
    lf.lfHeight = -12;
    lf.lfWidth = 6;
    lf.lfEscapement = 900;
    lf.lfOrientation = -900;
    lf.lfWeight = FW_BOLD;
    lf.lfItalic = 1;
    lf.lfUnderline = 0;
    lf.lfStrikeOut = 1;
    lf.lfCharSet = GB2312_CHARSET;
    lf.lfOutPrecision = 3;
    lf.lfClipPrecision = 2;
    lf.lfQuality = 1;
    lf.lfPitchAndFamily = 0x22;
    SetLogFontFace(&lf, "宋体");
    return lf;
}

TEST(ProfileCodecsTest, LogFontRecordHasTheFixedLittleEndianLayoutWithAGbkFace) {
    const auto record = PackLogFont(SampleFont());
    const uint8_t head[] = {0xF4, 0xFF, 0xFF, 0xFF, 6,    0,    0,    0,    0x84, 3,    0,
                            0,    0x7C, 0xFC, 0xFF, 0xFF, 0xBC, 0x02, 0,    0,    1,    0,
                            1,    134,  3,    2,    1,    0x22, 0xCB, 0xCE, 0xCC, 0xE5, 0};
    ASSERT_EQ(record.size(), 60u);
    EXPECT_EQ(std::memcmp(record.data(), head, sizeof head), 0);
    for (size_t i = sizeof head; i < record.size(); ++i) EXPECT_EQ(record[i], 0) << i;
}

TEST(ProfileCodecsTest, LogFontRoundTripsThroughTheProfileText) {
    const LOGFONT font = SampleFont();
    const std::string text = EncodeLogFont(font);
    EXPECT_EQ(text.size(), 2u * 61u) << "60 bytes and the checksum, in hexadecimal";
    LOGFONT back;
    ASSERT_TRUE(DecodeLogFont(text, &back));
    EXPECT_EQ(std::memcmp(&back, &font, sizeof font), 0);

    // What a profile holds decodes the same way.
    uint8_t raw[60];
    ASSERT_TRUE(platform::DecodeProfileStruct(text, raw, sizeof raw));
    EXPECT_EQ(raw[28], 0xCB);

    LOGFONT untouched = SampleFont();
    EXPECT_FALSE(DecodeLogFont("", &untouched));
    EXPECT_FALSE(DecodeLogFont(text.substr(0, text.size() - 2) + "00", &untouched));
    EXPECT_FALSE(DecodeLogFont(text.substr(2), &untouched)) << "59 bytes";
    EXPECT_EQ(std::memcmp(&untouched, &font, sizeof font), 0);
}

TEST(ProfileCodecsTest, LongAndUnterminatedFaceNamesStayWithinTheirFields) {
    LOGFONT lf;
    SetLogFontFace(&lf, "一二三四五六七八九十");  // 30 bytes of UTF-8, 20 of GBK
    auto record = PackLogFont(lf);
    EXPECT_EQ(record[28 + 20], 0);
    // A stored record whose name fills all 32 bytes (16 GBK characters, no terminator).
    for (int i = 0; i < 32; i += 2) {
        record[28 + static_cast<size_t>(i)] = 0xD2;
        record[29 + static_cast<size_t>(i)] = 0xBB;  // 一
    }
    LOGFONT back = UnpackLogFont(record);
    const std::string face(back.lfFaceName);
    EXPECT_EQ(face.size(), 30u) << "ten whole characters fit in the UTF-8 field";
    EXPECT_EQ(face.substr(0, 3), "一");
}

TEST(ProfileCodecsTest, WindowPlacementRoundTripsAsElevenIntegers) {
    WINDOWPLACEMENT placement;
    placement.flags = 2;
    placement.showCmd = 3;
    placement.ptMinPosition = POINT{-1, -1};
    placement.ptMaxPosition = POINT{-8, -8};
    placement.rcNormalPosition = RECT{100, 50, 1124, 818};
    const auto record = PackWindowPlacement(placement);
    EXPECT_EQ(record[0], 44);
    EXPECT_EQ(record[8], 3);
    EXPECT_EQ(record[12], 0xFF);
    EXPECT_EQ(record[28], 100);
    WINDOWPLACEMENT back;
    ASSERT_TRUE(DecodeWindowPlacement(EncodeWindowPlacement(placement), &back));
    EXPECT_EQ(back.length, 44u);
    EXPECT_EQ(back.showCmd, 3u);
    EXPECT_EQ(back.ptMaxPosition, (POINT{-8, -8}));
    EXPECT_EQ(back.rcNormalPosition, (RECT{100, 50, 1124, 818}));
    EXPECT_FALSE(DecodeWindowPlacement(EncodeLogFont(SampleFont()), &back)) << "wrong size";
}

TEST(ProfileCodecsTest, ColoursAreSignedDecimalText) {
    struct Case {
        COLORREF color;
        const char* text;
    };
    const Case cases[] = {
        {0xFFFFFFFF, "-1"}, {RGB(255, 0, 0), "255"}, {RGB(0x40, 0x80, 0xFF), "16744512"}, {0, "0"}};
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeColor(c.color), c.text);
        EXPECT_EQ(DecodeColor(c.text), c.color) << c.text;
    }
    EXPECT_EQ(DecodeColor("", RGB(1, 2, 3)), RGB(1, 2, 3));
    EXPECT_EQ(DecodeColor("99999999999"), 0x7FFFFFFFu) << "saturates";
    EXPECT_EQ(DecodeColor("abc", 5), 0u);
}

TEST(ProfileCodecsTest, HotKeysAreModifiersTimes256PlusTheKey) {
    EXPECT_EQ(MakeHotKeyValue(VK_F5, HOTKEYF_CONTROL | HOTKEYF_SHIFT), 3 * 256 + 0x74);
    EXPECT_EQ(MakeHotKeyValue('A', 0), 65);
    BYTE vk = 0, modifiers = 0;
    SplitHotKeyValue(4 * 256 + 'Q', &vk, &modifiers);
    EXPECT_EQ(vk, 'Q');
    EXPECT_EQ(modifiers, HOTKEYF_ALT);
    SplitHotKeyValue(-1, &vk, &modifiers);
    EXPECT_EQ(vk, 0xFF);
    EXPECT_EQ(modifiers, 0xFF);
}

}  // namespace
