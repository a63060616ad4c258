// CToolBar: the tool bar resource text and its search through the resource modules, button
// layout and docking, clicks as commands to the parent, and the normal, hot, disabled and
// greyed images.
#include "platform/ui/ToolBar.h"

#include <gtest/gtest.h>

#include <utility>

#include <QImage>
#include <fstream>

#include "platform/ui/Dc.h"
#include "platform/ui/DialogResources.h"
#include "platform/ui/FrameWnd.h"
#include "platform/ui/ImageList.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowApi.h"
#include "support/TempDir.h"
#include "support/ui/PixelProbe.h"
#include "support/ui/UiTestApp.h"

namespace {

// Sizes compared as (cx, cy) pairs.
std::pair<LONG, LONG> Dims(SIZE size) { return {size.cx, size.cy}; }

using kelmon::test::ui::DrainEvents;
using kelmon::test::ui::PixelProbe;
using kelmon::test::ui::UiTest;

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kDark = RGB(90, 90, 90);

// A row of solid cells of one size, each with the given colour and one corner pixel of the
// mask colour.
QImage Cells(std::initializer_list<COLORREF> colours, int width, int height, COLORREF mask) {
    QImage image(width * static_cast<int>(colours.size()), height, QImage::Format_RGB32);
    int cell = 0;
    for (COLORREF colour : colours) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.setPixelColor(cell * width + x, y, platform::ui::ToQColor(colour));
        image.setPixelColor(cell * width, 0, platform::ui::ToQColor(mask));
        ++cell;
    }
    return image;
}

// Pixels of text (dark, anti-aliased or not) in a rectangle.
int DarkPixels(const PixelProbe& probe, const RECT& rect) {
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x) {
            const COLORREF c = probe.At(x, y);
            if (GetRValue(c) + GetGValue(c) + GetBValue(c) < 200) ++count;
        }
    return count;
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Records the commands it gets; can destroy the bar from inside the command.
class CommandHost : public CWnd {
public:
    struct Command {
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Command> commands;
    CWnd* destroyOnCommand = nullptr;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
        commands.push_back(Command{wParam, lParam});
        if (destroyOnCommand) destroyOnCommand->DestroyWindow();
        return TRUE;
    }
};

TEST(ToolBarResourceTest, ParsesButtonsAndSeparators) {
    platform::ui::ToolBarResource bar;
    std::string error;
    ASSERT_TRUE(
        platform::ui::ParseToolBarResource("# main bar\r\n"
                                           "TOOLBAR 200, 16, 15\r\n"
                                           "\r\n"
                                           "  BUTTON 32771\n"
                                           "SEPARATOR\n"
                                           "BUTTON 32772",
                                           &bar, &error))
        << error;
    EXPECT_EQ(bar.id, 200);
    EXPECT_EQ(bar.imageWidth, 16);
    EXPECT_EQ(bar.imageHeight, 15);
    EXPECT_EQ(bar.commands, (std::vector<UINT>{32771, ID_SEPARATOR, 32772}));
}

TEST(ToolBarResourceTest, RejectsBrokenTextsWithTheLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "line 0: no TOOLBAR line"},
        {"BUTTON 5\nTOOLBAR 1, 16, 15", "line 1: the text must start with a TOOLBAR line"},
        {"TOOLBAR 1, 16, 15\nTOOLBAR 2, 16, 15", "line 2: a second TOOLBAR line"},
        {"TOOLBAR 0, 16, 15", "line 1: TOOLBAR needs an id"},
        {"TOOLBAR 65536, 16, 15", "line 1: TOOLBAR needs an id"},
        {"TOOLBAR 1, 0, 15", "line 1: TOOLBAR needs an id"},
        {"TOOLBAR 1, 16, 257", "line 1: TOOLBAR needs an id"},
        {"TOOLBAR 1, 16", "line 1: TOOLBAR needs an id"},
        {"TOOLBAR 1, 16x, 15", "line 1: TOOLBAR needs an id"},
        {"TOOLBAR 1, 16, 15\nBUTTON", "line 2: BUTTON needs a command id"},
        {"TOOLBAR 1, 16, 15\nBUTTON -3", "line 2: BUTTON needs a command id"},
        {"TOOLBAR 1, 16, 15\nBUTTON 7 8", "line 2: BUTTON needs a command id"},
        {"TOOLBAR 1, 16, 15\nSEPARATOR 3", "line 2: unknown line \"SEPARATOR\""},
        {"TOOLBAR 1, 16, 15\nbutton 3", "line 2: unknown line \"button\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        platform::ui::ToolBarResource bar;
        std::string error;
        EXPECT_FALSE(platform::ui::ParseToolBarResource(c.text, &bar, &error));
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    }
    std::string many = "TOOLBAR 1, 16, 15\n";
    for (int i = 0; i < 1025; ++i) many += "BUTTON 9\n";
    platform::ui::ToolBarResource bar;
    std::string error;
    EXPECT_FALSE(platform::ui::ParseToolBarResource(many, &bar, &error));
    EXPECT_EQ(error, "line 1026: too many buttons");
}

