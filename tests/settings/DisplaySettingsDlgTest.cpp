// CDisplaySettingsDlg run modally and driven from inside: the tree filled from the stored list
// or the defaults, ticking by the image, moving and the move buttons, defaults and cancel, the
// stored text with its limits, bad catalogues, the tree's colours and a screenshot.
#include "settings/DisplaySettingsDlg.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTest>
#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/Encoding.h"
#include "platform/core/ProfileFile.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WindowApi.h"
#include "record/Configure.h"
#include "settings/Parts.h"
#include "shell/PartOpeners.h"
#include "support/ScratchProfile.h"
#include "support/ui/ModalDriver.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/Screenshots.h"
#include "support/ui/UiTestApp.h"

namespace settings {
namespace {

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::PixelProbe;
using Dlg = CDisplaySettingsDlg;

// The account summary's items and defaults.
const char* const kSummary =
    "KHQY:客户权益,QYBD:权益变动,DSCCYK:持仓盈亏,DSPCYK:平仓盈亏,FYL:风险率,KYZJ:可用资金,"
    "FDCCYK:浮动盈亏,BZJ:保证金占用,MRCCSL:买持数量,MCCCSL:卖持数量,QLJSF:权利金,QQSZ:期权市值,"
    "SZQY:市值权益,KCSL:中金开仓数量";
const char* const kSummaryDefaults = "KHQY,QYBD,DSCCYK,DSPCYK,FYL,KYZJ";
const char* const kSummaryKey = "KHQY";
const std::vector<std::string> kSummaryCaptions = {
    "客户权益",   "权益变动", "持仓盈亏", "平仓盈亏", "风险率",   "可用资金", "浮动盈亏",
    "保证金占用", "买持数量", "卖持数量", "权利金",   "期权市值", "市值权益", "中金开仓数量"};

struct Line {
    std::string text;
    bool ticked;
    bool operator==(const Line&) const = default;
};
using Lines = std::vector<Line>;

std::ostream& operator<<(std::ostream& out, const Line& line) {
    return out << (line.ticked ? "[x] " : "[ ] ") << line.text;
}

// The summary's lines: the named captions ticked in that order, then the rest unticked in
// catalogue order.
Lines SummaryLines(const std::vector<std::string>& tickedCaptions) {
    Lines lines;
    for (const std::string& caption : tickedCaptions) lines.push_back({caption, true});
    for (const std::string& caption : kSummaryCaptions)
        if (std::find(tickedCaptions.begin(), tickedCaptions.end(), caption) ==
            tickedCaptions.end())
            lines.push_back({caption, false});
    return lines;
}

Lines AllTicked(const std::vector<std::string>& captions) {
    Lines lines;
    for (const std::string& caption : captions) lines.push_back({caption, true});
    return lines;
}

HWND Tree(HWND dialog) { return ::GetDlgItem(dialog, Dlg::kItemTreeId); }

HTREEITEM Next(HWND tree, WPARAM code, HTREEITEM item = 0) {
    return static_cast<HTREEITEM>(::SendMessage(tree, TVM_GETNEXTITEM, code, item));
}

HTREEITEM LineAt(HWND tree, int index) {
    HTREEITEM item = Next(tree, TVGN_ROOT);
    while (item && index-- > 0) item = Next(tree, TVGN_NEXT, item);
    return item;
}

Lines Shown(HWND tree) {
    Lines lines;
    for (HTREEITEM item = Next(tree, TVGN_ROOT); item; item = Next(tree, TVGN_NEXT, item)) {
        char text[256] = {};
        TVITEM info;
        info.mask = TVIF_TEXT | TVIF_IMAGE;
        info.hItem = item;
        info.pszText = text;
        info.cchTextMax = sizeof text;
        ::SendMessage(tree, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&info));
        lines.push_back({text, info.iImage == Dlg::kTicked});
    }
    return lines;
}

RECT LabelRect(HWND tree, HTREEITEM item) {
    RECT r{};
    r.left = static_cast<LONG>(item);
    ::SendMessage(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r));
    return r;
}

QWidget* TreeWidget(HWND tree) { return CWnd::FromHandle(tree)->GetWidget(); }

