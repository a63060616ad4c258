// CTickTree: moving keeps texts whole however long, and a move with nowhere to go changes nothing.
#include "flexui/TickTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/WindowApi.h"
#include "support/ui/UiTestApp.h"

namespace {

using kelmon::test::ui::UiTest;

struct Shown {
    std::string text;
    LPARAM data = 0;
    bool ticked = false;
    bool operator==(const Shown&) const = default;
};

class TickTreeTest : public UiTest {
public:
    void SetUp() override {
        ASSERT_TRUE(
            host_.Create(nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 200}, nullptr, 0));
        ASSERT_TRUE(tree_.Create("SysTreeView32", "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 200, 200},
                                 &host_, 5));
    }
    void TearDown() override {
        host_.DestroyWindow();
        UiTest::TearDown();
    }
    // Every top-level line as shown, its text read with a buffer far larger than any here.
    std::vector<Shown> Rows() {
        std::vector<Shown> rows;
        std::string buffer(1 << 16, '\0');
        for (HTREEITEM item = tree_.Next(TVGN_ROOT, 0); item; item = tree_.Next(TVGN_NEXT, item)) {
            TVITEM info;
            info.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE;
            info.hItem = item;
            info.pszText = buffer.data();
            info.cchTextMax = static_cast<int>(buffer.size());
            tree_.SendMessage(TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&info));
            rows.push_back({buffer.c_str(), info.lParam, info.iImage == CTickTree::kTicked});
        }
        return rows;
    }
    void Select(int row) {
        HTREEITEM item = tree_.Next(TVGN_ROOT, 0);
        for (int i = 0; i < row; ++i) item = tree_.Next(TVGN_NEXT, item);
        tree_.SendMessage(TVM_SELECTITEM, TVGN_CARET, static_cast<LPARAM>(item));
    }

    CWnd host_;
    CTickTree tree_;
};

std::string Repeat(const std::string& piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) text += piece;
    return text;
}

TEST_F(TickTreeTest, MovedLinesKeepTheirTextsWholeWhateverTheirLength) {
    // Lengths about the first read's size, multi-byte characters straddling it, and far past it.
    const std::vector<std::string> texts = {
        std::string(250, 'a'), std::string(251, 'b'), std::string(252, 'c'),
        std::string(255, 'd'), std::string(256, 'e'), "x" + Repeat("成交量", 85),
        Repeat("持仓", 43),    Repeat("最新价", 700), std::string(5000, 'f'),
    };
    for (std::size_t i = 0; i < texts.size(); ++i)
        tree_.AddLine(texts[i], static_cast<LPARAM>(i + 1), i % 2 == 0);
    std::vector<Shown> expected;
    for (std::size_t i = 0; i < texts.size(); ++i)
        expected.push_back({texts[i], static_cast<LPARAM>(i + 1), i % 2 == 0});
    ASSERT_EQ(Rows(), expected);

    // The first line travels to the end and back: every line passes it twice.
    Select(0);
    for (std::size_t i = 1; i < texts.size(); ++i) ASSERT_TRUE(tree_.MoveSelected(false));
    std::vector<Shown> rotated(expected.begin() + 1, expected.end());
    rotated.push_back(expected.front());
    EXPECT_EQ(Rows(), rotated);
    for (std::size_t i = 1; i < texts.size(); ++i) ASSERT_TRUE(tree_.MoveSelected(true));
    EXPECT_EQ(Rows(), expected);
}

TEST_F(TickTreeTest, AMoveWithNowhereToGoChangesNothing) {
    tree_.AddLine("代码", 11, true);
    tree_.AddLine("名称", 12, false);
    const std::vector<Shown> before = Rows();
    struct Case {
        int selected;  // -1: no selection
        bool up;
    };
    for (const Case& c : {Case{-1, true}, Case{-1, false}, Case{0, true}, Case{1, false}}) {
        SCOPED_TRACE(testing::Message() << "selected " << c.selected << (c.up ? " up" : " down"));
        if (c.selected >= 0) Select(c.selected);
        EXPECT_FALSE(tree_.CanMoveSelected(c.up));
        EXPECT_FALSE(tree_.MoveSelected(c.up));
        EXPECT_EQ(Rows(), before);
    }
}

}  // namespace