class ToolBarTest : public UiTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(host_.CreateEx(0, nullptr, "host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 500, 200},
                                   nullptr, 0));
    }
    void TearDown() override {
        host_.DestroyWindow();
        // Forget the scratch folders the modules pointed at.
        platform::ui::RegisterDialogModule("toolbar-test", "/nonexistent");
        platform::ui::RegisterDialogModule("toolbar-other", "/nonexistent");
        UiTest::TearDown();
    }
    // A module folder with tool bar 200 (three buttons around a separator) and its bitmap.
    void MakeModule(const testsupport::TempDir& dir, const char* module, const char* buttons) {
        WriteFile(dir.file("200_main.tbr"), std::string("TOOLBAR 200, 16, 15\n") + buttons);
        ASSERT_TRUE(Cells({kRed, kGreen, kBlue}, 16, 15, CToolBar::kResourceMaskColor)
                        .save(QString::fromStdString(dir.file("bitmap_200.bmp"))));
        WriteFile(dir.file("100_broken.tbr"), "TOOLBAR 200\n");
        platform::ui::RegisterDialogModule(module, dir.path().string());
    }
    void Click(CWnd& bar, POINT down, POINT up) {
        bar.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON,
                        MAKELPARAM(static_cast<WORD>(down.x), static_cast<WORD>(down.y)));
        bar.SendMessage(WM_LBUTTONUP, 0,
                        MAKELPARAM(static_cast<WORD>(up.x), static_cast<WORD>(up.y)));
    }
    static POINT Centre(const CToolBar& bar, int index) {
        RECT rect;
        bar.GetItemRect(index, &rect);
        return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }
    CommandHost host_;
};

TEST_F(ToolBarTest, LoadsTheButtonsAndImagesOfTheCurrentModuleFirst) {
    testsupport::TempDir first, second;
    MakeModule(first, "toolbar-test", "BUTTON 501\nSEPARATOR\nBUTTON 502\nBUTTON 503\n");
    MakeModule(second, "toolbar-other", "BUTTON 601\n");
    platform::ui::ScopedResourceModule current("toolbar-test");

    CToolBar bar;
    ASSERT_TRUE(bar.Create(&host_));
    EXPECT_FALSE(bar.LoadToolBar(999)) << "no module has it";
    EXPECT_FALSE(bar.LoadToolBar(100)) << "a broken file is no tool bar";
    ASSERT_TRUE(bar.LoadToolBar(200));
    ASSERT_EQ(bar.GetCount(), 4);
    const struct {
        UINT id;
        UINT style;
        int image;
    } expected[] = {{501, TBSTYLE_BUTTON, 0},
                    {0, TBSTYLE_SEP, -1},
                    {502, TBSTYLE_BUTTON, 1},
                    {503, TBSTYLE_BUTTON, 2}};
    for (int i = 0; i < 4; ++i) {
        UINT id = 0, style = 0;
        int image = 0;
        bar.GetButtonInfo(i, id, style, image);
        EXPECT_EQ(id, expected[i].id) << i;
        EXPECT_EQ(style, expected[i].style) << i;
        EXPECT_EQ(image, expected[i].image) << i;
    }
    EXPECT_EQ(bar.CommandToIndex(503), 3);
    EXPECT_EQ(bar.CommandToIndex(777), -1);
    EXPECT_EQ(Dims(bar.GetImageSize()), Dims(SIZE{16, 15}));
    CImageList* images = bar.GetImageList();
    ASSERT_NE(images, nullptr);
    EXPECT_EQ(images->GetImageCount(), 3);
    EXPECT_EQ(qAlpha(images->GetImage(1).pixel(0, 0)), 0) << "the face grey is transparent";
    EXPECT_EQ(qAlpha(images->GetImage(1).pixel(1, 0)), 255);

    platform::ui::ScopedResourceModule other("toolbar-other");
    ASSERT_TRUE(bar.LoadToolBar(200));
    EXPECT_EQ(bar.GetCount(), 1);
    EXPECT_EQ(bar.GetItemID(0), 601u);
    bar.DestroyWindow();
}

