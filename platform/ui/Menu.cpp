// The menu table, the menu functions over it and TrackPopupMenu through a QMenu.
#include "platform/ui/Menu.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/ui/CmdUI.h"
#include "platform/ui/Messages.h"
#include "platform/ui/WindowApi.h"
#include "platform/ui/Wnd.h"

namespace {

constexpr UINT kStateBits =
    MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR | MFT_RADIOCHECK | MF_DEFAULT;
constexpr const char* kMenuProperty = "kelmonMenu";

struct MenuItem {
    UINT flags = 0;
    UINT id = 0;
    HMENU sub = 0;
    std::string text;
};

struct MenuData {
    std::vector<MenuItem> items;
    std::unique_ptr<CMenu> temporary;
};

class MenuTable {
public:
    static MenuTable& Instance() {
        static MenuTable table;
        return table;
    }
    HMENU Create() {
        HMENU handle = ++last_;
        menus_[handle];
        return handle;
    }
    MenuData* Find(HMENU menu) {
        auto found = menus_.find(menu);
        return found == menus_.end() ? nullptr : &found->second;
    }
    void Destroy(HMENU menu) {
        auto found = menus_.find(menu);
        if (found == menus_.end()) return;
        std::vector<HMENU> subs;
        for (const MenuItem& item : found->second.items)
            if (item.sub) subs.push_back(item.sub);
        std::unique_ptr<CMenu> temporary = std::move(found->second.temporary);
        menus_.erase(found);
        if (temporary) temporary->m_hMenu = 0;  // the object must not destroy it again
        for (HMENU sub : subs) Destroy(sub);
    }

private:
    std::unordered_map<HMENU, MenuData> menus_;
    HMENU last_ = 0;
};

struct ItemRef {
    MenuData* menu = nullptr;
    size_t index = 0;
    MenuItem* get() const { return &menu->items[index]; }
};

// By position in this menu, or by command id in this menu and then its sub-menus.
ItemRef FindItem(HMENU handle, UINT item, UINT flags, int depth = 0) {
    MenuData* menu = MenuTable::Instance().Find(handle);
    if (!menu || depth > 64) return {};
    if (flags & MF_BYPOSITION) {
        if (item >= menu->items.size()) return {};
        return {menu, item};
    }
    for (size_t i = 0; i < menu->items.size(); ++i) {
        const MenuItem& entry = menu->items[i];
        if (!(entry.flags & (MF_POPUP | MF_SEPARATOR)) && entry.id == item) return {menu, i};
    }
    for (const MenuItem& entry : menu->items) {
        if (!entry.sub) continue;
        ItemRef inner = FindItem(entry.sub, item, flags, depth + 1);
        if (inner.menu) return inner;
    }
    return {};
}

bool MakeItem(UINT flags, UINT_PTR idNewItem, const char* text, MenuItem* item) {
    item->flags = flags & kStateBits;
    item->text = (text && !(flags & MF_SEPARATOR)) ? text : "";
    item->sub = 0;
    item->id = 0;
    if (flags & MF_POPUP) {
        HMENU sub = static_cast<HMENU>(idNewItem);
        if (!IsMenu(sub)) return false;
        item->sub = sub;
    } else if (!(flags & MF_SEPARATOR)) {
        item->id = static_cast<UINT>(idNewItem);
    }
    return true;
}

// A pop-up being tracked: what was chosen and where the notifications go.
struct Tracking {
    HWND owner = 0;
    bool notify = true;
    bool systemMenu = false;  // announced with TRUE in the high word of lParam
    UINT chosen = 0;
};

// The menus the layer keeps per window (user-interface thread).
struct WindowMenus {
    HMENU menu = 0;
    HMENU systemMenu = 0;
};

std::unordered_map<HWND, WindowMenus>& MenusOfWindows() {
    static std::unordered_map<HWND, WindowMenus> menus;
    return menus;
}

HMENU MakeStandardSystemMenu() {
    HMENU menu = CreatePopupMenu();
    AppendMenu(menu, MF_STRING, SC_RESTORE, "还原(&R)");
    AppendMenu(menu, MF_STRING, SC_MINIMIZE, "最小化(&N)");
    AppendMenu(menu, MF_STRING, SC_MAXIMIZE, "最大化(&X)");
    AppendMenu(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenu(menu, MF_STRING, SC_CLOSE, "关闭(&C)\tAlt+F4");
    return menu;
}

// Offers the owner a menu about to show (WM_INITMENUPOPUP), then runs the update handlers of
// its items; a system menu has no application commands to update.
void Announce(const Tracking& tracking, HMENU menu, WORD position) {
    SendMessage(tracking.owner, WM_INITMENUPOPUP, menu,
                MAKELPARAM(position, tracking.systemMenu ? 1 : 0));
    if (!tracking.systemMenu) platform::ui::UpdateMenuItems(tracking.owner, menu);
}

void Populate(QMenu* shown, HMENU handle, const std::shared_ptr<Tracking>& tracking);

void AddItems(QMenu* shown, const MenuData& menu, const std::shared_ptr<Tracking>& tracking) {
    for (size_t position = 0; position < menu.items.size(); ++position) {
        const MenuItem& item = menu.items[position];
        if (item.flags & MF_SEPARATOR) {
            shown->addSeparator();
            continue;
        }
        QString text = QString::fromStdString(item.text);
        QAction* action = nullptr;
        if (item.sub) {
            QMenu* sub = shown->addMenu(text);
            action = sub->menuAction();
            HMENU subHandle = item.sub;
            QObject::connect(sub, &QMenu::aboutToShow, sub, [sub, subHandle, position, tracking] {
                if (tracking->notify && IsWindow(tracking->owner))
                    Announce(*tracking, subHandle, static_cast<WORD>(position));
                Populate(sub, subHandle, tracking);
            });
            Populate(sub, subHandle, tracking);
        } else {
            action = shown->addAction(text);
            UINT id = item.id;
            QObject::connect(action, &QAction::triggered, shown,
                             [id, tracking] { tracking->chosen = id; });
        }
        action->setData(static_cast<uint>(item.id));
        action->setEnabled(!(item.flags & (MF_GRAYED | MF_DISABLED)));
        if (item.flags & MF_CHECKED) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        if (item.flags & MF_DEFAULT) {
            QFont font = action->font();
            font.setBold(true);
            action->setFont(font);
        }
    }
}

void Populate(QMenu* shown, HMENU handle, const std::shared_ptr<Tracking>& tracking) {
    for (QMenu* old : shown->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) old->deleteLater();
    shown->clear();
    shown->setProperty(kMenuProperty, static_cast<uint>(handle));
    if (const MenuData* menu = MenuTable::Instance().Find(handle)) AddItems(shown, *menu, tracking);
}

}  // namespace

HMENU CreatePopupMenu() { return MenuTable::Instance().Create(); }

BOOL DestroyMenu(HMENU menu) {
    if (!IsMenu(menu)) return FALSE;
    MenuTable::Instance().Destroy(menu);
    return TRUE;
}

BOOL IsMenu(HMENU menu) { return MenuTable::Instance().Find(menu) != nullptr; }

BOOL AppendMenu(HMENU menu, UINT flags, UINT_PTR idNewItem, const char* text) {
    MenuData* data = MenuTable::Instance().Find(menu);
    if (!data) return FALSE;
    return InsertMenu(menu, static_cast<UINT>(data->items.size()), flags | MF_BYPOSITION, idNewItem,
                      text);
}

BOOL InsertMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, const char* text) {
    MenuData* target = MenuTable::Instance().Find(menu);
    if (!target) return FALSE;
    MenuItem item;
    if (!MakeItem(flags, idNewItem, text, &item)) return FALSE;
    if (item.sub == menu) return FALSE;
    size_t index = target->items.size();  // a position past the end appends
    if (flags & MF_BYPOSITION) {
        index = std::min<size_t>(position, target->items.size());
    } else if (ItemRef ref = FindItem(menu, position, flags); ref.menu) {
        target = ref.menu;
        index = ref.index;
    }
    target->items.insert(target->items.begin() + static_cast<std::ptrdiff_t>(index),
                         std::move(item));
    return TRUE;
}

