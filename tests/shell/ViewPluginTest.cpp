// View plug-ins: the system menu the frame builds (About, the view choices), which libraries of
// the plug-in folder are offered and which refused, the table's size, loading, switching and
// releasing with "viewdll" written, the stored upper-case name matched again at the next start,
// and the plug-in's window as the workspace that the frame's messages reach.
#include "shell/ViewPluginHost.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMenu>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/DialogResources.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "shell/MainFrame.h"
#include "shell/TradeApp.h"
#include "shell/TradePanel.h"
#include "shell/services/SettingsWriters.h"
#include "shell/services/StartupSettings.h"
#include "support/ScratchProfile.h"
#include "support/ui/MenuDriver.h"
#include "support/ui/UiTestApp.h"
#include "tests/shell/viewplugin/TestViewCounters.h"
#include "tradedata/TradeRequest.h"

namespace shell {
namespace {

namespace fs = std::filesystem;
using kelmon::test::ui::UiTest;

// A frame with no worker thread that records the About commands it runs.
class PluginFrame : public CMainFrame {
public:
    int abouts = 0;
    std::vector<std::pair<HMENU, BOOL>> popups;  // WM_INITMENUPOPUP as the frame heard it

protected:
    std::unique_ptr<CWorkerThread> CreateWorkerThread() override { return nullptr; }
    void RunAboutDialog() override { ++abouts; }
    void OnInitMenuPopup(HMENU popup, UINT index, BOOL systemMenu) override {
        popups.emplace_back(popup, systemMenu);
        CMainFrame::OnInitMenuPopup(popup, index, systemMenu);
    }
};

// The standard view is the trading panel, published as the workspace and shown in the host.
bool ShowsTheStandardPanel(PluginFrame& frame) {
    auto* panel = dynamic_cast<CTradePanelDlg*>(frame.Workspace());
    return panel != nullptr && GetWorkspaceWindow() == panel->m_hWnd &&
           frame.ChildHost().GetChildWnd() == panel &&
           (::GetWindowLong(panel->m_hWnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

// Opens the sub-menus of each tracked pop-up as it shows, as a user pointing at them does.
class SubMenuOpener : public QObject {
public:
    SubMenuOpener() { QCoreApplication::instance()->installEventFilter(this); }
    ~SubMenuOpener() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* menu = qobject_cast<QMenu*>(object);
        if (event->type() != QEvent::Show || menu == nullptr) return false;
        for (QAction* action : menu->actions())
            if (QMenu* sub = action->menu()) Q_EMIT sub->aboutToShow();
        return false;
    }
};

class ViewPluginTest : public UiTest {
public:
    void SetUp() override {
        ASSERT_EQ(CreateDirectoryPath(GetUserDirectory()), 1);
        NoltComm::SetRequestAbort(0);
    }
    void TearDown() override {
        NoltComm::SetRequestAbort(0);
        SetWorkspaceWindow(0);
        UiTest::TearDown();
    }

    std::string Folder() const { return ViewPluginFolder(); }
    void MakeFolder(fs::perms mode = fs::perms(0755)) {
        fs::create_directories(Folder());
        fs::permissions(Folder(), mode);
    }
    // Copies a built variant into the plug-in folder under `name`.
    std::string Install(const std::string& variant, const std::string& name,
                        fs::perms mode = fs::perms(0644)) {
        if (!fs::exists(Folder())) MakeFolder();
        const std::string to = Folder() + name;
        fs::copy_file(std::string(KELMON_VIEW_PLUGIN_DIR) + variant + ".so", to,
                      fs::copy_options::overwrite_existing);
        fs::permissions(to, mode);
        return to;
    }
    // The counters of a library while it is loaded; null once it is not.
    static TestViewCounters* Counters(const std::string& path) {
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (handle == nullptr) return nullptr;
        auto of = reinterpret_cast<TestViewCounters* (*)()>(::dlsym(handle, "TestViewCountersOf"));
        ::dlclose(handle);  // the frame's own reference keeps it loaded
        return of != nullptr ? of() : nullptr;
    }
    static bool Loaded(const std::string& path) { return Counters(path) != nullptr; }
    static std::vector<std::string> FileNames(const std::vector<ViewPluginEntry>& table) {
        std::vector<std::string> names;
        for (const auto& e : table) names.emplace_back(e.fileName);
        return names;
    }
    // Items of a menu as "id text" ("-" for separators, "> text" for a sub-menu).
    static std::vector<std::string> Items(HMENU menu) {
        std::vector<std::string> items;
        for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
            const UINT state = ::GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
            const std::string text = ::GetMenuString(menu, static_cast<UINT>(i), MF_BYPOSITION);
            if (state & MF_SEPARATOR)
                items.emplace_back("-");
            else if (::GetSubMenu(menu, i) != 0)
                items.push_back("> " + text);
            else
                items.push_back(std::to_string(::GetMenuItemID(menu, i)) + " " + text);
        }
        return items;
    }
    static HMENU ViewMenu(const CMainFrame& frame) {
        HMENU system = ::GetSystemMenu(frame.m_hWnd, FALSE);
        const int count = ::GetMenuItemCount(system);
        return count > 0 ? ::GetSubMenu(system, count - 1) : 0;
    }
    // The check marks the frame sets as the view pop-up opens, per item.
    static std::vector<bool> Checks(CMainFrame& frame) {
        HMENU views = ViewMenu(frame);
        frame.SendMessage(WM_INITMENUPOPUP, views, MAKELPARAM(0, 1));
        std::vector<bool> checks;
        for (int i = 0; i < ::GetMenuItemCount(views); ++i)
            checks.push_back(
                (::GetMenuState(views, static_cast<UINT>(i), MF_BYPOSITION) & MF_CHECKED) != 0);
        return checks;
    }
    void Create(PluginFrame* frame) { ASSERT_TRUE(frame->LoadFrame("frame")); }

    testsupport::ScratchProfile profile_;
};

const std::string kAboutItem = std::to_string(ID_APP_ABOUT) + " " + kAboutMenuText;
const std::vector<std::string> kStandardSystemItems = {
    std::to_string(SC_RESTORE) + " 还原(&R)", std::to_string(SC_MINIMIZE) + " 最小化(&N)",
    std::to_string(SC_MAXIMIZE) + " 最大化(&X)", "-",
    std::to_string(SC_CLOSE) + " 关闭(&C)\tAlt+F4"};

TEST_F(ViewPluginTest, WithoutPluginsTheSystemMenuHasAboutAndNoViewChoice) {
    for (bool folder : {false, true}) {
        SCOPED_TRACE(folder);
        if (folder) MakeFolder();
        PluginFrame frame;
        Create(&frame);
        auto expected = kStandardSystemItems;
        expected.insert(expected.end(), {"-", kAboutItem});
        EXPECT_EQ(Items(::GetSystemMenu(frame.m_hWnd, FALSE)), expected);
        // The menu itself is gone once its items moved.
        EXPECT_EQ(::GetMenu(frame.m_hWnd), HMENU{0});
        EXPECT_TRUE(frame.ViewPlugins().empty());
        EXPECT_EQ(frame.CurrentViewPlugin(), -1);
        const HMENU system = ::GetSystemMenu(frame.m_hWnd, FALSE);
        frame.DestroyWindow();
        EXPECT_FALSE(::IsMenu(system));  // the system menu goes with its window
    }
}

TEST_F(ViewPluginTest, PluginsAreOfferedInAPopUpAfterTheStandardView) {
    Install("goodview", "trader.so");
    Install("zeroinfo", "Alpha.so");
    PluginFrame frame;
    Create(&frame);
    HMENU system = ::GetSystemMenu(frame.m_hWnd, FALSE);
    auto expected = kStandardSystemItems;
    expected.insert(expected.end(), {"-", kAboutItem, "-", std::string("> ") + kViewMenuText});
    EXPECT_EQ(Items(system), expected);
    EXPECT_EQ(Items(ViewMenu(frame)),
              (std::vector<std::string>{"57616 Velmora交易客户端标准界面", "57617 视图 Alpha.so",
                                        "57618 视图 trader.so"}));
    EXPECT_EQ(FileNames(frame.ViewPlugins()), (std::vector<std::string>{"ALPHA.SO", "TRADER.SO"}));
    EXPECT_EQ(frame.ViewPlugins()[1].value, 4711);
    // Every probed library was let go again.
    EXPECT_FALSE(Loaded(Folder() + "trader.so"));
    EXPECT_FALSE(Loaded(Folder() + "Alpha.so"));
    EXPECT_EQ(frame.CurrentViewPlugin(), -1);
    EXPECT_EQ(Checks(frame), (std::vector<bool>{true, false, false}));
    frame.DestroyWindow();
}

TEST_F(ViewPluginTest, OnlyTrustedLibrariesThatAnswerAsViewsAreOffered) {
    const struct {
        const char* what;
        std::function<void(ViewPluginTest&)> install;
        bool offered;
    } cases[] = {
        {"good", [](ViewPluginTest& t) { t.Install("goodview", "view.so"); }, true},
        {"workplace answer 0", [](ViewPluginTest& t) { t.Install("zeroinfo", "view.so"); }, true},
        {"upper-case suffix", [](ViewPluginTest& t) { t.Install("goodview", "VIEW.SO"); }, true},
        {"workplace answer -1", [](ViewPluginTest& t) { t.Install("negativeinfo", "view.so"); },
         false},
        {"no GetInstanceInfo", [](ViewPluginTest& t) { t.Install("noinstance", "view.so"); },
         false},
        {"wrong flags", [](ViewPluginTest& t) { t.Install("badflags", "view.so"); }, false},
        {"wrong kind", [](ViewPluginTest& t) { t.Install("badkind", "view.so"); }, false},
        {"group-writable file",
         [](ViewPluginTest& t) { t.Install("goodview", "view.so", fs::perms(0664)); }, false},
        {"world-writable file",
         [](ViewPluginTest& t) { t.Install("goodview", "view.so", fs::perms(0646)); }, false},
        {"group-writable folder",
         [](ViewPluginTest& t) {
             t.MakeFolder(fs::perms(0775));
             t.Install("goodview", "view.so");
         },
         false},
        {"symbolic link",
         [](ViewPluginTest& t) {
             const std::string real = t.profile_.dir.file("view.so");
             fs::copy_file(std::string(KELMON_VIEW_PLUGIN_DIR) + "goodview.so", real);
             fs::permissions(real, fs::perms(0644));
             t.MakeFolder();
             fs::create_symlink(real, t.Folder() + "view.so");
         },
         false},
        {"directory", [](ViewPluginTest& t) { fs::create_directories(t.Folder() + "view.so"); },
         false},
        {"two spellings of one name, offered once",
         [](ViewPluginTest& t) {
             t.Install("goodview", "view.so");
             t.Install("goodview", "VIEW.so");
         },
         true},
        {"other suffix", [](ViewPluginTest& t) { t.Install("goodview", "view.dll"); }, false},
        {"name too long for the table",
         [](ViewPluginTest& t) { t.Install("goodview", std::string(37, 'v') + ".so"); }, false},
        {"not a library",
         [](ViewPluginTest& t) {
             t.MakeFolder();
             std::ofstream(t.Folder() + "view.so") << "no library";
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::error_code ec;
        fs::remove_all(Folder(), ec);
        c.install(*this);
        EXPECT_EQ(EnumerateViewPlugins().size(), c.offered ? 1u : 0u);
    }
}

TEST_F(ViewPluginTest, TheTableStopsAtFifteenPluginsAndTheLastIdIsTheFrames) {
    for (int i = 0; i < 17; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "v%02d.so", i);
        Install("goodview", name);
    }
    PluginFrame frame;
    Create(&frame);
    ASSERT_EQ(frame.ViewPlugins().size(), 15u);
    EXPECT_EQ(std::string(frame.ViewPlugins().back().fileName), "V14.SO");
    const auto items = Items(ViewMenu(frame));
    ASSERT_EQ(items.size(), 16u);
    EXPECT_EQ(items.back(), "57631 视图 v14.so");
    // A file spelt as a name past the table is not loaded either.
    frame.LoadViewPlugin("V15.SO");
    EXPECT_EQ(frame.CurrentViewPlugin(), -1);
    EXPECT_FALSE(Loaded(Folder() + "v15.so"));
    frame.SendMessage(WM_SYSCOMMAND, ID_VIEW_LAST);
    EXPECT_EQ(frame.CurrentViewPlugin(), 14);
    EXPECT_EQ(GetLocalizeString("SYSTEM", "viewdll"), "V14.SO");
    // Loading over a current plug-in gives its window back before its library goes.
    ASSERT_TRUE(Loaded(Folder() + "v14.so"));
    frame.LoadViewPlugin("v00.so");
    EXPECT_EQ(frame.CurrentViewPlugin(), 0);
    EXPECT_FALSE(Loaded(Folder() + "v14.so"));
    frame.SendMessage(WM_CLOSE);
}

TEST_F(ViewPluginTest, SwitchingReleasesTheOldViewBeforeMakingTheNewOne) {
    const std::string alpha = Install("goodview", "alpha.so");
    const std::string beta = Install("zeroinfo", "beta.so");
    PluginFrame frame;
    Create(&frame);
    ASSERT_EQ(frame.ViewPlugins().size(), 2u);
    EXPECT_TRUE(ShowsTheStandardPanel(frame));

    NoltComm::SetRequestAbort(1);
    frame.SendMessage(WM_SYSCOMMAND, ID_VIEW_FIRST_PLUGIN);
    EXPECT_EQ(NoltComm::GetRequestAbort(), 0u);
    EXPECT_EQ(frame.CurrentViewPlugin(), 0);
    TestViewCounters* a = Counters(alpha);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->created, 1);
    EXPECT_EQ(a->instanceSizeSeen, 16u);
    EXPECT_EQ(a->workPlaceSizeSeen, sizeof(WorkPlaceInfo));
    EXPECT_EQ(a->lastParams.cbSize, 16u);
    EXPECT_EQ(a->lastParams.value, 4711);
    EXPECT_EQ(a->lastParams.frame, frame.m_hWnd);
    EXPECT_EQ(a->lastParams.parent, frame.ChildHost().m_hWnd);
    // Its templates come first while it builds its window; the program's again afterwards.
    EXPECT_STREQ(a->resourceModuleAtCreate, "ALPHA.SO");
    EXPECT_EQ(platform::ui::CurrentResourceModule(), "kelmon");
    ASSERT_NE(frame.Workspace(), nullptr);
    const HWND alphaWindow = frame.Workspace()->m_hWnd;
    EXPECT_EQ(GetWorkspaceWindow(), alphaWindow);
    EXPECT_EQ(frame.ChildHost().GetChildWnd(), frame.Workspace());
    EXPECT_TRUE(::GetWindowLong(alphaWindow, GWL_STYLE) & WS_VISIBLE);  // shown by the frame
    EXPECT_EQ(GetLocalizeString("SYSTEM", "viewdll"), "ALPHA.SO");
    EXPECT_EQ(Checks(frame), (std::vector<bool>{false, true, false}));

    // The current view's own item changes nothing.
    frame.SendMessage(WM_SYSCOMMAND, ID_VIEW_FIRST_PLUGIN);
    EXPECT_EQ(a->created, 1);
    EXPECT_EQ(a->released, 0);

    frame.SendMessage(WM_SYSCOMMAND, ID_VIEW_FIRST_PLUGIN + 1);
    EXPECT_FALSE(Loaded(alpha));  // released, and its library freed
    EXPECT_FALSE(::IsWindow(alphaWindow));
    TestViewCounters* b = Counters(beta);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->created, 1);
    EXPECT_EQ(frame.CurrentViewPlugin(), 1);
    EXPECT_EQ(GetLocalizeString("SYSTEM", "viewdll"), "BETA.SO");
    EXPECT_EQ(Checks(frame), (std::vector<bool>{false, false, true}));

    frame.SendMessage(WM_SYSCOMMAND, ID_VIEW_STANDARD);
    EXPECT_FALSE(Loaded(beta));
    EXPECT_EQ(frame.CurrentViewPlugin(), -1);
    EXPECT_TRUE(ShowsTheStandardPanel(frame));
    EXPECT_EQ(GetLocalizeString("SYSTEM", "viewdll"), "");
    EXPECT_EQ(Checks(frame), (std::vector<bool>{true, false, false}));

    // Closing gives the current plug-in its window back and frees it.
    frame.SendMessage(WM_SYSCOMMAND, ID_VIEW_FIRST_PLUGIN);
    ASSERT_TRUE(Loaded(alpha));
    frame.SendMessage(WM_CLOSE);
    EXPECT_FALSE(::IsWindow(frame.m_hWnd));
    EXPECT_FALSE(Loaded(alpha));
    EXPECT_EQ(GetWorkspaceWindow(), HWND{0});
}

TEST_F(ViewPluginTest, TheStoredUpperCaseNameFindsTheLowerCaseFileAtTheNextStart) {
    const std::string path = Install("goodview", "trader.so");
    ASSERT_TRUE(WriteLocalizeString("SYSTEM", "viewdll", "TRADER.SO"));
    PluginFrame frame;
    Create(&frame);
    EXPECT_EQ(frame.CurrentViewPlugin(), 0);
    TestViewCounters* counters = Counters(path);
    ASSERT_NE(counters, nullptr);
    EXPECT_EQ(counters->created, 1);
    ASSERT_NE(frame.Workspace(), nullptr);
    EXPECT_EQ(GetWorkspaceWindow(), frame.Workspace()->m_hWnd);
    frame.DestroyWindow();  // destroyed without a close: the plug-in still gets its window back
    EXPECT_FALSE(Loaded(path));
}

TEST_F(ViewPluginTest, AViewThatCannotBeMadeGivesTheStandardOne) {
    const std::string empty = Install("nullview", "empty.so");
    const std::string keeper = Install("norelease", "keeper.so");
    Install("goodview", "good.so");
    const struct {
        const char* stored;
        std::function<void()> before;
    } starts[] = {
        {"EMPTY.SO", [] {}},    // its create entry makes no window
        {"KEEPER.SO", [] {}},   // it has no entry to take its window back
        {"MISSING.SO", [] {}},  // no such file
        // Made writable by others since it was chosen.
        {"GOOD.SO", [this] { fs::permissions(Folder() + "good.so", fs::perms(0666)); }},
    };
    for (const auto& s : starts) {
        SCOPED_TRACE(s.stored);
        s.before();
        ASSERT_TRUE(WriteLocalizeString("SYSTEM", "viewdll", s.stored));
        PluginFrame frame;
        Create(&frame);
        EXPECT_EQ(frame.CurrentViewPlugin(), -1);
        EXPECT_TRUE(ShowsTheStandardPanel(frame));
        EXPECT_FALSE(Loaded(empty));
        EXPECT_FALSE(Loaded(keeper));
        // At a start the choice stays stored.
        EXPECT_EQ(GetLocalizeString("SYSTEM", "viewdll"), s.stored);
        frame.DestroyWindow();
    }

    // Chosen from the menu it falls back too, and the choice is stored empty.
    fs::permissions(Folder() + "good.so", fs::perms(0644));
    PluginFrame frame;
    Create(&frame);
    frame.SendMessage(WM_SYSCOMMAND, ID_VIEW_FIRST_PLUGIN + 1);  // good.so
    ASSERT_EQ(frame.CurrentViewPlugin(), 1);
    ASSERT_EQ(std::string(frame.ViewPlugins()[0].fileName), "EMPTY.SO");
    frame.SendMessage(WM_SYSCOMMAND, ID_VIEW_FIRST_PLUGIN);  // empty.so
    EXPECT_EQ(frame.CurrentViewPlugin(), -1);
    EXPECT_TRUE(ShowsTheStandardPanel(frame));
    EXPECT_FALSE(Loaded(empty));
    EXPECT_EQ(GetLocalizeString("SYSTEM", "viewdll"), "");
    frame.DestroyWindow();
}

TEST_F(ViewPluginTest, ThePluginsWindowReceivesTheRefreshesPostedToTheWorkspace) {
    const std::string path = Install("goodview", "trader.so");
    ASSERT_TRUE(WriteLocalizeString("SYSTEM", "viewdll", "trader.so"));
    PluginFrame frame;
    Create(&frame);
    TestViewCounters* counters = Counters(path);
    ASSERT_NE(counters, nullptr);
    // As the worker and the push handlers post it, from any thread, to the published handle.
    std::thread poster([] { ::PostMessage(GetWorkspaceWindow(), WM_FRAME_REFRESH, 0x20, 0); });
    poster.join();
    kelmon::test::ui::DrainEvents();
    EXPECT_EQ(counters->refreshes, 1);
    EXPECT_EQ(counters->lastRefreshBits, 0x20u);
    frame.DestroyWindow();
}

TEST_F(ViewPluginTest, TheSystemMenuOpensWithAltSpaceAndItsCommandsReachTheFrame) {
    const std::string path = Install("goodview", "trader.so");
    PluginFrame frame;
    Create(&frame);
    frame.ShowWindow(SW_SHOW);
    kelmon::test::ui::MenuDriver driver;
    SubMenuOpener opener;
    HMENU system = ::GetSystemMenu(frame.m_hWnd, FALSE);
    HMENU views = ViewMenu(frame);

    driver.ChooseNext(ID_VIEW_FIRST_PLUGIN);
    frame.SendMessage(WM_SYSKEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(driver.Shown(), 1);
    EXPECT_EQ(frame.CurrentViewPlugin(), 0);
    ASSERT_TRUE(Loaded(path));
    // Both the system menu and its view pop-up were announced as parts of a system menu.
    EXPECT_EQ(frame.popups, (std::vector<std::pair<HMENU, BOOL>>{{system, TRUE}, {views, TRUE}}));

    // About is posted to the frame as its command; it runs once the queue is served.
    driver.ChooseNext(ID_APP_ABOUT);
    EXPECT_EQ(platform::ui::TrackSystemMenu(frame.m_hWnd, 0, 0), ID_APP_ABOUT);
    // As the view pop-up opened, the mark moved to the plug-in now current.
    EXPECT_EQ(::GetMenuState(views, ID_VIEW_STANDARD, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_NE(::GetMenuState(views, ID_VIEW_FIRST_PLUGIN, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_EQ(frame.abouts, 0);
    kelmon::test::ui::DrainEvents();
    EXPECT_EQ(frame.abouts, 1);

    // A standard command goes on to the default procedure: the frame closes.
    driver.ChooseNext(static_cast<UINT>(SC_CLOSE));
    frame.SendMessage(WM_SYSKEYDOWN, VK_SPACE, 0);
    EXPECT_FALSE(::IsWindow(frame.m_hWnd));
    EXPECT_FALSE(Loaded(path));
}

}  // namespace
}  // namespace shell
