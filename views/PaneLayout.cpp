// Layout steps shared by the view pages.
#include "views/PaneLayout.h"

namespace views {

RECT AreaBelow(CWnd& dialog, int controlId) {
    RECT client{};
    dialog.GetClientRect(&client);
    RECT control{};
    if (CWnd* item = dialog.GetDlgItem(controlId)) {
        item->GetWindowRect(&control);
        dialog.ScreenToClient(&control);
    }
    client.top = control.bottom + 4;
    if (client.bottom < client.top) client.bottom = client.top;
    return client;
}

int PaneSize(int stored, int extent, int reserve, int fallback) {
    return stored < kMinPane || stored > extent - reserve ? fallback : stored;
}

void SplitPanes(CSplitterWndXp& splitter, bool& bound, CWnd& dialog, int barId, CWnd& first,
                CWnd& second, COLORREF color) {
    // The bar takes its direction from its shape when bound: bind again after a move.
    if (bound) {
        splitter.DetachAll();
        splitter.UnsubclassWindow();
    }
    bound = splitter.BindWithControl(&dialog, barId, 0) != FALSE;
    if (!bound) return;
    splitter.SetAttachItem(&first, TRUE, kMinPane);
    splitter.SetAttachItem(&second, TRUE, kMinPane);
    splitter.SetBkColor(color);
}

}  // namespace views
