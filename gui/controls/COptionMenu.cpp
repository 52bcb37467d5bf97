#include "COptionMenu.h"

#include "gui/CBitmap.h"
#include "gui/CFontTable.h"
#include "gui/CFrame.h"
#include "gui/platform/Platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

using kalvo::platform::PopupMenu;
using kalvo::platform::PopupMenuItem;

namespace
{
// Every entry text lives in a block of this many characters, terminator included.
constexpr int kEntrySize = 256;
// Capacity grows by this many entries, and by this many submenu places.
constexpr long kEntryStep = 32;
constexpr long kSubMenuStep = 10;
// Columns are only made for menus shorter than this.
constexpr long kMaxEntriesForColumns = 160;
// Submenus nested deeper than this are not shown (a menu hung inside itself would never end).
constexpr int kMaxMenuDepth = 16;
// Buttons that open the popup: left, right, and the Mac's Control modifier.
constexpr long kOpenButtons = kButtonLeft | kButtonRight | kModifierMacControl;

/// True for the numbering styles 2, 3 and 4.
bool hasPrefixNumbers(long prefixNumbers)
{
    return prefixNumbers >= 2 && prefixNumbers <= 4;
}

/// The formats of the number prefixes 2, 3 and 4, without and with the submenu mark.
const char* prefixFormat(long prefixNumbers, bool subMenu)
{
    switch (prefixNumbers)
    {
    case 2:
        return subMenu ? "-M%1d %s" : "%1d %s";
    case 3:
        return subMenu ? "-M%02d %s" : "%02d %s";
    case 4:
        return subMenu ? "-M%03d %s" : "%03d %s";
    default:
        return subMenu ? "-M%s" : "%s";
    }
}

/// Copies at most kEntrySize - 1 characters and always terminates.
void copyEntry(char* to, const char* from)
{
    std::snprintf(to, kEntrySize, "%s", from ? from : "");
}
} // namespace

/// The popup's items while it is built and shown: stable storage for every nested menu and the
/// id range each COptionMenu took.
struct COptionMenu::PopupBuild
{
    struct Range
    {
        COptionMenu* menu;
        long firstId;
    };
    std::deque<PopupMenu> menus;
    std::deque<std::vector<PopupMenuItem>> items;
    std::vector<Range> ranges;
    std::vector<const COptionMenu*> path; ///< the menus being built, outermost first
};

COptionMenu::COptionMenu(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                         CBitmap* bgWhenClick, const long style)
    : CParamDisplay(size, background, style), bgWhenClick(bgWhenClick)
{
    this->listener = listener;
    this->tag = static_cast<std::int32_t>(tag);
    if (bgWhenClick)
        bgWhenClick->remember();
}

COptionMenu::~COptionMenu()
{
    removeAllEntry();
    if (bgWhenClick)
        bgWhenClick->forget();
}

bool COptionMenu::isTypeOf(const char* className) const
{
    if (className && std::strcmp(className, "COptionMenu") == 0)
        return true;
    return CParamDisplay::isTypeOf(className);
}

void COptionMenu::setPrefixNumbers(long val)
{
    prefixNumbers = (val >= 2 && val <= 4) ? static_cast<std::int32_t>(val) : 0;
}

// ---- entries ----

bool COptionMenu::allocateMenu(long nb)
{
    if (nb <= nbAllocated)
        return true;
    const long capacity = ((nb + kEntryStep - 1) / kEntryStep) * kEntryStep;
    auto* newEntries = static_cast<char**>(std::realloc(entry, sizeof(char*) * capacity));
    if (!newEntries)
        return false;
    entry = newEntries;
    auto* newChecks = static_cast<bool*>(std::realloc(check, sizeof(bool) * capacity));
    if (!newChecks)
        return false;
    check = newChecks;
    for (long i = nbAllocated; i < capacity; i++)
    {
        entry[i] = nullptr;
        check[i] = false;
    }
    nbAllocated = static_cast<std::int32_t>(capacity);
    return true;
}

bool COptionMenu::allocateSubMenu(long nb)
{
    if (nb <= nbSubMenuAllocated)
        return true;
    const long capacity = ((nb + kSubMenuStep - 1) / kSubMenuStep) * kSubMenuStep;
    // An array of pointers: sizeof(COptionMenu*) is meant.
    // NOLINTNEXTLINE(bugprone-sizeof-expression)
    auto* newMenus = static_cast<COptionMenu**>(std::realloc(submenuEntry, sizeof(COptionMenu*) * capacity));
    if (!newMenus)
        return false;
    submenuEntry = newMenus;
    for (long i = nbSubMenuAllocated; i < capacity; i++)
        submenuEntry[i] = nullptr;
    nbSubMenuAllocated = static_cast<std::int32_t>(capacity);
    return true;
}

