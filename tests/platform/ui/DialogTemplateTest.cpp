// Dialog templates: every built-in template loads and is sound, the parser refuses broken
// templates with the line at fault, the resource chain, and the fixed dialog units.
#include "platform/ui/DialogTemplate.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>

#include "platform/ui/DialogResources.h"
#include "platform/ui/WinDefsControls.h"
#include "platform/ui/WindowClass.h"
#include "support/TempDir.h"
#include "support/ui/UiTestApp.h"

namespace {

using platform::ui::DialogItemTemplate;
using platform::ui::DialogTemplate;
using platform::ui::ParseDialogTemplate;

constexpr const char* kTestModuleDir = KELMON_SOURCE_DIR "/tests/platform/ui/dialogs";

void RegisterTestModule() { platform::ui::RegisterDialogModule("test", kTestModuleDir); }

DialogTemplate Parse(const std::string& text) {
    DialogTemplate t;
    std::string error;
    EXPECT_TRUE(ParseDialogTemplate(text, &t, &error)) << error;
    return t;
}

TEST(DialogTemplateTest, EveryBuiltInTemplateLoadsAndIsSound) {
    RegisterTestModule();
    size_t total = 0;
    for (const char* module : {"kelmon", "pavlet", "test"}) {
        std::vector<std::string> errors = platform::ui::LoadDialogModule(module);
        EXPECT_TRUE(errors.empty()) << module << ": " << ::testing::PrintToString(errors);
        for (const DialogTemplate* t : platform::ui::DialogModuleTemplates(module)) {
            ++total;
            SCOPED_TRACE(std::string(module) + " dialog " + std::to_string(t->id));
            std::set<int32_t> ids;
            for (const DialogItemTemplate& item : t->items) {
                if (item.id != IDC_STATIC) {
                    EXPECT_TRUE(ids.insert(item.id).second) << "id " << item.id << " twice";
                }
                EXPECT_NE(platform::ui::FindWindowClass(item.className), nullptr) << item.className;
                EXPECT_GE(item.x, 0);
                EXPECT_GE(item.y, 0);
                EXPECT_LE(item.x + item.cx, t->cx) << "control " << item.id;
                EXPECT_LE(item.y + item.cy, t->cy) << "control " << item.id;
                EXPECT_TRUE(item.style & WS_CHILD);
            }
        }
    }
    EXPECT_GE(total, 2u);
}

TEST(DialogTemplateTest, TheSoftKeyboardTemplateHasItsKeys) {
    const DialogTemplate* t = platform::ui::FindDialogTemplate(130);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->name, "SECUREKEYBOARD");
    EXPECT_EQ(t->caption, "密码输入软键盘");
    EXPECT_EQ(t->cx, 235);
    EXPECT_EQ(t->cy, 78);
    ASSERT_EQ(t->items.size(), 71u);
    std::map<int32_t, std::string> captions;
    for (const DialogItemTemplate& item : t->items) captions[item.id] = item.text;
    EXPECT_EQ(captions[IDOK], "确认");
    EXPECT_EQ(captions[1006], "退格");
    EXPECT_EQ(captions[1007], "大写锁定");
    EXPECT_EQ(captions[1008], "1");
    EXPECT_EQ(captions[1017], "0");
    EXPECT_EQ(captions[1049], "\\");
    EXPECT_EQ(captions[1051], "\"");
    EXPECT_EQ(captions[1068], "|");
    EXPECT_EQ(captions[1075], "/");
    EXPECT_EQ(platform::ui::FindDialogTemplate("SECUREKEYBOARD"), t);
}

TEST(DialogTemplateTest, ParsesStylesIdsNamesAndEscapes) {
    DialogTemplate t = Parse(
        "# comment\n"
        "\n"
        "DIALOG 77 - 1 2 100 50 \"A \\\"quoted\\\" \\\\ title\" WS_POPUP | WS_CAPTION DS_CENTER "
        "WS_EX_TOOLWINDOW\r\n"
        "CONTROL IDOK \"Button\" \"OK\" 0 0 100 50 BS_DEFPUSHBUTTON|WS_TABSTOP\n"
        "CONTROL IDC_STATIC \"Static\" \"a\" 0 0 1 1 NOT WS_VISIBLE SS_RIGHT\n"
        "CONTROL IDC_STATIC \"Static\" \"b\\nc\" 0 0 1 1\n"
        "CONTROL -7 \"Edit\" \"\" 5 5 10 10 ES_PASSWORD WS_EX_CLIENTEDGE\n"
        "CONTROL 9 \"ComboBox\" \"\" 0 0 50 40 CBS_DROPDOWNLIST CBS_OWNERDRAWFIXED CBS_HASSTRINGS");
    EXPECT_EQ(t.id, 77);
    EXPECT_EQ(t.name, "");
    EXPECT_EQ(t.caption, "A \"quoted\" \\ title");
    EXPECT_EQ(t.style, WS_POPUP | WS_CAPTION | DS_CENTER);
    EXPECT_EQ(t.exStyle, WS_EX_TOOLWINDOW);
    ASSERT_EQ(t.items.size(), 5u);
    EXPECT_EQ(t.items[0].id, IDOK);
    EXPECT_EQ(t.items[0].style, WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP);
    EXPECT_EQ(t.items[1].style, WS_CHILD | SS_RIGHT) << "NOT removes the default WS_VISIBLE";
    EXPECT_EQ(t.items[2].text, "b\nc");
    EXPECT_EQ(t.items[3].id, -7);
    EXPECT_EQ(t.items[3].exStyle, WS_EX_CLIENTEDGE);
    EXPECT_EQ(t.items[3].line, 7);
    EXPECT_EQ(t.items[4].style,
              WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS);
}

