// Until the standard trading panel is in the build the standard view is empty.
#include "shell/ViewPlugin.h"

namespace shell {

CWnd* CreateStandardWorkspace(const ViewCreateParams*, intptr_t) { return nullptr; }
void ReleaseStandardWorkspace(CWnd*) {}

}  // namespace shell
