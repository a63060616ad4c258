// OrderedCodeTree: the chosen codes of the favourites dialogs over a tree control.
#include "options/OrderedCodeTree.h"

#include "platform/ui/Wnd.h"

namespace options {

LRESULT OrderedCodeTree::Send(UINT message, WPARAM wParam, LPARAM lParam) const {
    return tree_ ? tree_->SendMessage(message, wParam, lParam) : 0;
}

HTREEITEM OrderedCodeTree::Next(HTREEITEM item, WPARAM relation) const {
    return static_cast<HTREEITEM>(Send(TVM_GETNEXTITEM, relation, item));
}

void OrderedCodeTree::Append(const std::string& code, int row) {
    std::string text = code;
    TVINSERTSTRUCT insert;
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = text.data();
    insert.item.lParam = row;
    Send(TVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&insert));
}

bool OrderedCodeTree::ContainsRow(int row) const {
    for (HTREEITEM item = Next(0, TVGN_ROOT); item; item = Next(item, TVGN_NEXT)) {
        TVITEM tv;
        tv.mask = TVIF_PARAM | TVIF_HANDLE;
        tv.hItem = item;
        Send(TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&tv));
        if (tv.lParam == row) return true;
    }
    return false;
}

std::vector<std::string> OrderedCodeTree::Codes() const {
    std::vector<std::string> codes;
    for (HTREEITEM item = Next(0, TVGN_ROOT); item; item = Next(item, TVGN_NEXT)) {
        char buffer[256] = {};
        TVITEM tv;
        tv.mask = TVIF_TEXT | TVIF_HANDLE;
        tv.hItem = item;
        tv.pszText = buffer;
        tv.cchTextMax = sizeof buffer;
        Send(TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&tv));
        codes.emplace_back(buffer);
    }
    return codes;
}

std::string OrderedCodeTree::Joined() const {
    std::string joined;
    for (const std::string& code : Codes()) joined += (joined.empty() ? "" : ",") + code;
    return joined;
}

int OrderedCodeTree::Count() const { return static_cast<int>(Send(TVM_GETCOUNT)); }

HTREEITEM OrderedCodeTree::Selected() const { return Next(0, TVGN_CARET); }

bool OrderedCodeTree::HasPrevious() const {
    const HTREEITEM selected = Selected();
    return selected && Next(selected, TVGN_PREVIOUS) != 0;
}

bool OrderedCodeTree::HasNext() const {
    const HTREEITEM selected = Selected();
    return selected && Next(selected, TVGN_NEXT) != 0;
}

void OrderedCodeTree::DeleteSelected() {
    if (const HTREEITEM selected = Selected()) Send(TVM_DELETEITEM, 0, selected);
}

void OrderedCodeTree::Clear() { Send(TVM_DELETEITEM, 0, TVI_ROOT); }

void OrderedCodeTree::Select(HTREEITEM item) { Send(TVM_SELECTITEM, TVGN_CARET, item); }

void OrderedCodeTree::MoveSelected(bool up) {
    const HTREEITEM selected = Selected();
    if (!selected) return;
    const HTREEITEM other = Next(selected, up ? TVGN_PREVIOUS : TVGN_NEXT);
    if (!other) return;
    char textA[256] = {}, textB[256] = {};
    TVITEM a, b;
    a.mask = b.mask = TVIF_TEXT | TVIF_PARAM | TVIF_HANDLE;
    a.hItem = selected, b.hItem = other;
    a.pszText = textA, b.pszText = textB;
    a.cchTextMax = b.cchTextMax = sizeof textA;
    Send(TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&a));
    Send(TVM_GETITEM, 0, reinterpret_cast<LPARAM>(&b));
    std::swap(a.hItem, b.hItem);
    Send(TVM_SETITEM, 0, reinterpret_cast<LPARAM>(&a));
    Send(TVM_SETITEM, 0, reinterpret_cast<LPARAM>(&b));
    Select(other);
}

}  // namespace options