BOOL ModifyMenu(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, const char* text) {
    ItemRef ref = FindItem(menu, position, flags);
    if (!ref.menu) return FALSE;
    MenuItem item;
    if (!MakeItem(flags, idNewItem, text, &item)) return FALSE;
    HMENU old = ref.get()->sub;
    *ref.get() = std::move(item);
    if (old && old != ref.get()->sub) DestroyMenu(old);
    return TRUE;
}

BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) {
    ItemRef ref = FindItem(menu, position, flags);
    if (!ref.menu) return FALSE;
    ref.menu->items.erase(ref.menu->items.begin() + static_cast<std::ptrdiff_t>(ref.index));
    return TRUE;
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) {
    ItemRef ref = FindItem(menu, position, flags);
    if (!ref.menu) return FALSE;
    HMENU sub = ref.get()->sub;
    ref.menu->items.erase(ref.menu->items.begin() + static_cast<std::ptrdiff_t>(ref.index));
    if (sub) DestroyMenu(sub);
    return TRUE;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
    ItemRef ref = FindItem(menu, item, flags);
    if (!ref.menu) return static_cast<DWORD>(-1);
    MenuItem* entry = ref.get();
    DWORD previous = entry->flags & MF_CHECKED;
    entry->flags = (entry->flags & ~(MF_CHECKED | MFT_RADIOCHECK)) | (flags & MF_CHECKED);
    return previous;
}