// Points on a line: in the middle of its image (left of the text) and on its text.
QPoint ImagePoint(HWND tree, int index) {
    const RECT label = LabelRect(tree, LineAt(tree, index));
    return QPoint(label.left - Dlg::kImageSize / 2 - 1, (label.top + label.bottom) / 2);
}
QPoint TextPoint(HWND tree, int index) {
    const RECT label = LabelRect(tree, LineAt(tree, index));
    return QPoint(label.left + 5, (label.top + label.bottom) / 2);
}

void ClickAt(HWND tree, QPoint point) {
    QTest::mouseClick(TreeWidget(tree), Qt::LeftButton, {}, point);
    DrainEvents();
}

void Click(HWND dialog, int id) {
    ::SendMessage(::GetDlgItem(dialog, id), BM_CLICK);
    DrainEvents();
}

void Select(HWND tree, int index) {
    ::SendMessage(tree, TVM_SELECTITEM, TVGN_CARET, LineAt(tree, index));
    DrainEvents();
}

// (上移 enabled, 下移 enabled)
std::pair<bool, bool> MoveButtons(HWND dialog) {
    return {::IsWindowEnabled(::GetDlgItem(dialog, Dlg::kMoveUpId)) != 0,
            ::IsWindowEnabled(::GetDlgItem(dialog, Dlg::kMoveDownId)) != 0};
}

// Pixels of the rectangle that are white or nearly (the text's smoothed edges blend in).
int NearWhite(const PixelProbe& probe, const RECT& rect) {
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x) {
            const COLORREF c = probe.At(x, y);
            if (GetRValue(c) >= 0xE0 && GetGValue(c) >= 0xE0 && GetBValue(c) >= 0xE0) ++count;
        }
    return count;
}

class DisplaySettingsDlgTest : public kelmon::test::ui::UiTest {
protected:
    void SetUp() override {
        // The program's templates as the source tree holds them.
        platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
        pavlet::SetPrivateProfileName(profile_.dir.file("user.ini"));
    }
    void TearDown() override {
        pavlet::SetPrivateProfileName("");
        UiTest::TearDown();
    }

    // Runs a dialog over the catalogue, the defaults and the key, with `act` inside it; the
    // dialog's result.
    INT_PTR Run(const std::function<void(HWND dialog, HWND tree)>& act,
                const std::string& catalogue = kSummary,
                const std::string& defaults = kSummaryDefaults,
                const std::string& key = kSummaryKey) {
        Dlg dialog;
        dialog.SetCatalogue(catalogue);
        dialog.SetDefaultSelection(defaults);
        dialog.SetSettingsKey(key);
        driver_.OnNextModal([&](QWidget* window) {
            HWND hwnd = platform::ui::WindowOf(window);
            DrainEvents();
            act(hwnd, Tree(hwnd));
        });
        return dialog.DoModal();
    }
    // Opens, notes the lines and confirms.
    Lines OpenAndConfirm(const std::string& catalogue = kSummary,
                         const std::string& defaults = kSummaryDefaults) {
        Lines lines;
        EXPECT_EQ(Run(
                      [&](HWND dialog, HWND tree) {
                          lines = Shown(tree);
                          Click(dialog, IDOK);
                      },
                      catalogue, defaults),
                  IDOK);
        return lines;
    }

    void Store(const std::string& list) {
        ASSERT_TRUE(pavlet::WritePrivateConfigure(kDisplayListSection, kSummaryKey, list));
    }
    // The stored list as the private profile holds it; "<none>" when the key is missing.
    std::string Stored(const std::string& key = kSummaryKey) const {
        return platform::ReadProfileString(profile_.dir.file("user.ini"), kDisplayListSection, key,
                                           "<none>");
    }

    testsupport::ScratchProfile profile_;
    kelmon::test::ui::ModalDriver driver_;
};

TEST_F(DisplaySettingsDlgTest, TemplateHasTheTreeAndTheFiveButtons) {
    const platform::ui::DialogTemplate* dialog = platform::ui::FindDialogTemplate(Dlg::IDD);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->caption, "设置显示内容和顺序");
    const std::vector<std::pair<int, std::string>> expected = {
        {Dlg::kItemTreeId, "SysTreeView32"}, {Dlg::kMoveUpId, "上移"}, {Dlg::kMoveDownId, "下移"},
        {Dlg::kDefaultsId, "默认设置"},      {IDOK, "确认"},           {IDCANCEL, "取消"}};
    std::vector<std::pair<int, std::string>> got;
    for (const auto& item : dialog->items)
        got.emplace_back(item.id, item.className == "SysTreeView32" ? item.className : item.text);
    EXPECT_EQ(got, expected);
}

