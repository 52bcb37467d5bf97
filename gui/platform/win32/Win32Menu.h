// The popup menu service of the Windows backend: the system's own popup menus.
#pragma once

#include "Win32Api.h"
#include "gui/platform/Platform.h"

namespace kalvo::win32
{

/// Builds a system popup menu from `menu`: separators, greyed items, titles (shown, not
/// choosable), check marks, submenus and a new column (with a dividing line) where an item
/// starts one. Null when the system cannot make it. The caller destroys it with DestroyMenu,
/// which takes the submenus along. An item's command is its id + 1, since 0 means "nothing".
HMENU buildPopupMenu(const platform::PopupMenu& menu);

/// Shows `menu` modally with its top-left corner at `screen` (screen pixels), owned by `owner`,
/// and answers the chosen item's id, or -1 when the user dismissed it.
long runPopupMenu(HWND owner, const platform::PopupMenu& menu, POINT screen);

} // namespace kalvo::win32
