// The popup menu service of the X11 backend: an override-redirect window with a pointer grab
// and a modal loop, drawn with cairo.
#pragma once

#include "../Platform.h"
#include "../cairo/CairoBackend.h"

#include <X11/Xlib.h>

#include <memory>

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

/// Shows `menu` modally with its top-left corner at `where` (pixels of host.window) and answers
/// the chosen item's id, or -1 when the user dismissed it.
long runPopupMenu(const MenuHost& host, const platform::PopupMenu& menu, const CPoint& where);

} // namespace kalvo::x11