TEST_F(ToolBarTest, ButtonsSitSideBySideAndTheFrameDocksTheBar) {
    const UINT ids[] = {11, ID_SEPARATOR, 12, 13};
    CToolBar bar;
    ASSERT_TRUE(bar.Create(&host_));
    ASSERT_TRUE(bar.SetButtons(ids, 4));
    bar.SetSizes(SIZE{30, 26}, SIZE{20, 18});
    bar.SetButtonCx(3, 50);
    const RECT expected[] = {{2, 2, 32, 28}, {32, 2, 40, 28}, {40, 2, 70, 28}, {70, 2, 120, 28}};
    for (int i = 0; i < 4; ++i) {
        RECT rect;
        bar.GetItemRect(i, &rect);
        EXPECT_EQ(rect, expected[i]) << i;
    }
    EXPECT_EQ(bar.HitTest(POINT{35, 10}), -1) << "separators are no buttons";
    EXPECT_EQ(bar.HitTest(POINT{75, 10}), 3);
    EXPECT_EQ(Dims(bar.CalcFixedLayout(FALSE, TRUE)), Dims(SIZE{122, 30}));
    EXPECT_EQ(Dims(bar.CalcFixedLayout(TRUE, TRUE)), Dims(SIZE{kStretchLength, 30}));
    bar.DestroyWindow();

    CFrameWnd frame;
    ASSERT_TRUE(frame.CreateEx(0, nullptr, "frame", WS_POPUP | WS_VISIBLE, RECT{0, 0, 400, 300},
                               nullptr, 0));
    CWnd view;
    ASSERT_TRUE(view.CreateEx(0, nullptr, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 1, 1}, &frame,
                              AFX_IDW_PANE_FIRST));
    CToolBar docked;
    ASSERT_TRUE(docked.CreateEx(&frame, TBSTYLE_FLAT));
    EXPECT_EQ(docked.GetDockingFrame(), &frame);
    EXPECT_TRUE(docked.GetStyle() & TBSTYLE_FLAT);
    ASSERT_TRUE(docked.SetButtons(ids, 4));
    EXPECT_EQ(frame.GetViewRect(), (RECT{0, 26, 400, 300}))
        << "a changed bar lays the frame out again: buttons 22 high and the borders";
    frame.DockControlBar(&docked, CBRS_ALIGN_LEFT);
    RECT rect;
    docked.GetItemRect(2, &rect);
    EXPECT_EQ(rect, (RECT{2, 32, 25, 54})) << "a bar docked at the side stacks its buttons";
    EXPECT_EQ(frame.GetViewRect(), (RECT{27, 0, 400, 300}));
    frame.DestroyWindow();
}

