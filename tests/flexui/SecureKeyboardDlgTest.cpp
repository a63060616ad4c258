// The soft keyboard: an unbiased shuffle from the injected random source, the key rows as laid
// out, typing into the target with caps lock, OK and Cancel (backspace: FlexEditTest).
#include "flexui/SecureKeyboardDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <vector>

#include "flexui/SecureRandom.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::DrainEvents;

// A deterministic stand-in for the kernel's bytes (splitmix64).
uint64_t gState = 0;
void CountingSource(void* buffer, size_t size) {
    auto* out = static_cast<unsigned char*>(buffer);
    for (size_t i = 0; i < size; ++i) {
        gState += 0x9E3779B97F4A7C15ull;
        uint64_t z = gState;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        out[i] = static_cast<unsigned char>(z ^ (z >> 31));
    }
}

// Hands out these 32-bit words in turn.
std::vector<uint32_t> gWords;
size_t gNext = 0;
void WordSource(void* buffer, size_t size) {
    ASSERT_EQ(size, sizeof(uint32_t));
    uint32_t word = gWords[gNext++ % gWords.size()];
    std::memcpy(buffer, &word, sizeof word);
}

struct ScopedSource {
    explicit ScopedSource(SecureRandomSource source) { SetSecureRandomSource(source); }
    ~ScopedSource() { SetSecureRandomSource(nullptr); }
};

TEST(SecureRandom, RejectsTheBiasedTailOfTheRange) {
    ScopedSource scope(&WordSource);
    // 2^32 - 6 and above would favour 0-5 for a bound of 10.
    gWords = {0xFFFFFFFFu, 0xFFFFFFFAu, 17u};
    gNext = 0;
    EXPECT_EQ(SecureRandomBelow(10), 7u);
    EXPECT_EQ(gNext, 3u);
    gWords = {0xFFFFFFF9u};
    gNext = 0;
    EXPECT_EQ(SecureRandomBelow(10), 4294967289u % 10);
    EXPECT_EQ(SecureRandomBelow(1), 0u);
    EXPECT_EQ(SecureRandomBelow(0), 0u);
}

TEST(SecureRandom, ShuffleGivesEveryPlaceAndOrderAlike) {
    ScopedSource scope(&CountingSource);
    gState = 1;
    constexpr int kRuns = 60000;
    std::array<std::array<int, 10>, 10> where{};  // where[item][position]
    std::map<std::vector<int>, int> ordersOfThree;
    for (int run = 0; run < kRuns; ++run) {
        std::vector<int> items{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        SecureShuffle(items);
        for (int pos = 0; pos < 10; ++pos) ++where[items[pos]][pos];
        std::vector<int> three{0, 1, 2};
        SecureShuffle(three);
        ++ordersOfThree[three];
    }
    // 6000 expected per cell, standard deviation about 73.
    for (const auto& item : where)
        for (int count : item) EXPECT_NEAR(count, kRuns / 10, 400);
    ASSERT_EQ(ordersOfThree.size(), 6u);
    for (const auto& [order, count] : ordersOfThree) EXPECT_NEAR(count, kRuns / 6, 600);
}

TEST(SecureKeyboard, ScanCodesOfAUsKeyboard) {
    const std::pair<char, UINT> cases[] = {{'1', 0x02}, {'0', 0x0B}, {'!', 0x02}, {'q', 0x10},
                                           {'Q', 0x10}, {'a', 0x1E}, {'`', 0x29}, {'~', 0x29},
                                           {'z', 0x2C}, {'/', 0x35}, {'|', 0x2B}, {'\b', 0x0E}};
    for (auto [ch, scan] : cases) EXPECT_EQ(ScanCodeOfChar(ch), scan) << ch;
}

class SecureKeyboardTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(frame_.CreateEx(0, nullptr, "frame", WS_POPUP | WS_VISIBLE,
                                    RECT{50, 40, 650, 440}, nullptr, 0));
        ASSERT_TRUE(target_.Create("Edit", "old", WS_CHILD | WS_VISIBLE | WS_TABSTOP,
                                   RECT{30, 30, 200, 54}, &frame_, 1001));
        QApplication::setActiveWindow(frame_.GetWidget());
        DrainEvents();
    }
    void TearDown() override {
        frame_.DestroyWindow();
        kelmon::test::ui::UiTest::TearDown();
    }
    // A click and what it posts, as a person's clicks come one after the other.
    static void Click(HWND dialog, int id) {
        ::SendMessage(::GetDlgItem(dialog, id), BM_CLICK);
        DrainEvents();
    }
    static RECT ScreenRect(HWND dialog, int id) {
        RECT r{};
        ::GetWindowRect(::GetDlgItem(dialog, id), &r);
        return r;
    }

    CWnd frame_;
    CWnd target_;
    kelmon::test::ui::ModalDriver driver_;
};

