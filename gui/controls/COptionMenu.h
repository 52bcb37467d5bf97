// A display of the current entry of a list that pops up a menu of its entries when clicked.
#pragma once

#include "CParamDisplay.h"

class COptionMenuScheme;

namespace kalvo::platform
{
struct PopupMenu;
}

/// Menu style bits, beside the display bits.
enum COptionMenuStyle : long
{
    kMenuCheckStyle = 1,      ///< each entry has its own check flag; choosing toggles it
    kMenuPopupAtTop = 0x200,  ///< the popup opens at the control's top edge, not below it
    kMenuMarkCurrent = 0x400, ///< the popup shows a check mark at the current entry
};

/// Entries are texts of at most 255 characters whose first characters decide their kind:
/// exactly "-" is a separator, "-M" hangs the next submenu, "-G" is greyed, "-T" a title; any
/// other text is a normal entry. Separators and titles cannot be chosen, so with the entries
/// A, "-", "-Ttitle", B and B current, getCurrent(text, false) answers 1. With prefix numbers
/// 3, appended entries read "01 A", "02 B", and the closed menu shows "A" or "B".
class COptionMenu : public CParamDisplay
{
public:
    /// Entries are refused beyond this many.
    static constexpr long kMaxEntries = 1024;

    COptionMenu(const CRect& size, CControlListener* listener, long tag, CBitmap* background = nullptr,
                CBitmap* bgWhenClick = nullptr, const long style = 0);
    ~COptionMenu() override;

    /// Selects entry trunc(val) when it exists (value kept as given); ignores anything else.
    void setValue(float val) override;
    /// The current entry's text without its number prefix, or no text.
    void draw(CDrawContext* context) override;
    /// A left or right click opens the popup (inside an edit bracket).
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    /// Shows the popup modally and hands a choice to the listener.
    void takeFocus(CDrawContext* context = nullptr) override;
    void looseFocus(CDrawContext* context = nullptr) override;
    bool isTypeOf(const char* className) const override;

    /// Appends "-M" + text and hangs `subMenu` there (taking a reference).
    virtual bool addEntry(COptionMenu* subMenu, const char* text);
    /// Inserts at `index` (appends when negative or past the end); the current entry follows
    /// its text. A null text adds an empty entry.
    virtual bool addEntry(const char* text, long index = -1);
    /// The current entry's raw position (countSeparator) or its number among choosable entries;
    /// -1 without one. Copies its text when `text` is given.
    virtual long getCurrent(char* text = nullptr, bool countSeparator = true) const;
    virtual bool setCurrent(long index, bool countSeparator = true);
    /// Copies the entry's text into `text` (room for 256 characters).
    virtual bool getEntry(long index, char* text) const;
    virtual bool setEntry(long index, const char* text);
    virtual bool removeEntry(long index);
    virtual bool removeAllEntry();
    virtual long getNbEntries() const { return nbEntries; }
    /// The first entry with exactly this text, or -1.
    virtual long getIndex(const char* text) const;
    virtual bool checkEntry(long index, bool state);
    virtual bool checkEntryAlone(long index);
    virtual bool isCheckEntry(long index) const;
    virtual void setNbItemsPerColumn(long val) { nbItemsPerColumn = static_cast<std::int32_t>(val); }
    virtual long getNbItemsPerColumn() const { return nbItemsPerColumn; }
    /// Custom item drawing is not supported: always null.
    virtual COptionMenuScheme* getScheme() const { return nullptr; }
    /// 2, 3 or 4: entries added from now on are numbered "%1d ", "%02d " or "%03d "; else none.
    virtual void setPrefixNumbers(long val);

    /// The submenu at `index` in submenu order, or null.
    COptionMenu* getSubMenu(long index) const;
    /// The menu the last choice came from (null without one); `index` gets its value or -1.
    COptionMenu* getLastItemMenu(long& index) const;
    /// The menu holding popup item `idx` (numbered across nested menus from `offsetIdx`) and the
    /// entry index in it; null when no menu holds it.
    COptionMenu* getItemMenu(long idx, long& idxInMenu, long& offsetIdx);
    long getLastResult() const { return lastResult; }
    long getLastButton() const { return lastButton; }
    long getPrefixNumbers() const { return prefixNumbers; }
    CBitmap* getBgWhenClick() const { return bgWhenClick; }
    /// The text the closed menu shows: the current entry without its number prefix, or null.
    const char* shownCurrentText() const;

    /// Entry kinds by their text.
    static bool isSeparator(const char* text) { return text && text[0] == '-' && text[1] == 0; }
    static bool isTitle(const char* text) { return text && text[0] == '-' && text[1] == 'T'; }
    static bool isSubMenuEntry(const char* text) { return text && text[0] == '-' && text[1] == 'M'; }
    static bool isDisabled(const char* text) { return text && text[0] == '-' && text[1] == 'G'; }

protected:
    struct PopupBuild;
    /// Adds this menu's entries (and its submenus' after them) to the popup being built, items
    /// numbered from `offsetIdx`; answers the popup menu made for this menu.
    const kalvo::platform::PopupMenu* appendItems(long& offsetIdx, PopupBuild& build);
    void removeItems() {}
    /// Makes room for `nb` entries (texts and flags), growing in steps of 32.
    bool allocateMenu(long nb);
    /// Makes room for `nb` submenus, growing in steps of 10.
    bool allocateSubMenu(long nb);
    /// Inserts a finished text block at `position`.
    bool insertText(const char* text, long position);
    /// True when `menu` is this menu or hangs somewhere below it.
    bool reaches(const COptionMenu* menu) const;

    void* platformMenu = nullptr; ///< set only while the popup is shown
    char** entry = nullptr;
    COptionMenu** submenuEntry = nullptr;
    bool* check = nullptr;
    void* platformMenuId = nullptr;
    std::int32_t nbEntries = 0;
    std::int32_t nbSubMenus = 0;
    std::int32_t currentIndex = -1;
    CBitmap* bgWhenClick = nullptr;
    std::int32_t lastButton = kButtonRight;
    std::int32_t nbItemsPerColumn = -1;
    std::int32_t nbAllocated = 0;
    std::int32_t nbSubMenuAllocated = 0;
    std::int32_t lastResult = -1;
    std::int32_t prefixNumbers = 0;
    COptionMenu* lastMenu = nullptr;
    COptionMenuScheme* scheme = nullptr;
};
