// CGridCtrl's commands (WM_GRID_COMMAND), its context menu, the column-order and list-style
// dialogs it runs, and in-place editing of a cell.
#include <QAbstractScrollArea>
#include <QScrollBar>
#include <algorithm>

#include "flexui/ColumnOrderDlg.h"
#include "flexui/GridCtrl.h"
#include "flexui/ListStyleDlg.h"
#include "platform/core/Numbers.h"
#include "platform/ui/Dc.h"
#include "platform/ui/Menu.h"
#include "platform/ui/Messages.h"
#include "platform/ui/SysColors.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/WindowClass.h"
#include "record/MemRecord.h"

namespace {

constexpr UINT kEditId = 0xFFF1;

}  // namespace

// The in-place edit of one cell. Enter, Tab, the wheel and focus loss end it keeping a changed
// text, Esc discarding it; once ended it closes itself and the object goes with the window.
class CGridEdit : public CWnd {
public:
    explicit CGridEdit(CGridCtrl* grid) : grid_(grid) {}
    void Forget() { grid_ = nullptr; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_GETDLGCODE:
                // Enter, Esc and Tab belong to the edit, not to a dialog around the grid.
                return CWnd::WindowProc(message, wParam, lParam) | DLGC_WANTALLKEYS;
            case WM_KEYDOWN:
                if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
                    End(wParam == VK_RETURN);
                    return 0;
                }
                if (wParam == VK_TAB) return EndAndPassOn(message, wParam, lParam);
                break;
            case WM_MOUSEWHEEL:
                return EndAndPassOn(message, wParam, lParam);
            case WM_KILLFOCUS: {
                const LRESULT result = CWnd::WindowProc(message, wParam, lParam);
                End(true);
                return result;
            }
            default:
                break;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }

protected:
    void PostNcDestroy() override { delete this; }

private:
    void End(bool keep) {
        if (CGridCtrl* grid = grid_) grid->EndEdit(keep);
    }
    LRESULT EndAndPassOn(UINT message, WPARAM wParam, LPARAM lParam) {
        const HWND grid = grid_ ? grid_->m_hWnd : 0;
        End(true);
        return grid && ::IsWindow(grid) ? ::SendMessage(grid, message, wParam, lParam) : 0;
    }

    CGridCtrl* grid_;
};

// ---------------------------------------------------------------- commands

BOOL CGridCtrl::RunColumnOrderDialog(const std::string& order, const std::string& fields,
                                     std::string* result) {
    return ::RunColumnOrderDialog(this, order, fields, result);
}

BOOL CGridCtrl::RunListStyleDialog(COLORREF colors[8]) {
    CListStyleDlg dialog(this);
    for (int c = 0; c < CListStyleDlg::kColorCount; ++c)
        dialog.SetColor(static_cast<CListStyleDlg::Color>(c), colors[c]);
    if (dialog.DoModal() != IDOK) return FALSE;
    for (int c = 0; c < CListStyleDlg::kColorCount; ++c)
        colors[c] = dialog.GetColor(static_cast<CListStyleDlg::Color>(c));
    return TRUE;
}

LRESULT CGridCtrl::OnGridCommand(WPARAM command, LPARAM value) {
    const auto colour = static_cast<COLORREF>(value);
    auto toggle = [&](uint32_t bit, bool on) {
        if (on)
            style_ |= bit;
        else
            style_ &= ~bit;
    };
    switch (command) {
        case 1:
        case 2:
            SortColumn(static_cast<int>(value), static_cast<int>(command));
            break;
        case 3:
            SetGridlinesColor(colour);
            break;
        case 4:
        case 6:
            SetSelectedColor(colour, selBk_);
            break;
        case 5:
        case 7:
            SetSelectedColor(selText_, colour);
            break;
        case 8:
            toggle(GRID_GRIDLINES, value != 0);
            Invalidate(FALSE);
            break;
        case 10:
            toggle(GRID_INDICATOR, value != 0);
            PlaceIndicator();
            break;
        case 11:
            SetHeaderGridlinesColor(colour);
            break;
        case 12:
            RunColumnOrder();
            break;
        case 13:
            RunFontDialog(false);
            break;
        case 14:
            ::SendMessage(m_hWnd, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(colour));
            ::SendMessage(m_hWnd, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(colour));
            Invalidate(FALSE);
            break;
        case 15:
            return static_cast<LRESULT>(style_);
        case 16:
            SetExStyle(static_cast<uint32_t>(value), 0xFFFF);
            break;
        case 17:
            return static_cast<LRESULT>(gridColor_);
        case 19:
            AdjustField(-1);
            WriteHeaderOrderWidths();
            break;
        case 20:
            SetItemHeight(static_cast<int>(value), TRUE);
            break;
        case 21:
            SetSortedColor(colour);
            break;
        case 22:
            RunListStyle();
            break;
        case 23:
            toggle(GRID_GRIDLINES, !(style_ & GRID_GRIDLINES));
            SavePrivateAttribute();
            Invalidate(FALSE);
            break;
        case 24:
            toggle(GRID_INDICATOR, !(style_ & GRID_INDICATOR));
            SavePrivateAttribute();
            PlaceIndicator();
            break;
        case 25:
            SetItemHeight(0, TRUE);
            break;
        case 26:
            RunFontDialog(true);
            break;
        case 27:
            RemoveHeaderFont();
            break;
        case 100:
            ExportToDBF();
            break;
        case 101:
            ExportToCSV();
            break;
        default:
            break;
    }
    if (!m_hWnd) return 1;
    NMGRIDCOMMAND nm;
    nm.command = command;
    nm.value = value;
    platform::ui::SendNotify(m_hWnd, GRIDN_COMMAND, &nm.hdr);
    return 1;
}

