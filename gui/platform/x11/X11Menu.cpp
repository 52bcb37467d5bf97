#include "X11Menu.h"

namespace kalvo::x11
{

// Placeholder until the menu window exists: every menu is dismissed.
long runPopupMenu(const MenuHost& host, const platform::PopupMenu& menu, const CPoint& where)
{
    (void)host;
    (void)menu;
    (void)where;
    return -1;
}

} // namespace kalvo::x11
