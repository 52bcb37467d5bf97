// The popup menu service of the X11 backend: an override-redirect window with a pointer grab
// and a modal loop, drawn with cairo.
#pragma once

#include "gui/platform/Platform.h"
#include "gui/platform/cairo/CairoBackend.h"

#include <X11/Xlib.h>

#include <memory>
#include <vector>

namespace kalvo::x11
{

/// What a menu needs from the window it opens over.
struct MenuHost
{
    Display* display; ///< the frame's own connection
    ::Window window;  ///< the frame's child window
    int screen;
    std::shared_ptr<cairo::FontCache> fonts; ///< faces already looked up for this window
};

/// Shows `menu` modally with its top-left corner at `where` (pixels of host.window), moved as
/// little as needed to stay on the screen, and answers the chosen item's id, or -1 when the user
/// dismissed it (Escape, a click outside every open menu). Items with a submenu open it to the
/// side when the pointer rests on them; separators, titles and greyed items cannot be chosen.
/// Keys: Up and Down move, Right opens a submenu, Left closes one, Return chooses.
long runPopupMenu(const MenuHost& host, const platform::PopupMenu& menu, const CPoint& where);

/// Where the items of one menu lie inside its window, and the window's size.
struct MenuGeometry
{
    std::vector<CRect> items;
    long width = 0;
    long height = 0;
};

/// The layout runPopupMenu gives `menu` in the menu's font.
MenuGeometry measurePopupMenu(const platform::PopupMenu& menu, cairo::FontCache& fonts);

} // namespace kalvo::x11