bool COptionMenu::insertText(const char* text, long position)
{
    if (nbEntries >= kMaxEntries || !allocateMenu(nbEntries + 1))
        return false;
    auto* block = static_cast<char*>(std::malloc(kEntrySize));
    if (!block)
        return false;
    copyEntry(block, text);
    // Texts and their check flags move down together, so each flag stays with its entry.
    for (long i = nbEntries; i > position; i--)
    {
        entry[i] = entry[i - 1];
        check[i] = check[i - 1];
    }
    entry[position] = block;
    check[position] = false;
    nbEntries++;
    return true;
}

bool COptionMenu::addEntry(const char* text, long index)
{
    const long position = (index < 0 || index > nbEntries) ? nbEntries : index;
    // Only the numbering formats take the number: formatting it into a plain "%s" would read
    // the number as a text pointer.
    const bool numberedMenu = hasPrefixNumbers(prefixNumbers);
    char numbered[kEntrySize];
    if (numberedMenu)
        std::snprintf(numbered, sizeof(numbered), prefixFormat(prefixNumbers, false),
                      static_cast<int>(position + 1), text ? text : "");
    const char* finished = numberedMenu ? numbered : text;
    if (!insertText(finished, position))
        return false;
    if (index >= 0 && currentIndex >= index)
        currentIndex++;
    if (currentIndex < 0)
    {
        currentIndex = 0;
        setDirty(true);
    }
    return true;
}

bool COptionMenu::addEntry(COptionMenu* subMenu, const char* text)
{
    // A menu hung inside itself (directly or further down) would hold itself alive for ever.
    if (!subMenu || !text || subMenu->reaches(this))
        return false;
    if (nbEntries >= kMaxEntries || !allocateSubMenu(nbSubMenus + 1))
        return false;
    char marked[kEntrySize];
    if (hasPrefixNumbers(prefixNumbers))
        std::snprintf(marked, sizeof(marked), prefixFormat(prefixNumbers, true),
                      static_cast<int>(nbEntries + 1), text);
    else
        std::snprintf(marked, sizeof(marked), "-M%s", text);
    if (!insertText(marked, nbEntries))
        return false;
    submenuEntry[nbSubMenus++] = subMenu;
    subMenu->remember();
    if (currentIndex < 0)
        currentIndex = 0;
    return true;
}

bool COptionMenu::getEntry(long index, char* text) const
{
    if (index < 0 || index >= nbEntries || !text)
        return false;
    std::memcpy(text, entry[index], kEntrySize);
    return true;
}

bool COptionMenu::setEntry(long index, const char* text)
{
    if (index < 0 || index >= nbEntries || !text)
        return false;
    copyEntry(entry[index], text);
    return true;
}

bool COptionMenu::removeEntry(long index)
{
    if (index < 0 || index >= nbEntries)
        return false;
    // The submenu hung at a removed "-M" entry goes with it, so that the later submenus stay at
    // their entries.
    if (isSubMenuEntry(entry[index]))
    {
        long subIndex = 0;
        for (long i = 0; i < index; i++)
            if (isSubMenuEntry(entry[i]))
                subIndex++;
        if (subIndex < nbSubMenus)
        {
            COptionMenu* removedMenu = submenuEntry[subIndex];
            for (long i = subIndex; i < nbSubMenus - 1; i++)
                submenuEntry[i] = submenuEntry[i + 1];
            submenuEntry[--nbSubMenus] = nullptr;
            if (lastMenu == removedMenu)
                lastMenu = nullptr;
            removedMenu->forget();
        }
    }
    std::free(entry[index]);
    for (long i = index; i < nbEntries - 1; i++)
    {
        entry[i] = entry[i + 1];
        check[i] = check[i + 1];
    }
    nbEntries--;
    entry[nbEntries] = nullptr;
    check[nbEntries] = false;

    // The current entry moves up with the entries after the removed one; removing the current
    // entry makes the one before it current, and none (-1) when it was the first.
    if (currentIndex >= index)
        currentIndex--;
    if (nbEntries == 0)
        currentIndex = -1;
    setDirty(true);
    return true;
}

bool COptionMenu::removeAllEntry()
{
    for (long i = 0; i < nbEntries; i++)
        std::free(entry[i]);
    std::free(entry);
    std::free(check);
    entry = nullptr;
    check = nullptr;
    nbEntries = 0;
    nbAllocated = 0;
    for (long i = 0; i < nbSubMenus; i++)
        submenuEntry[i]->forget();
    std::free(submenuEntry);
    submenuEntry = nullptr;
    nbSubMenus = 0;
    nbSubMenuAllocated = 0;
    currentIndex = -1;
    lastMenu = nullptr;
    return true;
}

