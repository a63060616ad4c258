// The tool tip control "tooltips_class32" and CToolTipCtrl: tools identified by (window, id),
// texts given or asked for with TTN_GETDISPINFO, shown after mouse messages or tracked.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/WinDefsCommonControls.h"
#include "platform/ui/WindowClass.h"
#include "platform/ui/Wnd.h"

class CToolTipCtrl : public CWnd {
public:
    // A top-level tip window owned by `parent`; active from the start, as the desktop's is.
    BOOL Create(CWnd* parent, DWORD style = 0);
    // Without a rectangle and id the tool is the whole window `wnd` (TTF_IDISHWND, its parent
    // gets the notifications); otherwise it is `rect` of `wnd` with the id. The control watches
    // the tool window's mouse messages itself. Null text: asked for with TTN_GETDISPINFO.
    BOOL AddTool(CWnd* wnd, const char* text = LPSTR_TEXTCALLBACK, const RECT* rect = nullptr,
                 UINT_PTR id = 0);
    void DelTool(CWnd* wnd, UINT_PTR id = 0);
    void UpdateTipText(const char* text, CWnd* wnd, UINT_PTR id = 0);
    void SetToolRect(CWnd* wnd, UINT_PTR id, const RECT& rect);
    int GetToolCount() const;
    void Activate(BOOL activate);
    void SetDelayTime(UINT initialMs);
    void SetDelayTime(DWORD which, int ms);
    int SetMaxTipWidth(int width);
    BOOL SetTitle(UINT icon, const char* title);
    void RelayEvent(MSG* msg);
    void Pop();

private:
    TOOLINFO MakeToolInfo(CWnd* wnd, UINT_PTR id) const;
};

namespace platform::ui {

void AddToolTipClasses(std::vector<std::pair<std::string, std::unique_ptr<WindowClass>>>& classes);

// What a tip window shows now, for tests and for windows that place themselves beside it.
struct ShownToolTip {
    bool visible = false;
    std::string text;
    std::string title;
    POINT at;       // top-left corner, screen coordinates
    HWND hwnd = 0;  // the tool shown: its window and id
    UINT_PTR id = 0;
};
ShownToolTip GetShownToolTip(HWND tip);

}  // namespace platform::ui
