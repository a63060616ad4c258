// The records the main frame exchanges with a workspace view: the built-in standard panel or a
// view plug-in (a shared library beside the program that creates its own workspace window).
#pragma once

#include <cstdint>

#include "platform/ui/WinDefs.h"

class CWnd;

namespace shell {

// Given to a view's create entry (and to the standard panel's factory).
struct ViewCreateParams {
    uint32_t cbSize = sizeof(ViewCreateParams);
    int32_t value = 0;  // the plug-in's own value from its workplace record
    HWND frame = 0;     // the main frame
    HWND parent = 0;    // the child host window, parent of the workspace window
};

// The built-in standard view: creates the standard trading panel as a child of
// params->parent and returns it (null when it could not be made); the release destroys its
// window and deletes it.
CWnd* CreateStandardWorkspace(const ViewCreateParams* params, intptr_t reserved);
void ReleaseStandardWorkspace(CWnd* workspace);

}  // namespace shell
