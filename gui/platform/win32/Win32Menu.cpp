#include "Win32Menu.h"

#include "Win32Gdi.h"

#include <string>

namespace kalvo::win32
{

namespace
{
using platform::PopupMenu;
using platform::PopupMenuItem;

// Submenus deeper than this are left out (a menu hung inside itself ends here).
constexpr int kMaxDepth = 16;

// Menus read an ampersand as the mark of a keyboard shortcut; the entries mean it as a character.
std::wstring menuLabel(const char* text)
{
    std::wstring label;
    for (wchar_t c : widen(text))
    {
        if (c == L'&')
            label += L'&';
        label += c;
    }
    return label;
}

bool appendItems(HMENU target, const PopupMenu& menu, int depth)
{
    for (long i = 0; i < menu.count; i++)
    {
        const PopupMenuItem& item = menu.items[i];
        UINT flags = 0;
        if (item.flags & PopupMenuItem::kColumnBreak)
            flags |= MF_MENUBARBREAK;
        if (item.flags & PopupMenuItem::kSeparator)
        {
            if (!AppendMenuW(target, flags | MF_SEPARATOR, 0, nullptr))
                return false;
            continue;
        }
        if (item.flags & PopupMenuItem::kChecked)
            flags |= MF_CHECKED;
        if (item.flags & PopupMenuItem::kDisabled)
            flags |= MF_GRAYED;
        else if (item.flags & PopupMenuItem::kTitle)
            flags |= MF_DISABLED;
        const std::wstring label = menuLabel(item.text);
        UINT_PTR command = item.id >= 0 ? static_cast<UINT_PTR>(item.id) + 1 : 0;
        if (item.subMenu && depth < kMaxDepth)
        {
            HMENU sub = CreatePopupMenu();
            if (!sub)
                return false;
            if (!appendItems(sub, *item.subMenu, depth + 1))
            {
                DestroyMenu(sub);
                return false;
            }
            flags |= MF_POPUP;
            command = reinterpret_cast<UINT_PTR>(sub);
            if (!AppendMenuW(target, flags | MF_STRING, command, label.c_str()))
            {
                DestroyMenu(sub);
                return false;
            }
            continue;
        }
        if (item.subMenu)
            flags |= MF_GRAYED;
        if (!AppendMenuW(target, flags | MF_STRING, command, label.c_str()))
            return false;
    }
    return true;
}
} // namespace

HMENU buildPopupMenu(const PopupMenu& menu)
{
    HMENU root = CreatePopupMenu();
    if (!root)
        return nullptr;
    if (menu.items && !appendItems(root, menu, 0))
    {
        DestroyMenu(root);
        return nullptr;
    }
    return root;
}

long runPopupMenu(HWND owner, const PopupMenu& menu, POINT screen)
{
    HMENU popup = buildPopupMenu(menu);
    if (!popup)
        return -1;
    // The command comes back as the answer; nothing is posted to the owner.
    const UINT flags = TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_NONOTIFY |
                       (menu.followsRightButton ? TPM_RIGHTBUTTON : TPM_LEFTBUTTON);
    const BOOL command = TrackPopupMenu(popup, flags, screen.x, screen.y, 0, owner, nullptr);
    DestroyMenu(popup);
    return command > 0 ? static_cast<long>(command) - 1 : -1;
}

} // namespace kalvo::win32
