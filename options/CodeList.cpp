// The contract code lists: their column and their display answers.
#include "options/CodeList.h"

#include "platform/ui/Wnd.h"

namespace options {

void PrepareCodeList(CWnd* list) {
    if (!list) return;
    list->ModifyStyle(0, LVS_REPORT | LVS_OWNERDATA);
    list->SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    RECT client{};
    list->GetClientRect(&client);
    LVCOLUMN column;
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.cx = client.right - client.left - 16;  // room for a vertical scroll bar
    char caption[] = "zqdm";
    column.pszText = caption;
    list->SendMessage(LVM_INSERTCOLUMN, 0, reinterpret_cast<LPARAM>(&column));
}

void AnswerCodeDisplay(NMLVDISPINFO* info, const std::vector<int>& rows, std::string& text,
                       const std::function<std::string(int)>& textOf,
                       const std::function<int(int)>& imageOf) {
    const int item = info->item.iItem;
    if (item < 0 || item >= static_cast<int>(rows.size())) return;
    const int row = rows[static_cast<std::size_t>(item)];
    if (info->item.mask & LVIF_TEXT) {
        text = textOf(row);
        info->item.pszText = text.data();
    }
    if (info->item.mask & LVIF_IMAGE) info->item.iImage = imageOf(row);
}

}  // namespace options