void CGridCtrl::RunColumnOrder() {
    if (!mem_ || layoutName_.empty() || (GetStyle() & LVS_NOCOLUMNHEADER)) return;
    const bool twoLevel = (style_ & GRID_TWOLEVEL) && headerPart_ && leafPart_;
    CMemRecord* table = twoLevel ? leafPart_->GetMemRecord() : mem_;
    std::string previous;
    for (uint32_t entry : twoLevel ? leafOrder_ : mainOrder_) {
        if (entry & 0x10000) continue;
        if (!previous.empty()) previous += ',';
        previous += platform::FormatInt(table->GetFieldIDentity(static_cast<int>(entry & 0xFFFF)));
    }
    std::string fields;
    for (int field : OfferedFields(table)) {
        if (IsDisabledField(table, field)) continue;
        std::string caption;
        table->GetFieldInfo(field, &caption, nullptr, nullptr, nullptr, nullptr);
        if (GridTextMapFunctor map = GetHeaderTextMapFunctor())
            if (const char* mapped = map(caption.c_str())) caption = mapped;
        if (!fields.empty()) fields += ',';
        fields += platform::FormatInt(table->GetFieldIDentity(field)) + ":" + caption;
    }
    std::string result;
    const HWND self = m_hWnd;
    if (!RunColumnOrderDialog(previous, fields, &result) || !::IsWindow(self)) return;
    if (result == previous) return;
    SetColumnOrder(result.c_str());
    WriteHeaderOrderWidths();
    Refresh(0);
}

void CGridCtrl::RunListStyle() {
    COLORREF colours[8] = {
        ListBkColor(), ListTextColor(),
        gridColor_,    (style_ & GRID_HEADERLISTBK) ? CListStyleDlg::kHeaderFollowsList : headerBk_,
        headerText_,   headerGridColor_,
        selBk_,        selText_};
    const HWND self = m_hWnd;
    if (!RunListStyleDialog(colours) || !::IsWindow(self)) return;
    // A list colour left at its default becomes the system's own.
    if (colours[0] == CLR_INVALID) colours[0] = GetSysColor(COLOR_WINDOW);
    if (colours[1] == CLR_INVALID) colours[1] = GetSysColor(COLOR_WINDOWTEXT);
    ::SendMessage(m_hWnd, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(colours[0]));
    ::SendMessage(m_hWnd, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(colours[0]));
    ::SendMessage(m_hWnd, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(colours[1]));
    gridColor_ = colours[2];
    if (colours[3] != CListStyleDlg::kHeaderFollowsList) headerBk_ = colours[3];
    headerText_ = colours[4];
    headerGridColor_ = colours[5];
    selBk_ = colours[6];
    selText_ = colours[7];
    SavePrivateAttribute();
    Invalidate(FALSE);
    if (HWND header = GetHeaderHwnd()) ::InvalidateRect(header, nullptr, FALSE);
}

// ---------------------------------------------------------------- context menu

int CGridCtrl::ColumnAtX(int x) const {
    HWND header = GetHeaderHwnd();
    if (!header) return -1;
    auto* area = qobject_cast<QAbstractScrollArea*>(GetWidget());
    const int content = x + (area ? area->horizontalScrollBar()->value() : 0);
    const int count = static_cast<int>(::SendMessage(header, HDM_GETITEMCOUNT, 0, 0));
    for (int c = 0; c < count; ++c) {
        RECT r{};
        ::SendMessage(header, HDM_GETITEMRECT, static_cast<WPARAM>(c),
                      reinterpret_cast<LPARAM>(&r));
        if (content >= r.left && content < r.right) return c;
    }
    return -1;
}

