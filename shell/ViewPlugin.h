// The records the main frame exchanges with a workspace view: the built-in standard panel or a
// view plug-in (a shared library in the program's "plugins" folder that creates its own
// workspace window), and the entries such a library exports with a C interface.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/ui/WinDefsTypes.h"

class CWnd;

namespace shell {

// Filled by a plug-in's "GetInstanceInfo"; the frame sets cbSize first.
struct InstanceInfo {
    uint32_t cbSize = sizeof(InstanceInfo);
    uint32_t flags = 0;  // kViewInstanceFlag must be set
    uint32_t reserved = 0;
    int32_t kind = 0;  // kViewKindWorkspace
};
inline constexpr uint32_t kViewInstanceFlag = 0x100;
inline constexpr int32_t kViewKindWorkspace = 1;

// Filled by a plug-in's "GetWorkPlaceInfo" (called with the record and 0) after the frame
// zeroed it and set cbSize; a negative result refuses. The texts are UTF-8, as all text in
// memory, and end with a zero inside their fields. `module` is the plug-in's own word for its
// library (pointer-sized here): the frame keeps it with the current plug-in but frees the
// library through the handle it loaded itself, so a plug-in that leaves it empty or wrong
// cannot make the frame free something else.
struct WorkPlaceInfo {
    uint32_t cbSize = sizeof(WorkPlaceInfo);
    int32_t value = 0;          // handed back to the create entry
    void* module = nullptr;     // the plug-in library
    char displayName[32] = {};  // its system-menu item
    char createName[32] = {};   // exported name of the create entry
    char releaseName[32] = {};  // exported name of the release entry
};

// Given to a view's create entry (and to the standard panel's factory).
struct ViewCreateParams {
    uint32_t cbSize = sizeof(ViewCreateParams);
    int32_t value = 0;  // the plug-in's own value from its workplace record
    HWND frame = 0;     // the main frame
    HWND parent = 0;    // the child host window, parent of the workspace window
};

// One plug-in of the frame's table, as the enumeration found it.
struct ViewPluginEntry {
    uint32_t reserved = 0;
    int32_t value = 0;
    char displayName[32] = {};
    char fileName[40] = {};  // the library's file name, upper case
};

// Window handles are 32-bit ids of the window layer, so only WorkPlaceInfo carries a pointer.
static_assert(sizeof(InstanceInfo) == 16 && offsetof(InstanceInfo, kind) == 12);
static_assert(offsetof(WorkPlaceInfo, module) == 8 &&
              offsetof(WorkPlaceInfo, displayName) == 8 + sizeof(void*) &&
              offsetof(WorkPlaceInfo, createName) == 40 + sizeof(void*) &&
              offsetof(WorkPlaceInfo, releaseName) == 72 + sizeof(void*) &&
              sizeof(WorkPlaceInfo) == 104 + sizeof(void*));
static_assert(sizeof(ViewCreateParams) == 16 && offsetof(ViewCreateParams, parent) == 12);
static_assert(sizeof(ViewPluginEntry) == 80 && offsetof(ViewPluginEntry, fileName) == 40);

// The entries of a view plug-in library. A nonzero answer of GetInstanceInfo accepts; the
// create entry returns the workspace window, a window object of our window layer (which the
// plug-in shares, the layer being a shared library), or null; the release entry gets it back.
extern "C" {
typedef int32_t (*ViewGetInstanceInfoFn)(InstanceInfo* info);
typedef int32_t (*ViewGetWorkPlaceInfoFn)(WorkPlaceInfo* info, int32_t reserved);
typedef CWnd* (*ViewCreateFn)(const ViewCreateParams* params, intptr_t reserved);
typedef void (*ViewReleaseFn)(CWnd* workspace);
}

// The built-in standard view: creates the standard trading panel as a child of
// params->parent and returns it (null when it could not be made); the release destroys its
// window and deletes it.
CWnd* CreateStandardWorkspace(const ViewCreateParams* params, intptr_t reserved);
void ReleaseStandardWorkspace(CWnd* workspace);

}  // namespace shell