long COptionMenu::getIndex(const char* text) const
{
    if (!text)
        return -1;
    for (long i = 0; i < nbEntries; i++)
        if (std::strcmp(entry[i], text) == 0)
            return i;
    return -1;
}

bool COptionMenu::checkEntry(long index, bool state)
{
    if (index < 0 || index >= nbEntries)
        return false;
    check[index] = state;
    return true;
}

bool COptionMenu::checkEntryAlone(long index)
{
    if (index < 0 || index >= nbEntries)
        return false;
    for (long i = 0; i < nbEntries; i++)
        check[i] = false;
    check[index] = true;
    return true;
}

bool COptionMenu::isCheckEntry(long index) const
{
    if (index < 0 || index >= nbEntries)
        return false;
    return check[index];
}

bool COptionMenu::reaches(const COptionMenu* menu) const
{
    if (menu == this)
        return true;
    for (long i = 0; i < nbSubMenus; i++)
        if (submenuEntry[i]->reaches(menu))
            return true;
    return false;
}

COptionMenu* COptionMenu::getSubMenu(long index) const
{
    if (index < 0 || index >= nbSubMenus)
        return nullptr;
    return submenuEntry[index];
}

// ---- current entry ----

long COptionMenu::getCurrent(char* text, bool countSeparator) const
{
    if (currentIndex < 0 || currentIndex >= nbEntries)
        return -1;
    if (text)
        std::memcpy(text, entry[currentIndex], kEntrySize);
    if (countSeparator)
        return currentIndex;
    long choosable = 0;
    for (long i = 0; i < currentIndex; i++)
        if (!isSeparator(entry[i]) && !isTitle(entry[i]))
            choosable++;
    return choosable;
}

bool COptionMenu::setCurrent(long index, bool countSeparator)
{
    if (index < 0 || index >= nbEntries)
        return false;
    long position = index;
    if (!countSeparator)
    {
        position = -1;
        long choosable = 0;
        for (long i = 0; i < nbEntries; i++)
        {
            if (isSeparator(entry[i]) || isTitle(entry[i]))
                continue;
            if (choosable++ == index)
            {
                position = i;
                break;
            }
        }
        if (position < 0)
            return false;
    }
    else if (isSeparator(entry[position]))
        return false;
    currentIndex = static_cast<std::int32_t>(position);
    if (style & kMenuCheckStyle)
        check[currentIndex] = !check[currentIndex];
    setDirty(true);
    return true;
}

void COptionMenu::setValue(float val)
{
    // Compared as a range before any conversion, so NaN and huge values are ignored too.
    if (!(val > -1.f && val < static_cast<float>(nbEntries)))
        return;
    const long index = static_cast<long>(val);
    if (index < 0 || index >= nbEntries)
        return;
    currentIndex = static_cast<std::int32_t>(index);
    if (style & kMenuCheckStyle)
        check[currentIndex] = !check[currentIndex];
    value = val;
    setDirty(true);
}

// ---- drawing ----

const char* COptionMenu::shownCurrentText() const
{
    if (currentIndex < 0 || currentIndex >= nbEntries)
        return nullptr;
    const char* text = entry[currentIndex];
    const size_t skip = static_cast<size_t>(prefixNumbers);
    return std::strlen(text) >= skip ? text + skip : text + std::strlen(text);
}

void COptionMenu::draw(CDrawContext* context)
{
    drawText(context, shownCurrentText(), nullptr);
}

// ---- the popup ----

void COptionMenu::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    (void)where;
    if (!mouseEnabled || !frame || !context)
        return;
    buttons = resolveButtons(context, buttons);
    lastButton = static_cast<std::int32_t>(buttons);
    if (offerModifierClick(context, buttons))
        return;
    if (!(buttons & kOpenButtons))
        return;
    if (bgWhenClick)
    {
        const char* text = shownCurrentText();
        drawText(context, text ? text : "", bgWhenClick);
        // The popup's loop holds the thread until the choice is made: the open face must be on
        // the screen now, not in the window's back buffer until the click has been handled.
        context->synchronize();
    }
    beginEdit();
    takeFocus(context);
}