TEST_F(DisplaySettingsDlgTest, OpensWithTheStoredListOrTheDefaultsAndOkStoresTheTickedCodes) {
    struct Case {
        const char* stored;  // null: nothing stored
        Lines lines;
        const char* result;  // stored after OK, nothing changed
    };
    const Case cases[] = {
        {nullptr,
         SummaryLines({"客户权益", "权益变动", "持仓盈亏", "平仓盈亏", "风险率", "可用资金"}),
         kSummaryDefaults},
        {"FYL,KHQY", SummaryLines({"风险率", "客户权益"}), "FYL,KHQY"},
        // A code named twice shows twice and is stored twice.
        {"KHQY,FYL,KHQY", SummaryLines({"客户权益", "风险率", "客户权益"}), "KHQY,FYL,KHQY"},
        // Unknown and empty codes drop out.
        {"XX,,BZJ,khqy", SummaryLines({"保证金占用"}), "BZJ"},
        // A list naming no item, or an emptied one, shows every item ticked.
        {"XX,YY", AllTicked(kSummaryCaptions), nullptr},
        {"", AllTicked(kSummaryCaptions), nullptr},
    };
    std::string everything;
    for (const char* code : {"KHQY", "QYBD", "DSCCYK", "DSPCYK", "FYL", "KYZJ", "FDCCYK", "BZJ",
                             "MRCCSL", "MCCCSL", "QLJSF", "QQSZ", "SZQY", "KCSL"})
        everything += (everything.empty() ? "" : ",") + std::string(code);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(nothing stored)");
        ASSERT_TRUE(platform::DeleteProfileKey(profile_.dir.file("user.ini"), kDisplayListSection,
                                               kSummaryKey));
        if (c.stored) Store(c.stored);
        EXPECT_EQ(OpenAndConfirm(), c.lines);
        EXPECT_EQ(Stored(), c.result ? c.result : everything);
    }

    // Without a private list the installation profile's list comes before the defaults.
    ASSERT_TRUE(platform::DeleteProfileKey(profile_.dir.file("user.ini"), kDisplayListSection,
                                           kSummaryKey));
    profile_.Write(kDisplayListSection, kSummaryKey, "QYBD,FYL");
    EXPECT_EQ(OpenAndConfirm(), SummaryLines({"权益变动", "风险率"}));
    EXPECT_EQ(Stored(), "QYBD,FYL");
}

// The shell and the option strip reach the dialog only through the opener the settings folder
// registers; what they hand over must arrive as the dialog's catalogue, defaults and key.
TEST_F(DisplaySettingsDlgTest, TheRegisteredOpenerRunsTheDialogWithTheCallersLists) {
    shell::SlotsResetGuard guard;
    EXPECT_EQ(shell::RunOpener(shell::PartOpeners().displaySettings, nullptr,
                               shell::DisplaySettingsRequest{kSummary, kSummaryDefaults, "BDDM"}),
              0);
    RegisterParts();
    Lines lines;
    driver_.OnNextModal([&](QWidget* window) {
        HWND hwnd = platform::ui::WindowOf(window);
        DrainEvents();
        lines = Shown(Tree(hwnd));
        Click(hwnd, IDOK);
    });
    EXPECT_EQ(shell::RunOpener(shell::PartOpeners().displaySettings, nullptr,
                               shell::DisplaySettingsRequest{kSummary, "FYL,KHQY", "BDDM"}),
              IDOK);
    EXPECT_EQ(lines, SummaryLines({"风险率", "客户权益"}));
    EXPECT_EQ(Stored("BDDM"), "FYL,KHQY");
}