UINT pavlet::TrackListMenu(CWnd* list, POINT screen, HMENU* tracked) {
    const HWND self = list->m_hWnd;
    list->SetFocus();
    CMenu menu;
    if (!menu.CreatePopupMenu()) return 0;
    if (const HWND parent = ::GetParent(self))
        ::SendMessage(parent, WM_INITMENUPOPUP, static_cast<WPARAM>(menu.m_hMenu),
                      static_cast<LPARAM>(list->GetDlgCtrlID() & 0xFFFF));
    if (!::IsWindow(self)) return 0;
    // The list's own entries join when the menu shows (WM_INITMENUPOPUP to the list).
    *tracked = menu.m_hMenu;
    const UINT chosen = static_cast<UINT>(
        ::TrackPopupMenu(menu.m_hMenu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, screen.x,
                         screen.y, 0, self));
    if (!::IsWindow(self)) return 0;
    *tracked = 0;
    return chosen;
}

POINT pavlet::ContextMenuPoint(CWnd* list, LPARAM lParam, int headerHeight) {
    POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (at.x == -1 && at.y == -1) {
        at = POINT{0, headerHeight};
        list->ClientToScreen(&at);
    }
    return at;
}

void pavlet::AskForContextMenu(HWND list, LPARAM lParam) {
    if (!::IsWindow(list)) return;
    POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ClientToScreen(list, &at);
    ::SendMessage(list, WM_CONTEXTMENU, static_cast<WPARAM>(list),
                  MAKELPARAM(static_cast<WORD>(at.x), static_cast<WORD>(at.y)));
}

bool pavlet::IsTrackedListMenu(HMENU tracked, WPARAM wParam, LPARAM lParam) {
    return tracked && static_cast<HMENU>(wParam) == tracked && lParam < 0x10000 &&
           HIWORD(static_cast<DWORD>(lParam)) == 0;
}

void pavlet::PostListMenuChoice(HWND list, UINT chosen, int column) {
    if (chosen == 0) return;
    if (chosen < GRID_PARENT_COMMAND_FIRST)
        ::PostMessage(list, WM_GRID_COMMAND, chosen, static_cast<LPARAM>(column));
    else if (const HWND parent = ::GetParent(list))
        ::PostMessage(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(chosen), 0),
                      static_cast<LPARAM>(list));
}

void CGridCtrl::ShowContextMenu(POINT screen) {
    if (!mem_ || !m_hWnd) return;
    POINT client = screen;
    ScreenToClient(&client);
    const int column = ColumnAtX(client.x);
    const HWND self = m_hWnd;
    const UINT chosen = pavlet::TrackListMenu(this, screen, &trackedMenu_);
    if (::IsWindow(self)) pavlet::PostListMenuChoice(self, chosen, column);
}

void CGridCtrl::AppendMenuEntries(HMENU menu) {
    if (style_ & GRID_NOMENU) return;
    if (!layoutName_.empty()) {
        if (!(GetStyle() & LVS_NOCOLUMNHEADER)) {
            ::AppendMenu(menu, MF_STRING, 12, "设置显示栏目和顺序");
            ::AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
        }
        if (!(style_ & GRID_NOFONTMENU)) {
            ::AppendMenu(menu, MF_STRING, 13, "设置显示字体");
            ::AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenu(menu, MF_STRING, 26, "设置标题栏显示字体");
            if (headerFont_) ::AppendMenu(menu, MF_STRING, 27, "删除标题栏字体");
            ::AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
            if (customHeight_ > 0) ::AppendMenu(menu, MF_STRING, 25, "清除列表行高度设置");
            ::AppendMenu(menu, MF_STRING, 22, "设置列表显示风格");
            ::AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenu(menu, MF_STRING | ((style_ & GRID_INDICATOR) ? MF_CHECKED : 0), 24,
                         "显示记录指示器");
            ::AppendMenu(menu, MF_STRING | ((style_ & GRID_GRIDLINES) ? MF_CHECKED : 0), 23,
                         "显示网格线");
            ::AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
        }
    }
    if (!(style_ & (GRID_FITCLIENT | GRID_TWOLEVEL)))
        ::AppendMenu(menu, MF_STRING, 19, "调整列显示宽度");
    ::AppendMenu(menu, MF_STRING, 100, "保存到DBF文件");
    ::AppendMenu(menu, MF_STRING, 101, "保存到csv文件");
}

// ---------------------------------------------------------------- in-place editing

