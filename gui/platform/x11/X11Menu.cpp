#include "X11Menu.h"

#include "X11ImagePresenter.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace kalvo::x11
{

namespace
{
using platform::PopupMenu;
using platform::PopupMenuItem;

// Layout, in pixels.
constexpr long kBorder = 1;          // the window's outline
constexpr long kItemPadY = 3;        // above and below an item's text
constexpr long kCheckColumn = 18;    // room for the check mark left of the text
constexpr long kArrowColumn = 16;    // room for the submenu arrow right of the text
constexpr long kTextPadRight = 8;    // after the text when there is no arrow
constexpr long kSeparatorHeight = 7; // a separator line with room above and below
constexpr long kMinWidth = 60;

// Colours of the popup.
constexpr double kBackground[3] = {0.95, 0.95, 0.95};
constexpr double kOutline[3] = {0.45, 0.45, 0.45};
constexpr double kText[3] = {0.0, 0.0, 0.0};
constexpr double kGreyText[3] = {0.6, 0.6, 0.6};
constexpr double kTitleText[3] = {0.25, 0.25, 0.45};
constexpr double kHighlight[3] = {0.20, 0.40, 0.75};
constexpr double kHighlightText[3] = {1.0, 1.0, 1.0};

// A grab can fail while another client briefly holds one; it is retried this often, this far apart.
constexpr int kGrabTries = 100;
constexpr auto kGrabRetry = std::chrono::milliseconds(5);

bool choosable(const PopupMenuItem& item)
{
    return !(item.flags & (PopupMenuItem::kSeparator | PopupMenuItem::kDisabled | PopupMenuItem::kTitle));
}

/// Sets the menu's font on `cr` so that its cell (ascent + descent) is fontSize pixels, as the
/// toolkit's text does; answers the extents.
cairo_font_extents_t useMenuFont(cairo_t* cr, const PopupMenu& menu, cairo::FontCache& fonts)
{
    return fonts.select(cr, menu.fontFamily ? menu.fontFamily : "Arial", menu.fontStyle, menu.fontSize);
}

void setColour(cairo_t* cr, const double (&rgb)[3])
{
    cairo_set_source_rgb(cr, rgb[0], rgb[1], rgb[2]);
}

/// One open menu window: the root menu or a submenu hanging from an item of the level above.
struct Level
{
    const PopupMenu* menu = nullptr;
    MenuGeometry geometry;
    ::Window window = 0;
    cairo_surface_t* surface = nullptr;    ///< drawn here, then put on the window
    std::shared_ptr<ImagePresenter> shows; ///< shared: levels are copied into the list
    CRect onScreen;                        ///< root coordinates
    long highlighted = -1;
};

class PopupSession
{
public:
    PopupSession(const MenuHost& host) : host(host), root(RootWindow(host.display, host.screen))
    {
        screenArea =
            CRect(0, 0, DisplayWidth(host.display, host.screen), DisplayHeight(host.display, host.screen));
    }
    ~PopupSession()
    {
        while (!levels.empty())
            closeLevel();
        if (pointerGrabbed)
            XUngrabPointer(host.display, CurrentTime);
        if (keyboardGrabbed)
            XUngrabKeyboard(host.display, CurrentTime);
        XSync(host.display, False);
    }

    long run(const PopupMenu& menu, const CPoint& where)
    {
        int x = 0, y = 0;
        ::Window child;
        XTranslateCoordinates(host.display, host.window, root, where.x, where.y, &x, &y, &child);
        // The grab comes first, so that the menu never shows without holding the pointer: a
        // click landing between its appearance and the grab would be lost.
        if (!grab())
            return -1;
        if (!openLevel(menu, CPoint(x, y), CRect()))
            return -1;
        return loop();
    }

private:
    bool openLevel(const PopupMenu& menu, CPoint at, const CRect& besideItem)
    {
        Level level;
        level.menu = &menu;
        level.geometry = measurePopupMenu(menu, *host.fonts);
        const long w = level.geometry.width;
        const long h = level.geometry.height;
        if (!besideItem.isEmpty())
        {
            // A submenu opens to the right of its item, or to the left when there is no room.
            at = CPoint(besideItem.right - kBorder, besideItem.top - kBorder);
            if (at.x + w > screenArea.right)
                at.x = static_cast<CCoord>(besideItem.left - w + kBorder);
        }
        // Stay on the screen: moved up or left as far as needed, never past the top-left corner.
        at.x = static_cast<CCoord>(std::max<long>(0, std::min<long>(at.x, screenArea.right - w)));
        at.y = static_cast<CCoord>(std::max<long>(0, std::min<long>(at.y, screenArea.bottom - h)));
        level.onScreen = CRect(at.x, at.y, at.x + w, at.y + h);

        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.save_under = True;
        attributes.background_pixel = WhitePixel(host.display, host.screen);
        attributes.event_mask = ExposureMask | StructureNotifyMask;
        level.window =
            XCreateWindow(host.display, root, at.x, at.y, static_cast<unsigned>(w), static_cast<unsigned>(h),
                          0, CopyFromParent, InputOutput, CopyFromParent,
                          CWOverrideRedirect | CWSaveUnder | CWBackPixel | CWEventMask, &attributes);
        if (!level.window)
            return false;
        level.surface =
            cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(w), static_cast<int>(h));
        level.shows = std::make_shared<ImagePresenter>(
            host.display, level.window,
            PixelFormat::of(host.display, host.screen, DefaultVisual(host.display, host.screen),
                            DefaultDepth(host.display, host.screen)));
        XMapRaised(host.display, level.window);
        levels.push_back(level);
        // The window is usable for a grab once it is mapped.
        XEvent event;
        XIfEvent(host.display, &event, isMapOf, reinterpret_cast<XPointer>(&levels.back().window));
        draw(levels.back());
        return true;
    }

    static Bool isMapOf(Display*, XEvent* event, XPointer arg)
    {
        return event->type == MapNotify && event->xmap.window == *reinterpret_cast<::Window*>(arg);
    }

    void closeLevel()
    {
        const ::Window window = levels.back().window;
        cairo_surface_destroy(levels.back().surface);
        levels.back().shows.reset();
        XDestroyWindow(host.display, window);
        levels.pop_back();
        // Events still queued for the destroyed window must not be taken for another's.
        XSync(host.display, False);
        XEvent event;
        while (XCheckWindowEvent(host.display, window, ~0L, &event))
        {
        }
    }

    bool grab()
    {
        // On the root window, which is always viewable: every pointer and key event of the
        // session comes to the menu, whichever of its windows is under the pointer.
        const ::Window owner = root;
        for (int i = 0; i < kGrabTries && !pointerGrabbed; i++)
        {
            pointerGrabbed =
                XGrabPointer(host.display, owner, False,
                             ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                             GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
            if (!pointerGrabbed)
                std::this_thread::sleep_for(kGrabRetry);
        }
        for (int i = 0; i < kGrabTries && !keyboardGrabbed; i++)
        {
            keyboardGrabbed = XGrabKeyboard(host.display, owner, False, GrabModeAsync, GrabModeAsync,
                                            CurrentTime) == GrabSuccess;
            if (!keyboardGrabbed)
                std::this_thread::sleep_for(kGrabRetry);
        }
        // Without the pointer a click outside could never close the menu: it is not shown then.
        return pointerGrabbed;
    }

    /// The level and item under a root position; level -1 when outside every menu.
    std::pair<long, long> hit(long x, long y) const
    {
        for (long l = static_cast<long>(levels.size()) - 1; l >= 0; l--)
        {
            const Level& level = levels[static_cast<size_t>(l)];
            if (!level.onScreen.pointInside(CPoint(x, y)))
                continue;
            const CPoint local(x - level.onScreen.left, y - level.onScreen.top);
            for (size_t i = 0; i < level.geometry.items.size(); i++)
                if (level.geometry.items[i].pointInside(local))
                    return {l, static_cast<long>(i)};
            return {l, -1};
        }
        return {-1, -1};
    }

    const PopupMenuItem& itemOf(const Level& level, long index) const { return level.menu->items[index]; }

    void setHighlight(long levelIndex, long item)
    {
        Level& level = levels[static_cast<size_t>(levelIndex)];
        if (level.highlighted == item)
            return;
        level.highlighted = item;
        draw(level);
    }

    /// Shows the submenu of the highlighted item of `levelIndex`, closing deeper levels.
    void followHighlight(long levelIndex)
    {
        while (static_cast<long>(levels.size()) > levelIndex + 1)
        {
            // Keep a submenu that already hangs from the highlighted item.
            const Level& parent = levels[static_cast<size_t>(levelIndex)];
            const long h = parent.highlighted;
            if (static_cast<long>(levels.size()) == levelIndex + 2 && h >= 0 &&
                itemOf(parent, h).subMenu == levels.back().menu)
                return;
            closeLevel();
        }
        const Level& parent = levels[static_cast<size_t>(levelIndex)];
        const long h = parent.highlighted;
        if (h < 0)
            return;
        const PopupMenuItem& item = itemOf(parent, h);
        if (!item.subMenu || !choosable(item) || item.subMenu->count <= 0)
            return;
        CRect besideItem = parent.geometry.items[static_cast<size_t>(h)];
        besideItem.offset(parent.onScreen.left, parent.onScreen.top);
        besideItem.left = parent.onScreen.left;
        besideItem.right = parent.onScreen.right;
        openLevel(*item.subMenu, CPoint(), besideItem);
    }

    /// Moves the highlight of the deepest level by one choosable item (or submenu) up or down.
    void step(int direction)
    {
        const long levelIndex = static_cast<long>(levels.size()) - 1;
        Level& level = levels.back();
        const long count = level.menu->count;
        if (count <= 0)
            return;
        long i = level.highlighted;
        for (long tries = 0; tries < count; tries++)
        {
            i = (i < 0) ? (direction > 0 ? 0 : count - 1) : (i + direction + count) % count;
            if (choosable(itemOf(level, i)))
            {
                setHighlight(levelIndex, i);
                return;
            }
        }
    }

    /// The chosen item's id, or -1 when the highlighted item opens a submenu instead.
    long activate(long levelIndex, long item)
    {
        if (levelIndex < 0 || item < 0)
            return -1;
        const PopupMenuItem& chosen = itemOf(levels[static_cast<size_t>(levelIndex)], item);
        if (!choosable(chosen) || chosen.subMenu)
            return -1;
        return chosen.id;
    }

    long loop()
    {
        bool pressedInside = false;
        bool moved = false;
        const std::pair<long, long> start = [this]
        {
            ::Window r, c;
            int rx = 0, ry = 0, wx = 0, wy = 0;
            unsigned int mask = 0;
            XQueryPointer(host.display, root, &r, &c, &rx, &ry, &wx, &wy, &mask);
            return std::make_pair(static_cast<long>(rx), static_cast<long>(ry));
        }();
        while (!levels.empty())
        {
            XEvent event;
            XIfEvent(host.display, &event, isMenuEvent, reinterpret_cast<XPointer>(this));
            switch (event.type)
            {
            case Expose:
                if (event.xexpose.count == 0)
                    for (Level& level : levels)
                        if (level.window == event.xexpose.window)
                            draw(level);
                break;
            case MotionNotify:
            {
                while (XCheckTypedEvent(host.display, MotionNotify, &event))
                {
                }
                const long x = event.xmotion.x_root;
                const long y = event.xmotion.y_root;
                moved = moved || std::abs(x - start.first) > 2 || std::abs(y - start.second) > 2;
                const auto [levelIndex, item] = hit(x, y);
                if (levelIndex < 0)
                    break;
                if (item >= 0 && !choosable(itemOf(levels[static_cast<size_t>(levelIndex)], item)))
                    setHighlight(levelIndex, -1);
                else if (item >= 0)
                    setHighlight(levelIndex, item);
                followHighlight(levelIndex);
                break;
            }
            case ButtonPress:
            {
                // Wheel turns do not close the menu.
                if (event.xbutton.button > Button3)
                    break;
                const auto [levelIndex, item] = hit(event.xbutton.x_root, event.xbutton.y_root);
                (void)item;
                if (levelIndex < 0)
                    return -1;
                pressedInside = true;
                break;
            }
            case ButtonRelease:
            {
                if (event.xbutton.button > Button3)
                    break;
                const auto [levelIndex, item] = hit(event.xbutton.x_root, event.xbutton.y_root);
                // The release of the click that opened the menu chooses only after the pointer
                // travelled to an item (press, drag, release); a click in place leaves it open.
                if (!pressedInside && !moved)
                    break;
                const long id = activate(levelIndex, item);
                if (id >= 0)
                    return id;
                break;
            }
            case KeyPress:
            {
                const KeySym sym = XLookupKeysym(&event.xkey, 0);
                const long deepest = static_cast<long>(levels.size()) - 1;
                if (sym == XK_Escape)
                    return -1;
                if (sym == XK_Down)
                    step(1);
                else if (sym == XK_Up)
                    step(-1);
                else if (sym == XK_Right)
                {
                    followHighlight(deepest);
                    if (static_cast<long>(levels.size()) - 1 > deepest)
                        step(1);
                }
                else if (sym == XK_Left && deepest > 0)
                    closeLevel();
                else if (sym == XK_Return || sym == XK_KP_Enter)
                {
                    const long id = activate(deepest, levels.back().highlighted);
                    if (id >= 0)
                        return id;
                    followHighlight(deepest);
                }
                break;
            }
            default:
                break;
            }
        }
        return -1;
    }

    static Bool isMenuEvent(Display*, XEvent* event, XPointer arg)
    {
        const auto* self = reinterpret_cast<const PopupSession*>(arg);
        switch (event->type)
        {
        case ButtonPress:
        case ButtonRelease:
        case MotionNotify:
        case KeyPress:
            return True; // the grabs send them all to the menu
        case Expose:
            for (const Level& level : self->levels)
                if (level.window == event->xexpose.window)
                    return True;
            return False;
        default:
            return False;
        }
    }

    void draw(Level& level)
    {
        cairo_t* cr = cairo_create(level.surface);
        const cairo_font_extents_t font = useMenuFont(cr, *level.menu, *host.fonts);
        const long w = level.geometry.width;
        const long h = level.geometry.height;
        setColour(cr, kBackground);
        cairo_paint(cr);
        setColour(cr, kOutline);
        cairo_set_line_width(cr, 1.0);
        cairo_rectangle(cr, 0.5, 0.5, static_cast<double>(w - 1), static_cast<double>(h - 1));
        cairo_stroke(cr);

        for (long i = 0; i < level.menu->count; i++)
        {
            const PopupMenuItem& item = level.menu->items[i];
            const CRect& r = level.geometry.items[static_cast<size_t>(i)];
            if (item.flags & PopupMenuItem::kSeparator)
            {
                setColour(cr, kOutline);
                const double y = r.top + r.height() / 2 + 0.5;
                cairo_move_to(cr, r.left + 4, y);
                cairo_line_to(cr, r.right - 4, y);
                cairo_stroke(cr);
                continue;
            }
            const bool lit = i == level.highlighted && choosable(item);
            if (lit)
            {
                setColour(cr, kHighlight);
                cairo_rectangle(cr, r.left, r.top, r.width(), r.height());
                cairo_fill(cr);
            }
            const double(&ink)[3] = lit                                       ? kHighlightText
                                    : (item.flags & PopupMenuItem::kDisabled) ? kGreyText
                                    : (item.flags & PopupMenuItem::kTitle)    ? kTitleText
                                                                              : kText;
            setColour(cr, ink);
            const double baseline = r.top + (r.height() - (font.ascent + font.descent)) / 2 + font.ascent;
            if (item.flags & PopupMenuItem::kChecked)
            {
                // A check mark in the left column.
                const double cx = r.left + kCheckColumn / 2.0;
                const double cy = r.top + r.height() / 2.0;
                cairo_set_line_width(cr, 1.6);
                cairo_move_to(cr, cx - 4, cy);
                cairo_line_to(cr, cx - 1, cy + 3);
                cairo_line_to(cr, cx + 4, cy - 4);
                cairo_stroke(cr);
                cairo_set_line_width(cr, 1.0);
            }
            cairo_move_to(cr, r.left + kCheckColumn, std::round(baseline));
            cairo_show_text(cr, item.text ? item.text : "");
            if (item.subMenu)
            {
                // A small triangle pointing to where the submenu opens.
                const double ax = r.right - kArrowColumn / 2.0;
                const double ay = r.top + r.height() / 2.0;
                cairo_move_to(cr, ax - 2, ay - 4);
                cairo_line_to(cr, ax + 2, ay);
                cairo_line_to(cr, ax - 2, ay + 4);
                cairo_close_path(cr);
                cairo_fill(cr);
            }
        }
        cairo_destroy(cr);
        level.shows->present(level.surface, CRect(0, 0, w, h));
        XFlush(host.display);
    }

    const MenuHost& host;
    ::Window root;
    CRect screenArea;
    std::vector<Level> levels;
    bool pointerGrabbed = false;
    bool keyboardGrabbed = false;
};
} // namespace

MenuGeometry measurePopupMenu(const platform::PopupMenu& menu, cairo::FontCache& fonts)
{
    MenuGeometry geometry;
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    cairo_t* cr = cairo_create(scratch);
    const cairo_font_extents_t font = useMenuFont(cr, menu, fonts);
    const long itemHeight = static_cast<long>(std::ceil(font.ascent + font.descent)) + 2 * kItemPadY;

    // Items run down a column; a column break starts the next column to the right.
    std::vector<long> columnWidths{0};
    bool anySubMenu = false;
    for (long i = 0; i < menu.count; i++)
    {
        const PopupMenuItem& item = menu.items[i];
        if ((item.flags & PopupMenuItem::kColumnBreak) && i > 0)
            columnWidths.push_back(0);
        cairo_text_extents_t te{};
        cairo_text_extents(cr, item.text ? item.text : "", &te);
        columnWidths.back() = std::max(columnWidths.back(), static_cast<long>(std::ceil(te.x_advance)));
        anySubMenu = anySubMenu || item.subMenu;
    }
    const long extra = kCheckColumn + (anySubMenu ? kArrowColumn : kTextPadRight);
    for (long& width : columnWidths)
        width = std::max(kMinWidth, width + extra);

    long column = 0;
    long x = kBorder;
    long y = kBorder;
    long bottom = kBorder;
    for (long i = 0; i < menu.count; i++)
    {
        const PopupMenuItem& item = menu.items[i];
        if ((item.flags & PopupMenuItem::kColumnBreak) && i > 0)
        {
            x += columnWidths[static_cast<size_t>(column++)];
            y = kBorder;
        }
        const long height = (item.flags & PopupMenuItem::kSeparator) ? kSeparatorHeight : itemHeight;
        geometry.items.emplace_back(x, y, x + columnWidths[static_cast<size_t>(column)], y + height);
        y += height;
        bottom = std::max(bottom, y);
    }
    geometry.width = x + columnWidths[static_cast<size_t>(column)] + kBorder;
    geometry.height = std::max(bottom, kBorder + itemHeight) + kBorder;
    cairo_destroy(cr);
    cairo_surface_destroy(scratch);
    return geometry;
}

long runPopupMenu(const MenuHost& host, const platform::PopupMenu& menu, const CPoint& where)
{
    if (!host.display || !host.fonts || menu.count <= 0 || !menu.items)
        return -1;
    PopupSession session(host);
    return session.run(menu, where);
}

} // namespace kalvo::x11