UINT EnableMenuItem(HMENU menu, UINT item, UINT flags) {
    ItemRef ref = FindItem(menu, item, flags);
    if (!ref.menu) return static_cast<UINT>(-1);
    MenuItem* entry = ref.get();
    UINT previous = entry->flags & (MF_GRAYED | MF_DISABLED);
    entry->flags =
        (entry->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    return previous;
}

BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT item, UINT flags) {
    MenuData* data = MenuTable::Instance().Find(menu);
    if (!data) return FALSE;
    bool found = false;
    if (flags & MF_BYPOSITION) {
        for (UINT i = first; i <= last && i < data->items.size(); ++i) {
            MenuItem& entry = data->items[i];
            entry.flags &= ~(MF_CHECKED | MFT_RADIOCHECK);
            if (i == item) {
                entry.flags |= MF_CHECKED | MFT_RADIOCHECK;
                found = true;
            }
        }
    } else {
        for (MenuItem& entry : data->items) {
            if (entry.flags & (MF_POPUP | MF_SEPARATOR) || entry.id < first || entry.id > last)
                continue;
            entry.flags &= ~(MF_CHECKED | MFT_RADIOCHECK);
            if (entry.id == item) {
                entry.flags |= MF_CHECKED | MFT_RADIOCHECK;
                found = true;
            }
        }
    }
    return found ? TRUE : FALSE;
}

