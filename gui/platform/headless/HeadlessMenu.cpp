#include "HeadlessMenu.h"

namespace kalvo::headless
{

namespace
{
using platform::PopupMenuItem;

// Submenus deeper than this are not searched (a menu hung inside itself ends here).
constexpr int kMaxDepth = 16;

bool findChoosable(const platform::PopupMenu& menu, long id, int depth)
{
    if (depth > kMaxDepth || !menu.items)
        return false;
    for (long i = 0; i < menu.count; i++)
    {
        const PopupMenuItem& item = menu.items[i];
        const unsigned blocked = PopupMenuItem::kSeparator | PopupMenuItem::kDisabled | PopupMenuItem::kTitle;
        if (item.id == id && !(item.flags & blocked) && !item.subMenu)
            return true;
        if (item.subMenu && !(item.flags & PopupMenuItem::kDisabled) &&
            findChoosable(*item.subMenu, id, depth + 1))
            return true;
    }
    return false;
}
} // namespace

long scriptedMenuAnswer(const platform::PopupMenu& menu, long scripted)
{
    if (scripted < 0)
        return -1;
    return findChoosable(menu, scripted, 0) ? scripted : -1;
}

} // namespace kalvo::headless
