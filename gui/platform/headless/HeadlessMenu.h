// The headless popup menu: the test scripts the user's choice, answered as a real menu would.
#pragma once

#include "gui/platform/Platform.h"

namespace kalvo::headless
{

/// What a user could answer to `menu` when the test scripted item id `scripted`: that id when
/// it names an item that can be chosen, in the menu or any submenu, else -1 (dismissed), since
/// separators, titles, greyed items and items holding a submenu cannot be chosen.
long scriptedMenuAnswer(const platform::PopupMenu& menu, long scripted);

} // namespace kalvo::headless
