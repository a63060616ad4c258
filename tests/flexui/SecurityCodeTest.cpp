// The security code: lengths and alphabets of random codes, the case rule of the check, and a
// drawing that covers the control.
#include "flexui/SecurityCode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;

struct CodeCase {
    int length;
    int classes;
    size_t expectedLength;
    const char* alphabet;
};

TEST(SecurityCode, RandomCodesHaveTheirLengthAndAlphabet) {
    const std::string digits = "0123456789";
    const std::string upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const std::string lower = "abcdefghijklmnopqrstuvwxyz";
    const CodeCase cases[] = {
        {0, 1, 5, "d"},     {-3, 2, 5, "u"},    {8, 4, 8, "l"},  {12, 0, 12, "ul"},
        {40, 7, 40, "dul"}, {6, 8 | 1, 6, "d"}, {3, 5, 3, "dl"},
    };
    for (const CodeCase& c : cases) {
        std::string allowed;
        for (char k : std::string(c.alphabet))
            allowed += k == 'd' ? digits : k == 'u' ? upper : lower;
        // Enough codes that every allowed class shows up.
        std::string seen;
        for (int i = 0; i < 50; ++i) {
            std::string code = CSecurityCode::GetRandString(c.length, c.classes);
            ASSERT_EQ(code.size(), c.expectedLength);
            seen += code;
        }
        for (char ch : seen) EXPECT_NE(allowed.find(ch), std::string::npos) << ch;
        for (char k : std::string(c.alphabet)) {
            const std::string& set = k == 'd' ? digits : k == 'u' ? upper : lower;
            EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [&](char ch) {
                return set.find(ch) != std::string::npos;
            })) << c.alphabet;
        }
    }
}

class SecurityCodeTest : public kelmon::test::ui::UiTest {};

TEST_F(SecurityCodeTest, LengthsOutsideTheRangeDrawFiveAndTheCheckHonoursCase) {
    CSecurityCode code;
    ASSERT_TRUE(code.Create(nullptr, "", WS_POPUP | WS_VISIBLE, RECT{10, 10, 130, 50}, nullptr, 0));
    for (int length : {0, 32, -1}) {
        code.SetSecurityText(length, 0);
        EXPECT_EQ(code.GetSecurityText().size(), 5u) << length;
    }
    code.SetSecurityText(31, SECURITY_DIGITS);
    EXPECT_EQ(code.GetSecurityText().size(), 31u);

    code.SetSecurityText("aBc9");
    EXPECT_TRUE(code.CheckSecurityText("aBc9", TRUE));
    EXPECT_FALSE(code.CheckSecurityText("ABC9", TRUE));
    EXPECT_TRUE(code.CheckSecurityText("ABC9", FALSE));
    EXPECT_TRUE(code.CheckSecurityText("abc9", FALSE));
    EXPECT_FALSE(code.CheckSecurityText("abc", FALSE));
    EXPECT_FALSE(code.CheckSecurityText("", FALSE));

    code.SetSecurityText(nullptr);
    ASSERT_EQ(code.GetSecurityText().size(), 5u);
    for (char ch : code.GetSecurityText())
        EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(ch)));
    code.DestroyWindow();
}

TEST_F(SecurityCodeTest, TheDrawingFillsTheControlWithBackgroundNoiseAndCharacters) {
    CSecurityCode code;
    ASSERT_TRUE(code.Create(nullptr, "", WS_POPUP | WS_VISIBLE, RECT{10, 10, 130, 50}, nullptr, 0));
    code.SetSecurityText("Ab12");
    DrainEvents();
    kelmon::test::ui::PixelProbe probe(code.GetWidget());
    ASSERT_EQ(probe.Width(), 120);
    RECT all{0, 0, 120, 40};
    int background = probe.Count(RGB(0, 32, 64), all);
    // Mostly the dark background, with curves and characters over a good part of it.
    EXPECT_GT(background, 120 * 40 / 3);
    EXPECT_LT(background, 120 * 40 - 150);
    code.DestroyWindow();
}

}  // namespace