int GetMenuItemCount(HMENU menu) {
    const MenuData* data = MenuTable::Instance().Find(menu);
    return data ? static_cast<int>(data->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
    if (position < 0) return static_cast<UINT>(-1);
    ItemRef ref = FindItem(menu, static_cast<UINT>(position), MF_BYPOSITION);
    if (!ref.menu || ref.get()->sub) return static_cast<UINT>(-1);
    return ref.get()->id;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
    ItemRef ref = FindItem(menu, item, flags);
    if (!ref.menu) return static_cast<UINT>(-1);
    const MenuItem* entry = ref.get();
    UINT state = entry->flags;
    // A sub-menu item answers its item count in the high byte, as the desktop does.
    if (entry->sub) state |= static_cast<UINT>(GetMenuItemCount(entry->sub) & 0xFF) << 8;
    return state;
}

std::string GetMenuString(HMENU menu, UINT item, UINT flags) {
    ItemRef ref = FindItem(menu, item, flags);
    return ref.menu ? ref.get()->text : std::string();
}

int GetMenuString(HMENU menu, UINT item, char* buffer, int size, UINT flags) {
    std::string text = GetMenuString(menu, item, flags);
    if (!buffer || size <= 0) return static_cast<int>(text.size());
    size_t count = std::min(text.size(), static_cast<size_t>(size - 1));
    // Never cut a UTF-8 character in two.
    while (count > 0 && count < text.size() &&
           (static_cast<unsigned char>(text[count]) & 0xC0) == 0x80)
        --count;
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return static_cast<int>(count);
}

HMENU GetSubMenu(HMENU menu, int position) {
    if (position < 0) return 0;
    ItemRef ref = FindItem(menu, static_cast<UINT>(position), MF_BYPOSITION);
    return ref.menu ? ref.get()->sub : 0;
}

namespace {

// Shows the pop-up until it closes and returns the chosen id (0: none); false when the menu or
// its owner went away first.
bool RunPopup(HMENU menu, UINT flags, int x, int y, const std::shared_ptr<Tracking>& tracking,
              UINT* chosen) {
    if (tracking->notify) Announce(*tracking, menu, 0);
    // The owner may have destroyed the menu or itself while filling it.
    if (GetMenuItemCount(menu) <= 0 || !IsWindow(tracking->owner)) return false;

    QMenu shown;
    Populate(&shown, menu, tracking);
    QSize size = shown.sizeHint();
    QPoint at(x, y);
    if (flags & TPM_RIGHTALIGN)
        at.rx() -= size.width();
    else if (flags & TPM_CENTERALIGN)
        at.rx() -= size.width() / 2;
    if (flags & TPM_BOTTOMALIGN)
        at.ry() -= size.height();
    else if (flags & TPM_VCENTERALIGN)
        at.ry() -= size.height() / 2;
    shown.exec(at);
    *chosen = tracking->chosen;
    return true;
}

}  // namespace

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
    if (!IsMenu(menu) || !IsWindow(owner)) return FALSE;
    auto tracking = std::make_shared<Tracking>();
    tracking->owner = owner;
    tracking->notify = !(flags & TPM_NONOTIFY);
    UINT chosen = 0;
    if (!RunPopup(menu, flags, x, y, tracking, &chosen)) return FALSE;
    if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
    if (chosen != 0 && tracking->notify)
        PostMessage(owner, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(chosen), 0), 0);
    return TRUE;
}

HMENU GetMenu(HWND hwnd) {
    auto found = MenusOfWindows().find(hwnd);
    return found == MenusOfWindows().end() ? 0 : found->second.menu;
}

BOOL SetMenu(HWND hwnd, HMENU menu) {
    if (!IsWindow(hwnd) || (menu != 0 && !IsMenu(menu))) return FALSE;
    MenusOfWindows()[hwnd].menu = menu;
    return TRUE;
}

HMENU GetSystemMenu(HWND hwnd, BOOL revert) {
    if (!IsWindow(hwnd)) return 0;
    WindowMenus& menus = MenusOfWindows()[hwnd];
    if (revert) {
        if (menus.systemMenu) DestroyMenu(menus.systemMenu);
        menus.systemMenu = MakeStandardSystemMenu();
        return 0;
    }
    if (!IsMenu(menus.systemMenu)) menus.systemMenu = MakeStandardSystemMenu();
    return menus.systemMenu;
}