TEST_F(ToolBarTest, AClickSendsTheCommandToTheParent) {
    const UINT ids[] = {21, 22, 23};
    CToolBar bar;
    ASSERT_TRUE(bar.Create(&host_));
    ASSERT_TRUE(bar.SetButtons(ids, 3));
    bar.SetButtonStyle(2, TBSTYLE_CHECK);
    bar.EnableButton(22, FALSE);

    Click(bar, Centre(bar, 0), Centre(bar, 0));
    ASSERT_EQ(host_.commands.size(), 1u);
    EXPECT_EQ(host_.commands[0].wParam, MAKEWPARAM(21, BN_CLICKED));
    EXPECT_EQ(host_.commands[0].lParam, static_cast<LPARAM>(bar.m_hWnd));
    EXPECT_EQ(::GetCapture(), HWND{0}) << "the capture ends with the button";

    Click(bar, Centre(bar, 0), Centre(bar, 2));
    Click(bar, Centre(bar, 1), Centre(bar, 1));
    EXPECT_EQ(host_.commands.size(), 1u) << "released elsewhere, or a disabled button";

    Click(bar, Centre(bar, 2), Centre(bar, 2));
    EXPECT_TRUE(bar.IsButtonChecked(23));
    Click(bar, Centre(bar, 2), Centre(bar, 2));
    EXPECT_FALSE(bar.IsButtonChecked(23));
    EXPECT_EQ(host_.commands.size(), 3u);

    host_.destroyOnCommand = &bar;
    Click(bar, Centre(bar, 0), Centre(bar, 0));
    EXPECT_EQ(bar.m_hWnd, HWND{0}) << "the parent may close the bar from the command";
    EXPECT_EQ(host_.commands.size(), 4u);
}

TEST_F(ToolBarTest, HotAndDisabledButtonsShowTheirOwnImages) {
    const UINT ids[] = {31, 32, 33};
    CBitmap normalCells, hotCells, disabledCells;
    ASSERT_TRUE(normalCells.CreateFromImage(Cells({kRed, kGreen, kBlue}, 16, 16, kRed)));
    ASSERT_TRUE(hotCells.CreateFromImage(Cells({kYellow, kYellow, kYellow}, 16, 16, kRed)));
    ASSERT_TRUE(disabledCells.CreateFromImage(Cells({kDark, kDark, kDark}, 16, 16, kRed)));
    CImageList normal, hot, disabled;
    for (auto [list, cells] : {std::pair{&normal, &normalCells}, std::pair{&hot, &hotCells},
                               std::pair{&disabled, &disabledCells}}) {
        ASSERT_TRUE(list->Create(16, 16, ILC_COLOR32 | ILC_MASK, 0, 1));
        ASSERT_EQ(list->Add(cells, RGB(1, 2, 3)), 0);
    }
    CToolBar bar;
    ASSERT_TRUE(bar.CreateEx(&host_, TBSTYLE_FLAT));
    bar.MoveWindow(0, 0, 200, 40);
    ASSERT_TRUE(bar.SetButtons(ids, 3));
    bar.SetSizes(SIZE{24, 24}, SIZE{16, 16});
    bar.SetImageList(&normal);
    bar.EnableButton(33, FALSE);
    RECT cell[3];
    for (int i = 0; i < 3; ++i) bar.GetItemRect(i, &cell[i]);

    DrainEvents();
    {
        PixelProbe probe(bar.GetWidget());
        EXPECT_GT(probe.Count(kRed, cell[0]), 200);
        EXPECT_GT(probe.Count(kGreen, cell[1]), 200);
        EXPECT_EQ(probe.Count(kBlue, cell[2]), 0) << "a disabled button is grey";
        const COLORREF grey =
            probe.At((cell[2].left + cell[2].right) / 2, (cell[2].top + cell[2].bottom) / 2);
        EXPECT_EQ(GetRValue(grey), GetGValue(grey));
        EXPECT_EQ(GetGValue(grey), GetBValue(grey));
        EXPECT_EQ(probe.Count(GetSysColor(COLOR_BTNHIGHLIGHT), cell[0]), 0)
            << "a flat button has no frame until the mouse is on it";
    }

    bar.SetHotImageList(&hot);
    bar.SetDisabledImageList(&disabled);
    const POINT over = Centre(bar, 1);
    bar.SendMessage(WM_MOUSEMOVE, 0,
                    MAKELPARAM(static_cast<WORD>(over.x), static_cast<WORD>(over.y)));
    EXPECT_EQ(bar.GetHotItem(), 1);
    DrainEvents();
    {
        PixelProbe probe(bar.GetWidget());
        EXPECT_GT(probe.Count(kRed, cell[0]), 200);
        EXPECT_GT(probe.Count(kYellow, cell[1]), 200) << "the hot image";
        EXPECT_EQ(probe.Count(kGreen, cell[1]), 0);
        EXPECT_GT(probe.Count(GetSysColor(COLOR_BTNHIGHLIGHT), cell[1]), 20) << "raised frame";
        EXPECT_GT(probe.Count(kDark, cell[2]), 200) << "the disabled image";
    }
    bar.SendMessage(WM_MOUSELEAVE);
    EXPECT_EQ(bar.GetHotItem(), -1);
    bar.DestroyWindow();
}