TEST_F(DisplaySettingsDlgTest, UntickingEveryLineStoresAnEmptyListThatReopensWithAllTicked) {
    Store("FYL,KHQY");
    ASSERT_EQ(Run([](HWND dialog, HWND tree) {
                  // 风险率 and 客户权益 are the ticked ones, on top.
                  ClickAt(tree, ImagePoint(tree, 0));
                  ClickAt(tree, ImagePoint(tree, 1));
                  Click(dialog, IDOK);
              }),
              IDOK);
    EXPECT_EQ(Stored(), "");
    EXPECT_EQ(OpenAndConfirm(), AllTicked(kSummaryCaptions));
}

TEST_F(DisplaySettingsDlgTest, DefaultsRebuildTheTreeWithoutStoringAndCancelKeepsTheList) {
    Store("FYL,KHQY");
    Lines afterDefaults;
    std::string storedMeanwhile;
    EXPECT_EQ(Run([&](HWND dialog, HWND tree) {
                  ClickAt(tree, ImagePoint(tree, 2));  // ticks 权益变动
                  Click(dialog, Dlg::kDefaultsId);
                  afterDefaults = Shown(tree);
                  storedMeanwhile = Stored();
                  Click(dialog, IDCANCEL);
              }),
              IDCANCEL);
    EXPECT_EQ(afterDefaults,
              SummaryLines({"客户权益", "权益变动", "持仓盈亏", "平仓盈亏", "风险率", "可用资金"}));
    EXPECT_EQ(storedMeanwhile, "FYL,KHQY");
    EXPECT_EQ(Stored(), "FYL,KHQY");
}

TEST_F(DisplaySettingsDlgTest, TheImageTicksAndTheTextOnlySelects) {
    Store("FYL,KHQY");
    Lines afterClicks;
    HTREEITEM selected = 0, second = 0;
    Lines afterDoubleClick;
    ASSERT_EQ(Run([&](HWND dialog, HWND tree) {
                  ClickAt(tree, ImagePoint(tree, 0));  // 风险率 off
                  ClickAt(tree, ImagePoint(tree, 2));  // 权益变动 on
                  ClickAt(tree, TextPoint(tree, 3));   // 持仓盈亏 selected, no change
                  afterClicks = Shown(tree);
                  selected = Next(tree, TVGN_CARET);
                  second = LineAt(tree, 3);
                  // A double click on the image flips the tick as well.
                  const QPoint at = ImagePoint(tree, 4);
                  QMouseEvent dbl(QEvent::MouseButtonDblClick, at,
                                  TreeWidget(tree)->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                                  Qt::NoModifier);
                  QApplication::sendEvent(TreeWidget(tree), &dbl);
                  DrainEvents();
                  afterDoubleClick = Shown(tree);
                  Click(dialog, IDOK);
              }),
              IDOK);
    Lines expected = SummaryLines({"风险率", "客户权益"});
    expected[0].ticked = false;
    expected[2].ticked = true;
    EXPECT_EQ(afterClicks, expected);
    EXPECT_EQ(selected, second);
    expected[4].ticked = true;
    EXPECT_EQ(afterDoubleClick, expected);
    EXPECT_EQ(Stored(), "KHQY,QYBD,DSPCYK");
}

TEST_F(DisplaySettingsDlgTest, MoveButtonsMoveTheSelectedLineWhileItHasASiblingThatWay) {
    Store("KHQY,QYBD,DSCCYK");
    std::vector<std::pair<bool, bool>> buttons;
    Lines moved;
    std::string selectedText;
    ASSERT_EQ(Run([&](HWND dialog, HWND tree) {
                  buttons.push_back(MoveButtons(dialog));  // nothing selected
                  ::SetFocus(tree);
                  QTest::keyClick(TreeWidget(tree), Qt::Key_Home);  // the first line
                  DrainEvents();
                  buttons.push_back(MoveButtons(dialog));
                  Click(dialog, Dlg::kMoveDownId);  // 客户权益 below 权益变动
                  Click(dialog, Dlg::kMoveDownId);  // and below 持仓盈亏
                  buttons.push_back(MoveButtons(dialog));
                  Select(tree, 13);  // 中金开仓数量, unticked, last
                  buttons.push_back(MoveButtons(dialog));
                  Click(dialog, Dlg::kMoveUpId);
                  buttons.push_back(MoveButtons(dialog));
                  Select(tree, 1);
                  Click(dialog, Dlg::kMoveUpId);  // 持仓盈亏 on top
                  buttons.push_back(MoveButtons(dialog));
                  moved = Shown(tree);
                  char text[64] = {};
                  TVITEM info;
                  info.mask = TVIF_TEXT;
                  info.hItem = Next(tree, TVGN_CARET);
                  info.pszText = text;
                  info.cchTextMax = sizeof text;
                  ::SendMessage(tree, TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&info));
                  selectedText = text;
                  Click(dialog, IDOK);
              }),
              IDOK);
    EXPECT_EQ(buttons, (std::vector<std::pair<bool, bool>>{{false, false},
                                                           {false, true},
                                                           {true, true},
                                                           {true, false},
                                                           {true, true},
                                                           {false, true}}));
    Lines expected = SummaryLines({"权益变动", "持仓盈亏", "客户权益"});
    std::swap(expected[0], expected[1]);
    std::swap(expected[12], expected[13]);
    EXPECT_EQ(moved, expected);
    EXPECT_EQ(selectedText, "持仓盈亏") << "the moved line stays selected";
    EXPECT_EQ(Stored(), "DSCCYK,QYBD,KHQY");
}