namespace platform::ui {

HMENU MenuOfQMenu(const QMenu* shown) {
    if (!shown) return 0;
    QVariant value = shown->property(kMenuProperty);
    return value.isValid() ? static_cast<HMENU>(value.toUInt()) : 0;
}

UINT TrackSystemMenu(HWND hwnd, int x, int y) {
    HMENU menu = ::GetSystemMenu(hwnd, FALSE);
    if (!menu) return 0;
    auto tracking = std::make_shared<Tracking>();
    tracking->owner = hwnd;
    tracking->systemMenu = true;
    UINT chosen = 0;
    if (!RunPopup(menu, 0, x, y, tracking, &chosen) || chosen == 0) return 0;
    if (IsWindow(hwnd)) SendMessage(hwnd, WM_SYSCOMMAND, chosen, 0);
    return chosen;
}

void ForgetWindowMenus(HWND hwnd) {
    auto found = MenusOfWindows().find(hwnd);
    if (found == MenusOfWindows().end()) return;
    const WindowMenus menus = found->second;
    MenusOfWindows().erase(found);
    if (menus.menu) ::DestroyMenu(menus.menu);
    if (menus.systemMenu) ::DestroyMenu(menus.systemMenu);
}

}  // namespace platform::ui

// ---- CMenu ------------------------------------------------------------------------------------

CMenu::~CMenu() { DestroyMenu(); }

CMenu* CMenu::FromHandle(HMENU menu) {
    MenuData* data = MenuTable::Instance().Find(menu);
    if (!data) return nullptr;
    if (!data->temporary) {
        data->temporary = std::make_unique<CMenu>();
        data->temporary->m_hMenu = menu;
    }
    return data->temporary.get();
}

BOOL CMenu::CreatePopupMenu() {
    if (m_hMenu) return FALSE;
    m_hMenu = ::CreatePopupMenu();
    return TRUE;
}

BOOL CMenu::Attach(HMENU menu) {
    if (m_hMenu || !IsMenu(menu)) return FALSE;
    m_hMenu = menu;
    return TRUE;
}

HMENU CMenu::Detach() {
    HMENU menu = m_hMenu;
    m_hMenu = 0;
    return menu;
}

BOOL CMenu::DestroyMenu() {
    HMENU menu = Detach();
    if (!menu) return FALSE;
    // For a temporary object this deletes the object itself: nothing of it is used after.
    return ::DestroyMenu(menu);
}

BOOL CMenu::AppendMenu(UINT flags, UINT_PTR idNewItem, const char* text) {
    return ::AppendMenu(m_hMenu, flags, idNewItem, text);
}
BOOL CMenu::InsertMenu(UINT position, UINT flags, UINT_PTR idNewItem, const char* text) {
    return ::InsertMenu(m_hMenu, position, flags, idNewItem, text);
}
BOOL CMenu::ModifyMenu(UINT position, UINT flags, UINT_PTR idNewItem, const char* text) {
    return ::ModifyMenu(m_hMenu, position, flags, idNewItem, text);
}
BOOL CMenu::DeleteMenu(UINT position, UINT flags) { return ::DeleteMenu(m_hMenu, position, flags); }
BOOL CMenu::RemoveMenu(UINT position, UINT flags) { return ::RemoveMenu(m_hMenu, position, flags); }
UINT CMenu::CheckMenuItem(UINT item, UINT flags) { return ::CheckMenuItem(m_hMenu, item, flags); }
UINT CMenu::EnableMenuItem(UINT item, UINT flags) { return ::EnableMenuItem(m_hMenu, item, flags); }
BOOL CMenu::CheckMenuRadioItem(UINT first, UINT last, UINT item, UINT flags) {
    return ::CheckMenuRadioItem(m_hMenu, first, last, item, flags);
}
UINT CMenu::GetMenuItemCount() const { return static_cast<UINT>(::GetMenuItemCount(m_hMenu)); }
UINT CMenu::GetMenuItemID(int position) const { return ::GetMenuItemID(m_hMenu, position); }
UINT CMenu::GetMenuState(UINT item, UINT flags) const {
    return ::GetMenuState(m_hMenu, item, flags);
}
std::string CMenu::GetMenuString(UINT item, UINT flags) const {
    return ::GetMenuString(m_hMenu, item, flags);
}
CMenu* CMenu::GetSubMenu(int position) const { return FromHandle(::GetSubMenu(m_hMenu, position)); }
BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, const RECT* rect) {
    return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, owner ? owner->GetSafeHwnd() : 0, rect);
}