TEST_F(ToolBarTest, TextsGoBelowOrBesideTheImage) {
    const UINT ids[] = {41, 42};
    CBitmap cells;
    ASSERT_TRUE(cells.CreateFromImage(Cells({kRed, kGreen}, 16, 16, RGB(1, 2, 3))));
    CImageList images;
    ASSERT_TRUE(images.Create(16, 16, ILC_COLOR32 | ILC_MASK, 0, 1));
    ASSERT_EQ(images.Add(&cells, RGB(1, 2, 3)), 0);
    for (DWORD style : {DWORD{0}, TBSTYLE_LIST}) {
        SCOPED_TRACE(style);
        CToolBar bar;
        ASSERT_TRUE(bar.CreateEx(&host_, style));
        bar.MoveWindow(0, 0, 300, 60);
        ASSERT_TRUE(bar.SetButtons(ids, 2));
        bar.SetImageList(&images);
        bar.SetSizes(SIZE{23, 22}, SIZE{16, 16});
        ASSERT_TRUE(bar.SetButtonText(0, "买入"));
        bar.SetButtonStyle(0, TBSTYLE_AUTOSIZE);
        const SIZE needed = bar.NeededButtonSize(0);
        const SIZE plain = bar.NeededButtonSize(1);
        if (style & TBSTYLE_LIST) {
            EXPECT_GT(needed.cx, 16 + 4 + CToolBar::kButtonPadX);
            EXPECT_EQ(plain.cx, 16 + CToolBar::kButtonPadX);
        } else {
            EXPECT_GT(needed.cy, 16 + CToolBar::kButtonPadY + 2);
            EXPECT_EQ(plain.cy, needed.cy) << "every button keeps the room of the text line";
        }
        RECT rect;
        bar.GetItemRect(0, &rect);
        EXPECT_EQ(rect.right - rect.left, needed.cx) << "auto-size";
        DrainEvents();
        PixelProbe probe(bar.GetWidget());
        RECT textArea = rect;
        if (style & TBSTYLE_LIST)
            textArea.left += CToolBar::kButtonPadX / 2 + 16;
        else
            textArea.top += CToolBar::kButtonPadY / 2 + 16;
        EXPECT_GT(DarkPixels(probe, textArea), 5) << "the text is drawn where it belongs";
        RECT imageBand = rect;
        if (style & TBSTYLE_LIST)
            imageBand.right = textArea.left;
        else
            imageBand.bottom = textArea.top;
        EXPECT_EQ(DarkPixels(probe, imageBand), 0) << "and not over the image";
        bar.DestroyWindow();
    }
}

TEST_F(ToolBarTest, StringResourcesComeFromTheProgramsLookup) {
    EXPECT_EQ(platform::ui::LoadStringResource(5), "") << "no lookup set";
    platform::ui::SetStringResourceLookup(
        [](UINT id) { return id == 5 ? std::string("提示\n撤单") : std::string(); });
    EXPECT_EQ(platform::ui::LoadStringResource(5), "提示\n撤单");
    EXPECT_EQ(platform::ui::LoadStringResource(6), "");
    platform::ui::SetStringResourceLookup(nullptr);
    EXPECT_EQ(platform::ui::LoadStringResource(5), "");
}

}  // namespace