TEST_F(DisplaySettingsDlgTest, StoredListsKeepToTheirByteBudgetWithWholeCodesOnly) {
    // 40 items whose codes take 31 bytes of GBK each: 32 of them and their separators fill
    // the 1023 bytes exactly. The Chinese codes take 45 bytes in UTF-8, which must not count.
    struct Case {
        const char* name;
        std::function<std::string(int)> code;
    };
    const Case cases[] = {
        {"ascii",
         [](int i) {
             std::string code(29, 'A');
             code += char('0' + i / 10);
             code += char('0' + i % 10);
             return code;
         }},
        {"gbk",
         [](int i) {
             std::string code = "A";
             for (int k = 0; k < 14; ++k) code += "码";
             return code + char('0' + i / 10) + char('0' + i % 10);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string catalogue, all, fitting;
        std::vector<std::string> captions;
        for (int i = 0; i < 40; ++i) {
            const std::string code = c.code(i);
            ASSERT_EQ(platform::GbkLength(code), 31u);
            captions.push_back("项" + std::to_string(i));
            catalogue += (i ? "," : "") + code + ":" + captions.back();
            all += (i ? "," : "") + code;
            if (i < 32) fitting += (i ? "," : "") + code;
        }
        ASSERT_EQ(platform::GbkLength(fitting), Dlg::kMaxStoredBytes);
        // Every item ticked (nothing stored): only the first 32 codes are stored.
        ASSERT_TRUE(platform::DeleteProfileKey(profile_.dir.file("user.ini"), kDisplayListSection,
                                               kSummaryKey));
        EXPECT_EQ(OpenAndConfirm(catalogue, ""), AllTicked(captions));
        EXPECT_EQ(Stored(), fitting);
        // A longer list written by another hand is read as far as whole codes fit.
        Store(all);
        Lines lines = OpenAndConfirm(catalogue, "");
        ASSERT_EQ(lines.size(), 40u);
        for (int i = 0; i < 40; ++i) EXPECT_EQ(lines[i], (Line{captions[i], i < 32})) << i;
        EXPECT_EQ(Stored(), fitting);
    }
}

TEST_F(DisplaySettingsDlgTest, OverlongCodesNameNoItemAndAreNeverCutIntoAnother) {
    const std::string code127(127, 'A');
    const std::string catalogue =
        "K1:一," + code127 + ":长代码," + std::string(128, 'B') + ":过长代码,K2:二";
    struct Case {
        std::string stored;
        Lines lines;
        std::string result;
    };
    const Case cases[] = {
        {code127 + ",K2", {{"长代码", true}, {"二", true}, {"一", false}}, code127 + ",K2"},
        // One character more is no code of the catalogue, not its first 127 characters.
        {code127 + "X,K2", {{"二", true}, {"一", false}, {"长代码", false}}, "K2"},
        // The 128-character pair is never offered.
        {std::string(128, 'B'),
         {{"一", true}, {"长代码", true}, {"二", true}},
         "K1," + code127 + ",K2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.size());
        Store(c.stored);
        EXPECT_EQ(OpenAndConfirm(catalogue, ""), c.lines);
        EXPECT_EQ(Stored(), c.result);
    }
}

TEST_F(DisplaySettingsDlgTest, MalformedCataloguePairsAreLeftOutAndTheOthersKeepTheirCodes) {
    const char* const catalogue = "NOCOLON,,:空代码,KHQY:客户权益,:,FYL:风险率,SZ:a:b,KYZJ:";
    Store("FYL,SZ");
    Lines lines;
    ASSERT_EQ(Run(
                  [&](HWND dialog, HWND tree) {
                      lines = Shown(tree);
                      ClickAt(tree, ImagePoint(tree, 2));  // 客户权益
                      ClickAt(tree, ImagePoint(tree, 3));  // the empty caption of KYZJ
                      Click(dialog, IDOK);
                  },
                  catalogue, "KHQY"),
              IDOK);
    EXPECT_EQ(lines, (Lines{{"风险率", true}, {"a:b", true}, {"客户权益", false}, {"", false}}));
    EXPECT_EQ(Stored(), "FYL,SZ,KHQY,KYZJ");

    // Nothing to offer at all: an empty tree that stores an empty list.
    for (const char* bad : {"", ",,,", "ABC,DEF", ":x,:y"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(OpenAndConfirm(bad, "ABC"), Lines{});
        EXPECT_EQ(Stored(), "");
    }
}

TEST_F(DisplaySettingsDlgTest, AListTheStoreRefusesClosesWithoutOk) {
    // An empty key cannot be stored: the caller must not rebuild as if it had been.
    EXPECT_EQ(Run([](HWND dialog, HWND) { Click(dialog, IDOK); }, kSummary, kSummaryDefaults, ""),
              IDCANCEL);
    EXPECT_EQ(driver_.Handled(), 1) << "the dialog opened";
    EXPECT_EQ(platform::ReadProfileKeyNames(profile_.dir.file("user.ini"), kDisplayListSection),
              std::vector<std::string>{});
}

TEST_F(DisplaySettingsDlgTest, TreeDrawsTicksOnCreamAndTheSelectedLineWhiteOnPurple) {
    Store("FYL,KHQY");
    int itemHeight = 0, images = 0;
    int selectedFill = 0, selectedWhite = 0, plainFill = 0, cream = 0, maskPixels = 0;
    bool saved = false;
    Run([&](HWND dialog, HWND tree) {
        Select(tree, 1);
        ::SetFocus(::GetDlgItem(dialog, IDOK));  // drawn selected without the focus too
        DrainEvents();
        itemHeight = static_cast<int>(::SendMessage(tree, TVM_GETITEMHEIGHT, 0, 0));
        if (auto* list = reinterpret_cast<CImageList*>(
                ::SendMessage(tree, TVM_GETIMAGELIST, TVSIL_NORMAL, 0)))
            images = list->GetImageCount();
        PixelProbe probe(TreeWidget(tree));
        const RECT selected = LabelRect(tree, LineAt(tree, 1));
        const RECT plain = LabelRect(tree, LineAt(tree, 2));
        selectedFill = probe.Count(Dlg::kSelectedBkColor, selected);
        selectedWhite = NearWhite(probe, selected);
        plainFill = probe.Count(Dlg::kSelectedBkColor, plain);
        cream = probe.Count(Dlg::kTreeBkColor,
                            RECT{plain.right + 2, plain.top, plain.right + 12, plain.bottom});
        maskPixels = probe.Count(Dlg::kImageMask, RECT{0, 0, probe.Width(), probe.Height()});
        saved = CWnd::FromHandle(dialog)->GetWidget()->grab().save(
            kelmon::test::ui::ScreenshotDir() + "/settings_display_settings.png");
        Click(dialog, IDCANCEL);
    });
    EXPECT_EQ(itemHeight, Dlg::kItemHeight);
    EXPECT_EQ(images, 2);
    EXPECT_GT(selectedFill, 0);
    EXPECT_GT(selectedWhite, 0);
    EXPECT_EQ(plainFill, 0);
    EXPECT_GT(cream, 0);
    EXPECT_EQ(maskPixels, 0) << "the images' purple is transparent";
    EXPECT_TRUE(saved);
}

}  // namespace
}  // namespace settings