TEST_F(SecureKeyboardTest, KeysTypeIntoTheTargetWithCapsLock) {
    std::string qCaption;
    LRESULT capsChecked = -1;
    RECT dialogRect{};
    driver_.OnNextModal([&](QWidget* window) {
        HWND dialog = platform::ui::WindowOf(window);
        ::GetWindowRect(dialog, &dialogRect);
        Click(dialog, 1008);  // "1"
        Click(dialog, 1018);  // "q"
        Click(dialog, IDC_SKB_CAPSLOCK);
        qCaption = ::GetDlgItemText(dialog, 1018);
        capsChecked = ::SendMessage(::GetDlgItem(dialog, IDC_SKB_CAPSLOCK), BM_GETCHECK);
        Click(dialog, 1018);  // "Q"
        Click(dialog, 1019);  // "W"
        Click(dialog, IDC_SKB_CAPSLOCK);
        Click(dialog, 1020);  // "e"
        Click(dialog, IDOK);
    });
    EXPECT_EQ(FlexSecureKeyboard(&target_), IDOK);
    DrainEvents();
    EXPECT_EQ(driver_.Handled(), 1);
    EXPECT_EQ(qCaption, "Q");
    EXPECT_EQ(capsChecked, BST_CHECKED);
    // The old text went when the keyboard opened.
    EXPECT_EQ(target_.GetWindowText(), "1qQWe");
    RECT t;
    target_.GetWindowRect(&t);
    EXPECT_EQ(dialogRect.left, t.left);
    EXPECT_EQ(dialogRect.top, t.bottom + 2);
}

TEST_F(SecureKeyboardTest, CancelEmptiesTheTarget) {
    driver_.OnNextModal([&](QWidget* window) {
        HWND dialog = platform::ui::WindowOf(window);
        Click(dialog, 1009);
        Click(dialog, 1010);
        ::SendMessage(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    EXPECT_EQ(FlexSecureKeyboard(&target_), IDCANCEL);
    DrainEvents();
    EXPECT_EQ(target_.GetWindowText(), "");
}

// Row 2 on screen, left to right.
std::vector<int> DigitRowOnScreen(HWND dialog, const std::vector<int>& row) {
    std::vector<std::pair<LONG, int>> placed;
    for (int id : row) {
        RECT r{};
        ::GetWindowRect(::GetDlgItem(dialog, id), &r);
        placed.push_back({r.left, id});
    }
    std::sort(placed.begin(), placed.end());
    std::vector<int> ids;
    for (auto& p : placed) ids.push_back(p.second);
    return ids;
}

TEST_F(SecureKeyboardTest, DigitsMoveBetweenOpeningsAndNothingElseDoes) {
    ScopedSource scope(&CountingSource);
    std::vector<std::vector<int>> digitOrders;
    std::vector<std::map<int, RECT>> others;
    for (uint64_t seed : {11u, 12u}) {
        gState = seed;
        CSecureKeyboardDlg keyboard(&target_);
        ASSERT_TRUE(keyboard.Create(IDD_SECURE_KEYBOARD, &frame_));
        const auto& rows = keyboard.GetRows();
        ASSERT_EQ(rows[1].size(), 15u);
        std::vector<int> digits(rows[1].begin() + 1, rows[1].begin() + 11);
        std::vector<int> sorted = digits;
        std::sort(sorted.begin(), sorted.end());
        std::vector<int> all;
        for (int id = 1008; id <= 1017; ++id) all.push_back(id);
        EXPECT_EQ(sorted, all);
        // The layout shows the shuffled order (the last key spans two rows, so it is left out).
        std::vector<int> shown(rows[1].begin(), rows[1].end() - 1);
        EXPECT_EQ(DigitRowOnScreen(keyboard.m_hWnd, shown), shown);
        digitOrders.push_back(digits);
        std::map<int, RECT> rest;
        for (int id = 1018; id <= 1075; ++id) {
            RECT r{};
            ::GetWindowRect(::GetDlgItem(keyboard.m_hWnd, id), &r);
            POINT p{r.left, r.top};
            keyboard.ScreenToClient(&p);
            rest[id] = RECT{p.x, p.y, p.x + r.right - r.left, p.y + r.bottom - r.top};
        }
        others.push_back(rest);
        // Backspace spans rows 1 and 2; OK spans rows 4 and 5 and ends under caps lock.
        RECT backspace = ScreenRect(keyboard.m_hWnd, IDC_SKB_BACKSPACE);
        EXPECT_EQ(backspace.top, ScreenRect(keyboard.m_hWnd, 1068).top);
        EXPECT_EQ(backspace.bottom, ScreenRect(keyboard.m_hWnd, 1049).bottom);
        RECT ok = ScreenRect(keyboard.m_hWnd, IDOK);
        EXPECT_EQ(ok.top, ScreenRect(keyboard.m_hWnd, 1072).top);
        EXPECT_EQ(ok.bottom, ScreenRect(keyboard.m_hWnd, 1075).bottom);
        EXPECT_EQ(ok.right, ScreenRect(keyboard.m_hWnd, IDC_SKB_CAPSLOCK).right);
        // Neighbours in a row share their border pixel.
        EXPECT_EQ(ScreenRect(keyboard.m_hWnd, 1019).left,
                  ScreenRect(keyboard.m_hWnd, 1018).right - 1);
        keyboard.DestroyWindow();
    }
    EXPECT_NE(digitOrders[0], digitOrders[1]);
    for (int id = 1018; id <= 1075; ++id) EXPECT_EQ(others[0][id], others[1][id]) << id;
}

}  // namespace