BOOL CGridCtrl::BeginEdit(int row, int column) {
    if (!m_hWnd || !(GetStyle() & LVS_EDITLABELS)) return 0;
    if (row < 0 || row >= GetViewCount() || column < 0 ||
        column >= static_cast<int>(columns_.size()))
        return 0;
    if (edit_) EndEdit(true);
    const HWND self = m_hWnd;
    NMLVDISPINFO ask;
    ask.item.mask = LVIF_TEXT;
    ask.item.iItem = row;
    ask.item.iSubItem = column;
    if (platform::ui::SendNotify(self, LVN_BEGINLABELEDIT, &ask.hdr) != 0 || !::IsWindow(self))
        return 0;
    if (row >= GetViewCount()) return 0;  // the parent may have changed the rows meanwhile
    RECT cell{};
    cell.top = column;
    cell.left = LVIR_LABEL;
    if (!::SendMessage(self, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                       reinterpret_cast<LPARAM>(&cell)))
        return 0;
    cell.left += 1;
    cell.top += 1;
    cell.right -= 1;
    cell.bottom -= 1;
    DWORD style = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL;
    if (HWND header = GetHeaderHwnd()) {
        HDITEM item;
        item.mask = HDI_FORMAT;
        ::SendMessage(header, HDM_GETITEM, static_cast<WPARAM>(column),
                      reinterpret_cast<LPARAM>(&item));
        if (item.fmt & HDF_RIGHT) style |= ES_RIGHT;
    }
    auto* edit = new CGridEdit(this);
    if (!edit->Create("Edit", "", style, cell, this, kEditId)) {
        delete edit;
        return 0;
    }
    edit_ = edit;
    editRow_ = row;
    editColumn_ = column;
    edit->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(&listFont_), TRUE);
    edit->SetWindowText(GetRecordText(column, row).c_str());
    edit->SendMessage(EM_SETMODIFY, FALSE, 0);
    edit->SendMessage(EM_SETSEL, 0, -1);
    edit->SetFocus();
    return 1;
}

void CGridCtrl::EndEdit(bool keep) {
    if (!edit_) return;
    auto* edit = static_cast<CGridEdit*>(edit_);
    edit_ = nullptr;  // ends once, whatever the notifications below set off
    edit->Forget();
    const int row = editRow_, column = editColumn_;
    editRow_ = editColumn_ = -1;
    const HWND self = m_hWnd;
    const HWND editHwnd = edit->m_hWnd;
    const bool modified = keep && edit->SendMessage(EM_GETMODIFY, 0, 0) != 0;
    std::string text = edit->GetWindowText();
    if (::GetFocus() == editHwnd) SetFocus();
    edit->ShowWindow(SW_HIDE);
    NMLVDISPINFO done;
    done.item.mask = LVIF_TEXT;
    done.item.iItem = row;
    done.item.iSubItem = column;
    done.item.pszText = modified ? text.data() : nullptr;
    const LRESULT approved = platform::ui::SendNotify(self, LVN_ENDLABELEDIT, &done.hdr);
    if (modified && approved && ::IsWindow(self)) {
        LVITEM item;
        item.mask = LVIF_TEXT;
        item.iSubItem = column;
        item.pszText = text.data();
        ::SendMessage(self, LVM_SETITEMTEXT, static_cast<WPARAM>(row),
                      reinterpret_cast<LPARAM>(&item));
    }
    // Closed from its own queue: the edit may be inside one of its own handlers now.
    if (::IsWindow(editHwnd)) ::PostMessage(editHwnd, WM_CLOSE, 0, 0);
}

// An open edit goes with the grid as its child window; it must not call back into the grid.
void CGridCtrl::DropEdit() {
    if (auto* edit = static_cast<CGridEdit*>(edit_)) edit->Forget();
    edit_ = nullptr;
}

void CGridCtrl::OnCellClick(const NMITEMACTIVATE* click) {
    if (!click || !(GetStyle() & LVS_EDITLABELS) || click->iItem < 0 || click->iSubItem < 0) return;
    RECT label{};
    label.top = click->iSubItem;
    label.left = LVIR_LABEL;
    if (!::SendMessage(m_hWnd, LVM_GETSUBITEMRECT, static_cast<WPARAM>(click->iItem),
                       reinterpret_cast<LPARAM>(&label)))
        return;
    // Column 0 keeps its expander, check box and image left of the text.
    if (click->iSubItem == 0) {
        if (style_ & GRID_GROUPACTIVE) label.left += 17;
        if (style_ & GRID_HASCHECKBOX) label.left += 17;
        if (style_ & GRID_HASIMAGE) label.left += imageWidth_ + 4;
    }
    const POINT at = click->ptAction;
    if (at.x < label.left || at.x >= label.right || at.y < label.top || at.y >= label.bottom)
        return;
    BeginEdit(click->iItem, click->iSubItem);
}