const PopupMenu* COptionMenu::appendItems(long& offsetIdx, PopupBuild& build)
{
    build.path.push_back(this);
    build.ranges.push_back({this, offsetIdx});
    const long firstId = offsetIdx;
    offsetIdx += nbEntries;

    build.items.emplace_back(static_cast<size_t>(nbEntries));
    std::vector<PopupMenuItem>& items = build.items.back();
    const bool columns = nbItemsPerColumn > 0 && nbEntries < kMaxEntriesForColumns;
    long subIndex = 0;
    for (long i = 0; i < nbEntries; i++)
    {
        const char* text = entry[i];
        PopupMenuItem& item = items[static_cast<size_t>(i)];
        item.id = firstId + i;
        item.text = text;
        if (isSeparator(text))
        {
            item.text = "";
            item.flags |= PopupMenuItem::kSeparator;
        }
        else if (isSubMenuEntry(text))
        {
            item.text = text + 2;
            COptionMenu* sub = getSubMenu(subIndex++);
            bool onPath = false;
            for (const COptionMenu* outer : build.path)
                onPath = onPath || outer == sub;
            if (sub && !onPath && build.path.size() < kMaxMenuDepth)
                item.subMenu = sub->appendItems(offsetIdx, build);
            else
                item.flags |= PopupMenuItem::kDisabled;
        }
        else if (isDisabled(text))
        {
            item.text = text + 2;
            item.flags |= PopupMenuItem::kDisabled;
        }
        else if (isTitle(text))
        {
            item.text = text + 2;
            item.flags |= PopupMenuItem::kTitle;
        }
        if (style & kMenuCheckStyle)
        {
            if (check[i])
                item.flags |= PopupMenuItem::kChecked;
        }
        else if ((style & kMenuMarkCurrent) && i == currentIndex)
            item.flags |= PopupMenuItem::kChecked;
        if (columns && i > 0 && i % nbItemsPerColumn == 0)
            item.flags |= PopupMenuItem::kColumnBreak;
    }

    build.menus.emplace_back();
    PopupMenu& menu = build.menus.back();
    menu.items = items.data();
    menu.count = nbEntries;
    const CFontDesc& font = standardFont(fontID);
    menu.fontFamily = font.family;
    menu.fontSize = font.size;
    menu.fontStyle = txtFace;
    build.path.pop_back();
    return &menu;
}

COptionMenu* COptionMenu::getItemMenu(long idx, long& idxInMenu, long& offsetIdx)
{
    if (idx < offsetIdx)
        return nullptr;
    const long firstId = offsetIdx;
    if (idx < firstId + nbEntries)
    {
        idxInMenu = idx - firstId;
        return this;
    }
    offsetIdx += nbEntries;
    // Submenus were numbered after this menu's entries, in entry order, depth first.
    for (long i = 0; i < nbSubMenus; i++)
    {
        COptionMenu* found = submenuEntry[i]->getItemMenu(idx, idxInMenu, offsetIdx);
        if (found)
            return found;
    }
    return nullptr;
}

void COptionMenu::takeFocus(CDrawContext* context)
{
    if (!frame)
        return;
    lastResult = -1;
    lastMenu = nullptr;

    CPoint where(size.left, (style & kMenuPopupAtTop) ? size.top : size.bottom);
    localToFrame(where);

    if (nbEntries <= 0)
    {
        endEdit();
        frame->setFocusView(nullptr);
        return;
    }

    long chosenId = -1;
    PopupBuild build;
    {
        long offsetIdx = 0;
        const PopupMenu* menu = appendItems(offsetIdx, build);
        // The root menu was built last; opened by the right button, it answers to that button.
        if (menu)
            build.menus.back().followsRightButton = (lastButton & kButtonRight) != 0;
        kalvo::platform::NativeWindow* window = frame->getPlatformWindow();
        if (window && menu)
        {
            platformMenu = &build;
            chosenId = window->showPopupMenu(*menu, where);
            platformMenu = nullptr;
        }
    }
    lastResult = static_cast<std::int32_t>(chosenId);

    if (bgWhenClick)
        setDirty(true);

    if (chosenId >= 0)
    {
        // The id names the menu by the range it was given while the popup was built.
        COptionMenu* chosenMenu = nullptr;
        long index = -1;
        for (const PopupBuild::Range& range : build.ranges)
        {
            if (chosenId >= range.firstId && chosenId < range.firstId + range.menu->nbEntries)
            {
                chosenMenu = range.menu;
                index = chosenId - range.firstId;
            }
        }
        if (chosenMenu)
        {
            lastMenu = chosenMenu;
            chosenMenu->setValue(static_cast<float>(index));
            if (listener)
            {
                CDrawContext* used = context ? context : frame->createDrawContext();
                listener->valueChanged(used, chosenMenu);
                if (!context && used)
                    used->forget();
            }
        }
    }
    if (frame)
        frame->setFocusView(nullptr);
    endEdit();
}

void COptionMenu::looseFocus(CDrawContext* context)
{
    (void)context;
    platformMenu = nullptr;
}

COptionMenu* COptionMenu::getLastItemMenu(long& index) const
{
    index = lastMenu ? static_cast<long>(lastMenu->getValue()) : -1;
    return lastMenu;
}