TEST(DialogTemplateTest, BrokenTemplatesAreRefusedWithTheirLine) {
    const std::string head = "DIALOG 1 NAME 0 0 100 50 \"t\"\n";
    struct Case {
        std::string text;
        std::string error;
    };
    const Case cases[] = {
        {"", "no DIALOG line"},
        {"CONTROL 1 \"Edit\" \"\" 0 0 1 1", "line 1: CONTROL before the DIALOG line"},
        {head + head, "line 2: a second DIALOG line"},
        {head + "CONTROL 5 \"Edit\" \"\" 0 0 1 1 WS_TABSTOPP", "line 2: unknown style WS_TABSTOPP"},
        {head + "CONTROL 5 \"Edit\" \"\" 0 0 1 1 BS_DEFPUSHBUTTON", "line 2: unknown style"},
        {"DIALOG 1 N 0 0 10 10 \"t\" ES_PASSWORD", "line 1: unknown style ES_PASSWORD"},
        {head + "CONTROL 5 \"NoSuchClass\" \"\" 0 0 1 1", "line 2: unknown window class"},
        {head + "CONTROL 5 \"Edit\" \"\" 0 0 1 1\nCONTROL 5 \"Static\" \"\" 0 0 1 1",
         "line 3: control id 5 used twice"},
        {head + "CONTROL 5 \"Edit\" \"\" 90 0 11 1", "line 2: control 5 lies outside"},
        {head + "CONTROL 5 \"Edit\" \"\" 0 45 1 6", "line 2: control 5 lies outside"},
        {head + "CONTROL 5 \"Edit\" \"\" -1 0 1 1", "line 2: control 5 lies outside"},
        {head + "CONTROL IDMAYBE \"Edit\" \"\" 0 0 1 1", "line 2: bad control id"},
        {head + "CONTROL 5 \"Edit\" \"\" 0 0 1x 1", "line 2: bad number 1x"},
        {head + "CONTROL 5 \"Edit\" \"unterminated 0 0 1 1", "line 2: unterminated string"},
        {head + "CONTROL 5 Edit \"\" 0 0 1 1", "line 2: the class and the text must be quoted"},
        {head + "CONTROL 5 \"Edit\" \"\" 0 0 1", "line 2: CONTROL needs"},
        {head + "CONTROL 5 \"Edit\" \"\" 0 0 1 1 NOT", "line 2: NOT without a style name"},
        {head + "BUTTON 5", "line 2: unknown statement BUTTON"},
        {"DIALOG 1 bad-name 0 0 10 10 \"t\"", "line 1: bad dialog name"},
        {"DIALOG 1 N 0 0 0 10 \"t\"", "line 1: the dialog has no size"},
        {"DIALOG 1 N 0 0 10 10 t", "line 1: the caption must be a quoted string"},
        {"DIALOG 1 N 0 0 10 10 \"t\\q\"", "line 1: unknown escape"},
    };
    for (const Case& c : cases) {
        DialogTemplate t;
        std::string error;
        EXPECT_FALSE(ParseDialogTemplate(c.text, &t, &error)) << c.text;
        EXPECT_NE(error.find(c.error), std::string::npos)
            << "text: " << c.text << "\nerror: " << error;
    }
}

TEST(DialogTemplateTest, TheCurrentModuleIsSearchedFirst) {
    testsupport::TempDir dir;
    std::ofstream(dir.file("130.dlg")) << "DIALOG 130 OTHERKEYBOARD 0 0 10 10 \"mine\"\n";
    std::ofstream(dir.file("broken.dlg")) << "DIALOG 131 X 0 0 10 10 \"t\" WS_NOPE\n";
    platform::ui::RegisterDialogModule("override", dir.path().string());
    EXPECT_EQ(platform::ui::FindDialogTemplate(130)->caption, "密码输入软键盘")
        << "kelmon, then pavlet, then later modules";
    {
        platform::ui::ScopedResourceModule scope("override");
        EXPECT_EQ(platform::ui::CurrentResourceModule(), "override");
        EXPECT_EQ(platform::ui::FindDialogTemplate(130)->caption, "mine");
        EXPECT_EQ(platform::ui::FindDialogTemplate("SECUREKEYBOARD")->caption, "密码输入软键盘")
            << "a template the current module lacks comes from the rest of the chain";
        ASSERT_NE(platform::ui::FindDialogTemplate(131), nullptr);
        EXPECT_EQ(platform::ui::FindDialogTemplate(131)->caption, "设置显示内容和顺序")
            << "a broken file is no template: the chain's own 131 is found";
    }
    EXPECT_EQ(platform::ui::CurrentResourceModule(), "kelmon");
    std::vector<std::string> errors = platform::ui::LoadDialogModule("override");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("broken.dlg: line 1: unknown style WS_NOPE"), std::string::npos)
        << errors[0];
    platform::ui::RegisterDialogModule("override", "/nonexistent");  // forget the temp dir
}

TEST(DialogTemplateTest, DialogUnitsUseFixedBaseUnits) {
    EXPECT_EQ(GetDialogBaseUnits(), MAKELPARAM(6, 13));
    struct Case {
        int units, x, y;
    };
    // x = units * 6 / 4, y = units * 13 / 8, both rounded half away from zero.
    for (Case c : {Case{0, 0, 0}, Case{1, 2, 2}, Case{4, 6, 7}, Case{8, 12, 13}, Case{14, 21, 23},
                   Case{235, 353, 382}, Case{-3, -5, -5}}) {
        EXPECT_EQ(platform::ui::DialogUnitsToPixelsX(c.units), c.x) << c.units;
        EXPECT_EQ(platform::ui::DialogUnitsToPixelsY(c.units), c.y) << c.units;
    }
}

}  // namespace
