// A small view plug-in for the frame's tests, built as a good library and as faulty variants
// (a missing export, wrong flags or kind, a refusing or zero workplace answer, no window, no
// release entry). It
// counts what it is asked and what its window receives, for the tests to read back.
#include <dlfcn.h>

#include <cstring>
#include <string>

#include "platform/ui/DialogResources.h"
#include "platform/ui/Wnd.h"
#include "shell/ViewPlugin.h"
#include "tests/shell/viewplugin/TestViewCounters.h"

#ifndef VIEW_FLAGS
#define VIEW_FLAGS 0x100
#endif
#ifndef VIEW_KIND
#define VIEW_KIND 1
#endif
#ifndef VIEW_WORKPLACE_RESULT
#define VIEW_WORKPLACE_RESULT 1
#endif

namespace {

// The frame's refresh message, as a plug-in that knows only the message numbers has it.
constexpr UINT kFrameRefresh = WM_APP + 1;
TestViewCounters g_counters;
constexpr int32_t kValue = 4711;

class TestWorkspace : public CWnd {
public:
    TestWorkspace() {
        OnMessage(kFrameRefresh, [](WPARAM bits, LPARAM) {
            ++g_counters.refreshes;
            g_counters.lastRefreshBits = static_cast<uint32_t>(bits);
            return LRESULT{1};
        });
    }
};

// The library's own file name, so that copies under other names show other texts.
std::string OwnFileName() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&OwnFileName), &info) == 0 || info.dli_fname == nullptr)
        return "?";
    const std::string path = info.dli_fname;
    return path.substr(path.rfind('/') + 1);
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) TestViewCounters* TestViewCountersOf() {
    return &g_counters;
}

#ifndef VIEW_NO_INSTANCE_EXPORT
__attribute__((visibility("default"))) int32_t GetInstanceInfo(shell::InstanceInfo* info) {
    ++g_counters.instanceAsked;
    g_counters.instanceSizeSeen = info->cbSize;
    info->flags = VIEW_FLAGS;
    info->kind = VIEW_KIND;
    return 1;
}
#endif

__attribute__((visibility("default"))) int32_t GetWorkPlaceInfo(shell::WorkPlaceInfo* info,
                                                                int32_t) {
    ++g_counters.workPlaceAsked;
    g_counters.workPlaceSizeSeen = info->cbSize;
    info->value = kValue;
    Dl_info self{};
    ::dladdr(reinterpret_cast<void*>(&GetWorkPlaceInfo), &self);
    info->module = self.dli_fbase;
    const std::string name = "视图 " + OwnFileName();
    std::strncpy(info->displayName, name.c_str(), sizeof info->displayName - 1);
    std::strcpy(info->createName, "CreateTestView");
#ifdef VIEW_NO_RELEASE
    std::strcpy(info->releaseName, "NoSuchEntry");
#else
    std::strcpy(info->releaseName, "ReleaseTestView");
#endif
    return VIEW_WORKPLACE_RESULT;
}

__attribute__((visibility("default"))) CWnd* CreateTestView(const shell::ViewCreateParams* params,
                                                            intptr_t) {
    ++g_counters.created;
    g_counters.lastParams = *params;
    const std::string module = platform::ui::CurrentResourceModule();
    std::strncpy(g_counters.resourceModuleAtCreate, module.c_str(),
                 sizeof g_counters.resourceModuleAtCreate - 1);
#ifdef VIEW_CREATE_NULL
    return nullptr;
#else
    auto* view = new TestWorkspace;
    if (!view->Create(nullptr, "", WS_CHILD, RECT{0, 0, 10, 10}, CWnd::FromHandle(params->parent),
                      1)) {
        delete view;
        return nullptr;
    }
    return view;
#endif
}

__attribute__((visibility("default"))) void ReleaseTestView(CWnd* view) {
    ++g_counters.released;
    view->DestroyWindow();
    delete view;
}

}  // extern "C"
